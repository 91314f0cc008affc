// Whole compiled script files: the stored form, determinism, the listing, and
// the command-line program as the game's shell runs it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>

#include "ZscTestHelpers.h"
#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zStream.h"
#include "tools/zsc/zscDisasm.h"
#include "tools/zsc/zscWriter.h"

using namespace zun;
using namespace zun::zsc;
using namespace zun::zsc::test;
using zun::test::Hex;
using zun::test::ReadHostFile;
using zun::test::TempDir;
using zun::test::ToHex;

namespace {

const char* kHelloSource = "class Hello {\n  func add(int a, int b = 2) { return a + b; }\n}\n";

const char* kHelloDat =
    "5a 55 4e 32 b9 00 00 00 be 90 0c 75 00 00 00 00"
    "b9 00 00 00 be 90 0c 75 00 00 00 00 01 00 00 00"
    "0c 00 00 00 7a 53 63 72 69 70 74 43 6c 61 73 73"
    "01 20 00 00 00 30 30 30 30 30 30 30 30 30 30 30"
    "30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30"
    "30 30 30 30 31 00 00 00 00 71 00 00 00 71 00 00"
    "00 0a 00 00 00 48 00 65 00 6c 00 6c 00 6f 00 00"
    "00 00 00 01 00 00 00 06 00 00 00 61 00 64 00 64"
    "00 00 02 00 00 00 03 02 00 00 00 61 00 00 00 00"
    "00 03 02 00 00 00 62 00 02 00 00 00 10 00 00 00"
    "10 00 00 00 03 3c 05 02 00 00 00 61 00 05 02 00"
    "00 00 62 00 00 00 00 00 00 00 00 00 00 00 00 00"
    "00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
    "00 00";

// A program that uses every kind of statement, expression and declaration.
const char* kEverything = R"(
class Base {
  count = 0;
  func onLoad() { count = 1; }
  func greet(str who = "you") { return "hi " + who; }
}
class Game : Base, Missing {
  player = empty;
  static(player);
  func onLoad(a, int b = 2, float c = 1.5, str d = 'x', bool e = true, byte f = 0b7, array g = [1, "a"],
              object h, var i = 3) {
    player = new("Player");
    items[] = 1;
    items[1] = [1, 2.5, "s", 's', true, 0b1, this, selected, empty, -4];
    player.pos = 3;
    player.stats["hp"] = 10;
    player.walk(1, 2);
    x = (y = 1) + (z[2] = 3);
    if (isset player and not (x == 2) or x != 3) x++; else x--;
    while (x < 10 && x <= 20 || x > 30) { if (x >= 5) break; x = x * 2 / 1 - 1 ^ 2 % 3; continue; }
    do { x--; } while ((x in [1, 2, 3]) | x & 1);
    for (i = 0; i < 3; i++) { global(i); set(i); }
    select (x) { case 1, 2: nop; when x like "a*": break; when x !like "b": nop; default: return; }
    t = x in items;
    u = -x;
    Base::greet("me");
    super(1);
    ``(1);
    @bytes(0x00);
    return -x;
  }
  func greet = super;
  func other = super(Base);
}
)";

std::string Exe() { return ZSC_EXE; }

int RunZsc(const std::string& args, const std::string& dir, std::string* err = nullptr) {
    std::string errFile = dir + "stderr.txt";
    std::string cmd = "cd '" + dir + "' && '" + Exe() + "' " + args + " 2> '" + errFile + "' > /dev/null";
    int rc = std::system(cmd.c_str());
    if (err) {
        auto b = ReadHostFile(errFile);
        err->assign(b.begin(), b.end());
    }
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool Exists(const std::string& p) { return std::filesystem::exists(p); }

// The hex column of a listing, read back into bytes.
std::vector<uint8_t> HexColumn(const std::string& listing) {
    std::vector<uint8_t> out;
    std::istringstream in(listing);
    std::string line;
    while (std::getline(in, line)) {
        // "    OOOO  hex...  text": the hex runs from column 10 up to two blanks.
        if (line.size() < 10) continue;
        std::string rest = line.substr(10);
        std::string hex = rest.substr(0, rest.find("  "));
        auto b = Hex(hex);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

}  // namespace

TEST(ZscFile, HelloMatchesTheHandAssembledFile) {
    TempDir dir;
    CompileResult r = CompileText(kHelloSource, "Hello.zs");
    ASSERT_TRUE(r.Ok) << r.Diag.FormatAll();
    // The function record on its own.
    zStream rec;
    ExportFunction(r.Classes[0].Functions[0], rec);
    EXPECT_EQ(ToHex(rec.Bytes()), ToHex(Hex("06000000 610064006400 00 02000000 03 02000000 6100 00000000 "
                                            "03 02000000 6200 02000000 10000000 10000000 03 3C 05 02000000 "
                                            "6100 05 02000000 6200")));
    ASSERT_EQ(WriteScriptFile(r.Classes, dir.HostPath("Hello.dat"), false), "");
    EXPECT_EQ(ToHex(ReadHostFile(dir.HostPath("Hello.dat"))), ToHex(Hex(kHelloDat)));
}

TEST(ZscFile, SameSourceSameBytes) {
    CompileResult a = CompileText(kEverything, "e.zs");
    CompileResult b = CompileText(kEverything, "e.zs");
    ASSERT_TRUE(a.Ok) << a.Diag.FormatAll();
    auto fa = BuildChunkFile(a.Classes);
    EXPECT_EQ(fa, BuildChunkFile(b.Classes));
    TempDir dir;
    ASSERT_EQ(WriteScriptFile(a.Classes, dir.HostPath("a.dat"), true), "");
    ASSERT_EQ(WriteScriptFile(b.Classes, dir.HostPath("b.dat"), true), "");
    EXPECT_EQ(ReadHostFile(dir.HostPath("a.dat")), ReadHostFile(dir.HostPath("b.dat")));
    // Chunks carry counted GUIDs in class order.
    EXPECT_EQ(ChunkGUID(1), "00000000000000000000000000000001");
    EXPECT_EQ(ChunkGUID(26), "0000000000000000000000000000001A");
}

TEST(ZscFile, StoredClassesReadBackThroughTheChunkFile) {
    CompileResult r = CompileText(kEverything, "e.zs");
    ASSERT_TRUE(r.Ok) << r.Diag.FormatAll();
    for (bool zip : {false, true}) {
        TempDir dir;
        ASSERT_EQ(WriteScriptFile(r.Classes, dir.HostPath("e.dat"), zip), "");
        auto raw = ReadHostFile(dir.HostPath("e.dat"));
        EXPECT_EQ(raw[12], zip ? 1 : 0);
        zFile file;
        ASSERT_TRUE(file.Load(dir.Path("e.dat")));
        ASSERT_EQ(file.ChunkCount(), 2);
        for (int32_t i = 1; i <= 2; ++i) {
            auto chunk = file.GetChunk(i);
            EXPECT_EQ(chunk->ContentName, "zScriptClass");
            EXPECT_EQ(chunk->ContentVersion, 1);
            EXPECT_EQ(chunk->GUID, ChunkGUID(i));
            EXPECT_EQ(chunk->Flags, 0);
            ScriptClassChunk back;
            chunk->Data.Cursor = 0;
            ASSERT_TRUE(back.Import(chunk->Data));
            const ClassRecord& want = r.Classes[size_t(i - 1)];
            EXPECT_EQ(back.Record.Name, want.Name);
            EXPECT_EQ(back.Record.Parents, want.Parents);
            ASSERT_EQ(back.Record.Functions.size(), want.Functions.size());
            for (size_t k = 0; k < want.Functions.size(); ++k) {
                EXPECT_EQ(back.Record.Functions[k].Name, want.Functions[k].Name);
                EXPECT_EQ(back.Record.Functions[k].Super, want.Functions[k].Super);
                EXPECT_EQ(back.Record.Functions[k].Body, want.Functions[k].Body);
                ASSERT_EQ(back.Record.Functions[k].Params.size(), want.Functions[k].Params.size());
                for (size_t p = 0; p < want.Functions[k].Params.size(); ++p)
                    EXPECT_EQ(FormatParam(back.Record.Functions[k].Params[p]), FormatParam(want.Functions[k].Params[p]));
            }
            EXPECT_EQ(back.Record.Init.Body, want.Init.Body);
            // The empty meta record closes the chunk.
            EXPECT_EQ(chunk->Data.GetLength() - chunk->Data.Cursor, 12);
        }
    }
}

TEST(ZscFile, ListingShowsEveryByteOnce) {
    CompileResult r = CompileText(kEverything, "e.zs");
    ASSERT_TRUE(r.Ok);
    for (const auto& c : r.Classes) {
        for (const auto& f : c.Functions) EXPECT_EQ(HexColumn(DisasmBody(f.Body)), f.Body) << f.Name;
        EXPECT_EQ(HexColumn(DisasmBody(c.Init.Body)), c.Init.Body);
    }
    std::string listing = DisasmBody(r.Classes[1].Functions[0].Body);
    EXPECT_NE(listing.find("call \"new\" (1 argument)"), std::string::npos);
    EXPECT_NE(listing.find("(after a match: continue at"), std::string::npos);
    EXPECT_EQ(FormatParam(r.Classes[1].Functions[0].Params[6]), "array g = [1, \"a\"]");
    EXPECT_EQ(FormatParam(r.Classes[1].Functions[0].Params[1]), "int b = 2");
    EXPECT_EQ(FormatParam(r.Classes[1].Functions[0].Params[8]), "var i = \"3\"");
}

TEST(ZscFile, ListingOfDamagedCodeNeverReadsPastTheBody) {
    // Cut every prefix of a real body, then flip bytes: the listing covers
    // exactly the bytes there are.
    CompileResult r = CompileText(kEverything, "e.zs");
    ASSERT_TRUE(r.Ok);
    const auto& body = r.Classes[1].Functions[0].Body;
    for (size_t n = 0; n < body.size(); n += 7) {
        std::vector<uint8_t> cut(body.begin(), body.begin() + long(n));
        EXPECT_EQ(HexColumn(DisasmBody(cut)), cut);
    }
    std::vector<uint8_t> hostile = Hex("06 ffffff7f 00000080 07 ffffff7f 08 10000100 41 29 29 29 05 fdffffff");
    EXPECT_EQ(HexColumn(DisasmBody(hostile)), hostile);
    std::vector<uint8_t> deep(5000, 0x32);  // "return not not not ..."
    deep[0] = 0x03;
    EXPECT_NE(DisasmBody(deep).find("nesting too deep"), std::string::npos);
}

TEST(ZscFile, ListingOfAFile) {
    TempDir dir;
    CompileResult r = CompileText(kHelloSource, "Hello.zs");
    ASSERT_EQ(WriteScriptFile(r.Classes, dir.HostPath("Hello.dat"), true), "");
    std::string listing;
    ASSERT_TRUE(DisasmFile(dir.HostPath("Hello.dat"), listing)) << listing;
    EXPECT_NE(listing.find("1 chunk, packed"), std::string::npos);
    EXPECT_NE(listing.find("GUID \"00000000000000000000000000000001\""), std::string::npos);
    EXPECT_NE(listing.find("func \"add\"(int a, int b = 2)  [16 bytes]"), std::string::npos);
    EXPECT_NE(listing.find("meta (empty)"), std::string::npos);

    // A damaged file is refused with the reason.
    auto raw = ReadHostFile(dir.HostPath("Hello.dat"));
    raw[30] ^= 0xFF;
    zun::test::WriteHostFile(dir.HostPath("bad.dat"), raw);
    EXPECT_FALSE(DisasmFile(dir.HostPath("bad.dat"), listing));
    EXPECT_NE(listing.find("not a readable data file"), std::string::npos) << listing;
    EXPECT_FALSE(DisasmFile(dir.HostPath("none.dat"), listing));

    // A chunk whose class data is cut short is listed as unreadable.
    zStream table;
    table.WriteLong(0);
    table.WriteLong(1);
    table.WriteString("zScriptClass");
    table.WriteByte(1);
    table.WriteString("X");
    table.WriteLong(0);
    table.WriteLong(6);
    table.WriteStream(zStream(Hex("0a000000 4800")));
    std::vector<uint8_t> image;
    ASSERT_TRUE(SaveDataBytes(table.Bytes(), false, "", image));
    zun::test::WriteHostFile(dir.HostPath("cut.dat"), image);
    ASSERT_TRUE(DisasmFile(dir.HostPath("cut.dat"), listing)) << listing;
    EXPECT_NE(listing.find("class chunk unreadable"), std::string::npos) << listing;
}

TEST(ZscCommandLine, CompilesByNameAndReportsErrors) {
    TempDir dir;
    std::filesystem::create_directories(dir.HostPath("scripts"));
    WriteText(dir.HostPath("scripts/Game.zs"), kHelloSource);
    // The shell's form: one bare name, looked up under scripts/.
    EXPECT_EQ(RunZsc("Game", dir.Host()), 0);
    EXPECT_EQ(ToHex(ReadHostFile(dir.HostPath("scripts/Game.dat"))), ToHex(Hex(kHelloDat)));
    // -o and -z.
    EXPECT_EQ(RunZsc("-z -o out.dat scripts/Game.zs", dir.Host()), 0);
    auto packed = ReadHostFile(dir.HostPath("out.dat"));
    ASSERT_GT(packed.size(), 24u);
    EXPECT_EQ(packed[12], 1);

    // A bad source: the error on stderr, status 1, and no output file (an old
    // one is removed).
    WriteText(dir.HostPath("scripts/Game.zs"), "class Hello {\n  func f() { x = ; }\n}\n");
    std::string err;
    EXPECT_EQ(RunZsc("Game", dir.Host(), &err), 1);
    EXPECT_EQ(err, "scripts/Game.zs:2:18: error: expected an expression, found ';'\n");
    EXPECT_FALSE(Exists(dir.HostPath("scripts/Game.dat")));

    // Warnings do not stop the compile.
    WriteText(dir.HostPath("w.zs"), "class A { func msg() { } }");
    EXPECT_EQ(RunZsc("w", dir.Host(), &err), 0);
    EXPECT_NE(err.find("w.zs:1:11: warning: function 'msg'"), std::string::npos) << err;
    EXPECT_TRUE(Exists(dir.HostPath("w.dat")));

    EXPECT_EQ(RunZsc("Nothing", dir.Host(), &err), 1);
    EXPECT_NE(err.find("script 'Nothing' not found"), std::string::npos) << err;
    EXPECT_EQ(RunZsc("''", dir.Host(), &err), 1);  // the empty word of a doubled blank
    EXPECT_EQ(RunZsc("", dir.Host(), &err), 2);
    EXPECT_EQ(RunZsc("-q x", dir.Host(), &err), 2);
    EXPECT_EQ(RunZsc("--disasm w.dat", dir.Host(), &err), 0);
    EXPECT_EQ(RunZsc("--disasm nothing.dat", dir.Host(), &err), 1);
}

TEST(ZscCommandLine, IncludesAndTheNameTheShellCalls) {
    TempDir dir;
    std::filesystem::create_directories(dir.HostPath("lib"));
    WriteText(dir.HostPath("lib/Base.zs"), "class Base { func f() { return 1; } }\n");
    WriteText(dir.HostPath("main.zs"),
              "include \"LIB\\\\base.zs\";\ninclude \"lib/Base.zs\";\nclass Main : Base { }\n");
    EXPECT_EQ(RunZsc("main", dir.Host()), 0);
    std::string listing;
    ASSERT_TRUE(DisasmFile(dir.HostPath("main.dat"), listing));
    EXPECT_NE(listing.find("2 chunks"), std::string::npos) << listing;  // the file is read once

    WriteText(dir.HostPath("bad.zs"), "include \"missing.zs\";\n");
    std::string err;
    EXPECT_EQ(RunZsc("bad", dir.Host(), &err), 1);
    EXPECT_NE(err.find("bad.zs:1:9: error: cannot open"), std::string::npos) << err;

    WriteText(dir.HostPath("lib/Broken.zs"), "class X {\n  ?\n}\n");
    WriteText(dir.HostPath("inc.zs"), "include \"lib/Broken.zs\";\n");
    EXPECT_EQ(RunZsc("inc", dir.Host(), &err), 1);
    EXPECT_NE(err.find("lib/Broken.zs:2:3: error: unexpected character '?'"), std::string::npos) << err;

    // The program folder holds the compiler under the name the game runs.
    std::filesystem::path bin = std::filesystem::path(Exe()).parent_path();
    EXPECT_TRUE(Exists((bin / "Compiler.exe").string()));
}
