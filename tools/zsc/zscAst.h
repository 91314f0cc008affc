// The parsed form of a script: classes, their functions and statements. Each
// node stands for exactly one byte pattern of the compiled code, so the tree
// already fixes the output; the emitter only lays it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "tools/zsc/zscDiagnostics.h"

namespace zun::zsc {

// A fixed run of items kept in the unit's arena.
template <typename T>
struct List {
    T* Data = nullptr;
    size_t Size = 0;

    T* begin() const { return Data; }
    T* end() const { return Data + Size; }
    size_t size() const { return Size; }
    bool empty() const { return Size == 0; }
    T& operator[](size_t i) const { return Data[i]; }
    T& back() const { return Data[Size - 1]; }
};

// Owns every node and text of a parsed unit. A script makes hundreds of
// thousands of small nodes; taking them from large blocks and dropping the
// blocks whole keeps the heap out of the compile. Only trivially destructible
// things live here.
class Arena {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* Alloc(size_t size, size_t align) {
        const size_t at = (used_ + align - 1) & ~(align - 1);
        if (at + size > cap_) return Grow(size);
        used_ = at + size;
        return base_ + at;
    }
    template <typename T>
    T* New() {
        static_assert(std::is_trivially_destructible_v<T>);
        return new (Alloc(sizeof(T), alignof(T))) T();
    }
    template <typename T>
    List<T> Copy(const T* from, size_t n) {
        static_assert(std::is_trivially_destructible_v<T>);
        if (n == 0) return {};
        T* to = static_cast<T*>(Alloc(sizeof(T) * n, alignof(T)));
        for (size_t i = 0; i < n; ++i) new (to + i) T(from[i]);
        return {to, n};
    }
    std::string_view Text(std::string_view s) {
        if (s.empty()) return {};
        char* to = static_cast<char*>(Alloc(s.size(), 1));
        std::memcpy(to, s.data(), s.size());
        return {to, s.size()};
    }

private:
    static constexpr size_t kBlock = 64u << 10;
    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::byte* base_ = nullptr;  // the block being filled
    size_t used_ = 0, cap_ = 0;

    void* Grow(size_t size) {
        const size_t want = size > kBlock / 4 ? size : kBlock;
        // Left uninitialised: New() builds in it.
        blocks_.emplace_back(new std::byte[want]);
        base_ = blocks_.back().get();
        cap_ = want;
        used_ = size;
        return base_;
    }
};

enum class EK : uint8_t {
    Empty,        // 00
    Bool,         // 0A
    Byte,         // 0B
    Int,          // 0C
    Float,        // 0D
    Str,          // 0E / 0F (Code)
    Var,          // 05 name
    Path,         // 06 name, indexes (Append: no index)
    Array,        // 07 items
    Call,         // 08 name, args
    Member,       // 09 A = object, B = member
    AssignValue,  // 04 A = target (Var or Path), B = value
    This,         // 17
    Selected,     // 16
    Unary,        // Code A
    Binary,       // Code A B
    In,           // 29 A, B = list (Array or Var)
    Raw,          // the bytes as written
};

struct Expr;
using ExprPtr = Expr*;

struct Expr {
    EK Kind = EK::Empty;
    uint8_t Code = 0;
    bool Bool = false;
    bool Append = false;
    SrcPos Pos;
    int32_t Int = 0;
    float Float = 0;
    int Height = 1;          // levels of nodes below and including this one
    std::string_view Text;   // name or string content, Windows-1252; for Raw the bytes
    List<ExprPtr> Items;
    ExprPtr A = nullptr, B = nullptr;
};

enum class SK : uint8_t {
    Empty,     // nothing
    Nop,       // 00
    Assign,    // 04: Target (Var, Path or Member), Value
    Call,      // 08: Value (a Call)
    Member,    // 09: Value (a Member)
    Return,    // 03: Value (may be null)
    Incr,      // 34: Target
    Decr,      // 35: Target
    If,        // Cond, Then, Else (may be null)
    While,     // Cond, Body
    Do,        // Body, Cond
    For,       // Init, Cond (may be null), Update, Body
    Break,
    Continue,
    Select,    // Value, Sections
    Block,     // Stmts
    Raw,       // the bytes as written
};

struct Stmt;
using StmtPtr = Stmt*;

struct SelectSection {
    enum Kind : uint8_t { Case, When, Default } K = Case;
    SrcPos Pos;
    List<ExprPtr> Tests;  // case values or the one when-condition
    List<StmtPtr> Body;
};

struct Stmt {
    SK Kind = SK::Empty;
    SrcPos Pos;
    ExprPtr Target = nullptr, Value = nullptr, Cond = nullptr;
    StmtPtr Then = nullptr, Else = nullptr, Body = nullptr, Init = nullptr, Update = nullptr;
    List<StmtPtr> Stmts;
    List<SelectSection> Sections;
    List<uint8_t> Raw;
};

// Parameter types, numbered as the engine's value types.
enum ParamType : int { ptNone = -1, ptVar = 0, ptBool, ptByte, ptInt, ptFloat, ptStr, ptArray, ptObject };

struct ParamDecl {
    SrcPos Pos;
    std::string_view Name;
    int Type = ptNone;          // as written; ptNone when untyped
    ExprPtr Default = nullptr;  // a literal, or null
};

struct FuncDecl {
    SrcPos Pos;
    std::string_view Name;
    bool Super = false;         // func f = super;
    bool SuperNamed = false;    // func f = super(Parent);
    std::string_view SuperParent;
    SrcPos SuperParentPos;
    std::vector<ParamDecl> Params;
    List<StmtPtr> Body;
};

struct ClassDecl {
    SrcPos Pos;
    std::string_view Name;
    struct Parent {
        std::string_view Name;
        SrcPos Pos;
    };
    std::vector<Parent> Parents;
    std::vector<FuncDecl> Funcs;
    std::vector<StmtPtr> Init;  // class-level statements in source order
};

// Names and texts in the tree point into the sources (kept alive by whoever
// compiles) or into the arena.
struct Unit {
    Arena Nodes;
    std::vector<ClassDecl> Classes;
};

}  // namespace zun::zsc
