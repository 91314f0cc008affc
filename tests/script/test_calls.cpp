// Calls: the lookup order, the call forms, qualified calls, super, the game's
// table, and calls that reach no function.
#include "ScriptTestSupport.h"

namespace zun::test {
namespace {

using Calls = ScriptTest;

// Scopes are reused from call to call: a later call must not see the locals
// of an earlier one, nor a member read see what a member call left behind.
TEST_F(Calls, EachCallStartsWithAnEmptyScope) {
    Bc f;
    f.CallStmt("g", 1).Int(7);
    f.Assign("o").Call("new", 1).Str("C");
    f.U8(9).Var("o").Call("g", 1).Int(8);
    f.Return().List(3).Call("h", 0).U8(9).Var("o").Call("h", 0).U8(9).Var("o").Var("t");
    AddClass("C", {{"g", Bc().Assign("t").Var("k").Return().Int(0).b, {{"k"}}},
                   {"h", Bc().Return().Call("set", 1).Var("t").b},
                   {"f", f.b}});
    ValueRef r = Object("C")->Execute("f");
    zScriptArray* a = r->GetArray();
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->At(1)->GetBool());
    EXPECT_FALSE(a->At(2)->GetBool());
    EXPECT_TRUE(log.Contains("Value not set\tt"));
}

TEST_F(Calls, EngineBuiltinsBeatClassFunctionsButQualifiedCallsReachThem) {
    AddClass("P", {{"count", Bc().Return().Int(-1).b}});
    Bc f;
    f.Return().List(2).Call("count", 1).Str("abc").Call("P.count", 1).Str("abc");
    AddClass("C", {{"f", f.b}}, {}, {"P"});
    ValueRef r = Object("C")->Execute("f");
    EXPECT_EQ(r->GetArray()->At(1)->GetLong(), 3);
    EXPECT_EQ(r->GetArray()->At(2)->GetLong(), -1);
}

TEST_F(Calls, QualifiedCallToAClassThatIsNoParentIsEmpty) {
    AddClass("Other", {{"g", Bc().Return().Int(1).b}});
    AddClass("C", {{"f", Bc().Return().Call("Other.g", 0).b}});
    ValueRef r = Object("C")->Execute("f");
    EXPECT_TRUE(r->Data.IsEmpty());
    EXPECT_FALSE(log.Contains("ERR"));
}

TEST_F(Calls, SetStaticGlobalAndParentheses) {
    Bc b;
    b.Assign("s").Call("set", 1).Var("unset");
    b.Assign("x").Int(3);
    b.Assign("t").Call("set", 1).Var("x");
    b.CallStmt("static", 0);
    b.CallStmt("static", 1).Var("x");
    b.CallStmt("global", 1).Int(5);  // a value without a name: the global ""
    b.CallStmt("global", 1).Var("x");
    b.Return().List(4).Var("s").Var("t").Call("", 1).Op(60).Int(1).Int(2).Var("x");
    AddClass("T", {{"f", b.b}}, Bc().Assign("x").Empty().b);
    auto o = Object("T");
    ValueRef r = o->Execute("f");
    zScriptArray* a = r->GetArray();
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->At(1)->GetBool());
    EXPECT_TRUE(log.Contains("Value not set\tunset"));
    EXPECT_TRUE(a->At(2)->GetBool());
    EXPECT_EQ(a->At(3)->GetLong(), 3);
    EXPECT_TRUE(o->Locals->GetName("x")->Fixed);
    EXPECT_EQ(zScript.Globals->GetName("")->GetLong(), 5);
    EXPECT_EQ(zScript.Globals->GetName("x")->GetLong(), 3);
}

TEST_F(Calls, GlobalOfAnArrayStaysAnArray) {
    Bc b;
    b.Assign("l").List(2).Int(1).Int(2);
    b.CallStmt("global", 1).Var("l");
    AddClass("T", {{"f", b.b}});
    Object("T")->Execute("f");
    zScriptValue* g = zScript.Globals->GetName("l");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Typ, typArray);
    EXPECT_EQ(g->GetArray()->Size(), 2);
}

TEST_F(Calls, FormsWithoutTheirArgumentFail) {
    for (const char* form : {"", "global", "set", "new"}) {
        zScript.Classes.clear();
        log.Clear();
        RunBody(Bc().Return().Call(form, 0).b);
        EXPECT_TRUE(log.Contains("ERR\tScript")) << form;
    }
}

TEST_F(Calls, NewMakesObjects) {
    AddClass("Thing", {{"v", Bc().Return().Var("n").b}}, Bc().Assign("n").Int(4).b);
    Bc b;
    b.Return().List(2).Call("new", 1).Str("Thing").Call("new", 1).Str("Nope");
    ValueRef r = RunBody(b.b);
    zScriptArray* a = r->GetArray();
    auto made = std::dynamic_pointer_cast<zScriptObject>(a->At(1)->GetObject());
    ASSERT_TRUE(made);
    EXPECT_EQ(made->Execute("v")->GetLong(), 4);
    EXPECT_EQ(a->At(2)->Typ, typObject);
    EXPECT_FALSE(a->At(2)->GetObject());
    EXPECT_TRUE(log.Contains("ERR\tScript class not found\tNope"));
}

TEST_F(Calls, UnknownNamesAreEmptyAndOnlyLoggedWithoutAClass) {
    AddClass("T", {{"f", Bc().Return().Call("nothingKnowsMe", 0).b}},
             Bc().CallStmt("alsoUnknown", 0).Assign("after").Int(1).b);
    auto o = Object("T");
    EXPECT_TRUE(log.Contains("ERR\tUndefined function\talsoUnknown"));
    EXPECT_EQ(o->Locals->GetName("after")->GetLong(), 1);  // evaluation went on
    ValueRef r = o->Execute("f");
    EXPECT_TRUE(r->Data.IsEmpty());
    EXPECT_FALSE(log.Contains("nothingKnowsMe"));
}

TEST_F(Calls, TheGameTableComesBeforeTheHostAndTheClass) {
    std::vector<std::string> seen;
    gScriptHooks.CallGameFunction = [&](zScriptObject* caller, zScriptArray*, const std::string& name,
                                        zScriptArgs& args) -> ValueRef {
        seen.push_back(name);
        if (name != "rgb" && name != "mine") return nullptr;
        ValueRef v = zScriptValue::New();
        v->SetLong(args.Count() * 100 + (caller ? 1 : 0));
        return v;
    };
    AddClass("T", {{"mine", Bc().Return().Int(-1).b},
                   {"own", Bc().Return().Int(7).b},
                   {"f", Bc().Return().List(4).Call("rgb", 3).Int(1).Int(2).Int(3).Call("mine", 0)
                             .Call("own", 0).Call("strlen", 1).Str("ab").b}});
    ValueRef r = Object("T")->Execute("f");
    zScriptArray* a = r->GetArray();
    EXPECT_EQ(a->At(1)->GetLong(), 301);
    EXPECT_EQ(a->At(2)->GetLong(), 1);
    EXPECT_EQ(a->At(3)->GetLong(), 7);
    EXPECT_EQ(a->At(4)->GetLong(), 2);
    // Engine built-ins never reach the game's table.
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "strlen"), 0);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "own"), 1);

    // With the name list, the table is asked only for its own names.
    seen.clear();
    gScriptHooks.IsGameFunction = [](const std::string& n) { return n == "rgb" || n == "mine"; };
    zScript.ResetDispatch();
    r = Object("T")->Execute("f");
    EXPECT_EQ(r->GetArray()->At(1)->GetLong(), 301);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "own"), 0);
}

TEST_F(Calls, ArgumentsOfAMemberCallAreReadWhereWritten) {
    AddClass("Box", {{"put", Bc().Assign("got").Var("n").Return().Call("who", 0).b, {{"n"}}},
                     {"who", Bc().Return().Str("box").b}},
             Bc().Assign("x").Str("box's x").Assign("got").Empty().b);
    Bc u;
    u.Assign("b").Call("new", 1).Str("Box");
    u.Assign("x").Str("writer's x");
    u.Return().List(2).Member().Var("b").Call("put", 1).Var("x").Member().Var("b").Var("got");
    AddClass("User", {{"f", u.b}, {"who", Bc().Return().Str("user").b}});
    ValueRef r = Object("User")->Execute("f");
    zScriptArray* a = r->GetArray();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->At(1)->GetString(), "box");  // the call itself runs in the target
    EXPECT_EQ(a->At(2)->GetString(), "writer's x");
}

TEST_F(Calls, ArgumentsCallingFunctionsResolveInTheWritersClass) {
    AddClass("Box", {{"echo", Bc().Return().Var("n").b, {{"n"}}}, {"who", Bc().Return().Str("box").b}});
    Bc u;
    u.Assign("b").Call("new", 1).Str("Box");
    u.Return().Member().Var("b").Call("echo", 1).Call("who", 0);
    AddClass("User", {{"f", u.b}, {"who", Bc().Return().Str("user").b}});
    EXPECT_EQ(Object("User")->Execute("f")->GetString(), "user");
}

TEST_F(Calls, SuperFromATakenOverFunctionRunsTheParentOnce) {
    // P.f logs "P"; G.f logs "G" then super(); C inherits G and takes f over.
    AddClass("P", {{"f", Bc().CallStmt("log", 1).Str("P").b}});
    AddClass("G", {{"f", Bc().CallStmt("log", 1).Str("G").CallStmt("super", 0).b}}, {}, {"P"});
    AddClass("C", {}, {}, {"G"});
    Object("C")->Execute("f");
    std::vector<std::string> order;
    for (const auto& l : log.Lines()) {
        if (l == "P" || l == "G") order.push_back(l);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"G", "P"}));
}

TEST_F(Calls, SuperFlaggedFunctionsPassOnTheParentsResult) {
    AddClass("A", {{"v", Bc().Return().Int(1).b}});
    AddClass("B", {{"v", Bc().Return().Int(2).b}});
    // C.v is flagged super naming B; D takes it over from C.
    AddClass("C", {{"v", {}, {{"B"}}, true}}, {}, {"A", "B"});
    AddClass("D", {}, {}, {"C"});
    EXPECT_EQ(Object("C")->Execute("v")->GetLong(), 2);
    EXPECT_EQ(Object("D")->Execute("v")->GetLong(), 2);
    // Unnamed: the first parent that has it.
    AddClass("E", {{"v", {}, {}, true}}, {}, {"A", "B"});
    EXPECT_EQ(Object("E")->Execute("v")->GetLong(), 1);
}

TEST_F(Calls, SuperAndQualifiedCallsFailInAnInitialiser) {
    AddClass("P", {{"g", Bc().Return().Int(1).b}});
    AddClass("C", {}, Bc().Assign("x").Call("P.g", 0).b, {"P"});
    Object("C");
    EXPECT_TRUE(log.Contains("ERR\tScript\tC."));
}

TEST_F(Calls, CallByNameDropsTheResult) {
    AddClass("T", {{"g", Bc().Assign("hit").Int(1).Return().Int(5).b},
                   {"f", Bc().Return().Call("callByName", 2).This().Str("g").b}},
             Bc().Assign("hit").Int(0).b);
    auto o = Object("T");
    ValueRef r = o->Execute("f");
    EXPECT_TRUE(r->Data.IsEmpty());
    EXPECT_EQ(o->Locals->GetName("hit")->GetLong(), 1);
}

TEST_F(Calls, ScriptCallsBindArgumentsByContentAndTheGameGetsTheValuesThemselves) {
    // g(int a, int b = 7, str c) returns [a, b, c]; f() { v = 1; r = g(1.5 + 1, unset, v); return [r, v]; }
    std::vector<ParamSpec> ps = {{"a", typInt, HostValue()}, {"b", typInt, HostValue(int32_t(7))}, {"c", typStr}};
    Bc f;
    f.Assign("v").Int(1);
    f.Assign("r").Call("g", 3).Op(60).Float(1.5f).Int(1).Var("unset").Var("v");
    f.Return().List(2).Var("r").Var("v");
    AddClass("K", {{"g", Bc().Return().List(3).Var("a").Var("b").Var("c").b, ps}, {"f", f.b}});
    ValueRef r = Object("K")->Execute("f");
    zScriptArray* got = r->GetArray()->At(1)->GetArray();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->At(1)->Typ, typFloat);  // the content's kind decides, a Double becomes a Single
    EXPECT_FLOAT_EQ(got->At(1)->GetSingle(), 2.5f);
    EXPECT_EQ(got->At(2)->Typ, typInt);  // Nothing passed: the declared type, no default
    EXPECT_TRUE(got->At(2)->Data.IsEmpty());
    EXPECT_EQ(got->At(3)->Typ, typInt);
    EXPECT_EQ(got->At(3)->GetLong(), 1);

    // A name the game's table knows gets value objects: a fresh one for an
    // operator, Nothing for the unset variable, the variable itself otherwise.
    gScriptHooks.IsGameFunction = [](const std::string& n) { return n == "g"; };
    gScriptHooks.CallGameFunction = [](zScriptObject*, zScriptArray*, const std::string&,
                                       zScriptArgs& args) -> ValueRef {
        EXPECT_EQ(args.Count(), 3);
        EXPECT_EQ(args[1]->Typ, typFloat);
        EXPECT_EQ(args[1]->RefCount(), 1);
        EXPECT_EQ(args[2], nullptr);
        args[3]->SetLong(99);
        return zScriptValue::New();
    };
    zScript.ResetDispatch();
    r = Object("K")->Execute("f");
    EXPECT_EQ(r->GetArray()->At(2)->GetLong(), 99);
}

}  // namespace
}  // namespace zun::test
