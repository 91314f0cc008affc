// Turns script source (UTF-8) into tokens. Texts and names come out in
// Windows-1252, the engine's own character set; a character that set cannot
// hold is an error here, so nothing downstream has to care.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/zsc/zscAst.h"
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
    uint8_t Code = 0;
    bool Quoted = false;
    bool Hex = false;        // IntLit written as 0x...
    SrcPos Pos;
    std::string_view Text;   // into the source, or into the arena when it had to be decoded
    int64_t Int = 0;
    double Float = 0;
};

// Longest text a name or literal may have: the engine reads texts of at most
// 65536 bytes, and a UTF-16 character takes two.
constexpr size_t MaxTextChars = 32768;

// Splits a file into tokens as the parser asks for them, so no list of the
// whole file is ever held. Throws CompileError at the first bad character;
// once it has, it gives nothing more.
class Lexer {
public:
    // Decoded texts go to texts; source must outlive the tokens.
    Lexer(std::string_view source, int fileIndex, Arena& texts);

    // The next token; at the end (and after it) an End token.
    void Next(Token& t);
    // Reads the rest of the file for the bad character that would have
    // stopped it, throwing its error if there is one. Used when a later stage
    // fails, so that a bad character anywhere in a file is reported before
    // any mistake of structure in it, whatever the order in the text.
    void CheckRest();

private:
    std::string_view src_;
    int file_;
    Arena& texts_;
    std::string buf_;
    size_t pos_ = 0;
    int line_ = 1;
    int col_ = 1;
    bool failed_ = false;

    bool AtEnd() const { return pos_ >= src_.size(); }
    SrcPos Here() const { return {file_, line_, col_}; }
    [[noreturn]] void Fail(SrcPos p, const std::string& msg);
    char32_t Peek(size_t& len, size_t at);
    [[noreturn]] void BadUtf8(size_t at);
    // The character at pos_ (0 at the end); ASCII without decoding.
    char32_t Cur() {
        if (pos_ >= src_.size()) return 0;
        const uint8_t b = uint8_t(src_[pos_]);
        if (b < 0x80) return b;
        size_t n;
        return Peek(n, pos_);
    }
    char32_t Ahead(int k);
    // Consumes one character, keeping line and column.
    char32_t Take() {
        if (pos_ < src_.size()) {
            const uint8_t b = uint8_t(src_[pos_]);
            if (b < 0x80) {
                ++pos_;
                if (b == '\n') {
                    ++line_;
                    col_ = 1;
                } else {
                    ++col_;
                }
                return b;
            }
        }
        return TakeSlow();
    }
    char32_t TakeSlow();
    void SkipBlanks();
    void AppendChar(std::string& text, char32_t c, SrcPos at, SrcPos start, const char* what);
    void Scan(Token& t);
    void Number(Token& t);
    void DoubleQuoted(Token& t);
    void SingleQuoted(Token& t);
    bool PlainQuoted(Token& t, char quote);
    bool PlainWhole(Token& t);
};

// A readable name for messages ("')'", "identifier", "end of file").
std::string TokenName(Tok kind);
std::string Describe(const Token& t);

}  // namespace zun::zsc
