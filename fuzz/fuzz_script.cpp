// The script loader and interpreter on arbitrary compiled files: the first
// byte chooses whether the rest is a chunk-file table or one class chunk; every
// class that loads gets an object and every function of it runs, each with a
// step budget, so endless loops end and nothing grows without bound.
// fuzz-libs: zun_script zun_devices zun_platform zun_core
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zRegistry.h"
#include "core/zStream.h"
#include "script/zScript.h"
#include "script/zScriptHost.h"

using namespace zun;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        RegisterCoreClasses();
        return true;
    }();
    (void)ready;
    if (size < 1 || size > (1u << 16)) return 0;
    zCore.LogText.clear();
    zScript.Script_Initialize();
    gScriptDevices = ScriptDevices();
    gScriptHooks = ScriptHooks();
    zScript.MaxTextLength = 4096;
    zScript.MaxIndexGrowth = 100;

    std::vector<uint8_t> bytes(data + 1, data + size);
    if (data[0] & 1) {
        auto cls = std::make_shared<zScriptClass>();
        zStream s(std::move(bytes));
        try {
            cls->Import(s);
            cls->LoadInherits();
            zScript.Classes.push_back(cls);
        } catch (const std::exception&) {
        }
    } else {
        zStream s(std::move(bytes));
        zFile f;
        if (f.LoadFromStream(&s)) zScript.LoadScriptChunks(f, "fuzz");
    }

    std::vector<std::shared_ptr<zScriptClass>> classes = zScript.Classes;
    for (const auto& cls : classes) {
        auto obj = zScriptObject::New();
        zScript.StepBudget = 5000;
        if (!obj->SetClass(cls->Name, "fuzz")) continue;
        int32_t n = cls->FunctionCount() < 16 ? cls->FunctionCount() : 16;
        for (int32_t i = 1; i <= n; ++i) {
            zScriptFunction* fn = cls->GetFunction(i);
            zScript.StepBudget = 5000;
            obj->Execute(fn->Name, {HostValue(int32_t(1)), HostValue("a"), HostValue(2.5)});
        }
        obj->SaveValues();
        obj->LoadValues();
    }
    zScript.StepBudget = -1;
    // Scripts may have made reference cycles; empty every array so all is freed.
    classes.clear();
    zScript.Classes.clear();
    zScript.Globals = nullptr;
    zScript.SavedValues = nullptr;
    zScriptArray::ReleaseAll();
    zCore.LogText.clear();
    return 0;
}
