// zsrun FILE.dat CLASS [FUNCTION [ARGS...]]
//
// Loads a compiled script file, makes an object of CLASS (its initialisers
// run), runs FUNCTION with the arguments and prints the result. Arguments are
// passed as numbers when they read as numbers, as True/False for "true" and
// "false", and as text otherwise.
//
// For script test suites it answers two script functions of its own:
//   check(condition [, label])         passes when the condition is true
//   check(actual, expected, label)     passes when type and text form agree
//   summary()                          prints "N passed, N failed"
// The exit status is 0 when everything passed and no script failed, 1 when a
// check failed or a script failure was logged, 2 for bad usage or a file or
// class that could not be loaded.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "script/zScript.h"
#include "script/zScriptHost.h"

using namespace zun;

namespace {

int gPassed = 0;
int gFailed = 0;
int gScriptErrors = 0;
bool gSummaryShown = false;

void Print(std::FILE* f, const std::string& text1252) { std::fprintf(f, "%s\n", Cp1252ToUtf8(text1252).c_str()); }

std::string Describe(const zScriptValue* v) {
    if (!v) return "(not set)";
    std::string text;
    try {
        text = v->ToString(0);
    } catch (const RuntimeError&) {
        text = "?";
    }
    return zScript.TypeName(v->Typ) + " " + text;
}

std::string Label(const zScriptArgs& args, int32_t i, zScriptObject* caller) {
    std::string where = caller && caller->Class ? caller->Class->Name : std::string();
    if (i <= args.Count() && args[i]) {
        try {
            return where + ": " + args[i]->GetString();
        } catch (const RuntimeError&) {
        }
    }
    return where + ": check " + std::to_string(gPassed + gFailed + 1);
}

ValueRef Check(zScriptObject* caller, zScriptArgs& args) {
    bool ok = false;
    std::string detail;
    if (args.Count() >= 3) {
        const zScriptValue* actual = args[1];
        const zScriptValue* expected = args[2];
        std::string a = Describe(actual), e = Describe(expected);
        ok = actual && expected && a == e;
        if (!ok) detail = " (got " + a + ", expected " + e + ")";
    } else if (args.Count() >= 1 && args[1]) {
        try {
            ok = args[1]->GetBool();
        } catch (const RuntimeError& err) {
            detail = " (" + err.Description + ")";
        }
    } else {
        detail = " (no condition)";
    }
    if (ok) {
        ++gPassed;
    } else {
        Print(stdout, "FAIL " + Label(args, args.Count() >= 3 ? 3 : 2, caller) + detail);
        ++gFailed;
    }
    ValueRef r = zScriptValue::New();
    r->SetBool(ok);
    return r;
}

ValueRef Summary() {
    Print(stdout, std::to_string(gPassed) + " passed, " + std::to_string(gFailed) + " failed");
    gSummaryShown = true;
    ValueRef r = zScriptValue::New();
    r->SetLong(gFailed);
    return r;
}

HostValue ParseArg(const std::string& utf8) {
    std::string s = Utf8ToCp1252(utf8);
    if (s == "true") return HostValue(true);
    if (s == "false") return HostValue(false);
    double d;
    if (!s.empty() && ParseNumber(s, d)) {
        if (d == static_cast<double>(static_cast<int32_t>(d)) && s.find_first_of(".eE") == std::string::npos) {
            return HostValue(static_cast<int32_t>(d));
        }
        return HostValue(d);
    }
    return HostValue(s);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zsrun FILE.dat CLASS [FUNCTION [ARGS...]]\n");
        return 2;
    }
    gCoreHooks.OnLogEntry = [](const std::string& line, const std::vector<LogValue>& values) {
        if (values.size() >= 2 && values[0].Text() == "ERR" && values[1].Text() == "Script") ++gScriptErrors;
        Print(stderr, line);
    };
    Core_Start();
    zCore.DecimalSeparator = ".";
    RegisterCoreClasses();
    zScript.Script_Initialize();
    gScriptDevices = ScriptDevices();  // nothing is drawn here
    gScriptHooks.CallGameFunction = [](zScriptObject* caller, zScriptArray*, const std::string& name,
                                       zScriptArgs& args) -> ValueRef {
        if (name == "check") return Check(caller, args);
        if (name == "summary") return Summary();
        return nullptr;
    };
    gScriptHooks.IsGameFunction = [](const std::string& name) { return name == "check" || name == "summary"; };
    zScript.ResetDispatch();

    std::string file = FromHostPath(argv[1]);
    size_t before = zScript.Classes.size();
    zScript.LoadScriptFile(file);
    if (zScript.Classes.size() == before) {
        std::fprintf(stderr, "zsrun: no class loaded from %s\n", argv[1]);
        return 2;
    }
    auto obj = zScriptObject::New();
    std::string cls = Utf8ToCp1252(argv[2]);
    if (!obj->SetClass(cls, cls)) return 2;
    if (argc >= 4) {
        std::vector<HostValue> args;
        for (int i = 4; i < argc; ++i) args.push_back(ParseArg(argv[i]));
        ValueRef r = obj->Execute(Utf8ToCp1252(argv[3]), args);
        if (!gSummaryShown) Print(stdout, Describe(r.get()));
    }
    if (gFailed > 0 || gScriptErrors > 0) return 1;
    return 0;
}
