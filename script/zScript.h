// The script engine's module: its shared state (the loaded classes, the
// globals, the saved values), loading compiled script files, class lookup,
// the host built-ins dispatcher and the hooks through which it reaches the
// game and the platform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/zScriptArgs.h"
#include "script/zScriptArray.h"
#include "script/zScriptClass.h"
#include "script/zScriptFunction.h"
#include "script/zScriptObject.h"
#include "script/zScriptValue.h"

namespace zun {

class zFile;

// What the engine needs from the game and the platform. Empty slots are
// skipped (dialogs then log their text and answer OK / cancel).
struct ScriptHooks {
    // The game's script-function table: answers a value when the name is one of
    // its functions (after running it), Nothing otherwise.
    std::function<ValueRef(zScriptObject* iCaller, zScriptArray* iValues, const std::string& iName,
                           zScriptArgs& iArgs)>
        CallGameFunction;
    // Optional: whether the game's table has a name. When set, the engine asks
    // it once per name and calls CallGameFunction only for names it knows;
    // call zScript.ResetDispatch() after changing either slot.
    std::function<bool(const std::string& iName)> IsGameFunction;
    // Modal message box: returns the code of the button pressed (OK = 1).
    std::function<int32_t(const std::string& iText, const std::string& iTitle, int32_t iStyle)> MessageBox;
    // Modal input box: the text entered, or nothing when cancelled.
    std::function<std::optional<std::string>(const std::string& iPrompt, const std::string& iTitle)> InputBox;
};
extern ScriptHooks gScriptHooks;

// Message box styles the engine uses.
inline constexpr int32_t kBoxOk = 0;
inline constexpr int32_t kBoxCritical = 16;

struct zScriptModule {
    std::string ScriptPath;
    std::vector<std::shared_ptr<zScriptClass>> Classes;
    ArrayRef SavedValues;
    ArrayRef Globals;

    // Limits that keep scripts from taking the program down: nested script
    // calls and nested expressions fail with "Out of stack space".
    int32_t MaxCallDepth = 400;
    int32_t MaxExprDepth = 2000;
    // Steps (statements run and functions entered) one call from the game may
    // take, with everything it calls, the game's functions and the scripts
    // they run again included: past it the call ends as a failing call does,
    // and the game goes on. A script's own calls share the bound of the call
    // that started them, so no script resets it by calling itself. About
    // thirty million turns of the plainest loop, half a second's work: no
    // script that ends comes near it. (An expression's work is bounded by its
    // bytes: reading inside one only goes forward.)
    int64_t MaxCallSteps = 100'000'000;
    // Steps the runs may still take together; tools and the fuzzer set it to
    // stop endless scripts sooner. Negative: no limit beyond the call's.
    int64_t StepBudget = -1;
    // Texts a script builds stay below this length ("Out of string space"), so
    // a doubling loop fails instead of taking all memory; an entry cannot be
    // created this far past the end of an array ("Subscript out of range").
    size_t MaxTextLength = size_t(64) << 20;
    int32_t MaxIndexGrowth = 1000000;
    // Entry slots all arrays may hold together ("Out of memory" past it).
    size_t MaxArrayEntries = size_t(8) << 20;
    // Bytes of script memory (texts, entry slots with their values, arrays,
    // objects) scripts may make the game hold: past it what a script asks for
    // fails with "Out of memory". A game's scripts hold a few megabytes; the
    // budget leaves the program well under a gigabyte even with the texts a
    // script builds on the way.
    size_t MaxScriptBytes = size_t(384) << 20;
    // A compiled script file unpacks to no more than this (the demo's is
    // 20 KB); the code of the classes loaded, which stay for the run, every
    // version of them, takes no more than this in all.
    size_t MaxScriptFileBytes = size_t(16) << 20;
    size_t MaxScriptCodeBytes = size_t(64) << 20;

    // Registers the class prototype, makes the state new and empty, and binds
    // the host built-ins to the device layer and the dialogs to the platform's.
    void Script_Initialize();
    // Loads a compiled script file and registers its classes. A file that
    // cannot be read or parsed is logged and registers nothing.
    void LoadScriptFile(const std::string& iFile);
    // The second half of LoadScriptFile: creates the objects of an already read
    // chunk file and registers its script classes; on a failure none of them.
    void LoadScriptChunks(zFile& iFile, const std::string& iName);
    // The loaded class of that name with the highest level (the later one on a tie).
    std::shared_ptr<zScriptClass> FindScriptClass(std::string_view iName) const;
    // A new script value typed from the host kind of iValue.
    ValueRef VariantToScriptValue(const HostValue& iValue) const;
    std::string TypeName(int32_t iTyp) const;
    std::string TrimChar(const std::string& iText, const std::string& iChar) const;

    // The game's table first, then the host built-ins; Nothing when neither
    // knows the name.
    ValueRef CallBuiltin(zScriptObject* iCaller, zScriptArray* iValues, const Atom& iName, zScriptArgs& iArgs);
    ValueRef CallBuiltin(zScriptObject* iCaller, zScriptArray* iValues, const std::string& iName,
                         zScriptArgs& iArgs);
    // Extends iArgs with the defaults of missing optional arguments.
    void ParseArguments(zScriptArgs& iArgs, int32_t iRequired, std::string_view iDefaults) const;

    // Forgets the cached answers of IsGameFunction.
    void ResetDispatch();

    // Run-time bookkeeping (not for game code).
    // The two halves of CallBuiltin that are not on every call's path.
    void AskGameTable(AtomData& iName);
    ValueRef CallHostBuiltin(int iId, zScriptObject* iCaller, zScriptArray* iValues, zScriptArgs& iArgs);
    int32_t ExecuteDepth = 0;
    // What the running call may still take (the smaller of MaxCallSteps and
    // StepBudget, set when a call from the game starts); negative outside one.
    int64_t StepsLeft = -1;
    bool StepsBoundByCall = false;
    // Script memory is refused only above this depth: what the game builds
    // inside one of its functions (a level's objects, a new character's
    // script object) must not fail half-way; the scripts it runs are refused
    // again, one level deeper.
    int32_t FreeDepth = 0;
    int32_t CallDepth = 0;
    int32_t ExprDepth = 0;
    uint32_t DispatchGeneration = 1;
    // Script runs ended by a failure so far: callers that run many scripts in
    // a row bound the failing ones.
    int64_t Failures = 0;
};
extern zScriptModule zScript;

// Inline: every call a script makes to the game passes here.
inline ValueRef zScriptModule::CallBuiltin(zScriptObject* iCaller, zScriptArray* iValues, const Atom& iName,
                                           zScriptArgs& iArgs) {
    AtomData* d = iName.Data();
    if (gScriptHooks.CallGameFunction) {
        bool ask = true;
        if (d && gScriptHooks.IsGameFunction) {
            if (d->GameGen != DispatchGeneration) AskGameTable(*d);
            ask = d->GameKnows;
        }
        if (ask) {
            struct FreeHere {
                int32_t was;
                FreeHere() : was(zScript.FreeDepth) { zScript.FreeDepth = zScript.ExecuteDepth; }
                ~FreeHere() { zScript.FreeDepth = was; }
            } freeHere;
            ValueRef r = gScriptHooks.CallGameFunction(iCaller, iValues, d ? d->Text : iName.Text(), iArgs);
            if (r) return r;
        }
    }
    if (d && d->HostId >= 0) return CallHostBuiltin(d->HostId, iCaller, iValues, iArgs);
    return nullptr;
}

// Shows a message box through the hook (or logs it when there is none).
int32_t ScriptMessageBox(const std::string& iText, const std::string& iTitle, int32_t iStyle);
std::optional<std::string> ScriptInputBox(const std::string& iPrompt, const std::string& iTitle);

}  // namespace zun
