// Turns script source (UTF-8) into tokens. Texts and names come out in
// Windows-1252, the engine's own character set; a character that set cannot
// hold is an error here, so nothing downstream has to care.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/zsc/zscDiagnostics.h"

namespace zun::zsc {

enum class Tok : uint8_t {
    End,
    Ident,     // Text = the name; Quoted = written between backticks
    IntLit,    // Int = the value (0..2147483648; hex literals already as the bit pattern)
    ByteLit,   // Int = 0..255
    FloatLit,  // Float
    StrLit,    // Text; Code = 0x0E ("...") or 0x0F ('...')
    // keywords
    KwClass, KwFunc, KwIf, KwElse, KwWhile, KwDo, KwFor, KwBreak, KwContinue, KwSelect, KwCase,
    KwWhen, KwDefault, KwReturn, KwTrue, KwFalse, KwThis, KwSelected, KwEmpty, KwAnd, KwOr, KwNot,
    KwIsset, KwIn, KwLike, KwNop, KwInclude,
    // punctuation
    LParen, RParen, LBracket, RBracket, LBrace, RBrace, Comma, Semicolon, Colon, ColonColon, Dot,
    Assign, Eq, Ne, Lt, Le, Gt, Ge, Plus, Minus, Star, Slash, Percent, Caret, Amp, AmpAmp, Bar,
    BarBar, Bang, PlusPlus, MinusMinus, At,
};

struct Token {
    Tok Kind = Tok::End;
    SrcPos Pos;
    std::string Text;
    int64_t Int = 0;
    double Float = 0;
    uint8_t Code = 0;
    bool Quoted = false;
    bool Hex = false;        // IntLit written as 0x...
};

// Longest text a name or literal may have: the engine reads texts of at most
// 65536 bytes, and a UTF-16 character takes two.
constexpr size_t MaxTextChars = 32768;

// Splits a whole file. Throws CompileError at the first bad character.
std::vector<Token> Lex(std::string_view source, int fileIndex);

// A readable name for messages ("')'", "identifier", "end of file").
std::string TokenName(Tok kind);
std::string Describe(const Token& t);

}  // namespace zun::zsc
