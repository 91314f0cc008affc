// Helpers for the script engine's tests: a small assembler for byte code,
// builders for function records and classes, and a fixture that starts the
// engine afresh for every test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "support/TestSupport.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "script/zScript.h"
#include "script/zScriptHost.h"

namespace zun::test {

// Writes byte code in the compiled layout: multi-byte numbers little-endian,
// names and texts as StringU (Long byte count, UTF-16LE).
class Bc {
public:
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
    Bc& F32(float v) {
        uint8_t x[4];
        std::memcpy(x, &v, 4);
        b.insert(b.end(), x, x + 4);
        return *this;
    }
    Bc& StrU(std::string_view s) {
        std::u16string u = Cp1252ToUtf16(s);
        I32(static_cast<int32_t>(u.size() * 2));
        for (char16_t c : u) {
            U8(c & 0xFF);
            U8(c >> 8);
        }
        return *this;
    }

    // ---- expressions
    Bc& Empty() { return U8(0); }
    Bc& Bool(bool v) { return U8(10).U8(v ? 1 : 0); }
    Bc& Byte(int v) { return U8(11).U8(v); }
    Bc& Int(int32_t v) { return U8(12).I32(v); }
    Bc& Float(float v) { return U8(13).F32(v); }
    Bc& Str(std::string_view s) { return U8(14).StrU(s); }
    Bc& Var(std::string_view name) { return U8(5).StrU(name); }
    // Followed by n index expressions.
    Bc& Path(std::string_view name, int32_t n) { return U8(6).StrU(name).I32(n); }
    // Followed by n item expressions.
    Bc& List(int32_t n) { return U8(7).I32(n); }
    // Followed by argc argument expressions.
    Bc& Call(std::string_view name, int32_t argc) { return U8(8).StrU(name).I32(argc); }
    // Followed by the object and the member expression.
    Bc& Member() { return U8(9); }
    Bc& Selected() { return U8(22); }
    Bc& This() { return U8(23); }
    // Followed by the operands.
    Bc& Op(int code) { return U8(code); }
    // After Op(41) and operand A: the ignored byte and E (patched by InEnd).
    size_t InHead() {
        U8(0);
        size_t at = Pos();
        I32(0);
        return at;
    }
    void InEnd(size_t at) { Set32(at, static_cast<int32_t>(Pos())); }
    // Assignment used as a value: followed by the value expression.
    Bc& AssignExpr(std::string_view name) { return U8(4).U8(5).StrU(name); }

    // ---- statements
    Bc& Assign(std::string_view name) { return U8(4).U8(5).StrU(name); }
    // Followed by n index expressions and the value.
    Bc& AssignPath(std::string_view name, int32_t n) { return U8(4).U8(6).StrU(name).I32(n); }
    // Followed by the object, the member expression and the value.
    Bc& AssignMember() { return U8(4).U8(9); }
    Bc& Return() { return U8(3); }
    Bc& CallStmt(std::string_view name, int32_t argc) { return U8(8).StrU(name).I32(argc); }
    Bc& MemberStmt() { return U8(9); }
    Bc& Inc() { return U8(52); }
    Bc& Dec() { return U8(53); }
    Bc& If() { return U8(20); }
    Bc& Select(int n) { return U8(21); }
    // A jump statement whose target is patched later; returns where to patch.
    size_t Jump() {
        U8(2);
        size_t at = Pos();
        I32(0);
        return at;
    }
    // Makes the jump at `at` continue at offset `to` (stored as to + 1).
    void JumpTo(size_t at, size_t to) { Set32(at, static_cast<int32_t>(to + 1)); }
    void Set32(size_t at, int32_t v) { std::memcpy(&b[at], &v, 4); }
};

struct ParamSpec {
    std::string name;
    uint8_t typ = typVar;
    HostValue def = {};  // content of the default
};

// Stored form of one value (type, name, payload).
void WriteValue(zStream& s, uint8_t typ, const std::string& name, const HostValue& content);
// A function record in stored form.
std::vector<uint8_t> FunctionRecord(const std::string& name, const std::vector<uint8_t>& body,
                                    const std::vector<ParamSpec>& params = {}, bool super = false);
// A function made by importing its record.
FunctionRef MakeFunction(const std::string& name, const std::vector<uint8_t>& body,
                         const std::vector<ParamSpec>& params = {}, bool super = false);

struct FnSpec {
    std::string name;
    std::vector<uint8_t> body = {};
    std::vector<ParamSpec> params = {};
    bool super = false;
};
// A class chunk's data in stored form (without the meta record).
std::vector<uint8_t> ClassChunk(const std::string& name, const std::vector<FnSpec>& fns,
                                const std::vector<uint8_t>& initBody = {},
                                const std::vector<std::string>& inherits = {});
// Imports a class and registers it the way the loader does (level, parents).
std::shared_ptr<zScriptClass> AddClass(const std::string& name, const std::vector<FnSpec>& fns,
                                       const std::vector<uint8_t>& initBody = {},
                                       const std::vector<std::string>& inherits = {});
// A compiled script file (plain container) holding these classes.
std::vector<uint8_t> ScriptFile(const std::vector<std::vector<uint8_t>>& classChunks);

// A fresh engine per test: empty state, no hooks, a captured log.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // An object of a registered class.
    std::shared_ptr<zScriptObject> Object(const std::string& cls, const std::string& key = "");
    // Runs a one-function class "T" whose function "f" has this body.
    ValueRef RunBody(const std::vector<uint8_t>& body, std::initializer_list<HostValue> args = {},
                     const std::vector<ParamSpec>& params = {});
    LogCapture log;
};

}  // namespace zun::test
