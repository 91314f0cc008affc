// The engine's built-in functions: arrays, text, mathematics, conversions,
// rounding, random numbers and the debugging aids.
#include "ScriptTestSupport.h"

namespace zun::test {
namespace {

// An argument written as a literal.
struct A {
    std::function<void(Bc&)> w;
    A(int32_t v) : w([v](Bc& b) { b.Int(v); }) {}
    A(double v) : w([v](Bc& b) { b.Float(static_cast<float>(v)); }) {}
    A(const char* s) : w([s = std::string(s)](Bc& b) { b.Str(s); }) {}
    A(bool v) : w([v](Bc& b) { b.Bool(v); }) {}
    explicit A(std::function<void(Bc&)> f) : w(std::move(f)) {}
};
A Var(std::string n) {
    return A([n](Bc& b) { b.Var(n); });
}

class Builtins : public ScriptTest {
protected:
    ValueRef Call(const std::string& name, std::vector<A> args, std::vector<uint8_t> before = {}) {
        Bc b;
        b.b = before;
        b.Return().Call(name, static_cast<int32_t>(args.size()));
        for (auto& a : args) a.w(b);
        zScript.Classes.clear();
        log.Clear();
        return RunBody(b.b);
    }
    bool Failed() const { return log.Contains("ERR\tScript"); }
    std::string Text(const std::string& name, std::vector<A> args) { return Call(name, std::move(args))->GetString(); }
};

TEST_F(Builtins, Arrays) {
    Bc setup;
    setup.Assign("l").List(3).Int(1).Int(2).Int(3);
    EXPECT_EQ(Call("count", {Var("l")}, setup.b)->GetLong(), 3);
    EXPECT_EQ(Call("count", {"abc"})->GetLong(), 3);
    EXPECT_EQ(Call("count", {1.5})->GetLong(), 3);
    EXPECT_EQ(Call("iif", {true, "a", "b"})->GetString(), "a");
    EXPECT_EQ(Call("iif", {0, "a", "b"})->GetString(), "b");

    // pop of [1, 2, 3] returns 3 and leaves 2 entries.
    Bc p = setup;
    p.Assign("x").Call("pop", 1).Var("l");
    p.Return().List(2).Var("x").Call("count", 1).Var("l");
    zScript.Classes.clear();
    ValueRef r = RunBody(p.b);
    EXPECT_EQ(r->GetArray()->At(1)->GetLong(), 3);
    EXPECT_EQ(r->GetArray()->At(2)->GetLong(), 2);

    // pop by index keeps the order; pop by key removes the named entry.
    Bc k;
    k.Assign("l").List(3).Int(1).Int(2).Int(3);
    k.AssignPath("l", 1).Str("key").Int(9);
    k.Assign("a").Call("pop", 2).Var("l").Int(1);
    k.Assign("b").Call("pop", 2).Var("l").Str("key");
    k.Return().List(4).Var("a").Var("b").Call("count", 1).Var("l").Path("l", 1).Int(1);
    zScript.Classes.clear();
    r = RunBody(k.b);
    EXPECT_EQ(r->GetArray()->At(1)->GetLong(), 1);
    EXPECT_EQ(r->GetArray()->At(2)->GetLong(), 9);
    EXPECT_EQ(r->GetArray()->At(3)->GetLong(), 2);
    EXPECT_EQ(r->GetArray()->At(4)->GetLong(), 2);

    // push appends the variable itself and clears its name.
    Bc u;
    u.Assign("l").List(0);
    u.Assign("v").Int(5);
    u.Assign("n").Call("push", 2).Var("l").Var("v");
    u.CallStmt("push", 3).Var("l").Int(0).Int(1);  // insert at 1
    u.Return().List(4).Var("n").Call("set", 1).Var("v").Path("l", 1).Int(2).Call("count", 1).Var("l");
    zScript.Classes.clear();
    r = RunBody(u.b);
    EXPECT_EQ(r->GetArray()->At(1)->GetLong(), 1);
    EXPECT_FALSE(r->GetArray()->At(2)->GetBool());  // v no longer resolves
    EXPECT_EQ(r->GetArray()->At(3)->GetLong(), 5);
    EXPECT_EQ(r->GetArray()->At(4)->GetLong(), 2);
}

TEST_F(Builtins, PopNeverLosesEntriesOutOfRange) {
    Bc b;
    b.Assign("l").List(2).Int(1).Int(2);
    b.Assign("a").Call("pop", 2).Var("l").Int(5);
    b.Assign("c").Call("pop", 2).Var("l").Int(0);
    b.Assign("e").List(0);
    b.Assign("d").Call("pop", 1).Var("e");
    b.Return().List(5).Var("a").Call("count", 1).Var("l").Path("l", 1).Int(2).Call("count", 1).Var("e").Var("c");
    ValueRef r = RunBody(b.b);
    zScriptArray* a = r->GetArray();
    // Nothing came back: the assigned variables stay empty.
    EXPECT_TRUE(a->At(1)->Data.IsEmpty());
    EXPECT_EQ(a->At(2)->GetLong(), 2);
    EXPECT_EQ(a->At(3)->GetLong(), 2);
    EXPECT_EQ(a->At(4)->GetLong(), 0);
    EXPECT_TRUE(a->At(5)->Data.IsEmpty());
}

TEST_F(Builtins, ArrayFunctionsNeedArrays) {
    for (const char* f : {"push", "pop", "indexName"}) {
        Call(f, {"text", 1});
        EXPECT_TRUE(Failed()) << f;
    }
    Bc s;
    s.Assign("l").List(1).Int(1);
    Call("indexName", {Var("l"), 5}, s.b);
    EXPECT_TRUE(Failed());
}

TEST_F(Builtins, Text) {
    EXPECT_EQ(Call("asc", {"A"})->GetLong(), 65);
    EXPECT_EQ(Call("asc", {"\xe4"})->GetLong(), 228);
    EXPECT_EQ(Text("chr", {228}), "\xe4");
    EXPECT_EQ(Text("ucase", {"stra\xdf" "e \xe4"}), "STRA\xdf" "E \xc4");
    EXPECT_EQ(Text("lcase", {"ABC"}), "abc");
    EXPECT_EQ(Text("strrev", {"abc"}), "cba");
    EXPECT_EQ(Text("trim", {"  a b  "}), "a b");
    EXPECT_EQ(Text("trim", {"xxaxx", "x"}), "a");
    EXPECT_EQ(Text("repeat", {"ab", 3}), "ababab");
    EXPECT_EQ(Text("repeat", {"ab", -1}), "");
    EXPECT_EQ(Call("strlen", {"hello"})->GetLong(), 5);
    EXPECT_EQ(Text("substr", {"hello", 1, 3}), "ell");
    EXPECT_EQ(Text("substr", {"hello", 3, 10}), "lo");
    EXPECT_EQ(Text("substr", {"hello", 5, 1}), "");
    EXPECT_EQ(Text("replace", {"l", "L", "hello"}), "heLLo");
    EXPECT_EQ(Text("trans", {"[1] and [2]", "a", "b"}), "a and b");
    EXPECT_EQ(Text("trans", {"[1] [2] [3]", "[2]", "x"}), "x x [3]");
    EXPECT_EQ(Call("strpos", {"hello", "l"})->GetLong(), 2);
    EXPECT_EQ(Call("strrpos", {"hello", "l"})->GetLong(), 3);
    EXPECT_EQ(Call("strpos", {"hello", "x"})->GetLong(), -1);
    EXPECT_EQ(Call("stripos", {"HELLO", "l"})->GetLong(), 2);
    EXPECT_EQ(Call("strripos", {"HELLO", "l"})->GetLong(), 3);
}

TEST_F(Builtins, TextFailures) {
    const std::vector<std::pair<std::string, std::vector<A>>> bad = {
        {"asc", {""}}, {"chr", {256}}, {"chr", {-1}}, {"substr", {"abc", -1, 1}},
        {"substr", {"abc", 1, -1}}, {"substr", {"abc", 1}}, {"strlen", {}}};
    for (const auto& [name, args] : bad) {
        Call(name, args);
        EXPECT_TRUE(Failed()) << name;
    }
    // A text that would grow past the limit fails instead of taking memory.
    Call("repeat", {"abcdefgh", 100000000});
    EXPECT_TRUE(Failed());
    Bc b;
    b.Assign("s").Call("repeat", 2).Str("x").Int(1 << 20);
    size_t top = b.Pos();
    b.Assign("s").Op(60).Var("s").Var("s");
    b.Set32(b.Jump(), static_cast<int32_t>(top + 1));
    zScript.Classes.clear();
    log.Clear();
    RunBody(b.b);
    EXPECT_TRUE(log.Contains("Out of string space"));
}

TEST_F(Builtins, Mathematics) {
    EXPECT_FLOAT_EQ(Call("sin", {0})->GetSingle(), 0.0f);
    EXPECT_FLOAT_EQ(Call("cos", {0})->GetSingle(), 1.0f);
    EXPECT_EQ(Call("cos", {0})->Typ, typFloat);
    EXPECT_FLOAT_EQ(Call("tan", {0})->GetSingle(), 0.0f);
    EXPECT_FLOAT_EQ(Call("atan", {1})->GetSingle(), 0.7853982f);
    EXPECT_FLOAT_EQ(Call("asin", {1})->GetSingle(), 1.570796f);
    EXPECT_FLOAT_EQ(Call("asin", {-1})->GetSingle(), -1.570796f);
    EXPECT_FLOAT_EQ(Call("asin", {0.5})->GetSingle(), 0.5235988f);
    EXPECT_EQ(Call("acos", {1})->GetSingle(), 0.0f);
    EXPECT_EQ(Call("acos", {-1})->GetString(), "3.141593");
    EXPECT_FLOAT_EQ(Call("pow", {2, 10})->GetSingle(), 1024.0f);
    EXPECT_FLOAT_EQ(Call("sqr", {16})->GetSingle(), 4.0f);
    EXPECT_FLOAT_EQ(Call("sqr", {27, 3})->GetSingle(), 3.0f);
    EXPECT_FLOAT_EQ(Call("abs", {-2.5})->GetSingle(), 2.5f);
    EXPECT_EQ(Call("sig", {-7})->GetSingle(), -1.0f);
    EXPECT_EQ(Call("sig", {0})->GetSingle(), 0.0f);
    EXPECT_FLOAT_EQ(Call("log", {1})->GetSingle(), 0.0f);
    EXPECT_FLOAT_EQ(Call("log", {8, 2})->GetSingle(), 3.0f);
    EXPECT_FLOAT_EQ(Call("exp", {0})->GetSingle(), 1.0f);
    ValueRef f5 = Call("fac", {5});
    EXPECT_EQ(f5->Typ, typVar);
    EXPECT_EQ(f5->GetLong(), 120);
    ValueRef f0 = Call("fac", {0});
    EXPECT_EQ(f0->Typ, typVar);
    EXPECT_EQ(f0->Data.Kind(), HK::Integer);
    EXPECT_EQ(Call("fac", {1})->GetLong(), 1);
}

TEST_F(Builtins, MathematicsFailures) {
    const std::vector<std::pair<std::string, std::vector<A>>> bad = {
        {"asin", {2}}, {"acos", {-1.5}}, {"sqr", {-4}}, {"log", {0}}, {"log", {-1}}, {"sqr", {4, 0}},
        {"exp", {1000}}, {"fac", {1000000000}}, {"sin", {}}, {"log", {2, 1}}};
    for (const auto& [name, args] : bad) {
        Call(name, args);
        EXPECT_TRUE(Failed()) << name;
    }
}

TEST_F(Builtins, LogOfTextWritesToTheLog) {
    ValueRef r = Call("log", {"hello there"});
    EXPECT_TRUE(r->Data.IsEmpty());
    EXPECT_TRUE(log.Contains("hello there"));
    EXPECT_FALSE(Failed());
    EXPECT_FLOAT_EQ(Call("log", {"1"})->GetSingle(), 0.0f);  // numeric text is still a number
}

TEST_F(Builtins, Conversions) {
    EXPECT_EQ(Text("dechex", {255}), "FF");
    EXPECT_EQ(Text("dechex", {-1}), "FFFFFFFF");
    EXPECT_EQ(Call("hexdec", {"ff"})->GetLong(), 255);
    EXPECT_EQ(Call("hexdec", {"FFFF"})->GetLong(), -1);  // four digits are a 16-bit number
    EXPECT_EQ(Call("hexdec", {"10000"})->GetLong(), 65536);
    Call("hexdec", {"xyz"});
    EXPECT_TRUE(Failed());
    EXPECT_TRUE(Call("cbool", {"true"})->GetBool());
    EXPECT_EQ(Call("cbool", {})->Typ, typBool);
    EXPECT_EQ(Call("cbyte", {"7"})->Typ, typByte);
    EXPECT_EQ(Call("cbyte", {})->GetLong(), 0);
    Call("cbyte", {300});
    EXPECT_TRUE(Failed());
    EXPECT_EQ(Call("cint", {"2.5"})->GetLong(), 2);
    EXPECT_EQ(Call("cint", {"2.5"})->Typ, typInt);
    EXPECT_EQ(Call("cfloat", {"2.5"})->Typ, typFloat);
    EXPECT_EQ(Call("cstr", {7})->Typ, typStr);
    EXPECT_EQ(Text("cstr", {}), "");
    EXPECT_EQ(Call("cvar", {7})->Typ, typVar);
    ValueRef e = Call("cvar", {});
    EXPECT_EQ(e->Data.Kind(), HK::String);
}

TEST_F(Builtins, Rounding) {
    EXPECT_EQ(Call("round", {2.5})->GetLong(), 2);
    EXPECT_EQ(Call("round", {3.5})->GetLong(), 4);
    EXPECT_FLOAT_EQ(Call("round", {1.25, 1})->GetSingle(), 1.2f);
    ValueRef c = Call("cround", {2.5});
    EXPECT_EQ(c->Typ, typVar);
    EXPECT_EQ(c->Data.Kind(), HK::String);
    EXPECT_EQ(c->GetString(), "3");
    EXPECT_EQ(Text("cround", {-2.5}), "-3");
    EXPECT_DOUBLE_EQ(Call("cround", {1.25, 1})->Data.ToDouble(), 1.3);
    EXPECT_EQ(Call("floor", {-1.5})->GetLong(), -2);
    EXPECT_EQ(Call("ceil", {-1.5})->GetLong(), -1);
    EXPECT_EQ(Call("fix", {-1.5})->GetLong(), -1);
    EXPECT_FLOAT_EQ(Call("floor", {1.27, 1})->GetSingle(), 1.2f);
    EXPECT_FLOAT_EQ(Call("ceil", {1.21, 1})->GetSingle(), 1.3f);
    EXPECT_FLOAT_EQ(Call("fix", {-1.27, 1})->GetSingle(), -1.2f);
    EXPECT_FLOAT_EQ(Call("clip", {5, 0, 3})->GetSingle(), 3.0f);
    EXPECT_FLOAT_EQ(Call("clip", {-5, 0, 3})->GetSingle(), 0.0f);
    for (const char* f : {"round", "fix", "floor", "ceil"}) {
        Call(f, {3e9});
        EXPECT_TRUE(Failed()) << f;
    }
}

TEST_F(Builtins, RandomNumbers) {
    Call("srand", {7});
    float a = Call("rnd", {})->GetSingle();
    float b = Call("rnd", {})->GetSingle();
    Call("srand", {7});
    EXPECT_EQ(Call("rnd", {})->GetSingle(), a);
    EXPECT_EQ(Call("rnd", {})->GetSingle(), b);
    EXPECT_EQ(Call("lastrnd", {})->GetSingle(), b);
    EXPECT_EQ(Call("lastrand", {})->GetLong(), b > 0.5f ? 1 : 0);
    EXPECT_EQ(Call("rand", {})->GetLong(), 1);
    bool seen[7] = {};
    for (int i = 0; i < 300; ++i) {
        int32_t r = Call("rand", {1, 6})->GetLong();
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 6);
        seen[r] = true;
    }
    for (int v = 1; v <= 6; ++v) EXPECT_TRUE(seen[v]) << v;
    for (int i = 0; i < 50; ++i) {
        float r = Call("rnd", {2, 3, -2})->GetSingle();
        ASSERT_GE(r, 2.0f);
        ASSERT_LE(r, 3.0f);
        int32_t k = Call("rand", {5})->GetLong();
        ASSERT_GE(k, 0);
        ASSERT_LE(k, 5);
    }
    EXPECT_TRUE(Call("rnd", {1, 2, 3, 4})->Data.IsEmpty());
    Call("srand", {});
}

TEST_F(Builtins, DebuggingAids) {
    std::vector<std::pair<std::string, std::string>> boxes;
    gScriptHooks.MessageBox = [&](const std::string& text, const std::string& title, int32_t) {
        boxes.emplace_back(text, title);
        return 1;
    };
    gScriptHooks.InputBox = [&](const std::string& prompt, const std::string&) {
        return std::optional<std::string>("typed " + prompt);
    };
    Bc b;
    b.Assign("x").Int(5);
    b.CallStmt("dump", 1).Var("x");
    b.CallStmt("dump", 0);
    b.CallStmt("deb", 1).Var("unset");
    b.CallStmt("dumpenv", 0);
    b.Return().List(2).Call("din", 1).Str("p").Call("din", 0);
    AddClass("T", {{"f", b.b}});
    auto o = Object("T", "obj");
    ValueRef r = o->Execute("f");
    ASSERT_GE(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].first, "int x = 5");
    EXPECT_EQ(boxes[1].first, "No parameter given!");
    EXPECT_EQ(boxes[2].first, "(not set)");
    EXPECT_EQ(boxes[2].second, "obj");
    EXPECT_EQ(boxes[3].first.rfind("[[Dump 1]]\r\n", 0), 0u);
    EXPECT_EQ(boxes.back().first.rfind("[[Dump 3]]", 0), 0u);  // call scope, object, globals
    EXPECT_EQ(r->GetArray()->At(1)->GetString(), "typed p");
    EXPECT_EQ(r->GetArray()->At(2)->GetString(), "typed Debug:");
    // Without a dialog hook: logged, OK and cancel.
    gScriptHooks = ScriptHooks();
    EXPECT_EQ(Call("deb", {"hi"})->GetLong(), 1);
    EXPECT_EQ(Text("din", {}), "");
}

}  // namespace
}  // namespace zun::test
