// The parsed form of a script: classes, their functions and statements. Each
// node stands for exactly one byte pattern of the compiled code, so the tree
// already fixes the output; the emitter only lays it out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/zsc/zscDiagnostics.h"

namespace zun::zsc {

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
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    EK Kind = EK::Empty;
    SrcPos Pos;
    uint8_t Code = 0;
    bool Bool = false;
    int32_t Int = 0;
    float Float = 0;
    std::string Text;  // name or string content, Windows-1252
    bool Append = false;
    std::vector<ExprPtr> Items;
    ExprPtr A, B;
    std::vector<uint8_t> Raw;
    int Height = 1;  // levels of nodes below and including this one
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
using StmtPtr = std::unique_ptr<Stmt>;

struct SelectSection {
    enum Kind : uint8_t { Case, When, Default } K = Case;
    SrcPos Pos;
    std::vector<ExprPtr> Tests;  // case values or the one when-condition
    std::vector<StmtPtr> Body;
};

struct Stmt {
    SK Kind = SK::Empty;
    SrcPos Pos;
    ExprPtr Target, Value, Cond;
    StmtPtr Then, Else, Body, Init, Update;
    std::vector<StmtPtr> Stmts;
    std::vector<SelectSection> Sections;
    std::vector<uint8_t> Raw;
};

// Parameter types, numbered as the engine's value types.
enum ParamType : int { ptNone = -1, ptVar = 0, ptBool, ptByte, ptInt, ptFloat, ptStr, ptArray, ptObject };

struct ParamDecl {
    SrcPos Pos;
    std::string Name;
    int Type = ptNone;  // as written; ptNone when untyped
    ExprPtr Default;    // a literal, or null
};

struct FuncDecl {
    SrcPos Pos;
    std::string Name;
    bool Super = false;         // func f = super;
    bool SuperNamed = false;    // func f = super(Parent);
    std::string SuperParent;
    SrcPos SuperParentPos;
    std::vector<ParamDecl> Params;
    std::vector<StmtPtr> Body;
};

struct ClassDecl {
    SrcPos Pos;
    std::string Name;
    struct Parent {
        std::string Name;
        SrcPos Pos;
    };
    std::vector<Parent> Parents;
    std::vector<FuncDecl> Funcs;
    std::vector<StmtPtr> Init;  // class-level statements in source order
};

struct Unit {
    std::vector<ClassDecl> Classes;
};

}  // namespace zun::zsc
