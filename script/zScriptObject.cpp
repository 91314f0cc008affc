#include "script/zScriptObject.h"

#include <algorithm>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "script/zScript.h"

namespace zun {

namespace {

// Counts the script work running on behalf of the game. The outermost level
// contains failures: the game gets an empty value and the log has the reason;
// inner levels pass them on, so a failure ends the whole script call.
struct ExecuteLevel {
    ExecuteLevel() { ++zScript.ExecuteDepth; }
    ~ExecuteLevel() { --zScript.ExecuteDepth; }
};

// The steps a call from the game may take: the bound of one call, or what the
// runs may still take together when that is less. The runs' budget is charged
// with what the call took.
struct CallSteps {
    CallSteps() {
        const int64_t budget = zScript.StepBudget, bound = zScript.MaxCallSteps;
        zScript.StepsBoundByCall = bound >= 0 && (budget < 0 || bound < budget);
        start = zScript.StepsBoundByCall ? bound : budget;
        zScript.StepsLeft = start;
    }
    ~CallSteps() {
        if (zScript.StepBudget >= 0 && start >= 0)
            zScript.StepBudget = std::max<int64_t>(0, zScript.StepBudget - (start - zScript.StepsLeft));
        zScript.StepsLeft = -1;
    }
    int64_t start = -1;
};

// `where` names the call for the log ("Class.function"); it is only built when
// something failed.
template <class W, class F>
bool Contained(W&& where, F&& body) {
    if (zScript.ExecuteDepth > 0) {
        ExecuteLevel level;
        body();
        return true;
    }
    // Logged once the run is over: the log's hooks are game code, which may
    // make texts a full script budget would refuse.
    std::string failure;
    {
        ExecuteLevel level;
        CallSteps steps;
        try {
            body();
            return true;
        } catch (const RuntimeError& e) {
            failure = e.Description;
        } catch (const std::bad_alloc&) {
            failure = "Out of memory";
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    ++zScript.Failures;
    Log("ERR", "Script", where(), failure);
    return false;
}

}  // namespace

zScriptObject::zScriptObject() : Locals(zScriptArray::New()) {
    if (!TakeScriptBytes(sizeof(zScriptObject))) ScriptOutOfMemory();
}
zScriptObject::~zScriptObject() { GiveScriptBytes(sizeof(zScriptObject)); }

namespace {
// What an event without arguments passes on; nothing below writes to it.
const zScriptArgs kNoArgs;
}  // namespace

ValueRef zScriptObject::Execute(std::string_view iName, std::initializer_list<HostValue> iArgs) {
    if (!Class) return nullptr;
    if (iArgs.size() == 0) return Run(iName, kNoArgs);
    zScriptArgs args(static_cast<int32_t>(iArgs.size()));
    int32_t i = 0;
    for (const HostValue& a : iArgs) {
        ValueRef v = zScriptValue::New();
        v->SetVar(a);
        args.At(++i) = std::move(v);
    }
    return Run(iName, args);
}

ValueRef zScriptObject::Execute(std::string_view iName, const std::vector<HostValue>& iArgs) {
    if (!Class) return nullptr;
    if (iArgs.empty()) return Run(iName, kNoArgs);
    zScriptArgs args(static_cast<int32_t>(iArgs.size()));
    int32_t i = 0;
    for (const HostValue& a : iArgs) {
        ValueRef v = zScriptValue::New();
        v->SetVar(a);
        args.At(++i) = std::move(v);
    }
    return Run(iName, args);
}

ValueRef zScriptObject::ExecuteList(std::string_view iName, const zScriptArgs& iArgs) {
    if (!Class) return nullptr;
    return Run(iName, iArgs);
}

ValueRef zScriptObject::Run(std::string_view iName, const zScriptArgs& iArgs) {
    // A name that was never interned is no function of any class.
    Atom name = Atom::Find(iName);
    if (name.Empty() && !iName.empty()) return zScriptValue::New();
    // Most events reach objects without a handler; such an event runs nothing,
    // so it needs neither the keep-alives nor the containment below.
    if (!Class->Answers(name)) return zScriptValue::New();
    // Kept alive while the script runs: it may drop its own object or class.
    std::shared_ptr<zScriptObject> self = weak_from_this().lock();
    std::shared_ptr<zScriptClass> cls = Class;
    ArrayRef locals = Locals;
    ValueRef result;
    Contained([&] { return cls->Name + "." + std::string(iName); },
              [&] { result = cls->Execute(this, locals.get(), name, iArgs); });
    // The game always gets a value from an object with a class.
    if (!result) result = zScriptValue::New();
    return result;
}

void zScriptObject::SaveValues() {
    if (Name.empty()) return;
    ValueRef v = zScriptValue::New();
    v->SetObjectArray(Locals->GetFixed().get());
    zScript.SavedValues->SetName(Name, v);
}

void zScriptObject::LoadValues() {
    if (Name.empty()) return;
    zScriptValue* saved = zScript.SavedValues->GetName(Name, 0);
    if (!saved || saved->Data.Kind() != HK::Array || !saved->Data.AsArray()) return;
    ArrayRef keep = saved->Data.AsArray();
    keep->OverrideFixed(Locals.get());
}

bool zScriptObject::SetClass(const std::string& iClass, const std::string& iKeyName) {
    if (iClass.empty()) return false;
    Class = zScript.FindScriptClass(iClass);
    if (!Class) {
        Log("ERR", "Script class not found", iClass);
        return false;
    }
    std::shared_ptr<zScriptObject> self = weak_from_this().lock();
    std::shared_ptr<zScriptClass> cls = Class;
    Locals = zScriptArray::New();
    Locals->Parent = zScript.Globals;
    ArrayRef locals = Locals;
    // A failing initialiser leaves the class attached with what it set up.
    Contained([&] { return cls->Name + "."; }, [&] { cls->InitValues(this, locals.get()); });
    if (!iKeyName.empty()) Name = iKeyName;
    return true;
}

}  // namespace zun
