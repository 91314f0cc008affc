#include "script/zScript.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>

#include "core/zCore.h"
#include "core/zFile.h"
#include "core/zFileSystem.h"
#include "core/zMemory.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "script/zScriptRun.h"

namespace zun {

zScriptModule zScript;
ScriptHooks gScriptHooks;

extern int64_t gFunctionSlotBudget;

// ---- the stack left to deep scripts ----------------------------------------------

namespace run {

thread_local constinit uintptr_t tStackFloor = UINTPTR_MAX;

namespace {
// The lowest address the scripts of this thread may reach: a quarter of the
// thread's stack, at most 1 MB, stays for what runs below the deepest level.
// Zero (no floor) where the stack cannot be measured.
uintptr_t MeasureStackFloor() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
    void* low = nullptr;
    size_t size = 0;
    const bool known = pthread_attr_getstack(&attr, &low, &size) == 0 && low && size;
    pthread_attr_destroy(&attr);
    if (!known) return 0;
    const size_t keep = std::min(size / 4, size_t(1) << 20);
    return reinterpret_cast<uintptr_t>(low) + keep;
}
}  // namespace

void StackShort() {
    if (tStackFloor == UINTPTR_MAX) {
        tStackFloor = MeasureStackFloor();
        if (StackHere() >= tStackFloor) return;
    }
    Raise(errOutOfStack);
}

}  // namespace run

// ---- names of calls ------------------------------------------------------------

void ClassifyCallName(AtomData& d) {
    d.HasDot = d.Text.find('.') != std::string::npos;
    for (int i = 1; i < 6; ++i) {
        if (d.Text == kFormNames[i]) d.FormId = static_cast<int16_t>(i);
    }
    for (int i = 0; i < 56; ++i) {
        if (d.Text == kEngineNames[i]) {
            d.EngineId = static_cast<int16_t>(i);
            break;
        }
    }
    for (int i = 0; i < kHostNameCount; ++i) {
        if (d.Text == kHostNames[i]) {
            d.HostId = static_cast<int16_t>(i);
            break;
        }
    }
}

// ---- dialogs ---------------------------------------------------------------------

int32_t ScriptMessageBox(const std::string& iText, const std::string& iTitle, int32_t iStyle) {
    if (gScriptHooks.MessageBox) return gScriptHooks.MessageBox(iText, iTitle, iStyle);
    Log("MSG", iTitle, iText);
    return 1;
}

std::optional<std::string> ScriptInputBox(const std::string& iPrompt, const std::string& iTitle) {
    if (gScriptHooks.InputBox) return gScriptHooks.InputBox(iPrompt, iTitle);
    Log("MSG", iTitle, iPrompt);
    return std::nullopt;
}

// ---- module ------------------------------------------------------------------------

void BindScriptDevices();

void zScriptModule::Script_Initialize() {
    RegisterClass(std::make_shared<zScriptClass>());
    BindScriptDevices();
    Classes.clear();
    Unhold(HeldKind::ScriptCode, zMemory.Held[size_t(HeldKind::ScriptCode)]);
    SavedValues = zScriptArray::New();
    Globals = zScriptArray::New();
    ExecuteDepth = CallDepth = ExprDepth = FreeDepth = 0;
    StepsLeft = -1;
    gLogPlace = run::RunningPlace;
    ResetDispatch();
}

void zScriptModule::ResetDispatch() {
    ++DispatchGeneration;
    if (DispatchGeneration == 0) DispatchGeneration = 1;
}

std::shared_ptr<zScriptClass> zScriptModule::FindScriptClass(std::string_view iName) const {
    std::shared_ptr<zScriptClass> best;
    int best_level = 0;
    for (const auto& c : Classes) {
        if (c && c->Name == iName && c->InheritLevel >= best_level) {
            best = c;
            best_level = c->InheritLevel;
        }
    }
    return best;
}

void zScriptModule::LoadScriptFile(const std::string& iFile) {
    zCore.CurrentProc = "LoadScriptFile";
    std::string path = GetFilePath(iFile, ScriptPath);
    if (path.empty()) {
        Log("ERR", "LoadScriptFile", "File not found", "<" + iFile + ">");
        return;
    }
    zFile file;
    bool loaded = false;
    try {
        // Read to no more than a compiled script can need, and to the end of
        // its classes: a file that holds more after them is refused rather
        // than unpacked whole at every load.
        loaded = file.Load(path, "", int64_t(MaxScriptFileBytes));
        if (loaded && file.TrailingBytes > 0) {
            Log("ERR", "LoadScriptFile", FormatLong(file.TrailingBytes) + " bytes after the end of the script",
                "<" + iFile + ">");
            loaded = false;
        }
    } catch (const std::exception&) {
        loaded = false;
    }
    if (!loaded) {
        ScriptMessageBox("Error loading script:\r\n\r\n<" + iFile + ">", "", kBoxCritical);
        return;
    }
    LoadScriptChunks(file, iFile);
}

void zScriptModule::LoadScriptChunks(zFile& iFile, const std::string& iName) {
    zCore.CurrentProc = "LoadScriptFile";
    size_t before = Classes.size();
    // The classes loaded stay for the run, each version of each: what their
    // code takes is counted, and a file past the budget (or the program's
    // memory ceiling) loads nothing.
    int64_t code = 0;
    for (int32_t i = 1; i <= iFile.ChunkCount(); ++i) {
        const std::shared_ptr<zFileChunk> chunk = iFile.GetChunk(i);
        if (chunk->ContentName == "zScriptClass") code += chunk->Data.GetLength();
    }
    const int64_t held = zMemory.Held[size_t(HeldKind::ScriptCode)];
    if (code > int64_t(MaxScriptCodeBytes) - held) {
        Log("ERR", "LoadScriptFile", "Script code budget used up", "<" + iName + ">",
            FormatLong(int64_t(held >> 20)) + " of " + FormatLong(int64_t(MaxScriptCodeBytes >> 20)) + " MB");
        return;
    }
    if (!FitsUnderCeiling(code)) {
        Log("ERR", "LoadScriptFile", "Memory ceiling reached", "<" + iName + ">",
            CeilingRefusal(HeldKind::ScriptCode, code));
        return;
    }
    try {
        iFile.ImportFromStreams();
        // Inheritance copies functions down; a file may not make more than this.
        gFunctionSlotBudget = 1 << 20;
        struct Back {
            ~Back() { gFunctionSlotBudget = -1; }
        } back;
        for (int32_t i = 1; i <= iFile.ChunkCount(); ++i) {
            std::shared_ptr<zFileChunk> chunk = iFile.GetChunk(i);
            // A class chunk that could not be read spoils the whole file.
            if (chunk->ContentName == "zScriptClass" && !chunk->Instance) Raise(321, "Invalid file format");
            auto cls = std::dynamic_pointer_cast<zScriptClass>(chunk->Instance);
            if (!cls) continue;
            std::shared_ptr<zScriptClass> old = FindScriptClass(cls->Name);
            if (old) {
                if (old->InheritLevel == 255) {
                    Log("ERR", "LoadScriptFile", "Too many versions of class " + cls->Name, "<" + iName + ">");
                    continue;
                }
                cls->InheritLevel = static_cast<uint8_t>(old->InheritLevel + 1);
            }
            cls->LoadInherits();
            Classes.push_back(cls);
        }
        Hold(HeldKind::ScriptCode, code);
    } catch (const RuntimeError& e) {
        Classes.resize(before);
        Log("ERR", "LoadScriptFile", e.Description, "<" + iName + ">");
    } catch (const std::exception& e) {
        Classes.resize(before);
        Log("ERR", "LoadScriptFile", e.what(), "<" + iName + ">");
    }
}

ValueRef zScriptModule::VariantToScriptValue(const HostValue& iValue) const {
    ValueRef v = zScriptValue::New();
    switch (iValue.Kind()) {
        case HK::Object: v->SetObject(iValue.AsObject()); break;
        case HK::Bool: v->SetBool(iValue.AsBool()); break;
        case HK::Byte: v->SetByte(iValue.AsByte()); break;
        case HK::String: v->SetString(iValue.AsString()); break;
        case HK::Integer:
        case HK::Long: v->SetLong(iValue.ToLong()); break;
        case HK::Single: v->SetSingle(iValue.AsSingle()); break;
        case HK::Double: v->SetSingle(ToSingle(iValue.AsDouble())); break;
        // An array stays an array value.
        case HK::Array: v->SetArray(iValue.AsArray()); break;
        case HK::Empty: Log("ERR", "zScript casting error", 0); break;
    }
    return v;
}

std::string zScriptModule::TypeName(int32_t iTyp) const { return TypeNameOf(iTyp); }

std::string zScriptModule::TrimChar(const std::string& iText, const std::string& iChar) const {
    if (iChar.size() != 1) return iText;
    char c = iChar[0];
    size_t b = iText.find_first_not_of(c);
    if (b == std::string::npos) return std::string();
    size_t e = iText.find_last_not_of(c);
    return iText.substr(b, e - b + 1);
}

void zScriptModule::AskGameTable(AtomData& iName) {
    iName.GameKnows = gScriptHooks.IsGameFunction(iName.Text);
    iName.GameGen = DispatchGeneration;
}

ValueRef zScriptModule::CallHostBuiltin(int iId, zScriptObject* iCaller, zScriptArray* iValues, zScriptArgs& iArgs) {
    return run::HostBuiltin(iId, iCaller, iValues, iArgs);
}

ValueRef zScriptModule::CallBuiltin(zScriptObject* iCaller, zScriptArray* iValues, const std::string& iName,
                                    zScriptArgs& iArgs) {
    return CallBuiltin(iCaller, iValues, Atom::Intern(iName), iArgs);
}

namespace {

ValueRef ConvertDefault(std::string t) {
    ValueRef v = zScriptValue::New();
    const std::string& sep = zCore.DecimalSeparator;
    if (sep == ",") std::replace(t.begin(), t.end(), '.', ',');
    double d;
    if (ParseNumber(t, d)) {
        if (!sep.empty() && t.find(sep) != std::string::npos) v->SetSingle(ToSingle(d));
        else v->SetLong(CLng(d));
        return v;
    }
    if (t.size() >= 2 && ((t.front() == '\'' && t.back() == '\'') || (t.front() == '"' && t.back() == '"'))) {
        v->SetString(t.substr(1, t.size() - 2));
        return v;
    }
    if (t == "true") {
        v->SetBool(true);
        return v;
    }
    if (t == "false") {
        v->SetBool(false);
        return v;
    }
    if (t.rfind("0x", 0) == 0) {
        if (!ParseNumber("&H" + t.substr(2), d)) Raise(errTypeMismatch);
        v->SetLong(CLng(d));
        return v;
    }
    if (t.rfind("0b", 0) == 0) {
        std::string digits = t.substr(2);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) Raise(errTypeMismatch);
        if (!ParseNumber(digits, d)) Raise(errTypeMismatch);
        v->SetByte(CByte(d));
        return v;
    }
    v->SetString(t);
    return v;
}

}  // namespace

void zScriptModule::ParseArguments(zScriptArgs& iArgs, int32_t iRequired, std::string_view iDefaults) const {
    std::vector<std::string> parts;
    if (!iDefaults.empty()) {
        size_t start = 0;
        for (;;) {
            size_t q = iDefaults.find(',', start);
            parts.emplace_back(iDefaults.substr(start, q == std::string_view::npos ? std::string_view::npos : q - start));
            if (q == std::string_view::npos) break;
            start = q + 1;
        }
    }
    int32_t total = iRequired + static_cast<int32_t>(parts.size());
    int32_t n = iArgs.Count();
    if (n >= total) return;
    iArgs.Resize(total);
    for (int32_t i = n + 1; i <= total; ++i) {
        iArgs.At(i) = zScriptValue::New();
        if (i <= iRequired) {
            Log("ERR", "Not enough arguments!");
            break;
        }
        iArgs.At(i) = ConvertDefault(parts[static_cast<size_t>(i - iRequired - 1)]);
    }
}

}  // namespace zun
