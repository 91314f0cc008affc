// The statement loop: control flow, assignments, increments, parameters,
// results, and what a failure or a runaway script does.
#include "ScriptTestSupport.h"

#include <pthread.h>

#include <functional>

namespace zun::test {
namespace {

using Statements = ScriptTest;

TEST_F(Statements, EmptyBodyGivesAnEmptyValue) {
    ValueRef r = RunBody({});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Typ, typVar);
    EXPECT_TRUE(r->Data.IsEmpty());
    // Stored as length 0 with a one-byte array.
    EXPECT_EQ(ToHex(FunctionRecord("f", {})), "02 00 00 00 66 00 00 00 00 00 00 00 00 00 00 01 00 00 00 00");
}

TEST_F(Statements, RecordRoundTripsToTheSameBytes) {
    // add(int a, int b = 2) { return a + b; }
    const std::string rec =
        "06 00 00 00 61 00 64 00 64 00 00 02 00 00 00 03 02 00 00 00 61 00 00 00 00 00 03 02 00 00 00 62 00 02 00 "
        "00 00 10 00 00 00 10 00 00 00 03 3c 05 02 00 00 00 61 00 05 02 00 00 00 62 00";
    zStream in(Hex(rec));
    zScriptFunction f;
    f.Import(in);
    EXPECT_EQ(f.Name, "add");
    EXPECT_EQ(f.Params->Size(), 2);
    EXPECT_EQ(f.Params->At(2)->GetLong(), 2);
    zStream out;
    f.Export(out);
    EXPECT_EQ(ToHex(out.Bytes()), rec);

    AddClass("C", {{"add", Hex(rec.substr(rec.find("03 3c")))}});
}

TEST_F(Statements, JumpsCountFromOne) {
    Bc b;
    size_t j = b.Jump();  // jump to offset 0 would loop: jump over the next statement instead
    b.Assign("x").Int(1);
    size_t after = b.Pos();
    b.Return().Var("x");
    b.JumpTo(j, after);
    // x was never set: "Value not set" and Nothing, which the game sees as empty.
    ValueRef r = RunBody(b.b);
    EXPECT_TRUE(log.Contains("Value not set\tx"));
    EXPECT_TRUE(r->Data.IsEmpty());

    // A target of L + 1 ends the function.
    Bc e;
    e.Assign("y").Int(7);
    size_t k = e.Jump();
    e.Return().Int(99);
    e.Set32(k, static_cast<int32_t>(e.Pos() + 1));
    AddClass("E", {{"f", e.b}});
    EXPECT_TRUE(Object("E")->Execute("f")->Data.IsEmpty());

    // A target of 1 restarts at byte 0: a counting loop.
    Bc l;
    l.Inc().Var("n");  // offset 0
    l.If().Op(32).Var("n").Int(5);
    size_t out = l.Jump();
    l.Set32(l.Jump(), 1);
    size_t end = l.Pos();
    l.Return().Var("n");
    l.JumpTo(out, end);
    AddClass("L", {{"f", l.b}}, Bc().Assign("n").Int(0).b);
    EXPECT_EQ(Object("L")->Execute("f")->GetLong(), 5);
}

TEST_F(Statements, NegativeJumpTargetFails) {
    Bc b;
    b.U8(2).I32(-5);
    RunBody(b.b);
    EXPECT_TRUE(log.Contains("Invalid jump target"));
}

TEST_F(Statements, UnknownStatementBytesAreSkipped) {
    Bc b;
    b.U8(0x77).U8(0x01).U8(0xEE).Return().Int(4);
    EXPECT_EQ(RunBody(b.b)->GetLong(), 4);
}

TEST_F(Statements, IfSkipsExactlyTheJump) {
    for (bool cond : {true, false}) {
        Bc b;
        b.If().Bool(cond);
        size_t elseJump = b.Jump();
        b.Assign("y").Int(1);
        size_t endJump = b.Jump();
        size_t elsePos = b.Pos();
        b.Assign("y").Int(2);
        size_t end = b.Pos();
        b.Return().Var("y");
        b.JumpTo(elseJump, elsePos);
        b.JumpTo(endJump, end);
        zScript.Classes.clear();
        EXPECT_EQ(RunBody(b.b)->GetLong(), cond ? 1 : 2);
    }
    // The worked example from the format: if (x > 1) { y = 1; } else { y = 2; }
    std::vector<uint8_t> ex = Hex(
        "14 22 05 02 00 00 00 78 00 0c 01 00 00 00 02 26 00 00 00 04 05 02 00 00 00 79 00 0c 01 00 00 00 02 33 00 00 "
        "00 04 05 02 00 00 00 79 00 0c 02 00 00 00");
    ASSERT_EQ(ex.size(), 50u);
    Bc full;
    full.Assign("x").Int(3);
    full.b.insert(full.b.end(), ex.begin(), ex.end());
    // The example's targets count from its own start: shift them by the prefix.
    int32_t shift = static_cast<int32_t>(full.Pos() - ex.size());
    for (size_t at : {size_t(15), size_t(33)}) {
        int32_t t;
        std::memcpy(&t, &full.b[at + shift], 4);
        full.Set32(at + shift, t + shift);
    }
    full.Return().Var("y");
    zScript.Classes.clear();
    EXPECT_EQ(RunBody(full.b)->GetLong(), 1);
}

// select (v) { case 1: r = 10; case 2: r = 20; default: r = 30; }
std::vector<uint8_t> SelectBody(int cases) {
    Bc b;
    b.U8(21).Var("v").U8(cases);
    std::vector<size_t> jumps;
    for (int k = 1; k <= cases; ++k) {
        b.Op(30).Selected().Int(k);
        jumps.push_back(b.Jump());
    }
    size_t toDefault = b.Jump();
    std::vector<size_t> ends;
    for (int k = 1; k <= cases; ++k) {
        b.JumpTo(jumps[static_cast<size_t>(k - 1)], b.Pos());
        b.Assign("r").Int(10 * k);
        ends.push_back(b.Jump());
    }
    b.JumpTo(toDefault, b.Pos());
    b.Assign("r").Int(30);
    for (size_t e : ends) b.JumpTo(e, b.Pos());
    b.Return().Var("r");
    return b.b;
}

TEST_F(Statements, SelectRunsTheFirstTrueCaseOrGoesOn) {
    AddClass("S", {{"f", SelectBody(2), {{"v"}}}, {"g", SelectBody(0), {{"v"}}}});
    auto o = Object("S");
    EXPECT_EQ(o->Execute("f", {1})->GetLong(), 10);
    EXPECT_EQ(o->Execute("f", {2})->GetLong(), 20);
    EXPECT_EQ(o->Execute("f", {9})->GetLong(), 30);
    EXPECT_EQ(o->Execute("g", {1})->GetLong(), 30);  // no cases: straight to the default
}

TEST_F(Statements, ReturnHandsBackTheVariableItself) {
    AddClass("R", {{"get", Bc().Return().Var("x").b}}, Bc().Assign("x").Int(5).b);
    auto o = Object("R");
    ValueRef r = o->Execute("get");
    EXPECT_EQ(r.get(), o->Locals->GetName("x"));
}

TEST_F(Statements, ImplicitResultIsTheLastMemberStatement) {
    AddClass("P", {{"v", Bc().Return().Int(8).b}});
    Bc b;
    b.Assign("o").Call("new", 1).Str("P");
    b.MemberStmt().Var("o").Call("v", 0);
    b.Assign("z").Int(1);
    EXPECT_EQ(RunBody(b.b)->GetLong(), 8);
}

TEST_F(Statements, IncrementAndDecrementKeepTheType) {
    Bc b;
    b.Assign("f").Float(0.1f);
    b.Inc().Var("f");
    b.Assign("n").Byte(255);
    b.Inc().Var("n");
    b.Assign("i").Int(1);
    b.Dec().Var("i");
    b.Dec().Var("i");
    b.Inc().Var("fresh");  // unset: a failure
    // The object's variables exist from its initialiser, so the function's
    // assignments write them rather than locals of its own.
    AddClass("I", {{"f", b.b}}, Bc().Assign("f").Empty().Assign("n").Empty().Assign("i").Empty().b);
    auto o = Object("I");
    o->Execute("f");
    zScriptValue* f = o->Locals->GetName("f");
    EXPECT_EQ(f->Typ, typFloat);
    EXPECT_EQ(f->GetString(), "1.1");
    zScriptValue* n = o->Locals->GetName("n");
    EXPECT_EQ(n->Typ, typByte);
    EXPECT_EQ(n->GetLong(), 256);
    EXPECT_EQ(o->Locals->GetName("i")->GetLong(), -1);
    EXPECT_TRUE(log.Contains("Value not set\tfresh"));
    EXPECT_TRUE(log.Contains("ERR\tScript\tI.f"));
}

TEST_F(Statements, ParametersBindByContentAndDefaults) {
    // f(int a, str b = "d") returns [a, b]
    std::vector<ParamSpec> ps = {{"a", typInt, HostValue()}, {"b", typStr, HostValue("d")}};
    Bc body;
    body.Return().List(2).Var("a").Var("b");
    AddClass("A", {{"f", body.b, ps}});
    auto o = Object("A");
    ValueRef r = o->Execute("f", {HostValue(2.5)});
    zScriptArray* arr = r->GetArray();
    EXPECT_EQ(arr->At(1)->Typ, typFloat);  // the argument's content decides
    EXPECT_EQ(arr->At(2)->GetString(), "d");
    r = o->Execute("f", {1, "x", "extra"});
    EXPECT_EQ(r->GetArray()->At(2)->GetString(), "x");
    // No argument: the stored default (an int parameter always stores one).
    r = o->Execute("f");
    EXPECT_EQ(r->GetArray()->At(1)->Typ, typInt);
    EXPECT_EQ(r->GetArray()->At(1)->GetLong(), 0);
    // An object parameter stores no content: the declared type stays, empty.
    AddClass("O", {{"f", Bc().Return().Var("p").b, {{"p", typObject}}}});
    r = Object("O")->Execute("f");
    EXPECT_EQ(r->Typ, typObject);
    EXPECT_TRUE(r->Data.IsEmpty());
}

TEST_F(Statements, ParameterNamedLikeAnObjectVariableWritesIt) {
    AddClass("P", {{"f", Bc().Return().Var("v").b, {{"v"}}}}, Bc().Assign("v").Int(1).b);
    auto o = Object("P");
    o->Execute("f", {42});
    EXPECT_EQ(o->Locals->GetName("v")->GetLong(), 42);
    EXPECT_EQ(o->Locals->Size(), 1);
}

TEST_F(Statements, RecursionKeepsEachInvocationsLocals) {
    // fib(n) { if (n < 2) return n; a = fib(n - 1); b = fib(n - 2); return a + b; }
    Bc b;
    b.If().Op(32).Var("n").Int(2);
    size_t j = b.Jump();
    b.Return().Var("n");
    b.JumpTo(j, b.Pos());
    b.Assign("a").Call("fib", 1).Op(61).Var("n").Int(1);
    b.Assign("b").Call("fib", 1).Op(61).Var("n").Int(2);
    b.Return().Op(60).Var("a").Var("b");
    AddClass("F", {{"fib", b.b, {{"n", typInt}}}});
    EXPECT_EQ(Object("F")->Execute("fib", {15})->GetLong(), 610);
}

TEST_F(Statements, AFailureEndsTheWholeCallAndIsLoggedOnce) {
    AddClass("D", {{"inner", Bc().Return().Op(63).Int(1).Int(0).b},
                   {"outer", Bc().Assign("x").Call("inner", 0).Assign("after").Int(1).b},
                   {"ok", Bc().Return().Int(5).b}});
    auto o = Object("D");
    ValueRef r = o->Execute("outer");
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->Data.IsEmpty());
    EXPECT_EQ(o->Locals->GetName("after"), nullptr);
    int errs = 0;
    for (const auto& l : log.Lines()) errs += l.rfind("ERR\tScript\tD.outer\tDivision by zero", 0) == 0;
    EXPECT_EQ(errs, 1);
    // The next event runs normally.
    EXPECT_EQ(o->Execute("ok")->GetLong(), 5);
    EXPECT_EQ(zScript.CallDepth, 0);
    EXPECT_EQ(zScript.ExprDepth, 0);
    EXPECT_EQ(zScript.ExecuteDepth, 0);
}

TEST_F(Statements, EndlessRecursionFailsInsteadOfCrashing) {
    AddClass("R", {{"f", Bc().Return().Call("f", 0).b}, {"ok", Bc().Return().Int(1).b}});
    auto o = Object("R");
    ValueRef r = o->Execute("f");
    EXPECT_TRUE(r->Data.IsEmpty());
    EXPECT_TRUE(log.Contains("Out of stack space"));
    EXPECT_EQ(o->Execute("ok")->GetLong(), 1);
}

TEST_F(Statements, DeepExpressionNestingFails) {
    Bc b;
    b.Return();
    for (int i = 0; i < 5000; ++i) b.Op(50);
    b.Int(1);
    EXPECT_TRUE(RunBody(b.b)->Data.IsEmpty());
    EXPECT_TRUE(log.Contains("Out of stack space"));
    // Within the limit it works: an even number of complements is the value.
    Bc c;
    c.Return();
    for (int i = 0; i < 1000; ++i) c.Op(50);
    c.Int(7);
    zScript.Classes.clear();
    EXPECT_EQ(RunBody(c.b)->GetLong(), 7);
}

// Runs `work` on a thread with a stack of `bytes` and waits for it.
void OnSmallStack(size_t bytes, const std::function<void()>& work) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    auto run = [](void* w) -> void* {
        (*static_cast<const std::function<void()>*>(w))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST_F(Statements, DepthLimitsHoldWhereTheStackIsShort) {
    // A small stack stands for a build whose frames are many times larger (a
    // sanitizer build): the counts alone would overflow it.
    Bc deep;
    deep.Return();
    for (int i = 0; i < 5000; ++i) deep.Op(50);
    deep.Int(1);
    AddClass("S", {{"deep", deep.b}, {"endless", Bc().Return().Call("endless", 0).b}, {"ok", Bc().Return().Int(1).b}});
    auto o = Object("S");
    std::vector<std::string> failures;
    int32_t after = 0;
    OnSmallStack(size_t(256) << 10, [&] {
        for (const char* f : {"deep", "endless"}) {
            log.Clear();
            o->Execute(f);
            failures.push_back(log.Contains("Out of stack space") ? "Out of stack space" : "");
        }
        after = o->Execute("ok")->GetLong();
    });
    EXPECT_EQ(failures, (std::vector<std::string>{"Out of stack space", "Out of stack space"}));
    EXPECT_EQ(after, 1);
}

// A function runs from a form decoded on its first call; these bodies check
// that the second call still does what the bytes say.
TEST_F(Statements, AnInThatEndsElsewhereGoesOnThere) {
    // return (a in [1, 2]) + <operand>, with the end of the "in" past a stray
    // Long: a match goes on at the end (adding 100), a miss reads the stray 5.
    for (int a : {2, 7}) {
        Bc b;
        b.Return().Op(60).Op(41).Int(a);
        size_t e = b.InHead();
        b.List(2).Int(1).Int(2);
        b.Int(5);
        b.InEnd(e);
        b.Int(100);
        zScript.Classes.clear();
        AddClass("I", {{"f", b.b}});
        auto o = Object("I");
        for (int run = 0; run < 2; ++run) EXPECT_EQ(o->Execute("f")->GetLong(), a == 2 ? 102 : 5) << run;
    }
}

TEST_F(Statements, SkippedOperandsCountTowardTheNestingLimit) {
    // empty + (20 nested complements): the empty first operand ends the
    // operator, and skipping the second still nests 21 deep.
    Bc b;
    b.Return().Op(60).Empty();
    for (int i = 0; i < 20; ++i) b.Op(50);
    b.Int(1);
    AddClass("D", {{"f", b.b}});
    auto o = Object("D");
    const int32_t limit = zScript.MaxExprDepth;
    zScript.MaxExprDepth = 30;
    for (int run = 0; run < 2; ++run) {
        EXPECT_TRUE(o->Execute("f")->Data.IsEmpty());
        EXPECT_FALSE(log.Contains("Out of stack space")) << run;
    }
    zScript.MaxExprDepth = 15;
    for (int run = 0; run < 2; ++run) {
        log.Clear();
        EXPECT_TRUE(o->Execute("f")->Data.IsEmpty());
        EXPECT_TRUE(log.Contains("Out of stack space")) << run;
    }
    zScript.MaxExprDepth = limit;
}

TEST_F(Statements, TruncatedBodiesFailCleanly) {
    Bc full;
    full.Assign("x").Op(60).Int(1).Str("abc");
    for (size_t cut = 1; cut < full.b.size(); ++cut) {
        zScript.Classes.clear();
        std::vector<uint8_t> body(full.b.begin(), full.b.begin() + static_cast<ptrdiff_t>(cut));
        log.Clear();
        ValueRef r = RunBody(body);
        ASSERT_TRUE(r);
        EXPECT_TRUE(log.Contains("ERR\tScript")) << cut;
    }
}

// A call from the game that never returns ends at the bound of one call, as a
// failing call does, and the object answers the next call. The bound is the
// call's, not the run's: loops that keep well within it run in call after
// call. The calls a script makes back through the game share its call's
// bound, so calling oneself does not start afresh.
TEST_F(Statements, ACallEndsAtTheBoundOfOneCallWhateverItCalls) {
    zScript.MaxCallSteps = 30000;
    // i = 0; while (i < 4000) i = i + 1;  (three steps a turn)
    auto loop = [](Bc& b) {
        b.Assign("i").Int(0);
        const size_t top = b.Pos();
        b.If().Op(32).Var("i").Int(4000);
        const size_t out = b.Jump();
        b.Assign("i").Op(60).Var("i").Int(1);
        b.JumpTo(b.Jump(), top);
        b.JumpTo(out, b.Pos());
    };
    Bc endless;
    endless.Set32(endless.Jump(), 1);
    Bc count;
    loop(count);
    count.Return().Var("i");
    // Each call turns the loop, counts itself in a global and calls itself
    // again through the host, four calls deep at most.
    Bc deep;
    loop(deep);
    deep.Assign("d").Op(60).Var("d").Int(1);
    deep.If().Op(32).Var("d").Int(4);
    const size_t done = deep.Jump();
    deep.CallStmt("callByName", 2).This().Str("deep");
    deep.JumpTo(done, deep.Pos());
    AddClass("L", {{"endless", endless.b}, {"count", count.b}, {"deep", deep.b}});
    auto o = Object("L");

    EXPECT_TRUE(o->Execute("endless")->Data.IsEmpty());
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"ERR\tScript\tL.endless\tEnded after 30000 steps without returning"});
    for (int i = 0; i < 5; ++i) EXPECT_EQ(o->Execute("count")->GetLong(), 4000);

    log.Clear();
    zScript.Globals->SetNameValue("d", HostValue(int32_t(0)));
    o->Execute("deep");
    EXPECT_EQ(zScript.Globals->GetName("d")->GetLong(), 2);
    EXPECT_TRUE(log.Contains("ERR\tScript\tL.deep\tEnded after 30000 steps")) << log.Lines().size();
    EXPECT_EQ(zScript.ExecuteDepth, 0);
    EXPECT_EQ(zScript.CallDepth, 0);
}

TEST_F(Statements, StepBudgetStopsEndlessLoops) {
    Bc b;
    b.Set32(b.Jump(), 1);  // jump to itself
    zScript.StepBudget = 1000;
    ValueRef r = RunBody(b.b);
    EXPECT_TRUE(r->Data.IsEmpty());
    EXPECT_TRUE(log.Contains("budget"));
}

}  // namespace
}  // namespace zun::test
