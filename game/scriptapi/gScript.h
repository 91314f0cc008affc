// The game's table of script-callable functions. The script engine asks it
// first whenever a script calls a name the interpreter does not know itself;
// a name that is none of the table's gets no value back, and the engine's own
// host built-ins answer instead.
//
// The functions come in families, one file each (gScriptTimeline.cpp,
// gScriptLookup.cpp, ...). A family hands its entries to AddGameFunctions from
// its own Add...Functions routine, and RegisterGameFunctions calls every
// family's routine (the list is in gScript.cpp). Whatever order the families
// register in, the table is walked in the fixed order of kGameFunctionNames;
// an entry whose name is not in that list is refused with a log line.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/zInterfaces.h"
#include "core/zRuntime.h"
#include "core/zVector.h"
#include "script/zScriptArgs.h"
#include "script/zScriptArray.h"
#include "script/zScriptObject.h"
#include "script/zScriptValue.h"

namespace tarv {

class gTextSelect;

inline constexpr int32_t kGameFunctionCount = 128;
// Every name of the table, in the order they are compared.
extern const std::array<std::string_view, kGameFunctionCount> kGameFunctionNames;

// One call of a game function: who called, the enclosing scope, the arguments
// and the result value the call returns. The argument readers each use one
// getter, whatever the value's own type; an argument passed as Nothing (an
// unset variable) reads as an empty value.
// How far from the level's origin a script may place anything, in pixels.
// Past 2^24 a Single no longer holds every whole pixel, and the frame's whole
// number sums with such a place (the cursor's point in the level) overflow
// every frame; so a farther place is refused where a script hands it in.
inline constexpr double kFarthestPlace = 16777216.0;
// The value as a place: "Invalid procedure call or argument" when it lies
// beyond kFarthestPlace or is no number at all.
float CheckedPlace(double iValue);
// A walking speed in pixels a frame, refused as a place is: a step longer
// than the farthest place would put the walker beyond it, and every frame of
// the walk would fail.
float CheckedSpeed(double iValue);

// What scripts may make, far above what any level needs. A script that goes
// on making things meets "Out of memory" naming what ran out: its call ends,
// the game goes on with what there is, and memory stays bounded.
inline constexpr size_t kMaxEmitters = 2000;         // in the emitter layer
inline constexpr size_t kMaxItems = 20000;           // in the item layer
inline constexpr size_t kMaxChars = 1000;            // characters of the level
inline constexpr size_t kMaxAreas = 10000;           // in the area layer
inline constexpr size_t kMaxMessages = 1000;         // queued, not yet shown
inline constexpr size_t kMaxMessageBytes = 1 << 20;  // the queued texts together
inline constexpr size_t kMaxTimeEvents = 100000;     // pending on the timeline
inline constexpr size_t kMaxUpdateObjects = 10000;   // updated every frame
// Raises "Out of memory" when iCount things of that kind, iWhat, exist already
// beyond the iPlaced of them the level file placed.
void CheckBudget(size_t iCount, size_t iBudget, const char* iWhat, size_t iPlaced = 0);
// The names the game keeps for scripts (of functions to call, of classes, of
// keys, of properties) are identifiers: a longer one names nothing a script
// means, and the bound keeps every copy the game holds of one small.
inline constexpr size_t kMaxNameLength = 1024;

class GameCall {
public:
    GameCall(zun::zScriptObject* iCaller, zun::zScriptArray* iValues, const std::string& iName,
             zun::zScriptArgs& iArgs);

    zun::zScriptObject* Caller;
    zun::zScriptArray* Values;
    const std::string& Name;
    zun::zScriptArgs& Args;
    // The number of arguments the script passed, read before any default is added.
    const int32_t Count;
    // Starts empty (type var, no content); a function stores its result here or
    // replaces it.
    zun::ValueRef Result;

    // Reading a position the script did not pass and no default filled ends the
    // call: the dispatcher logs "Not enough arguments!" and the call returns the
    // empty result value without the function's work being done.
    const zun::zScriptValue& Arg(int32_t i);
    // The argument's own value object (not a copy); a Nothing argument becomes
    // a new empty value stored at its position.
    const zun::ValueRef& ArgRef(int32_t i);
    bool Bool(int32_t i) { return Arg(i).GetBool(); }
    uint8_t Byte(int32_t i) { return Arg(i).GetByte(); }
    int32_t Long(int32_t i) { return Arg(i).GetLong(); }
    float Single(int32_t i) { return Arg(i).GetSingle(); }
    // A coordinate in the level, checked with CheckedPlace.
    float Place(int32_t i) { return CheckedPlace(Arg(i).GetSingle()); }
    std::string Str(int32_t i) { return Arg(i).GetString(); }
    // A text argument the game keeps as a name: "Out of memory" past kMaxNameLength.
    std::string KeptName(int32_t i);
    std::shared_ptr<zun::iClass> Object(int32_t i) { return Arg(i).GetObject(); }
    zun::Vector2 Vector(int32_t i);
    // The object argument as a T: "Object variable not set" when it holds no
    // object, "Type mismatch" when it holds something else. Both are failures
    // that travel up to the script engine, as any failure of a game function.
    template <class T>
    std::shared_ptr<T> ObjectAs(int32_t i) {
        std::shared_ptr<zun::iClass> o = Object(i);
        if (!o) zun::Raise(zun::errObjectNotSet);
        std::shared_ptr<T> t = std::dynamic_pointer_cast<T>(o);
        if (!t) zun::Raise(zun::errTypeMismatch);
        return t;
    }

    // FillDefaultArgs on this call's arguments. A missing required argument
    // ends the call as a missing argument read does (one line, naming the
    // function).
    void FillDefaults(int32_t iRequired, std::string_view iDefaults);

    // The calling script object as the shared owner the timeline and the
    // object lists keep; null when the call has no caller.
    std::shared_ptr<zun::zScriptObject> CallerRef() const;
};

using GameFunction = void (*)(GameCall& iCall);

struct GameFunctionEntry {
    std::string_view Name;
    GameFunction Run;
};

// Puts a family's functions into the table at their names' places.
void AddGameFunctions(std::span<const GameFunctionEntry> iEntries);
// Empties the table (tests).
void ClearGameFunctions();

// The dispatcher: runs the function of that name and returns its result
// value, or Nothing when the name is none of the table's (exact case).
zun::ValueRef CallGameFunction(zun::zScriptObject* iCaller, zun::zScriptArray* iValues, const std::string& iName,
                               zun::zScriptArgs& iArgs);
// Whether a function of that name is in the table.
bool IsGameFunction(const std::string& iName);

// Registers every family and hooks the table into the script engine
// (gScriptHooks.CallGameFunction and IsGameFunction).
void RegisterGameFunctions();

// The families.
void AddTimelineFunctions();
void AddLookupFunctions();
void AddItemFunctions();
void AddCharFunctions();
void AddAreaFunctions();
void AddWorldFunctions();
void AddControlFunctions();
void AddMessageFunctions();
void AddMediaFunctions();
void AddGeometryFunctions();
void AddRenderFunctions();

// Extends iArgs with the defaults of the trailing optional arguments: a
// comma-separated list of entries, each a number (int, or float when it has
// a decimal point), 'text' or "text", true / false, 0x hex (int), 0b decimal
// (byte) or plain text. With "," as the decimal separator, "." in an entry
// reads as ",". A missing required argument logs "Not enough arguments!".
void FillDefaultArgs(zun::zScriptArgs& iArgs, int32_t iRequired, std::string_view iDefaults);

// A vector travels as an array value of two floats, x first.
zun::ValueRef VectorToScriptValue(const zun::Vector2& iVector);
// (0, 0) for anything but an array value; a missing element reads as 0.
zun::Vector2 ScriptValueToVector(const zun::zScriptValue* iValue);

// The blend-mode number of an "eBlend_..." name; unknown names log
// "Unknown blend mode" and give 0.
int32_t GetBlendMode(const std::string& iName);

// The speaker of a message without markup; the only speaker whose face is
// drawn unmirrored.
inline constexpr const char* kHeroName = "Hero";

// A new, not yet shown message dialog from a text with the optional prefix
// "<speaker [face]> ": the face is a number counted from 1 (four to a row) or
// "column,row" counted from 0, cut from the 48-pixel grid of the texture
// "Face <speaker>.png".
std::shared_ptr<gTextSelect> ParseMessage(const std::string& iText);

}  // namespace tarv
