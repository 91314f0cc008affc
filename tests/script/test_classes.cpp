// Classes and inheritance, script objects and their saved values, and loading
// compiled script files.
#include "ScriptTestSupport.h"

#include <algorithm>

#include "core/zMemory.h"

namespace zun::test {
namespace {

using Classes = ScriptTest;

std::vector<uint8_t> RetInt(int v) { return Bc().Return().Int(v).b; }

TEST_F(Classes, OverrideAndTakeOver) {
    AddClass("A", {{"f", RetInt(1)}, {"onLoad", RetInt(10)}, {"g", RetInt(11)}});
    AddClass("B", {{"f", RetInt(2)}, {"h", RetInt(22)}});
    AddClass("C", {{"onLoad", RetInt(30)}}, {}, {"A", "B"});
    auto o = Object("C");
    EXPECT_EQ(o->Execute("onLoad")->GetLong(), 30);  // its own
    EXPECT_EQ(o->Execute("f")->GetLong(), 1);         // the first parent wins
    EXPECT_EQ(o->Execute("h")->GetLong(), 22);
    EXPECT_EQ(o->Class->FunctionCount(), 4);
    EXPECT_EQ(o->Class->FindFunction("f"), zScript.FindScriptClass("A")->FindFunction("f"));  // shared record
    EXPECT_EQ(o->Class->FindFunction("F"), nullptr);  // case-sensitive
    EXPECT_EQ(o->Class->FindParentClass("B"), zScript.FindScriptClass("B").get());
    EXPECT_EQ(o->Class->GetFunction(1)->Name, "onLoad");
    EXPECT_EQ(o->Class->GetFunction(0), nullptr);
    EXPECT_EQ(zScriptClass::HashName("abc"), 4833283);
    EXPECT_EQ(zScriptClass::HashName("Position"), 32227336);
    EXPECT_EQ(o->Class->FindFunction("f")->NameHash, zScriptClass::HashName("f"));
}

TEST_F(Classes, AParentLoadedLaterContributesNothing) {
    AddClass("Child", {}, {}, {"Later"});
    EXPECT_TRUE(log.Contains("ERR\tLoad inherit class\tChild( Later )"));
    AddClass("Later", {{"f", RetInt(1)}});
    EXPECT_TRUE(Object("Child")->Execute("f")->Data.IsEmpty());
}

TEST_F(Classes, InitialisersRunParentsFirst) {
    AddClass("A", {}, Bc().CallStmt("log", 1).Str("A").b);
    AddClass("B", {}, Bc().CallStmt("log", 1).Str("B").b, {"A"});
    AddClass("C", {}, Bc().CallStmt("log", 1).Str("C").b, {"B"});
    Object("C");
    std::vector<std::string> order;
    for (const auto& l : log.Lines()) order.push_back(l);
    EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(Classes, TakenOverFunctionsRunAsTheChild) {
    // A.f calls g(); the child C defines its own g.
    AddClass("A", {{"f", Bc().Return().Call("g", 0).b}, {"g", RetInt(1)}});
    AddClass("C", {{"g", RetInt(2)}}, {}, {"A"});
    EXPECT_EQ(Object("C")->Execute("f")->GetLong(), 2);
    EXPECT_EQ(Object("A")->Execute("f")->GetLong(), 1);
}

TEST_F(Classes, ObjectsWithoutAClass) {
    auto o = zScriptObject::New();
    EXPECT_EQ(o->Execute("onLoad"), nullptr);
    EXPECT_FALSE(o->SetClass(""));
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_FALSE(o->SetClass("Missing"));
    EXPECT_TRUE(log.Contains("ERR\tScript class not found\tMissing"));
    EXPECT_EQ(o->Class, nullptr);
    // A class attached before is dropped by a failed SetClass.
    AddClass("K", {{"f", RetInt(1)}});
    EXPECT_TRUE(o->SetClass("K"));
    EXPECT_FALSE(o->SetClass("Missing"));
    EXPECT_EQ(o->Execute("f"), nullptr);
}

TEST_F(Classes, ExecuteDeliversVarArguments) {
    AddClass("T", {{"f", Bc().Return().List(2).Var("a").Var("b").b, {{"a", typVar}, {"b", typVar}}},
                   {"raw", Bc().Return().Var("a").b, {{"a", typVar}}}});
    auto o = Object("T");
    ValueRef r = o->Execute("f", {3, "x"});
    zScriptArray* a = r->GetArray();
    EXPECT_EQ(a->At(1)->Typ, typInt);  // typed by the binding
    EXPECT_EQ(a->At(1)->GetLong(), 3);
    EXPECT_EQ(a->At(2)->GetString(), "x");
    // Missing events give an empty value without a word.
    EXPECT_TRUE(o->Execute("notThere")->Data.IsEmpty());
    EXPECT_TRUE(o->Execute("neverInternedName_q9z")->Data.IsEmpty());
    EXPECT_TRUE(log.Lines().empty());
    // A list of script values is used as it is.
    zScriptArgs args;
    ValueRef v = zScriptValue::New();
    v->SetString("y");
    args.Push(v);
    EXPECT_EQ(o->ExecuteList("raw", args)->GetString(), "y");
}

TEST_F(Classes, FixedValuesSurviveTheirObject) {
    // static(x) in the initialiser; y is not fixed.
    Bc init;
    init.Assign("x").Int(1).Assign("y").Int(1).CallStmt("static", 1).Var("x");
    AddClass("L", {{"bump", Bc().Assign("x").Int(5).Assign("y").Int(5).b}}, init.b);
    auto first = Object("L", "door1");
    EXPECT_EQ(first->Name, "door1");
    first->Execute("bump");
    first->SaveValues();
    first->SaveValues();  // a second save copies into the same entry
    EXPECT_EQ(zScript.SavedValues->Size(), 1);
    auto second = Object("L", "door1");
    second->LoadValues();
    EXPECT_EQ(second->Locals->GetName("x")->GetLong(), 5);
    EXPECT_EQ(second->Locals->GetName("y")->GetLong(), 1);
    auto other = Object("L", "door2");
    other->LoadValues();
    EXPECT_EQ(other->Locals->GetName("x")->GetLong(), 1);
    auto unnamed = Object("L");
    unnamed->SaveValues();
    EXPECT_EQ(zScript.SavedValues->Size(), 1);
}

TEST_F(Classes, AFailingHandlerIsContainedAndTheNextEventRuns) {
    AddClass("H", {{"bad", Bc().Return().Call("chr", 1).Int(999).b}, {"good", RetInt(1)}},
             Bc().Assign("a").Int(1).Assign("b").Op(63).Int(1).Int(0).Assign("c").Int(1).b);
    auto o = zScriptObject::New();
    EXPECT_TRUE(o->SetClass("H"));  // the initialiser failed half way, the class stays
    EXPECT_TRUE(log.Contains("ERR\tScript\tH.\tDivision by zero"));
    EXPECT_EQ(o->Locals->GetName("a")->GetLong(), 1);
    EXPECT_EQ(o->Locals->GetName("c"), nullptr);
    ValueRef r = o->Execute("bad");
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->Data.IsEmpty());
    EXPECT_TRUE(log.Contains("ERR\tScript\tH.bad"));
    EXPECT_EQ(o->Execute("good")->GetLong(), 1);
}

TEST_F(Classes, AScriptMayDropItsOwnObject) {
    // The game's table lets a script release the only reference to its object.
    std::shared_ptr<zScriptObject> holder;
    gScriptHooks.CallGameFunction = [&](zScriptObject*, zScriptArray*, const std::string& name,
                                        zScriptArgs&) -> ValueRef {
        if (name != "removeMe") return nullptr;
        holder.reset();
        return zScriptValue::New();
    };
    AddClass("T", {{"f", Bc().CallStmt("removeMe", 0).Assign("v").Int(2).Return().Var("v").b}},
             Bc().Assign("v").Int(1).b);
    holder = Object("T");
    std::weak_ptr<zScriptObject> watch = holder;
    ValueRef r = holder->Execute("f");
    EXPECT_EQ(r->GetLong(), 2);
    EXPECT_TRUE(watch.expired());
}

// ---- loading ---------------------------------------------------------------------

const char* kHello =
    "5a 55 4e 32 b9 00 00 00 be 90 0c 75 00 00 00 00 b9 00 00 00 be 90 0c 75 00 00 00 00 01 00 00 00 "
    "0c 00 00 00 7a 53 63 72 69 70 74 43 6c 61 73 73 01 20 00 00 00 30 30 30 30 30 30 30 30 30 30 30 "
    "30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 31 00 00 00 00 71 00 00 00 71 00 00 "
    "00 0a 00 00 00 48 00 65 00 6c 00 6c 00 6f 00 00 00 00 00 01 00 00 00 06 00 00 00 61 00 64 00 64 "
    "00 00 02 00 00 00 03 02 00 00 00 61 00 00 00 00 00 03 02 00 00 00 62 00 02 00 00 00 10 00 00 00 "
    "10 00 00 00 03 3c 05 02 00 00 00 61 00 05 02 00 00 00 62 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";

class Loading : public ScriptTest {
protected:
    TempDir dir;
    std::string Write(const std::string& name, const std::vector<uint8_t>& payload) {
        zStream s(payload);
        EXPECT_TRUE(s.FileExport(dir.Path(name), false));
        return name;
    }
    void SetUp() override {
        ScriptTest::SetUp();
        zScript.ScriptPath = dir.Path();
    }
};

TEST_F(Loading, TheHelloFixture) {
    std::vector<uint8_t> bytes = Hex(kHello);
    ASSERT_EQ(bytes.size(), 210u);
    WriteHostFile(dir.HostPath("Hello.dat"), bytes);
    zScript.LoadScriptFile("Hello.dat");
    auto o = Object("Hello");
    EXPECT_EQ(o->Execute("add", {3})->GetLong(), 5);
    EXPECT_EQ(o->Execute("add", {3, 4})->GetLong(), 7);
    // Saving the class again gives the same chunk data.
    zStream s;
    o->Class->Export(s);
    std::vector<uint8_t> data(bytes.begin() + 0x61, bytes.begin() + 0x61 + 0x71 - 12);
    EXPECT_EQ(ToHex(s.Bytes()), ToHex(data));
}

TEST_F(Loading, LoadingTwiceMakesANewerVersion) {
    Write("v.dat", ScriptFile({ClassChunk("V", {{"f", RetInt(1)}})}));
    zScript.LoadScriptFile("v.dat");
    auto before = Object("V");
    zScript.LoadScriptFile("v.dat");
    ASSERT_EQ(zScript.Classes.size(), 2u);
    EXPECT_EQ(zScript.Classes[0]->InheritLevel, 0);
    EXPECT_EQ(zScript.Classes[1]->InheritLevel, 1);
    auto after = Object("V");
    EXPECT_EQ(after->Class->InheritLevel, 1);
    EXPECT_EQ(before->Class->InheritLevel, 0);
    EXPECT_EQ(zScript.FindScriptClass("v"), nullptr);
}

TEST_F(Loading, ANewerVersionNamingItselfInherits) {
    Write("a.dat", ScriptFile({ClassChunk("V", {{"f", RetInt(1)}, {"g", RetInt(2)}})}));
    Write("b.dat", ScriptFile({ClassChunk("V", {{"g", RetInt(20)}}, {}, {"V"})}));
    zScript.LoadScriptFile("a.dat");
    zScript.LoadScriptFile("b.dat");
    auto o = Object("V");
    EXPECT_EQ(o->Execute("f")->GetLong(), 1);
    EXPECT_EQ(o->Execute("g")->GetLong(), 20);
    EXPECT_FALSE(log.Contains("ERR"));
}

TEST_F(Loading, ClassesOfOneFileSeeEachOther) {
    Write("two.dat",
          ScriptFile({ClassChunk("Base", {{"f", RetInt(1)}}), ClassChunk("Derived", {}, {}, {"Base"})}));
    zScript.LoadScriptFile("two.dat");
    EXPECT_EQ(Object("Derived")->Execute("f")->GetLong(), 1);
}

TEST_F(Loading, MissingAndUnreadableFiles) {
    zScript.LoadScriptFile("nope.dat");
    EXPECT_TRUE(log.Contains("ERR\tLoadScriptFile\tFile not found\t<nope.dat>"));
    std::string boxText;
    gScriptHooks.MessageBox = [&](const std::string& text, const std::string&, int32_t style) {
        boxText = text;
        EXPECT_EQ(style, kBoxCritical);
        return 1;
    };
    WriteHostFile(dir.HostPath("junk.dat"), {1, 2, 3, 4, 5});
    zScript.LoadScriptFile("junk.dat");
    EXPECT_EQ(boxText, "Error loading script:\r\n\r\n<junk.dat>");
    EXPECT_TRUE(zScript.Classes.empty());
}

// A compiled script is read to the end of its classes and within what a
// script can need: bytes after the classes, a file that would unpack past
// that, and classes past what loaded code may take in all (a script that
// loads its own file again and again) each load nothing, and say so.
TEST_F(Loading, AScriptFileIsReadToItsEndAndWithinItsBounds) {
    struct Restore {
        size_t file = zScript.MaxScriptFileBytes, code = zScript.MaxScriptCodeBytes;
        ~Restore() {
            zScript.MaxScriptFileBytes = file;
            zScript.MaxScriptCodeBytes = code;
        }
    } restore;
    int boxes = 0;
    gScriptHooks.MessageBox = [&](const std::string&, const std::string&, int32_t) { return ++boxes; };
    std::vector<uint8_t> tail = ScriptFile({ClassChunk("T", {{"f", RetInt(1)}})});
    tail.resize(tail.size() + 100000);
    zStream packed(tail);
    ASSERT_TRUE(packed.FileExport(dir.Path("tail.dat"), true));
    zScript.LoadScriptFile("tail.dat");
    EXPECT_TRUE(log.Contains("ERR\tLoadScriptFile\t100000 bytes after the end of the script\t<tail.dat>"));
    EXPECT_TRUE(zScript.Classes.empty());
    EXPECT_EQ(boxes, 1);

    zScript.MaxScriptFileBytes = 50000;
    zScript.LoadScriptFile("tail.dat");
    EXPECT_TRUE(log.Contains("ERR\tFile too large\t" + dir.Path("tail.dat") + "\t" + std::to_string(tail.size()) +
                             " bytes of at most 50000"));
    EXPECT_TRUE(zScript.Classes.empty());
    EXPECT_EQ(boxes, 2);

    Write("v.dat", ScriptFile({ClassChunk("V", {{"f", RetInt(1)}})}));
    const int64_t before = zMemory.Held[size_t(HeldKind::ScriptCode)];
    zScript.LoadScriptFile("v.dat");
    const int64_t one = zMemory.Held[size_t(HeldKind::ScriptCode)] - before;
    ASSERT_GT(one, 0);
    zScript.MaxScriptCodeBytes = size_t(before + 3 * one);
    for (int i = 0; i < 5; ++i) zScript.LoadScriptFile("v.dat");
    EXPECT_EQ(zScript.Classes.size(), 3u);
    EXPECT_EQ(std::count_if(log.Lines().begin(), log.Lines().end(),
                            [](const std::string& l) {
                                return l.rfind("ERR\tLoadScriptFile\tScript code budget used up\t<v.dat>", 0) == 0;
                            }),
              3);
    EXPECT_EQ(Object("V")->Execute("f")->GetLong(), 1);
}

TEST_F(Loading, ABadClassChunkRegistersNothingFromTheFile) {
    std::vector<uint8_t> good = ClassChunk("Good", {{"f", RetInt(1)}});
    std::vector<uint8_t> bad = ClassChunk("Bad", {{"f", RetInt(1)}});
    bad.resize(bad.size() - 10);  // truncated inside its initialiser
    Write("mixed.dat", ScriptFile({good, bad}));
    zScript.LoadScriptFile("mixed.dat");
    EXPECT_TRUE(zScript.Classes.empty());
    EXPECT_TRUE(log.Contains("LoadScriptFile"));
}

TEST_F(Loading, ChunksOfOtherClassesAreIgnored) {
    zStream s;
    s.WriteLong(0);
    s.WriteLong(2);
    s.WriteString("zNotAClass");
    s.WriteByte(1);
    s.WriteString("");
    s.WriteLong(0);
    s.WriteLong(1);
    s.WriteLong(1);
    s.WriteByte(0);
    std::vector<uint8_t> data = ClassChunk("Only", {{"f", RetInt(3)}});
    data.insert(data.end(), 12, 0);
    s.WriteString("zScriptClass");
    s.WriteByte(1);
    s.WriteString("");
    s.WriteLong(0);
    s.WriteLong(static_cast<int32_t>(data.size()));
    s.WriteLong(static_cast<int32_t>(data.size()));
    for (uint8_t c : data) s.WriteByte(c);
    Write("other.dat", s.Bytes());
    zScript.LoadScriptFile("other.dat");
    ASSERT_EQ(zScript.Classes.size(), 1u);
    EXPECT_EQ(Object("Only")->Execute("f")->GetLong(), 3);
}

TEST_F(Loading, HostileCountsFailWithoutHugeAllocations) {
    // A function count of two billion in a tiny chunk.
    zStream c;
    c.WriteStringU("X");
    c.WriteLong(0);
    c.WriteLong(2000000000);
    Write("huge.dat", ScriptFile({c.Bytes()}));
    zScript.LoadScriptFile("huge.dat");
    EXPECT_TRUE(zScript.Classes.empty());
    // A body length beyond its bytes.
    std::vector<uint8_t> rec = FunctionRecord("f", RetInt(1));
    std::vector<uint8_t> chunk = ClassChunk("Y", {{"f", RetInt(1)}});
    // Patch the body length L (after name, flag and parameter count) to a huge value.
    size_t at = 4 + 2 + 4 + 4 + 4 + 2 + 1 + 4;
    int32_t big = 0x7fffffff;
    std::memcpy(&chunk[at], &big, 4);
    Write("long.dat", ScriptFile({chunk}));
    zScript.LoadScriptFile("long.dat");
    EXPECT_TRUE(zScript.Classes.empty());
}

TEST_F(Loading, TooManyVersionsOfOneClassAreRefused) {
    Write("v.dat", ScriptFile({ClassChunk("V", {})}));
    for (int i = 0; i < 257; ++i) zScript.LoadScriptFile("v.dat");
    EXPECT_EQ(zScript.Classes.size(), 256u);
    EXPECT_TRUE(log.Contains("Too many versions"));
}

// An error line that a running script caused is followed by a line naming the
// class that wrote the function, the function and the object's key name; the
// error's repeats are still counted, without a line each. An error outside
// any script gets no such line.
TEST_F(Classes, AnErrorOfARunningScriptIsFollowedByWhereItCameFrom) {
    AddClass("Base", {{"f", Bc().Return().Var("nope").b}});
    AddClass("Kid", {{"g", Bc().Return().Int(1).b}}, Bc().Assign("x").Var("early").b, {"Base"});
    zCore.CountRepeats = true;
    zCore.FrameCounter = 1;
    auto kid = Object("Kid", "barrel1");
    for (int i = 0; i < 3; ++i) kid->Execute("f");
    Log("INF", "other");
    Object("Kid")->Execute("f");
    Log("ERR", "outside");
    zCore.CountRepeats = false;
    zCore.FrameCounter = 0;
    const std::vector<std::string> want = {
        "ERR\tValue not set\tearly", "INF\tScript\tKid.",
        "ERR\tValue not set\tnope",  "INF\tScript\tBase.f\tbarrel1",
        "LOG\tLast line repeated\t2 times", "INF\tother",
        "ERR\tValue not set\tearly", "INF\tScript\tKid.",
        "ERR\tValue not set\tnope",  "INF\tScript\tBase.f",
        "ERR\toutside"};
    EXPECT_EQ(log.Lines(), want);
}

}  // namespace
}  // namespace zun::test
