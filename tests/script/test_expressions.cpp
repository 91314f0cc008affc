// Expressions: the operators on every type, "in", paths, array literals,
// member access, and reading going on correctly after expressions that end
// early.
#include "ScriptTestSupport.h"

namespace zun::test {
namespace {

class Expressions : public ScriptTest {
protected:
    // Evaluates one expression (written by `write`) as the function's result.
    template <class W>
    ValueRef Eval(W write) {
        Bc b;
        b.Return();
        write(b);
        zScript.Classes.clear();
        return RunBody(b.b);
    }
    ValueRef Bin(int op, std::function<void(Bc&)> a, std::function<void(Bc&)> c) {
        return Eval([&](Bc& b) {
            b.Op(op);
            a(b);
            c(b);
        });
    }
};

auto I(int32_t v) {
    return [v](Bc& b) { b.Int(v); };
}
auto F(float v) {
    return [v](Bc& b) { b.Float(v); };
}
auto S(std::string s) {
    return [s](Bc& b) { b.Str(s); };
}
auto Vv(std::string n) {
    return [n](Bc& b) { b.Var(n); };
}

TEST_F(Expressions, TextOperators) {
    EXPECT_EQ(Bin(61, S("abcb"), S("b"))->GetString(), "ac");
    EXPECT_EQ(Bin(60, S("ab"), I(1))->GetString(), "ab1");
    EXPECT_EQ(Bin(60, I(1), S("ab"))->GetString(), "1ab");
    EXPECT_EQ(Bin(67, S("a"), S("b"))->GetString(), "ab");
    EXPECT_TRUE(Bin(30, S("5"), I(5))->GetBool());
    EXPECT_TRUE(Bin(31, S("a"), S("A"))->GetBool());
    EXPECT_TRUE(Bin(65, S("hello"), S("h*o"))->GetBool());
    EXPECT_TRUE(Bin(66, S("hello"), S("h?o"))->GetBool());
    // < with text gives an empty value, which a condition reads as false.
    ValueRef lt = Bin(32, S("a"), S("b"));
    EXPECT_EQ(lt->Typ, typVar);
    EXPECT_FALSE(lt->GetBool());
    EXPECT_EQ(Bin(60, F(1.5f), S("x"))->GetString(), "1.5x");
}

TEST_F(Expressions, ArithmeticKeepsTheLeftType) {
    ValueRef a = Bin(60, I(2), F(2.5f));
    EXPECT_EQ(a->Typ, typInt);
    EXPECT_EQ(a->GetString(), "4.5");
    ValueRef b = Bin(60, F(2.5f), I(2));
    EXPECT_EQ(b->Typ, typFloat);
    ValueRef d = Bin(63, I(7), I(2));
    EXPECT_EQ(d->Typ, typInt);
    EXPECT_EQ(d->GetLong(), 4);  // 3.5 reads back rounded to even
    EXPECT_EQ(Bin(65, I(7), I(2))->GetLong(), 1);
    EXPECT_EQ(Bin(67, I(6), I(3))->GetLong(), 2);
    EXPECT_EQ(Bin(69, I(6), I(3))->GetLong(), 7);
    EXPECT_EQ(Bin(64, I(2), I(3))->GetLong(), 8);
    EXPECT_EQ(Bin(62, I(6), I(7))->GetLong(), 42);
    EXPECT_TRUE(Bin(68, I(1), I(2))->GetBool());
    EXPECT_FALSE(Bin(68, I(1), I(0))->GetBool());
    EXPECT_TRUE(Bin(70, I(0), I(2))->GetBool());
    EXPECT_TRUE(Bin(32, I(1), F(1.5f))->GetBool());
    EXPECT_TRUE(Bin(35, I(2), I(2))->GetBool());
    // An unknown operator code: an empty content typed by the larger type.
    ValueRef u = Bin(99, I(1), F(2));
    EXPECT_EQ(u->Typ, typFloat);
    EXPECT_TRUE(u->Data.IsEmpty());
}

TEST_F(Expressions, OneOperandOperators) {
    EXPECT_EQ(Eval([](Bc& b) { b.Op(50).Str("abc"); })->GetString(), "cba");
    EXPECT_EQ(Eval([](Bc& b) { b.Op(50).Int(5); })->GetLong(), -6);
    ValueRef nb = Eval([](Bc& b) { b.Op(50).Byte(5); });
    EXPECT_EQ(nb->Typ, typByte);
    EXPECT_EQ(nb->GetLong(), 250);
    EXPECT_FALSE(Eval([](Bc& b) { b.Op(50).Bool(true); })->GetBool());
    EXPECT_EQ(Eval([](Bc& b) { b.Op(51).Int(5); })->GetLong(), -5);
    EXPECT_EQ(Eval([](Bc& b) { b.Op(51).Float(1.5f); })->Typ, typFloat);
    EXPECT_FALSE(Eval([](Bc& b) { b.Op(51).Bool(true); })->GetBool());
    EXPECT_TRUE(Eval([](Bc& b) { b.Op(50).List(0); })->GetBool() == false);  // an array is held
    EXPECT_TRUE(Eval([](Bc& b) { b.Op(40).List(0); })->GetBool());
}

TEST_F(Expressions, NotOfAnUnsetVariableIsTrue) {
    EXPECT_TRUE(Eval([](Bc& b) { b.Op(50).Var("nope"); })->GetBool());
    EXPECT_TRUE(log.Contains("ERR\tValue not set\tnope"));
}

TEST_F(Expressions, OneOperandOperatorsNeverReadASecondOperand) {
    // b = isset 5; y = 1;  b = -"t"; z = 2;  b = isset(unset); w = 3;
    Bc b;
    b.Assign("b").Op(40).Int(5);
    b.Assign("y").Int(1);
    b.Assign("c").Op(51).Str("t");
    b.Assign("z").Int(2);
    b.Assign("d").Op(40).Var("unset");
    b.Assign("w").Int(3);
    b.Return().List(6).Var("b").Var("y").Var("c").Var("z").Var("d").Var("w");
    ValueRef r = RunBody(b.b);
    zScriptArray* a = r->GetArray();
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->At(1)->GetBool());
    EXPECT_EQ(a->At(2)->GetLong(), 1);
    EXPECT_FALSE(a->At(3)->GetBool());
    EXPECT_EQ(a->At(4)->GetLong(), 2);
    EXPECT_FALSE(a->At(5)->GetBool());
    EXPECT_EQ(a->At(6)->GetLong(), 3);
}

TEST_F(Expressions, AnEmptyFirstOperandEndsTheOperatorButNotTheStatement) {
    // if (cvar(5) == 5) { hit = 1; } after = 2;
    Bc b;
    b.If().Op(30).Call("cvar", 1).Int(5).Int(5);
    size_t j = b.Jump();
    b.Assign("hit").Int(1);
    b.JumpTo(j, b.Pos());
    b.Assign("after").Int(2);
    // x = x + 1 on a new variable: x is created empty first, so the sum is empty.
    b.Assign("x").Op(60).Var("x").Int(1);
    b.Assign("last").Str("done");
    b.Return().List(3).Var("after").Var("x").Var("last");
    ValueRef r = RunBody(b.b);
    zScriptArray* a = r->GetArray();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->At(1)->GetLong(), 2);
    EXPECT_TRUE(a->At(2)->Data.IsEmpty());
    EXPECT_EQ(a->At(3)->GetString(), "done");
    EXPECT_FALSE(log.Contains("ERR\tScript"));
}

TEST_F(Expressions, MissingOperandGivesFalse) {
    ValueRef r = Bin(60, Vv("nope"), I(1));
    EXPECT_EQ(r->Typ, typBool);
    EXPECT_FALSE(r->GetBool());
    r = Bin(60, I(1), Vv("nope"));
    EXPECT_FALSE(r->GetBool());
}

TEST_F(Expressions, InWithALiteralListContinuesAtTheEnd) {
    for (int a : {2, 5}) {
        Bc b;
        b.Return().Op(60);  // (a in [1, 2, 3]) + 100
        b.Op(41).Int(a);
        size_t e = b.InHead();
        b.List(3).Int(1).Int(2).Int(3);
        b.InEnd(e);
        b.Int(100);
        zScript.Classes.clear();
        EXPECT_EQ(RunBody(b.b)->GetLong(), a == 2 ? 102 : 100);
    }
}

TEST_F(Expressions, InWithAListVariable) {
    Bc b;
    b.Assign("l").List(3).Str("a").Str("b").Str("c");
    b.Return().Op(60).Op(41).Str("c");
    size_t e = b.InHead();
    b.Var("l");
    b.InEnd(e);
    b.Int(10);
    EXPECT_EQ(RunBody(b.b)->GetLong(), 13);
    // An unset first operand: 0, and the list is skipped.
    Bc c;
    c.Return().Op(60).Op(41).Var("unset");
    size_t e2 = c.InHead();
    c.List(2).Int(1).Int(2);
    c.InEnd(e2);
    c.Int(10);
    zScript.Classes.clear();
    EXPECT_EQ(RunBody(c.b)->GetLong(), 10);
    // A var-typed first operand ends the operator with an empty value.
    Bc d;
    d.Assign("r").Op(41).Call("cvar", 1).Int(1);
    size_t e3 = d.InHead();
    d.List(1).Int(1);
    d.InEnd(e3);
    d.Assign("after").Int(1);
    d.Return().Var("after");
    zScript.Classes.clear();
    EXPECT_EQ(RunBody(d.b)->GetLong(), 1);
}

TEST_F(Expressions, PathsCreateAndSelect) {
    Bc b;
    b.AssignPath("a", 0).Int(10);  // a[] = 10 makes a an array
    b.AssignPath("a", 0).Int(20);
    b.AssignPath("a", 1).Str("k").Int(30);  // a["k"] = 30
    b.AssignPath("m", 2).Int(2).Int(3).Int(7);  // m[2][3] = 7
    b.Return().List(4).Path("a", 1).Int(2).Path("a", 1).Str("k").Path("m", 2).Int(2).Int(3).Call("count", 1).Var("m");
    ValueRef r = RunBody(b.b);
    zScriptArray* a = r->GetArray();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->At(1)->GetLong(), 20);
    EXPECT_EQ(a->At(2)->GetLong(), 30);
    EXPECT_EQ(a->At(3)->GetLong(), 7);
    EXPECT_EQ(a->At(4)->GetLong(), 2);
}

TEST_F(Expressions, PathFailuresSkipTheirIndexes) {
    // x = nope[1][2]; y = 1;   z = a[true][1]; w = 2;
    Bc b;
    b.Assign("a").List(1).Int(1);
    b.Assign("x").Path("nope", 2).Int(1).Int(2);
    b.Assign("y").Int(1);
    b.Assign("z").Path("a", 2).Bool(true).Int(1);
    b.Assign("w").Int(2);
    b.Return().Op(60).Var("y").Var("w");
    ValueRef r = RunBody(b.b);
    EXPECT_EQ(r->GetLong(), 3);
    EXPECT_TRUE(log.Contains("ERR\tArray not set\tnope"));
    // Assigning to a path that failed is a failure (a new name is created, though).
    Bc c;
    c.AssignPath("fresh", 1).Int(1).Int(5);
    c.AssignPath("fresh", 1).Bool(true).Int(5);
    c.Assign("after").Int(1);
    zScript.Classes.clear();
    log.Clear();
    RunBody(c.b);
    EXPECT_TRUE(log.Contains("ERR\tScript"));
    // An index far past the end cannot make a huge array.
    Bc d;
    d.AssignPath("big", 1).Int(2000000000).Int(1);
    zScript.Classes.clear();
    log.Clear();
    RunBody(d.b);
    EXPECT_TRUE(log.Contains("ERR\tScript")) << ::testing::PrintToString(log.Lines());
}

TEST_F(Expressions, ArrayLiteralsHoldTheVariablesThemselves) {
    Bc b;
    b.Assign("x").Int(1);
    b.Assign("l").List(2).Var("x").Int(2);
    b.AssignPath("l", 1).Int(1).Int(99);
    b.Return().List(2).Var("x").Call("indexName", 2).Var("l").Int(1);
    ValueRef r = RunBody(b.b);
    EXPECT_EQ(r->GetArray()->At(1)->GetLong(), 99);
    EXPECT_EQ(r->GetArray()->At(2)->GetString(), "x");
}

TEST_F(Expressions, AssignmentAsAValueIsACopy) {
    Bc b;
    b.Assign("y").AssignExpr("x").Int(4);
    b.Inc().Var("y");
    b.Return().List(2).Var("x").Var("y");
    ValueRef r = RunBody(b.b);
    EXPECT_EQ(r->GetArray()->At(1)->GetLong(), 4);
    EXPECT_EQ(r->GetArray()->At(2)->GetLong(), 5);
}

TEST_F(Expressions, LiteralsOfEveryKind) {
    ValueRef s = Eval([](Bc& b) { b.U8(15).StrU("x"); });
    EXPECT_EQ(s->Typ, typStr);
    EXPECT_EQ(Eval([](Bc& b) { b.Byte(7); })->Typ, typByte);
    EXPECT_EQ(Eval([](Bc& b) { b.Bool(true); })->Typ, typBool);
    EXPECT_EQ(Eval([](Bc& b) { b.Float(1); })->Typ, typFloat);
    EXPECT_EQ(Eval([](Bc& b) { b.U8(255); })->Typ, typVar);
    EXPECT_EQ(Eval([](Bc& b) { b.Str("\xe4\x80"); })->GetString(), "\xe4\x80");  // 1252 text
    // No select statement has run: Nothing, which reaches the game as an empty value.
    EXPECT_TRUE(Eval([](Bc& b) { b.Selected(); })->Data.IsEmpty());
}

TEST_F(Expressions, MemberAccess) {
    // class Box { v; get() { return v; } set(n) { v = n; } who() { return this; } }
    AddClass("Box",
             {{"get", Bc().Return().Var("v").b},
              {"put", Bc().Assign("v").Var("n").b, {{"n"}}},
              {"echo", Bc().Return().Var("n").b, {{"n"}}},
              {"me", Bc().Return().This().b}},
             Bc().Assign("v").Int(1).b);
    // user() { b = new("Box"); x = 5; b.put(x); b.v = b.v + 1; r = b.echo(this); return [b.get(), b.v, r]; }
    Bc u;
    u.Assign("b").Call("new", 1).Str("Box");
    u.Assign("x").Int(5);
    u.MemberStmt().Var("b").Call("put", 1).Var("x");
    u.AssignMember().Var("b").Var("v").Op(60).Member().Var("b").Var("v").Int(1);
    u.Assign("r").Member().Var("b").Call("echo", 1).This();
    u.Return().List(3).Member().Var("b").Call("get", 0).Member().Var("b").Var("v").Var("r");
    AddClass("User", {{"f", u.b}});
    auto user = Object("User");
    ValueRef res = user->Execute("f");
    zScriptArray* a = res->GetArray();
    ASSERT_TRUE(a) << log.Lines().size();
    EXPECT_EQ(a->At(1)->GetLong(), 6);
    EXPECT_EQ(a->At(2)->GetLong(), 6);
    // "this" in the arguments is the writer, not the target.
    EXPECT_EQ(a->At(3)->GetObject(), user);
}

TEST_F(Expressions, CallsAndMembersAsOperandsAreNeverReadAsVariables) {
    // A variable named like the function, and a global under the empty name
    // (the name a member access carries), must not stand in for the operands.
    AddClass("Box", {{"two", Bc().Return().Int(2).b}}, Bc().Assign("v").Int(1).b);
    zScript.Globals->SetNameValue("", HostValue(int32_t(40)));
    Bc u;
    u.Assign("two").Int(40);
    u.Assign("b").Call("new", 1).Str("Box");
    u.Assign("x").Op(60).Call("two", 0).Call("two", 0);
    u.Assign("y").Op(60).Member().Var("b").Var("v").Member().Var("b").Var("v");
    u.Return().List(2).Var("x").Var("y");
    AddClass("User", {{"f", u.b}, {"two", Bc().Return().Int(2).b}});
    ValueRef res = Object("User")->Execute("f");
    zScriptArray* a = res ? res->GetArray() : nullptr;
    ASSERT_TRUE(a) << log.Lines().size();
    EXPECT_EQ(a->At(1)->GetLong(), 4);
    EXPECT_EQ(a->At(2)->GetLong(), 2);
}

TEST_F(Expressions, MemberPathIndexesAreReadWhereWritten) {
    AddClass("Box", {}, Bc().Assign("list").List(3).Int(10).Int(20).Int(30).Assign("i").Int(1).b);
    Bc u;
    u.Assign("b").Call("new", 1).Str("Box");
    u.Assign("i").Int(3);
    u.Return().Member().Var("b").Path("list", 1).Var("i");
    AddClass("User", {{"f", u.b}});
    EXPECT_EQ(Object("User")->Execute("f")->GetLong(), 30);
}

TEST_F(Expressions, MemberVariablesAsOperandsGiveWhatTheGeneralAccessGives) {
    // "b.x" as an operand is read in line; "b.me().x" always goes the general
    // way. Both must give the same values and the same log lines, as
    // conditions, assigned values, targets, nested operands and arguments.
    AddClass("Box", {{"me", Bc().Return().This().b}},
             Bc().Assign("x").Int(5).Assign("big").Int(INT32_MAX).Assign("s").Str("7").Assign("f").Float(1.5f).b);
    auto body = [](bool inLine) {
        auto m = [inLine](Bc& c, const char* name) -> Bc& {
            c.Member();
            if (inLine) c.Var("b");
            else c.Member().Var("b").Call("me", 0);
            return c.Var(name);
        };
        Bc u;
        u.Assign("b").Call("new", 1).Str("Box");
        u.Assign("n").Int(6);
        m(u.Assign("r1").Op(60), "x").Int(1);
        m(m(u.Assign("r2").Op(61), "x"), "x");
        m(u.Assign("r3").Op(32), "x").Var("n");
        m(u.Assign("r4").Op(60), "big").Int(1);
        m(u.Assign("r5").Op(60), "s").Int(1);
        m(u.Assign("r6").Op(60), "f").Int(1);
        m(u.Assign("r7").Op(60), "nope").Int(1);
        m(u.Assign("r8").Op(30).Var("n"), "x");
        m(u.Assign("r9").Op(61).Op(60), "x").Int(1).Int(2);
        m(u.Assign("r10").Call("echo", 1).Op(60), "x").Int(3);
        // while (b.x < 10) b.x = b.x + 1;
        size_t top = u.Pos();
        m(u.If().Op(32), "x").Int(10);
        size_t out = u.Jump();
        u.AssignMember();
        if (inLine) u.Var("b");
        else u.Member().Var("b").Call("me", 0);
        m(u.Var("x").Op(60), "x").Int(1);
        u.JumpTo(u.Jump(), top);
        u.JumpTo(out, u.Pos());
        m(u.Assign("r11").Op(60), "x").Int(0);
        // b.big = b.x - 3: another variable of the same object as the target.
        u.AssignMember();
        if (inLine) u.Var("b");
        else u.Member().Var("b").Call("me", 0);
        m(u.Var("big").Op(61), "x").Int(3);
        m(u.Assign("r12").Op(60), "big").Int(0);
        u.Return().List(12).Var("r1").Var("r2").Var("r3").Var("r4").Var("r5").Var("r6").Var("r7").Var("r8");
        u.Var("r9").Var("r10").Var("r11").Var("r12");
        return u.b;
    };
    AddClass("User", {{"f", body(true)}, {"g", body(false)}, {"echo", Bc().Return().Var("k").b, {{"k"}}}});
    auto user = Object("User");
    std::vector<std::string> lines[2];
    ValueRef res[2];
    for (int general = 0; general < 2; ++general) {
        log.Clear();
        res[general] = user->Execute(general ? "g" : "f");
        lines[general] = log.Lines();
        // The line after an error names the function it came from.
        for (auto& l : lines[general])
            if (l == "INF\tScript\tUser.g") l = "INF\tScript\tUser.f";
    }
    zScriptArray* a = res[0] ? res[0]->GetArray() : nullptr;
    zScriptArray* b = res[1] ? res[1]->GetArray() : nullptr;
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->Size(), 12);
    ASSERT_EQ(b->Size(), 12);
    for (int32_t i = 1; i <= 12; ++i) {
        EXPECT_EQ(a->At(i)->Typ, b->At(i)->Typ) << i;
        EXPECT_EQ(a->At(i)->Data.Kind(), b->At(i)->Data.Kind()) << i;
        EXPECT_EQ(a->At(i)->GetString(), b->At(i)->GetString()) << i;
    }
    EXPECT_EQ(a->At(1)->GetLong(), 6);
    EXPECT_EQ(a->At(4)->Data.Kind(), HK::Double);
    EXPECT_EQ(a->At(9)->GetLong(), 4);
    EXPECT_EQ(a->At(10)->GetLong(), 8);
    EXPECT_EQ(a->At(11)->GetLong(), 10);
    EXPECT_EQ(a->At(12)->GetLong(), 7);
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_TRUE(log.Contains("Value not set\tnope"));
}

TEST_F(Expressions, MemberVariablesAsOperandsFailWhereTheGeneralAccessFails) {
    AddClass("Box", {}, Bc().Assign("x").Int(5).b);
    // return q.x + 1 (q unset), return k.x + 1 (k no object), return b.x + 1
    auto ret = [](const char* object) {
        Bc u;
        u.Assign("b").Call("new", 1).Str("Box");
        u.Assign("k").Int(1);
        u.Return().Op(60).Member().Var(object).Var("x").Int(1);
        return u.b;
    };
    AddClass("User", {{"q", ret("q")}, {"k", ret("k")}, {"b", ret("b")}});
    auto user = Object("User");
    log.Clear();
    user->Execute("q");
    EXPECT_TRUE(log.Contains("Value not set\tq"));
    EXPECT_TRUE(log.Contains("ERR\tScript"));
    log.Clear();
    user->Execute("k");
    EXPECT_TRUE(log.Contains("ERR\tScript"));
    // The general access nests three deep: below that it runs out of stack.
    const int32_t limit = zScript.MaxExprDepth;
    for (int32_t depth = 1; depth <= 6; ++depth) {
        zScript.MaxExprDepth = depth;
        log.Clear();
        ValueRef r = user->Execute("b");
        EXPECT_EQ(log.Contains("Out of stack space"), depth < 3) << depth;
        if (depth >= 3) {
            EXPECT_EQ(r ? r->GetLong() : 0, 6) << depth;
        }
    }
    zScript.MaxExprDepth = limit;
}

TEST_F(Expressions, MemberAccessOnANonObjectFails) {
    Bc b;
    b.Assign("x").Int(1);
    b.Return().Member().Var("x").Var("y");
    RunBody(b.b);
    EXPECT_TRUE(log.Contains("ERR\tScript"));
}

}  // namespace
}  // namespace zun::test
