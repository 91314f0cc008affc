// The script interpreter beside Lua 5.4 on the same workloads, in the same
// process: loops with arithmetic (B1), recursive calls (B2), member calls and
// member variables (B3), arrays (B4), text functions (B5), events sent from
// C++ with game functions (B6), globals reached through a scope chain (B7),
// and events that no handler answers. Each iteration runs both; the counters
// give each side's time and "ratio" is ours over Lua's.
// ZUN_BENCH_SCALE (a factor, default 1) shrinks the workloads for smoke runs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "bench/BenchSupport.h"
#include "core/zCore.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "script/zScript.h"

using namespace zun;

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

int Scaled(int n) {
    static double scale = [] {
        const char* s = std::getenv("ZUN_BENCH_SCALE");
        double v = s ? std::atof(s) : 1.0;
        return v > 0 ? v : 1.0;
    }();
    int r = static_cast<int>(n * scale);
    return r < 1 ? 1 : r;
}

// ---- a small byte-code writer ---------------------------------------------------

struct Bc {
    std::vector<uint8_t> b;
    size_t Pos() const { return b.size(); }
    Bc& U8(int v) {
        b.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    Bc& I32(int32_t v) {
        uint8_t x[4];
        std::memcpy(x, &v, 4);
        b.insert(b.end(), x, x + 4);
        return *this;
    }
    Bc& Name(const std::string& s) {
        I32(static_cast<int32_t>(s.size() * 2));
        for (char c : s) U8(c).U8(0);
        return *this;
    }
    Bc& Int(int32_t v) { return U8(12).I32(v); }
    Bc& Str(const std::string& s) { return U8(14).Name(s); }
    Bc& Var(const std::string& n) { return U8(5).Name(n); }
    Bc& Path(const std::string& n, int32_t k) { return U8(6).Name(n).I32(k); }
    Bc& Call(const std::string& n, int32_t argc) { return U8(8).Name(n).I32(argc); }
    Bc& Assign(const std::string& n) { return U8(4).U8(5).Name(n); }
    Bc& AssignPath(const std::string& n, int32_t k) { return U8(4).U8(6).Name(n).I32(k); }
    Bc& CallStmt(const std::string& n, int32_t argc) { return U8(8).Name(n).I32(argc); }
    size_t Jump() {
        U8(2);
        size_t at = Pos();
        I32(0);
        return at;
    }
    void JumpTo(size_t at, size_t to) {
        int32_t t = static_cast<int32_t>(to + 1);
        std::memcpy(&b[at], &t, 4);
    }
    // while (cond) { body }
    void While(const std::function<void(Bc&)>& cond, const std::function<void(Bc&)>& body) {
        size_t top = Pos();
        U8(20);
        cond(*this);
        size_t out = Jump();
        body(*this);
        JumpTo(Jump(), top);
        JumpTo(out, Pos());
    }
};

struct Fn {
    std::string name;
    std::vector<uint8_t> body = {};
    std::vector<std::string> params = {};
};

void WriteFunction(zStream& s, const Fn& f) {
    s.WriteStringU(f.name);
    s.WriteBool(false);
    s.WriteLong(static_cast<int32_t>(f.params.size()));
    for (const auto& p : f.params) {
        s.WriteByte(0);
        s.WriteStringU(p);
        s.WriteStringU("");
    }
    s.WriteLong(static_cast<int32_t>(f.body.size()));
    if (f.body.empty()) {
        s.WriteLong(1);
        s.WriteByte(0);
    } else {
        s.WriteLong(static_cast<int32_t>(f.body.size()));
        for (uint8_t c : f.body) s.WriteByte(c);
    }
}

void AddClass(const std::string& name, const std::vector<Fn>& fns, const std::vector<uint8_t>& init = {}) {
    zStream s;
    s.WriteStringU(name);
    s.WriteLong(0);
    s.WriteLong(static_cast<int32_t>(fns.size()));
    for (const auto& f : fns) WriteFunction(s, f);
    WriteFunction(s, {"", init, {}});
    auto c = std::make_shared<zScriptClass>();
    c->Import(s);
    c->LoadInherits();
    zScript.Classes.push_back(c);
}

void StartEngine() {
    static bool once = [] {
        RegisterCoreClasses();
        return true;
    }();
    (void)once;
    zCore.LogText.clear();
    zScript.Script_Initialize();
    gScriptHooks = ScriptHooks();
}

std::shared_ptr<zScriptObject> Make(const std::string& cls) {
    auto o = zScriptObject::New();
    o->SetClass(cls);
    return o;
}

// ---- Lua side ---------------------------------------------------------------------

struct Lua {
    lua_State* L = luaL_newstate();
    Lua() { luaL_openlibs(L); }
    ~Lua() { lua_close(L); }
    void Run(const char* code) {
        if (luaL_dostring(L, code) != LUA_OK) {
            std::fprintf(stderr, "lua: %s\n", lua_tostring(L, -1));
            std::abort();
        }
    }
};

// Every workload aims at twice Lua's time or better.
constexpr double kRatioGoal = 2.0;

void Report(benchmark::State& state, const char* name, double ours, double lua, int iterations) {
    state.counters["zun_ms"] = ours * 1000.0 / iterations;
    state.counters["lua_ms"] = lua * 1000.0 / iterations;
    state.counters["ratio"] = lua > 0 ? ours / lua : 0;
    if (name) bench::GoalTable::Get().Ratio(std::string(name) + " / Lua", state.counters["ratio"], kRatioGoal);
}

template <class Ours, class Theirs>
void Compare(benchmark::State& state, const char* name, Ours ours, Theirs theirs) {
    double a = 0, b = 0;
    int n = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        ours();
        a += Since(t0);
        auto t1 = Clock::now();
        theirs();
        b += Since(t1);
        ++n;
    }
    Report(state, name, a, b, n);
}

// ---- workloads ---------------------------------------------------------------------

void B1_Loop(benchmark::State& state) {
    const int n = Scaled(3000000);
    StartEngine();
    Bc b;
    b.Assign("i").Int(0).Assign("s").Int(0);
    b.While([&](Bc& c) { c.U8(32).Var("i").Int(n); },
            [](Bc& c) {
                c.Assign("s").U8(60).Var("s").Var("i");
                c.U8(52).Var("i");
            });
    b.U8(3).Var("s");
    AddClass("B1", {{"run", b.b}});
    auto o = Make("B1");
    Lua lua;
    std::string src = "function run() local i, s = 0, 0 while i < " + std::to_string(n) +
                      " do s = s + i; i = i + 1 end return s end";
    lua.Run(src.c_str());
    Compare(state, __func__, [&] { benchmark::DoNotOptimize(o->Execute("run")); },
        [&] {
            lua_getglobal(lua.L, "run");
            lua_call(lua.L, 0, 1);
            lua_pop(lua.L, 1);
        });
}
BENCHMARK(B1_Loop)->Unit(benchmark::kMillisecond)->Iterations(3);

void B2_Fib(benchmark::State& state) {
    const int n = Scaled(30) < 30 ? 20 : 30;
    StartEngine();
    // fib(n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }
    Bc b;
    b.U8(20).U8(32).Var("n").Int(2);
    size_t j = b.Jump();
    b.U8(3).Var("n");
    b.JumpTo(j, b.Pos());
    b.U8(3).U8(60).Call("fib", 1).U8(61).Var("n").Int(1).Call("fib", 1).U8(61).Var("n").Int(2);
    AddClass("B2", {{"fib", b.b, {"n"}}});
    auto o = Make("B2");
    Lua lua;
    lua.Run("function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end");
    Compare(state, __func__, [&] { benchmark::DoNotOptimize(o->Execute("fib", {n})); },
        [&] {
            lua_getglobal(lua.L, "fib");
            lua_pushinteger(lua.L, n);
            lua_call(lua.L, 1, 1);
            lua_pop(lua.L, 1);
        });
}
BENCHMARK(B2_Fib)->Unit(benchmark::kMillisecond)->Iterations(3);

void B3_Members(benchmark::State& state) {
    const int n = Scaled(500000);
    StartEngine();
    // class Counter { x = 0; inc(k) { x = x + k; } }
    AddClass("Counter", {{"inc", Bc().Assign("x").U8(60).Var("x").Var("k").b, {"k"}}}, Bc().Assign("x").Int(0).b);
    // a = new("Counter"); b = new("Counter"); while (i < n) { a.inc(1); b.x = b.x + 1; i++; }
    Bc b;
    b.Assign("a").Call("new", 1).Str("Counter").Assign("b").Call("new", 1).Str("Counter").Assign("i").Int(0);
    b.While([&](Bc& c) { c.U8(32).Var("i").Int(n); },
            [](Bc& c) {
                c.U8(9).Var("a").Call("inc", 1).Int(1);
                c.U8(4).U8(9).Var("b").Var("x").U8(60).U8(9).Var("b").Var("x").Int(1);
                c.U8(52).Var("i");
            });
    AddClass("B3", {{"run", b.b}});
    auto o = Make("B3");
    Lua lua;
    std::string src =
        "Counter = {} Counter.__index = Counter "
        "function Counter.new() return setmetatable({x = 0}, Counter) end "
        "function Counter:inc(k) self.x = self.x + k end "
        "function run() local a, b = Counter.new(), Counter.new() local i = 0 while i < " +
        std::to_string(n) + " do a:inc(1); b.x = b.x + 1; i = i + 1 end end";
    lua.Run(src.c_str());
    Compare(state, __func__, [&] { o->Execute("run"); },
        [&] {
            lua_getglobal(lua.L, "run");
            lua_call(lua.L, 0, 0);
        });
}
BENCHMARK(B3_Members)->Unit(benchmark::kMillisecond)->Iterations(3);

void B4_Arrays(benchmark::State& state) {
    const int n = Scaled(300000);
    StartEngine();
    // a = []; while (i < n) { a[] = i; i++; } s = 0; i = 1; while (i <= n) { s = s + a[i]; i++; }
    // while (count(a) > 0) { pop(a); } return s;
    Bc b;
    b.Assign("a").U8(7).I32(0).Assign("i").Int(0);
    b.While([&](Bc& c) { c.U8(32).Var("i").Int(n); },
            [](Bc& c) {
                c.AssignPath("a", 0).Var("i");
                c.U8(52).Var("i");
            });
    b.Assign("s").Int(0).Assign("i").Int(1);
    b.While([&](Bc& c) { c.U8(33).Var("i").Int(n); },
            [](Bc& c) {
                c.Assign("s").U8(60).Var("s").Path("a", 1).Var("i");
                c.U8(52).Var("i");
            });
    b.While([](Bc& c) { c.U8(34).Call("count", 1).Var("a").Int(0); },
            [](Bc& c) { c.CallStmt("pop", 1).Var("a"); });
    b.U8(3).Var("s");
    AddClass("B4", {{"run", b.b}});
    auto o = Make("B4");
    Lua lua;
    std::string src = "function run() local a = {} for i = 0, " + std::to_string(n - 1) +
                      " do a[#a + 1] = i end local s = 0 for i = 1, #a do s = s + a[i] end "
                      "while #a > 0 do table.remove(a) end return s end";
    lua.Run(src.c_str());
    Compare(state, __func__, [&] { o->Execute("run"); },
        [&] {
            lua_getglobal(lua.L, "run");
            lua_call(lua.L, 0, 1);
            lua_pop(lua.L, 1);
        });
}
BENCHMARK(B4_Arrays)->Unit(benchmark::kMillisecond)->Iterations(3);

void B5_Text(benchmark::State& state) {
    const int n = Scaled(20000);
    StartEngine();
    // s = ""; while (i < n) { s = s + "x"; p = strpos(s, "xy"); t = substr(s, 0, 10); r = replace("x", "y", t); i++; }
    Bc b;
    b.Assign("s").Str("").Assign("i").Int(0);
    b.While([&](Bc& c) { c.U8(32).Var("i").Int(n); },
            [](Bc& c) {
                c.Assign("s").U8(60).Var("s").Str("x");
                c.Assign("p").Call("strpos", 2).Var("s").Str("xy");
                c.Assign("t").Call("substr", 3).Var("s").Int(0).Int(10);
                c.Assign("r").Call("replace", 3).Str("x").Str("y").Var("t");
                c.U8(52).Var("i");
            });
    AddClass("B5", {{"run", b.b}});
    auto o = Make("B5");
    Lua lua;
    std::string src = "function run() local s = '' for i = 1, " + std::to_string(n) +
                      " do s = s .. 'x'; local p = string.find(s, 'xy', 1, true); local t = string.sub(s, 1, 10); "
                      "local r = string.gsub(t, 'x', 'y') end end";
    lua.Run(src.c_str());
    Compare(state, __func__, [&] { o->Execute("run"); },
        [&] {
            lua_getglobal(lua.L, "run");
            lua_call(lua.L, 0, 0);
        });
}
BENCHMARK(B5_Text)->Unit(benchmark::kMillisecond)->Iterations(3);

int LuaStub(lua_State*) { return 0; }

void B6_Events(benchmark::State& state) {
    const int frames = Scaled(1000);
    StartEngine();
    gScriptHooks.CallGameFunction = [](zScriptObject*, zScriptArray*, const std::string& name,
                                       zScriptArgs&) -> ValueRef {
        if (name.size() == 2 && name[0] == 'g') return zScriptValue::New();
        return nullptr;
    };
    gScriptHooks.IsGameFunction = [](const std::string& name) { return name.size() == 2 && name[0] == 'g'; };
    zScript.ResetDispatch();
    Bc h;
    for (const char* g : {"g1", "g2", "g3", "g4", "g5"}) h.CallStmt(g, 0);
    AddClass("Actor", {{"onUpdate", h.b}});
    AddClass("Idle", {{"onClick", Bc().U8(3).Int(1).b}});
    std::vector<std::shared_ptr<zScriptObject>> objs;
    for (int i = 0; i < 200; ++i) objs.push_back(Make(i % 2 ? "Actor" : "Idle"));
    Lua lua;
    for (const char* g : {"g1", "g2", "g3", "g4", "g5"}) lua_register(lua.L, g, LuaStub);
    lua.Run("objs = {} for i = 1, 200 do local o = {} if i % 2 == 0 then "
            "function o.onUpdate(self) g1() g2() g3() g4() g5() end else "
            "function o.onClick(self) return 1 end end objs[i] = o end");
    lua_getglobal(lua.L, "objs");
    int objsIndex = lua_gettop(lua.L);
    Compare(state, __func__,
        [&] {
            for (int f = 0; f < frames; ++f) {
                for (auto& o : objs) o->Execute("onUpdate");
            }
        },
        [&] {
            for (int f = 0; f < frames; ++f) {
                for (int i = 1; i <= 200; ++i) {
                    lua_rawgeti(lua.L, objsIndex, i);
                    lua_getfield(lua.L, -1, "onUpdate");
                    if (lua_isfunction(lua.L, -1)) {
                        lua_pushvalue(lua.L, -2);
                        lua_call(lua.L, 1, 0);
                    } else {
                        lua_pop(lua.L, 1);
                    }
                    lua_pop(lua.L, 1);
                }
            }
        });
    state.counters["zun_us_per_frame"] = state.counters["zun_ms"] * 1000.0 / frames;
}
BENCHMARK(B6_Events)->Unit(benchmark::kMillisecond)->Iterations(3);

void B7_Globals(benchmark::State& state) {
    const int n = Scaled(1000000);
    StartEngine();
    zScript.Globals->SetNameValue("g", HostValue(int32_t(0)));
    // bump() { i = 0; while (i < n) { g = g + 1; i++; } }  (g lives two scopes up)
    Bc b;
    b.Assign("i").Int(0);
    b.While([&](Bc& c) { c.U8(32).Var("i").Int(n); },
            [](Bc& c) {
                c.Assign("g").U8(60).Var("g").Int(1);
                c.U8(52).Var("i");
            });
    AddClass("B7", {{"bump", b.b}});
    auto o = Make("B7");
    Lua lua;
    std::string src =
        "g = 0 function bump() local i = 0 while i < " + std::to_string(n) + " do g = g + 1; i = i + 1 end end";
    lua.Run(src.c_str());
    Compare(state, __func__, [&] { o->Execute("bump"); },
        [&] {
            lua_getglobal(lua.L, "bump");
            lua_call(lua.L, 0, 0);
        });
}
BENCHMARK(B7_Globals)->Unit(benchmark::kMillisecond)->Iterations(3);

void MissingEvent(benchmark::State& state) {
    const int n = Scaled(1000000);
    StartEngine();
    AddClass("Idle", {{"onClick", Bc().U8(3).Int(1).b}});
    auto o = Make("Idle");
    o->Execute("onMissing");  // the name is known to the engine from now on
    Lua lua;
    lua.Run("obj = { onClick = function() return 1 end }");
    lua_getglobal(lua.L, "obj");
    int idx = lua_gettop(lua.L);
    Compare(state, nullptr,  // its goal is the time per event, below
        [&] {
            for (int i = 0; i < n; ++i) benchmark::DoNotOptimize(o->Execute("onMissing"));
        },
        [&] {
            for (int i = 0; i < n; ++i) {
                lua_getfield(lua.L, idx, "onMissing");
                if (lua_isfunction(lua.L, -1)) lua_call(lua.L, 0, 0);
                else lua_pop(lua.L, 1);
            }
        });
    state.counters["zun_ns_per_event"] = state.counters["zun_ms"] * 1e6 / n;
    bench::GoalTable::Get().Below("MissingEvent per event", state.counters["zun_ns_per_event"] / 1000.0, 0.3, "us");
}
BENCHMARK(MissingEvent)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
