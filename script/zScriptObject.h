// An instance of a script class: the door through which game code talks to
// scripts. Events are sent by name with Execute; a failure inside a script
// ends that event, is logged, and the game gets an empty value back.
//
// Script objects are always held by std::shared_ptr (a script's "this" and
// the values that hold the object share it).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/zInterfaces.h"
#include "script/zScriptArgs.h"
#include "script/zScriptArray.h"

namespace zun {

class zScriptClass;

class zScriptObject : public iClass, public std::enable_shared_from_this<zScriptObject> {
public:
    // Key of the object in the saved-values store.
    std::string Name;
    std::shared_ptr<zScriptClass> Class;
    // The object's variables; Parent = the globals at SetClass time.
    ArrayRef Locals;
    // The game object this script object serves.
    std::weak_ptr<iClass> Origin;

    zScriptObject();
    ~zScriptObject() override;
    static std::shared_ptr<zScriptObject> New() { return std::make_shared<zScriptObject>(); }

    std::string ClassName() const override { return "zScriptObject"; }
    uint8_t ClassVersion() const override { return 1; }

    // Runs the named function of the class; each argument arrives as a var
    // value holding a copy. Nothing when the object has no class; otherwise
    // always a value (an empty one for a missing function or a failure).
    ValueRef Execute(std::string_view iName, std::initializer_list<HostValue> iArgs = {});
    ValueRef Execute(std::string_view iName, const std::vector<HostValue>& iArgs);
    // The same with an argument list of script values (positions 1..n).
    ValueRef ExecuteList(std::string_view iName, const zScriptArgs& iArgs);

    void SaveValues();
    void LoadValues();
    // Attaches the newest class of that name and initialises fresh Locals.
    bool SetClass(const std::string& iClass, const std::string& iKeyName = "");

private:
    ValueRef Run(std::string_view iName, const zScriptArgs& iArgs);
};

using ObjectRef = std::shared_ptr<zScriptObject>;

}  // namespace zun
