#include <gtest/gtest.h>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "support/TestSupport.h"

using namespace zun;
using zun::test::Hex;
using zun::test::ToHex;

namespace {

std::string Exported(zValues& v) {
    zStream s;
    EXPECT_TRUE(v.Export(s));
    return ToHex(s.Bytes());
}

std::vector<std::string> LongNames(const zValues& v) {
    std::vector<std::string> names;
    v.GetLongList(names);
    return names;
}

}  // namespace

TEST(NameHash, CheckValues) {
    EXPECT_EQ(NameHash(""), 0);
    EXPECT_EQ(NameHash("abc"), 4833283);
    EXPECT_EQ(NameHash("Position"), 32227336);
    EXPECT_EQ(NameHash("__Name"), 16859142);
    // Past the 32nd character only the length counts.
    const std::string base(32, 'x');
    EXPECT_EQ(NameHash(base + "a") - NameHash(base), 1);
    EXPECT_EQ(NameHash(base + "a"), NameHash(base + "b"));
    // Bytes count unsigned: 0xFF at position 1.
    EXPECT_EQ(NameHash("\xFF"), 1 + 255 * 8192);
}

TEST(Values, ZeroRemovesAndEmptyNamesGiveTheZeroValue) {
    zValues v;
    v.SetLong("n", 3);
    v.SetLong("n", 0);
    EXPECT_EQ(v.GetLong("n", 5), 5);
    EXPECT_TRUE(LongNames(v).empty());

    v.SetString("", "x");
    EXPECT_EQ(v.GetString("", "default"), "");
    EXPECT_EQ(v.GetLong("", 7), 0);
    EXPECT_EQ(v.GetSingle("", 1.5f), 0.0f);
    EXPECT_EQ(v.GetByte("", 9), 0);
}

TEST(Values, ListsAreSeparateAndNamesCaseSensitive) {
    zValues v;
    v.SetLong("a", 1);
    v.SetByte("a", 2);
    v.SetSingle("a", 3.5f);
    EXPECT_EQ(v.GetString("a", "none"), "none");
    EXPECT_EQ(v.GetLong("a"), 1);
    EXPECT_EQ(v.GetByte("a"), 2);
    EXPECT_EQ(v.GetSingle("a"), 3.5f);
    v.SetString("Key", "upper");
    v.SetString("key", "lower");
    EXPECT_EQ(v.GetString("Key"), "upper");
    EXPECT_EQ(v.GetString("key"), "lower");
    EXPECT_EQ(v.GetString("KEY"), "");
    v.StringValue("k", "via index");
    EXPECT_EQ(v.StringValue("k"), "via index");
}

TEST(Values, TemplateSuppliesWhatTheStoreLacks) {
    auto tmpl = std::make_shared<zValues>();
    tmpl->SetSingle("Speed", 2.5f);
    tmpl->SetLong("Only", 9);
    zValues v;
    v.SetTemplate(tmpl);
    EXPECT_EQ(v.GetSingle("Speed", 1.0f), 2.5f);
    v.SetSingle("Speed", 4.0f);
    EXPECT_EQ(v.GetSingle("Speed", 1.0f), 4.0f);
    v.SetSingle("Speed", 0.0f);
    EXPECT_EQ(v.GetSingle("Speed", 1.0f), 2.5f);
    EXPECT_EQ(tmpl->GetSingle("Speed"), 2.5f);  // writes never reach the template

    // A default is set when only the template holds the name.
    v.SetDefaultLong("Only", 4);
    EXPECT_EQ(LongNames(v), std::vector<std::string>{"Only"});
    EXPECT_EQ(v.GetLong("Only"), 4);
    v.SetDefaultLong("Only", 8);
    EXPECT_EQ(v.GetLong("Only"), 4);
    v.SetDefaultLong("Zero", 0);
    EXPECT_EQ(LongNames(v).size(), 1u);

    EXPECT_THROW(v.SetTemplate(nullptr), RuntimeError);
}

TEST(Values, TemplateChainsThatLoopEndWithTheDefault) {
    auto self = std::make_shared<zValues>();
    self->SetTemplate(self);
    EXPECT_EQ(self->GetLong("x", 5), 5);

    // a -> b -> c -> b: the loop does not start at the store asked.
    auto a = std::make_shared<zValues>(), b = std::make_shared<zValues>(), c = std::make_shared<zValues>();
    a->SetTemplate(b);
    b->SetTemplate(c);
    c->SetTemplate(b);
    c->SetString("deep", "found");
    EXPECT_EQ(a->GetString("deep"), "found");
    EXPECT_EQ(a->GetString("missing", "dflt"), "dflt");
    for (auto* p : {a.get(), b.get(), c.get()}) p->Template.reset();  // break the cycle for the leak checker
    self->Template.reset();
}

TEST(Values, RemovalMovesTheLastEntryIntoTheGap) {
    zValues v;
    v.SetLong("first", 1);
    v.SetLong("second", 2);
    v.SetLong("third", 3);
    v.SetLong("first", 0);
    EXPECT_EQ(LongNames(v), (std::vector<std::string>{"third", "second"}));
    v.SetLong("second", 0);
    v.SetLong("third", 0);
    std::vector<std::string> kept{"untouched"};
    EXPECT_EQ(v.GetLongList(kept), -1);
    EXPECT_EQ(kept, std::vector<std::string>{"untouched"});
}

TEST(Values, FormatTextVisitsNumbersBeforeTexts) {
    zValues v;
    v.SetLong("a", 2);
    v.SetString("b", "[a]");
    EXPECT_EQ(v.FormatText("[a] and [b]"), "2 and [a]");

    zValues w;
    w.SetString("s", "[n]");
    w.SetByte("n", 7);
    w.SetSingle("f", 2.5f);
    w.SetString("x", "plain");
    EXPECT_EQ(w.FormatText("[f]/[x][x]/[unknown]/[S]"), "2.5/plainplain/[unknown]/[S]");
    const std::string saved = zCore.DecimalSeparator;
    zCore.DecimalSeparator = ",";
    EXPECT_EQ(w.FormatText("[f]"), "2,5");
    zCore.DecimalSeparator = saved;
}

TEST(Values, FormatTextCannotGrowWithoutBound) {
    // Each String value holds a hundred markers of the next entry.
    zValues v;
    std::string many;
    for (int i = 0; i < 100; ++i) many += "[s2]";
    v.SetString("s1", many);
    for (auto& c : many)
        if (c == '2') c = '3';
    v.SetString("s2", many);
    v.SetString("s3", std::string(1000, 'x'));
    const std::string out = v.FormatText("[s1]");
    // s1 and s2 are replaced (40 kB of "[s3]"); s3 would make it 10 MB and is passed over.
    EXPECT_EQ(out.size(), 40000u);
    EXPECT_EQ(out.substr(0, 8), "[s3][s3]");
}

TEST(Values, SortResetAndTemplateGUIDSnapshot) {
    zValues v;
    for (const char* n : {"m", "B", "z", "a", "b"}) v.SetLong(n, 1);
    v.SortNames();
    EXPECT_EQ(LongNames(v), (std::vector<std::string>{"B", "a", "b", "m", "z"}));

    auto tmpl = std::make_shared<zValues>();
    tmpl->GUID = "T1";
    v.GUID = "G";
    v.Meta = std::make_shared<zValues>();
    v.SetTemplate(tmpl);
    tmpl->GUID = "T2";
    EXPECT_EQ(v.TemplateGUID, "T1");
    v.Reset();
    EXPECT_EQ(v.GetLong("a"), 0);
    EXPECT_EQ(v.Template, nullptr);
    EXPECT_EQ(v.TemplateGUID, "");
    EXPECT_EQ(v.GUID, "G");
    EXPECT_NE(v.Meta, nullptr);
}

TEST(Values, StoredForm) {
    zValues empty;
    EXPECT_EQ(Exported(empty), ToHex(Hex("000000000000000000000000")));

    zValues v;
    v.SetString("a", "b");
    v.SetLong("n", 7);
    v.SetSingle("Speed", 2.5f);
    v.TemplateGUID = "T";
    EXPECT_EQ(Exported(v), ToHex(Hex("0100 01000000 61 01000000 62 0000 0100 01000000 6e 07000000 0100 "
                                     "05000000 5370656564 00002040 01000000 54")));

    zStream s;
    ASSERT_TRUE(v.Export(s));
    zValues back;
    ASSERT_TRUE(back.Import(s));
    EXPECT_EQ(back.GetString("a"), "b");
    EXPECT_EQ(back.GetLong("n"), 7);
    EXPECT_EQ(back.GetSingle("Speed"), 2.5f);
    EXPECT_EQ(back.TemplateGUID, "T");
    EXPECT_EQ(back.Template, nullptr);
}

TEST(Values, ImportKeepsDuplicatesAndZeroValues) {
    // Two Long entries "x" (5, then 6) and a Long "z" of 0.
    zStream s;
    s.SetData(
        Hex("0000 0000 0300 01000000 78 05000000 01000000 78 06000000 01000000 7a 00000000 0000 00000000"));
    zValues v;
    v.TemplateGUID = "stale";
    ASSERT_TRUE(v.Import(s));
    EXPECT_EQ(LongNames(v), (std::vector<std::string>{"x", "x", "z"}));
    EXPECT_EQ(v.GetLong("x"), 5);
    EXPECT_EQ(v.GetLong("z", 3), 0);
    EXPECT_EQ(v.TemplateGUID, "");  // the stored empty GUID, not the old one
}

TEST(Values, AFailedImportKeepsOnlyCompleteEntries) {
    // Three Long entries announced, the third cut inside its value.
    zStream s;
    s.SetData(Hex("0000 0000 0300 01000000 61 01000000 01000000 62 02000000 01000000 63 0300"));
    zValues v;
    v.SetByte("kept", 4);
    v.SetSingle("old", 1.0f);
    EXPECT_FALSE(v.Import(s));
    EXPECT_EQ(LongNames(v), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(v.GetByte("kept"), 0);      // the Byte list was read (empty) before the failure
    EXPECT_EQ(v.GetSingle("old"), 1.0f);  // the Single list was never reached

    zStream neg;
    neg.SetData(Hex("ffff"));
    EXPECT_FALSE(v.Import(neg));
}

TEST(Values, AFullListRefusesNewNames) {
    // A stored form with the most entries a list can hold, each a distinct name.
    zStream s;
    s.WriteInteger(0);
    s.WriteInteger(0);
    s.WriteInteger(static_cast<int16_t>(zValues::MaxEntries));
    for (int i = 0; i < zValues::MaxEntries; ++i) {
        s.WriteString("n" + std::to_string(i));
        s.WriteLong(1);
    }
    s.WriteInteger(0);
    s.WriteString("");
    zValues v;
    ASSERT_TRUE(v.Import(s));
    v.SetLong("one more", 1);
    EXPECT_EQ(v.GetLong("one more", -1), -1);
    std::vector<std::string> names;
    EXPECT_EQ(v.GetLongList(names), zValues::MaxEntries - 1);
    v.SetLong("n0", 0);  // removal still works at the limit
    v.SetLong("one more", 2);
    EXPECT_EQ(v.GetLong("one more"), 2);
}

TEST(Values, TemplateIsSavedAndRelinkedWithItsCurrentGUID) {
    if (!FindClass("zValues")) RegisterCoreClasses();
    auto base = std::make_shared<zValues>();  // no GUID yet
    base->SetSingle("Speed", 2.5f);
    auto mid = std::make_shared<zValues>();
    mid->SetTemplate(base);
    auto top = std::make_shared<zValues>();
    top->SetTemplate(mid);
    top->Meta = std::make_shared<zValues>();
    top->Meta->SetString("__Name", "top");
    EXPECT_EQ(top->TemplateGUID, "");

    zFile out;
    out.AddInstance(top);
    out.ExportToStreams(true);
    EXPECT_EQ(out.ChunkCount(), 3);  // the template's template too
    EXPECT_EQ(top->TemplateGUID, mid->GUID);
    EXPECT_EQ(mid->TemplateGUID, base->GUID);
    zStream data;
    ASSERT_TRUE(out.SaveToStream(&data));

    zFile in;
    ASSERT_TRUE(in.LoadFromStream(&data));
    in.ImportFromStreams();
    auto loaded = std::dynamic_pointer_cast<zValues>(in.FindInstance("top"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetSingle("Speed", 1.0f), 2.5f);
}

TEST(Values, ASelfReferencingTemplateInAFileTerminates) {
    if (!FindClass("zValues")) RegisterCoreClasses();
    auto v = std::make_shared<zValues>();
    v->GUID = "SELF";
    v->TemplateGUID = "SELF";
    zFile out;
    out.AddInstance(v);
    out.ExportToStreams(false);
    zStream data;
    out.SaveToStream(&data);

    zFile in;
    ASSERT_TRUE(in.LoadFromStream(&data));
    in.ImportFromStreams();
    auto loaded = std::dynamic_pointer_cast<zValues>(in.GetInstance("SELF"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Template, loaded);
    EXPECT_EQ(loaded->GetLong("absent", 11), 11);
    loaded->Template.reset();
}
