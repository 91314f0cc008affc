// The script compiler against the Lua 5.4 compiler (what luac does: load the
// source into a function, then dump its byte code) on generated programs of
// about 20,000 lines that do the same things. Both run in every iteration;
// the counters give lines per second of each and "ratio" is our time over Lua's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "bench/BenchSupport.h"
#include "tools/zsc/zscCompiler.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct Programs {
    std::string Zs, Lua;
    int ZsLines = 0, LuaLines = 0;
};

int Lines(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

// Classes of 20 functions, each function 12 lines of assignments, branches,
// loops, calls, texts and arrays, until the target line count is reached.
Programs Generate(int targetLines) {
    Programs p;
    char buf[512];
    int cls = 0;
    while (Lines(p.Zs) < targetLines) {
        std::snprintf(buf, sizeof buf, "class C%d {\n  total = 0;\n", cls);
        p.Zs += buf;
        std::snprintf(buf, sizeof buf, "C%d = {}\nC%d.total = 0\n", cls, cls);
        p.Lua += buf;
        for (int f = 0; f < 20; ++f) {
            std::snprintf(buf, sizeof buf,
                          "  func f%d(a, int b = %d) {\n"
                          "    x = a + b * 3 - %d;\n"
                          "    if (x > 10) { y = x - 1; } else { y = x + 1; }\n"
                          "    while (y < 100) { y = y * 2; }\n"
                          "    for (i = 0; i < 4; i++) { total = total + i; }\n"
                          "    s = \"value \" + y;\n"
                          "    items[] = y;\n"
                          "    list = [1, 2, \"three\", x];\n"
                          "    log(s, x, y);\n"
                          "    this.other(x);\n"
                          "    return x;\n"
                          "  }\n",
                          f, f, f);
            p.Zs += buf;
            std::snprintf(buf, sizeof buf,
                          "function C%d.f%d(self, a, b)\n"
                          "  b = b or %d; local x = a + b * 3 - %d\n"
                          "  local y; if x > 10 then y = x - 1 else y = x + 1 end\n"
                          "  while y < 100 do y = y * 2 end\n"
                          "  for i = 0, 3 do self.total = self.total + i end\n"
                          "  local s = \"value \" .. y\n"
                          "  self.items[#self.items + 1] = y\n"
                          "  local list = {1, 2, \"three\", x}\n"
                          "  log(s, x, y)\n"
                          "  self:other(x)\n"
                          "  return x\n"
                          "end\n",
                          cls, f, f, f);
            p.Lua += buf;
        }
        p.Zs += "}\n";
        ++cls;
    }
    p.ZsLines = Lines(p.Zs);
    p.LuaLines = Lines(p.Lua);
    return p;
}

int DiscardWriter(lua_State*, const void*, size_t size, void* ud) {
    *static_cast<size_t*>(ud) += size;
    return 0;
}

void BM_CompileScript(benchmark::State& state) {
    const Programs prog = Generate(int(state.range(0)));
    lua_State* L = luaL_newstate();
    double ours = 0, lua = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        zun::zsc::CompileResult r = zun::zsc::CompileText(prog.Zs, "bench.zs", "", false);
        std::vector<uint8_t> file = r.Ok ? zun::zsc::BuildChunkFile(r.Classes) : std::vector<uint8_t>();
        benchmark::DoNotOptimize(file.data());
        auto t1 = Clock::now();
        size_t dumped = 0;
        int status = luaL_loadbuffer(L, prog.Lua.data(), prog.Lua.size(), "=bench");
        if (status == LUA_OK) lua_dump(L, DiscardWriter, &dumped, 0);
        lua_settop(L, 0);
        benchmark::DoNotOptimize(dumped);
        auto t2 = Clock::now();
        if (!r.Ok) state.SkipWithError(("zsc failed: " + r.Diag.FormatAll()).c_str());
        if (status != LUA_OK) state.SkipWithError("lua failed to compile");
        ours += Seconds(t0, t1);
        lua += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t1));
    }
    lua_close(L);
    double n = double(state.iterations());
    state.counters["zsc_lines"] = prog.ZsLines;
    state.counters["lua_lines"] = prog.LuaLines;
    state.counters["zsc_lines_per_s"] = ours > 0 ? prog.ZsLines * n / ours : 0;
    state.counters["lua_lines_per_s"] = lua > 0 ? prog.LuaLines * n / lua : 0;
    state.counters["ratio"] = lua > 0 ? ours / lua : 0;
    // Compared per line: the two programs do the same things in about as many lines.
    const double zscRate = state.counters["zsc_lines_per_s"], luaRate = state.counters["lua_lines_per_s"];
    zun::bench::GoalTable::Get().Ratio("zsc lines/s / luac", zscRate > 0 ? luaRate / zscRate : 0, 1.0);
}

}  // namespace

BENCHMARK(BM_CompileScript)->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond);
