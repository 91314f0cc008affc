#include <gtest/gtest.h>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "support/TestSupport.h"

using namespace zun;
using zun::test::Hex;
using zun::test::LogCapture;
using zun::test::TempDir;
using zun::test::ToHex;

namespace {

const char* kGUID = "0123456789ABCDEF0123456789ABCDEF";

// One zValues chunk: String a = "b", Long n = 7, Single Speed = 2.5, meta "__Name" = "cfg".
// clang-format off
const std::string kFixture =
    "00000000 01000000"                                   // file flags, one chunk
    "07000000 7a56616c756573 01"                          // "zValues", version 1
    "20000000 30313233343536373839414243444546 30313233343536373839414243444546"
    "00000000 49000000 49000000"                          // flags, size, data length
    "0100 01000000 61 01000000 62 0000"                   // a = "b"; no Bytes
    "0100 01000000 6e 07000000"                           // n = 7
    "0100 05000000 5370656564 00002040 00000000"          // Speed = 2.5; no template
    "0100 06000000 5f5f4e616d65 03000000 636667 0000 0000 0000 00000000";  // meta __Name = "cfg"
// clang-format on

void EnsureCoreClasses() {
    if (!FindClass("zValues")) RegisterCoreClasses();
}

std::shared_ptr<zValues> Named(const std::string& name, const std::string& guid) {
    auto v = std::dynamic_pointer_cast<zValues>(CreateClass("zValues", false));
    v->GUID = guid;
    if (!name.empty()) v->Meta->SetString("__Name", name);
    return v;
}

std::string Saved(zFile& f) {
    zStream s;
    EXPECT_TRUE(f.SaveToStream(&s));
    return ToHex(s.Bytes());
}

zStream StreamOf(const std::string& hex) {
    zStream s;
    s.SetData(Hex(hex));
    return s;
}

}  // namespace

TEST(ChunkFile, FixtureSavedLoadedAsObjectsAndSavedAgainIdentically) {
    EnsureCoreClasses();
    TempDir dir;
    auto v = Named("cfg", kGUID);
    v->SetString("a", "b");
    v->SetLong("n", 7);
    v->SetSingle("Speed", 2.5f);
    zFile out;
    EXPECT_EQ(out.AddInstance(v), 1);
    out.ExportToStreams();
    EXPECT_EQ(Saved(out), ToHex(Hex(kFixture)));
    ASSERT_TRUE(out.Save(dir.Path("one.dat")));
    auto file1 = zun::test::ReadHostFile(dir.HostPath("one.dat"));
    ASSERT_EQ(file1.size(), 165u);
    EXPECT_EQ(ToHex({file1.begin(), file1.begin() + 24}),
              ToHex(Hex("5a554e328c000000109552a7000000008c000000109552a7")));
    EXPECT_EQ(out.GetChunk(1)->Size, 73);

    zFile in;
    ASSERT_TRUE(in.Load(dir.Path("one.dat")));
    EXPECT_EQ(in.FileName, dir.Path("one.dat"));
    ASSERT_EQ(in.ChunkCount(), 1);
    EXPECT_EQ(in.GetChunk(1)->Instance, nullptr);  // data only until imported
    in.ImportFromStreams();
    auto live = std::dynamic_pointer_cast<zValues>(in.FindInstance("cfg"));
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(live->GUID, kGUID);
    EXPECT_EQ(live->GetString("a"), "b");
    EXPECT_EQ(live->GetLong("n"), 7);
    EXPECT_EQ(live->GetSingle("Speed"), 2.5f);
    EXPECT_EQ(in.GetInstance(kGUID), live);

    zFile again;
    again.AddInstance(live);
    again.ExportToStreams();
    ASSERT_TRUE(again.Save(dir.Path("two.dat")));
    EXPECT_EQ(zun::test::ReadHostFile(dir.HostPath("two.dat")), file1);
}

TEST(ChunkFile, EmptyFileAndLookups) {
    EnsureCoreClasses();
    zFile f;
    auto s = StreamOf("00000000 00000000");
    ASSERT_TRUE(f.LoadFromStream(&s));
    f.ImportFromStreams();
    EXPECT_EQ(f.ChunkCount(), 0);
    EXPECT_EQ(f.FindInstance(""), nullptr);
    EXPECT_EQ(f.FindChunk("x"), 0);
    EXPECT_EQ(f.GetInstance("x"), nullptr);
    EXPECT_FALSE(f.LoadFromStream(nullptr));
    EXPECT_THROW(f.GetChunk(1), RuntimeError);
}

TEST(ChunkFile, AddFindSwapAndRemove) {
    EnsureCoreClasses();
    zFile f;
    auto a = Named("same", "A"), b = Named("same", "B"), c = Named("other", "C");
    EXPECT_EQ(f.AddInstance(a), 1);
    EXPECT_EQ(f.AddInstance(b), 2);
    EXPECT_EQ(f.AddInstance(c), 3);
    EXPECT_EQ(f.AddInstance(b), 2);  // same GUID: same index, no growth
    EXPECT_EQ(f.ChunkCount(), 3);
    EXPECT_EQ(f.FindInstance("same"), a);  // the lower index wins

    f.SwapChunks(1, 2);
    EXPECT_EQ(f.FindInstance("same"), b);
    EXPECT_EQ(f.GetChunk(1)->GUID, "B");
    EXPECT_THROW(f.SwapChunks(0, 1), RuntimeError);
    EXPECT_THROW(f.SwapChunks(1, 4), RuntimeError);

    f.RemoveChunk("nobody");
    f.RemoveChunkIndex(0);
    EXPECT_EQ(f.ChunkCount(), 3);
    f.RemoveChunk("B");
    EXPECT_EQ(f.ChunkCount(), 2);
    EXPECT_EQ(f.FindChunk("A"), 1);
    EXPECT_EQ(f.FindChunk("C"), 2);
    EXPECT_THROW(f.RemoveChunkIndex(3), RuntimeError);
    EXPECT_THROW(f.RemoveChunkIndex(-1), RuntimeError);
}

TEST(ChunkFile, InstancesWithoutGUIDGetTheirOwnChunks) {
    EnsureCoreClasses();
    zFile f;
    auto a = Named("a", ""), b = Named("b", "");
    EXPECT_EQ(f.AddInstance(a), 1);
    EXPECT_EQ(f.AddInstance(b), 2);
    EXPECT_EQ(a->GUID.size(), 32u);
    EXPECT_NE(a->GUID, b->GUID);
    EXPECT_EQ(f.GetChunk(1)->Instance, a);
    EXPECT_EQ(f.GetChunk(2)->GUID, b->GUID);
}

TEST(ChunkFile, ExportWithoutInstancesSerialisesOnlyWhatIsInTheFile) {
    EnsureCoreClasses();
    auto tmpl = Named("t", "T");
    auto v = Named("v", "V");
    v->SetTemplate(tmpl);
    zFile f;
    f.AddInstance(v);
    f.ExportToStreams(false);
    EXPECT_EQ(f.ChunkCount(), 1);
    EXPECT_GT(f.GetChunk(1)->Data.GetLength(), 0);
    f.ExportToStreams(true);
    EXPECT_EQ(f.ChunkCount(), 2);
    EXPECT_EQ(f.GetChunk(2)->Instance, tmpl);

    // An object made outside the factory has no meta record; its chunk still reads back.
    auto bare = std::make_shared<zValues>();
    bare->SetLong("k", 1);
    zFile g;
    g.AddInstance(bare);
    g.ExportToStreams();
    zStream s;
    g.SaveToStream(&s);
    zFile h;
    ASSERT_TRUE(h.LoadFromStream(&s));
    h.ImportFromStreams();
    auto back = std::dynamic_pointer_cast<zValues>(h.GetInstance(bare->GUID));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetLong("k"), 1);
}

TEST(ChunkFile, UnknownAndUnreadableChunksLeaveTheOthersLinked) {
    EnsureCoreClasses();
    auto tmpl = Named("tmpl", "T");
    tmpl->SetLong("x", 42);
    auto user = Named("user", "U");
    user->SetTemplate(tmpl);
    zFile out;
    out.AddInstance(user);
    out.AddInstance(Named("broken", "X"));
    out.AddInstance(Named("stranger", "S"));
    out.AddInstance(tmpl);
    out.ExportToStreams();
    out.GetChunk(2)->Data.SetLength(3);  // cut inside the first count
    out.GetChunk(3)->ContentName = "tNoSuchClass";
    zStream data;
    out.SaveToStream(&data);

    LogCapture cap;
    zFile in;
    ASSERT_TRUE(in.LoadFromStream(&data));
    in.ImportFromStreams();
    EXPECT_EQ(in.ChunkCount(), 4);
    EXPECT_EQ(in.GetChunk(2)->Instance, nullptr);
    EXPECT_EQ(in.GetChunk(3)->Instance, nullptr);
    EXPECT_EQ(in.GetChunk(3)->ContentName, "tNoSuchClass");
    EXPECT_TRUE(cap.Contains("ERR\tClass not found\ttNoSuchClass"));
    EXPECT_TRUE(cap.Contains("ERR\tFile_ImportFromStreams\tzValues\t"));
    auto linked = std::dynamic_pointer_cast<zValues>(in.FindInstance("user"));
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->Template, in.GetInstance("T"));
    EXPECT_EQ(linked->GetLong("x"), 42);
    EXPECT_EQ(in.FindInstance("broken"), nullptr);
}

TEST(ChunkFile, CorruptTablesFailAndKeepTheOldChunks) {
    EnsureCoreClasses();
    zFile f;
    f.AddInstance(Named("keep", "K"));
    f.Flags = 5;
    f.ExportToStreams();
    zStream good;
    f.SaveToStream(&good);
    const std::string goodHex = ToHex(good.Bytes());

    LogCapture cap;
    for (size_t cut : {size_t(3), size_t(8), size_t(20), goodHex.size() / 2 - 1}) {
        auto s = StreamOf(goodHex.substr(0, cut * 2));
        EXPECT_FALSE(f.LoadFromStream(&s)) << cut;
        EXPECT_EQ(s.Cursor, 0);
    }
    auto huge = StreamOf("00000000 ffffff7f 00000000 00000000 00000000 00000000 0000000000");
    EXPECT_FALSE(f.LoadFromStream(&huge));
    auto negative = StreamOf("00000000 ffffffff");
    EXPECT_FALSE(f.LoadFromStream(&negative));
    EXPECT_TRUE(cap.Contains("ERR\tFile_LoadFromStream\tChunk count error"));

    TempDir dir;
    EXPECT_FALSE(f.Load(dir.Path("missing.dat")));
    EXPECT_EQ(f.ChunkCount(), 1);
    EXPECT_EQ(f.Flags, 5);
    EXPECT_EQ(f.GetChunk(1)->GUID, "K");
}

TEST(ChunkFile, AChunkWithEmptyDataSavesAndLoads) {
    EnsureCoreClasses();
    zFile f;
    f.AddInstance(Named("n", "E"));  // never exported: empty data
    zStream s;
    f.SaveToStream(&s);
    zFile g;
    ASSERT_TRUE(g.LoadFromStream(&s));
    EXPECT_EQ(g.GetChunk(1)->Data.GetLength(), 0);
    LogCapture cap;
    g.ImportFromStreams();
    EXPECT_EQ(g.GetChunk(1)->Instance, nullptr);
    EXPECT_TRUE(cap.Contains("ERR\tFile_ImportFromStreams\tzValues"));
}

TEST(CollectionChunks, RoundTripAndUnknownClasses) {
    EnsureCoreClasses();
    auto a = Named("first", "A");
    a->SetLong("n", 3);
    auto b = Named("", "B");
    b->SetString("s", "t");
    zStream s;
    s.WriteCollectionChunks({a, b});
    // Class name and GUID, then the meta record before the object's own data.
    const auto head = Hex("02000000 07000000 7a56616c756573 01000000 41 0100 06000000");
    ASSERT_GE(s.Bytes().size(), head.size());
    EXPECT_EQ(ToHex({s.Bytes().begin(), s.Bytes().begin() + head.size()}), ToHex(head));

    std::vector<std::shared_ptr<iChunk>> back;
    s.ReadCollectionChunks(back);
    ASSERT_EQ(back.size(), 2u);
    auto va = std::dynamic_pointer_cast<zValues>(back[0]);
    ASSERT_NE(va, nullptr);
    EXPECT_EQ(va->GUID, "A");
    EXPECT_EQ(va->Meta->GetString("__Name"), "first");
    EXPECT_EQ(va->GetLong("n"), 3);
    EXPECT_EQ(std::dynamic_pointer_cast<zValues>(back[1])->GetString("s"), "t");

    zStream bad;
    bad.WriteLong(1);
    bad.WriteString("tNoSuchClass");
    bad.WriteString("G");
    bad.SetLength(bad.GetLength() + 12);
    back.clear();
    LogCapture cap;
    EXPECT_THROW(bad.ReadCollectionChunks(back), RuntimeError);
    EXPECT_TRUE(cap.Contains("Class not found\ttNoSuchClass"));

    zStream many;
    many.WriteLong(1000000);
    EXPECT_THROW(many.ReadCollectionChunks(back), RuntimeError);
    EXPECT_TRUE(back.empty());
}
