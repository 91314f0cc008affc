// Inside the interpreter: the per-invocation frame and the entry points the
// statement loop, the expression evaluator, the call dispatch and the built-in
// functions share. Not for game code.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "core/zCore.h"
#include "core/zRuntime.h"
#include "script/zScript.h"

namespace zun {

// Who a piece of byte code runs for and where its names are looked up. A
// member access switches it and keeps the writer's context in ArgCtx, so that
// call arguments and path indexes are evaluated where they were written.
struct RunCtx {
    zScriptObject* Caller = nullptr;
    zScriptClass* Class = nullptr;
    zScriptArray* Values = nullptr;
    RunCtx* ArgCtx = nullptr;
};

struct Frame {
    zScriptFunction* fn = nullptr;
    const uint8_t* code = nullptr;
    int32_t L = 0;
    RunCtx cur;
    ValueRef SelectValue;
    // The object the invocation runs for, and the invocation it runs inside:
    // where an error line came from.
    const zScriptObject* self = nullptr;
    const Frame* outer = nullptr;
};

namespace run {

// The innermost invocation running, null when none is.
extern const Frame* gRunning;
// The line that names it after an error line: the class that defined the
// function and the function ("Thing.onUse"; a class's own code is "Thing."),
// and the key name of the object it runs for, when it has one.
std::vector<LogValue> RunningPlace();

[[noreturn]] void PastEnd();
[[noreturn]] void Fail(int number);

inline uint8_t RdByte(const Frame& f, int32_t& p) {
    if (p >= f.L) PastEnd();
    return f.code[p++];
}
inline int32_t RdLong(const Frame& f, int32_t& p) {
    if (p > f.L - 4) PastEnd();
    int32_t v;
    std::memcpy(&v, f.code + p, 4);
    p += 4;
    return v;
}
inline float RdSingle(const Frame& f, int32_t& p) {
    if (p > f.L - 4) PastEnd();
    float v;
    std::memcpy(&v, f.code + p, 4);
    p += 4;
    return v;
}
// A count read from the body: every counted item takes at least one byte.
inline int32_t RdCount(const Frame& f, int32_t& p) {
    int32_t n = RdLong(f, p);
    if (n < 0 || n > f.L - p) PastEnd();
    return n;
}
const Atom& RdNameSlow(Frame& f, int32_t& p);
inline const Atom& RdName(Frame& f, int32_t& p) {
    zScriptFunction::Text& t = f.fn->TextAt(p);
    if (t.interned) return t.atom;
    t.atom = Atom::Intern(t.text);
    t.interned = true;
    return t.atom;
}
const std::string& RdText(Frame& f, int32_t& p);

ValueRef Evaluate(Frame& f, int32_t& p);
// A value an expression's reader only looks at: a script value object, or a
// temporary on the reader's stack. The type is read through a pointer, as an
// entry's type may change while later operands run.
struct Temp {
    uint8_t Typ = typVar;
    HostValue Data;
};
struct View {
    const uint8_t* typ = nullptr;
    const HostValue* data = nullptr;
    explicit operator bool() const { return data != nullptr; }
    uint8_t Typ() const { return *typ; }
    const HostValue& Data() const { return *data; }
};
inline View ViewOf(const zScriptValue* v) { return v ? View{&v->Typ, &v->Data} : View{}; }
inline View ViewOf(const Temp& t) { return View{&t.Typ, &t.Data}; }

// Evaluates an expression whose value the caller only reads (an operand, a
// condition, the source of an assignment, an index): literal and operator
// results go into `tmp` instead of a new shared value object, variables are
// held by `hold`. Nothing gives an empty view.
View EvalUse(Frame& f, int32_t& p, Temp& tmp, ValueRef& hold);
void SkipExpr(Frame& f, int32_t& p);
ValueRef CallFunction(Frame& f, int32_t& p);
// The call of a name with its arguments evaluated: call forms, built-ins, the
// game's table, then the class.
ValueRef CallNamed(Frame& f, const Atom& name, zScriptArgs& args);
ValueRef Resolve(Frame& f, int32_t& p, zScriptArray* iValues, uint8_t iCreate);

// Built-in functions of the engine and the host, by their table index.
ValueRef EngineBuiltin(int id, Frame& f, zScriptArgs& args);
ValueRef HostBuiltin(int id, zScriptObject* caller, zScriptArray* values, zScriptArgs& args);

// An argument the built-in reads: a missing one or Nothing is a failure.
zScriptValue& Arg(const zScriptArgs& args, int32_t i);

// The stack the thread has left. The depth counts alone do not bound the
// stack: frames are several times larger in a sanitizer build, and a thread
// may have a small stack. Below a floor kept back for what runs under the
// deepest script level (built-ins, game functions, the unwinding of a failure)
// a nested call or expression fails with "Out of stack space", as the counts
// do. The floor is measured on a thread's first deep check.
extern thread_local constinit uintptr_t tStackFloor;
void StackShort();
// Where the stack is now. Read from the register where we can: asking for the
// frame address would cost the hot functions their frame-pointer register.
inline uintptr_t StackHere() {
#if defined(__x86_64__)
    uintptr_t sp;
    asm("movq %%rsp, %0" : "=r"(sp));
    return sp;
#elif defined(__aarch64__)
    uintptr_t sp;
    asm("mov %0, sp" : "=r"(sp));
    return sp;
#else
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
#endif
}
inline void CheckStack() {
    if (StackHere() < tStackFloor) StackShort();
}

// Counts a step against what the running call may still take.
[[noreturn]] void StepsOut();
inline void Step() {
    if (zScript.StepsLeft >= 0 && --zScript.StepsLeft < 0) StepsOut();
}

}  // namespace run

// The pre-decoded form of a body. The statements the loop runs most (conditions,
// jumps, returns, calls, member statements, assignments to a variable or a
// member, steps of a variable) are decoded once, with
// their expressions as trees of operand nodes: names interned, literals as
// ready contents, the end of every expression known. Everything else, and any
// statement whose bytes would fail or jump somewhere the decoding did not
// expect, is left to the plain walk of the bytes, which stays the reference:
// the decoded form does what the walk does, step for step.
struct PNode {
    enum Kind : uint8_t { Var, Const, Op, Call, Member, Plain };
    Kind kind = Plain;
    uint8_t code = 0;
    // An operator whose two operands are variables or literals: no script code
    // can run between reading the one and the other.
    bool leaves = false;
    // The same where one or both operands are a variable of an object held in
    // a variable ("b.x"), which runs no script code either.
    bool members = false;
    // How deep skipping the node by its encoding nests.
    int32_t skipDepth = 1;
    const PNode* a = nullptr;  // operand nodes
    const PNode* b = nullptr;
    int32_t start = 0, end = 0;
    Atom name;
    run::Temp value;
    std::vector<const PNode*> args;  // of a call
};

// A member access that is a member leaf: a variable of an object held in a
// variable ("b.x").
inline bool IsMemberLeaf(const PNode& n) {
    return n.kind == PNode::Member && n.a->kind == PNode::Var && n.b->kind == PNode::Var;
}

struct PStmt {
    uint8_t op = 0;     // 0: left to the plain walk
    const PNode* expr = nullptr;  // condition, returned value, assigned value, stepped variable
    int32_t next = 0;   // offset after the statement
    int32_t target = 0; // jump: where reading goes on
    Atom name;          // assignment: the variable
    const PNode* member = nullptr;  // assignment: the member written instead
};

// Statements and nodes never move once made: a recursive call decodes more of
// the same body while the caller's statement is still running.
struct PreDecoded {
    std::vector<const PStmt*> at;  // by offset; Nothing until decoded
    std::deque<PStmt> stmts;
    std::deque<PNode> nodes;
    // Jumps into the middle of an expression decode parts of it again; past
    // this many nodes the rest of the body stays with the plain walk, so a
    // hostile body cannot make the decoded form outgrow the bytes.
    size_t nodeBudget = 0;
    PStmt plain;
};

// Names of the call forms, the engine built-ins and the host built-ins, in
// their comparison order.
extern const char* const kFormNames[6];
extern const char* const kEngineNames[56];
inline constexpr int kHostNameCount = 35;
extern const char* const kHostNames[kHostNameCount];

}  // namespace zun
