#include "tools/zsc/zscLexer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/zRuntime.h"

namespace zun::zsc {

namespace {

struct Keyword {
    std::string_view Word;
    Tok Kind;
};

constexpr std::array<Keyword, 27> kKeywords{{
    {"class", Tok::KwClass},       {"func", Tok::KwFunc},       {"if", Tok::KwIf},
    {"else", Tok::KwElse},         {"while", Tok::KwWhile},     {"do", Tok::KwDo},
    {"for", Tok::KwFor},           {"break", Tok::KwBreak},     {"continue", Tok::KwContinue},
    {"select", Tok::KwSelect},     {"case", Tok::KwCase},       {"when", Tok::KwWhen},
    {"default", Tok::KwDefault},   {"return", Tok::KwReturn},   {"true", Tok::KwTrue},
    {"false", Tok::KwFalse},       {"this", Tok::KwThis},       {"selected", Tok::KwSelected},
    {"empty", Tok::KwEmpty},       {"and", Tok::KwAnd},         {"or", Tok::KwOr},
    {"not", Tok::KwNot},           {"isset", Tok::KwIsset},     {"in", Tok::KwIn},
    {"like", Tok::KwLike},         {"nop", Tok::KwNop},         {"include", Tok::KwInclude},
}};

// Unicode code point -> Windows-1252 byte, or -1 when the code page lacks it.
int ToCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
    for (int b = 0x80; b < 0xA0; ++b)
        if (Cp1252ToUnicode(uint8_t(b)) == c) return b;
    return -1;
}

bool IsIdentStart(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsIdentChar(char32_t c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
int HexValue(char32_t c) {
    if (c >= '0' && c <= '9') return int(c - '0');
    if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return int(c - 'A' + 10);
    return -1;
}


// Keywords by their first letter; most names are not one, and the first
// letter settles that for most of them.
Tok KeywordKind(std::string_view w) {
    auto is = [&](std::string_view k, Tok kind) { return w == k ? kind : Tok::Ident; };
    if (w.size() < 2 || w.size() > 8) return Tok::Ident;
    switch (w[0]) {
        case 'a': return is("and", Tok::KwAnd);
        case 'b': return is("break", Tok::KwBreak);
        case 'c':
            if (w == "class") return Tok::KwClass;
            if (w == "continue") return Tok::KwContinue;
            return is("case", Tok::KwCase);
        case 'd':
            if (w == "do") return Tok::KwDo;
            return is("default", Tok::KwDefault);
        case 'e':
            if (w == "else") return Tok::KwElse;
            return is("empty", Tok::KwEmpty);
        case 'f':
            if (w == "func") return Tok::KwFunc;
            if (w == "for") return Tok::KwFor;
            return is("false", Tok::KwFalse);
        case 'i':
            if (w == "if") return Tok::KwIf;
            if (w == "isset") return Tok::KwIsset;
            if (w == "in") return Tok::KwIn;
            return is("include", Tok::KwInclude);
        case 'l': return is("like", Tok::KwLike);
        case 'n':
            if (w == "not") return Tok::KwNot;
            return is("nop", Tok::KwNop);
        case 'o': return is("or", Tok::KwOr);
        case 'r': return is("return", Tok::KwReturn);
        case 's':
            if (w == "select") return Tok::KwSelect;
            return is("selected", Tok::KwSelected);
        case 't':
            if (w == "true") return Tok::KwTrue;
            return is("this", Tok::KwThis);
        case 'w':
            if (w == "while") return Tok::KwWhile;
            return is("when", Tok::KwWhen);
        default: return Tok::Ident;
    }
}

}  // namespace

Lexer::Lexer(std::string_view src, int file, Arena& texts) : src_(src), file_(file), texts_(texts) {
    if (src_.size() >= 3 && uint8_t(src_[0]) == 0xEF && uint8_t(src_[1]) == 0xBB && uint8_t(src_[2]) == 0xBF)
        pos_ = 3;
}

void Lexer::Next(Token& t) {
    if (failed_) throw CompileError(Here(), "internal: token asked for after a lexical error");
    SkipBlanks();
    t = Token();
    t.Pos = Here();
    if (AtEnd()) return;
    Scan(t);
}

void Lexer::CheckRest() {
    if (failed_) return;
    Token t;
    do {
        Next(t);
    } while (t.Kind != Tok::End);
}

void Lexer::Fail(SrcPos p, const std::string& msg) {
    failed_ = true;
    throw CompileError(p, msg);
}

// Decodes the UTF-8 character at pos_ without consuming it; len gets its size.
char32_t Lexer::Peek(size_t& len, size_t at) {
    if (at >= src_.size()) {
        len = 0;
        return 0;
    }
    uint8_t b0 = uint8_t(src_[at]);
    if (b0 < 0x80) {
        len = 1;
        return b0;
    }
    int n = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || at + n > src_.size()) BadUtf8(at);
    char32_t c = b0 & (0x7F >> n);
    for (int i = 1; i < n; ++i) {
        uint8_t b = uint8_t(src_[at + i]);
        if ((b & 0xC0) != 0x80) BadUtf8(at);
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text.
    static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) BadUtf8(at);
    len = size_t(n);
    return c;
}
void Lexer::BadUtf8(size_t) { Fail(Here(), "invalid UTF-8 in the source"); }

char32_t Lexer::Ahead(int k) {
    size_t at = pos_, n = 0;
    char32_t c = 0;
    for (int i = 0; i <= k; ++i) {
        c = Peek(n, at);
        if (n == 0) return 0;
        at += n;
    }
    return c;
}
char32_t Lexer::TakeSlow() {
    size_t n;
    char32_t c = Peek(n, pos_);
    pos_ += n;
    if (c == '\n') {
        ++line_;
        col_ = 1;
    } else {
        ++col_;
    }
    return c;
}

void Lexer::SkipBlanks() {
    while (!AtEnd()) {
        // Plain ASCII blanks are most of it: taken without decoding.
        const uint8_t b = uint8_t(src_[pos_]);
        if (b == ' ' || b == '\t' || b == '\r' || b == '\f' || b == '\v') {
            ++pos_;
            ++col_;
            continue;
        }
        if (b == '\n') {
            ++pos_;
            ++line_;
            col_ = 1;
            continue;
        }
        // Any other ASCII character but '/' starts a token.
        if (b < 0x80 && b != '/') return;
        char32_t c = Cur();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            Take();
        } else if (c == '/' && Ahead(1) == '/') {
            while (!AtEnd() && Cur() != '\n') Take();
        } else if (c == '/' && Ahead(1) == '*') {
            SrcPos start = Here();
            Take();
            Take();
            for (;;) {
                if (AtEnd()) Fail(start, "unterminated comment");
                if (Cur() == '*' && Ahead(1) == '/') {
                    Take();
                    Take();
                    break;
                }
                Take();
            }
        } else {
            return;
        }
    }
}

void Lexer::AppendChar(std::string& text, char32_t c, SrcPos at, SrcPos start, const char* what) {
    int b = ToCp1252(c);
    if (b < 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "character U+%04X is not in the Windows-1252 character set",
                      unsigned(c));
        Fail(at, buf);
    }
    if (text.size() >= MaxTextChars)
        Fail(start, std::string(what) + " longer than 32768 characters");
    text += char(uint8_t(b));
}

void Lexer::Scan(Token& t) {
    SrcPos at = t.Pos;
    char32_t c = Cur();
    if (IsIdentStart(c)) {
        // Name characters are ASCII, one byte and one column each.
        const size_t start = pos_;
        size_t end = pos_;
        while (end < src_.size() && IsIdentChar(uint8_t(src_[end]))) ++end;
        if (end - start > MaxTextChars) Fail(at, "name longer than 32768 characters");
        col_ += int(end - start);
        pos_ = end;
        const std::string_view word = src_.substr(start, end - start);
        t.Kind = KeywordKind(word);
        t.Text = word;
        return;
    }
    if (c == '`') {
        Take();
        t.Kind = Tok::Ident;
        t.Quoted = true;
        buf_.clear();
        for (;;) {
            if (AtEnd() || Cur() == '\n') Fail(at, "unterminated quoted name");
            SrcPos here = Here();
            char32_t d = Take();
            if (d == '`') break;
            AppendChar(buf_, d, here, at, "name");
        }
        t.Text = texts_.Text(buf_);
        return;
    }
    if (IsDigit(c)) return Number(t);
    if (c == '"') return DoubleQuoted(t);
    if (c == '\'') return SingleQuoted(t);
    Take();
    auto two = [&](char32_t second, Tok yes, Tok no) {
        if (Cur() == second) {
            Take();
            t.Kind = yes;
        } else {
            t.Kind = no;
        }
    };
    switch (c) {
        case '(': t.Kind = Tok::LParen; return;
        case ')': t.Kind = Tok::RParen; return;
        case '[': t.Kind = Tok::LBracket; return;
        case ']': t.Kind = Tok::RBracket; return;
        case '{': t.Kind = Tok::LBrace; return;
        case '}': t.Kind = Tok::RBrace; return;
        case ',': t.Kind = Tok::Comma; return;
        case ';': t.Kind = Tok::Semicolon; return;
        case '.': t.Kind = Tok::Dot; return;
        case '*': t.Kind = Tok::Star; return;
        case '/': t.Kind = Tok::Slash; return;
        case '%': t.Kind = Tok::Percent; return;
        case '^': t.Kind = Tok::Caret; return;
        case '@': t.Kind = Tok::At; return;
        case ':': two(':', Tok::ColonColon, Tok::Colon); return;
        case '=': two('=', Tok::Eq, Tok::Assign); return;
        case '!': two('=', Tok::Ne, Tok::Bang); return;
        case '<': two('=', Tok::Le, Tok::Lt); return;
        case '>': two('=', Tok::Ge, Tok::Gt); return;
        case '+': two('+', Tok::PlusPlus, Tok::Plus); return;
        case '-': two('-', Tok::MinusMinus, Tok::Minus); return;
        case '&': two('&', Tok::AmpAmp, Tok::Amp); return;
        case '|': two('|', Tok::BarBar, Tok::Bar); return;
        default: break;
    }
    char buf[80];
    if (c >= 0x21 && c < 0x7F)
        std::snprintf(buf, sizeof buf, "unexpected character '%c'", char(c));
    else
        std::snprintf(buf, sizeof buf, "unexpected character U+%04X", unsigned(c));
    Fail(at, buf);
}

void Lexer::Number(Token& t) {
    SrcPos at = t.Pos;
    if (PlainWhole(t)) return;
    std::string digits;
    auto endOfNumber = [&]() {
        if (!AtEnd() && IsIdentChar(Cur())) Fail(at, "malformed number");
    };
    if (Cur() == '0' && (Ahead(1) == 'x' || Ahead(1) == 'X')) {
        Take();
        Take();
        uint64_t v = 0;
        int n = 0;
        while (!AtEnd() && HexValue(Cur()) >= 0) {
            v = v * 16 + uint64_t(HexValue(Take()));
            if (++n > 8) Fail(at, "hexadecimal literal longer than 8 digits");
        }
        if (n == 0) Fail(at, "hexadecimal literal without digits");
        endOfNumber();
        t.Kind = Tok::IntLit;
        t.Hex = true;
        t.Int = int32_t(uint32_t(v));  // the 32 bits as written
        return;
    }
    if (Cur() == '0' && (Ahead(1) == 'b' || Ahead(1) == 'B')) {
        Take();
        Take();
        int64_t v = 0;
        int n = 0;
        while (!AtEnd() && IsDigit(Cur())) {
            v = v * 10 + int64_t(Take() - '0');
            if (v > 255) Fail(at, "byte literal out of range (0..255)");
            ++n;
        }
        if (n == 0) Fail(at, "byte literal without digits");
        endOfNumber();
        t.Kind = Tok::ByteLit;
        t.Int = v;
        return;
    }
    bool isFloat = false;
    while (!AtEnd() && IsDigit(Cur())) digits += char(Take());
    if (Cur() == '.' && IsDigit(Ahead(1))) {
        isFloat = true;
        digits += char(Take());
        while (!AtEnd() && IsDigit(Cur())) digits += char(Take());
    }
    if (Cur() == 'e' || Cur() == 'E') {
        char32_t n1 = Ahead(1);
        if (IsDigit(n1) || ((n1 == '+' || n1 == '-') && IsDigit(Ahead(2)))) {
            isFloat = true;
            digits += char(Take());
            if (Cur() == '+' || Cur() == '-') digits += char(Take());
            while (!AtEnd() && IsDigit(Cur())) {
                digits += char(Take());
                if (digits.size() > 400) Fail(at, "malformed number");
            }
        }
    }
    endOfNumber();
    if (isFloat) {
        double d = 0;
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), d);
        if (r.ec == std::errc::result_out_of_range) {
            // Underflow rounds to zero; overflow cannot be stored.
            size_t e = digits.find_first_of("eE");
            bool negExp = e != std::string::npos && e + 1 < digits.size() && digits[e + 1] == '-';
            if (!negExp) Fail(at, "number too large for a float");
            d = 0;
        } else if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) {
            Fail(at, "malformed number");
        }
        if (std::fabs(d) > double(std::numeric_limits<float>::max()))
            Fail(at, "number too large for a float");
        t.Kind = Tok::FloatLit;
        t.Float = d;
        return;
    }
    // Whole numbers: a Long, with room for the magnitude of the smallest one,
    // which only a leading minus can make valid.
    uint64_t v = 0;
    for (char d : digits) {
        v = v * 10 + uint64_t(d - '0');
        if (v > 2147483648ull) Fail(at, "integer literal too large for an int");
    }
    t.Kind = Tok::IntLit;
    t.Int = int64_t(v);
}

// Most numbers are whole and decimal, and stand before a blank or a sign:
// those are read in one go. Anything else is left to the full reading.
bool Lexer::PlainWhole(Token& t) {
    const size_t n = src_.size();
    if (src_[pos_] == '0' && pos_ + 1 < n) {
        const char x = src_[pos_ + 1];
        if (x == 'x' || x == 'X' || x == 'b' || x == 'B') return false;
    }
    size_t end = pos_;
    while (end < n && IsDigit(uint8_t(src_[end]))) ++end;
    if (end < n) {
        const uint8_t b = uint8_t(src_[end]);
        if (b == '.' || b >= 0x80 || IsIdentChar(b)) return false;
    }
    uint64_t v = 0;
    for (size_t i = pos_; i < end; ++i) {
        v = v * 10 + uint64_t(src_[i] - '0');
        if (v > 2147483648ull) Fail(t.Pos, "integer literal too large for an int");
    }
    col_ += int(end - pos_);
    pos_ = end;
    t.Kind = Tok::IntLit;
    t.Int = int64_t(v);
    return true;
}

// Most texts are plain ASCII up to their closing quote: those are taken as
// they stand in the source, without decoding or copying.
bool Lexer::PlainQuoted(Token& t, char quote) {
    size_t end = pos_ + 1;
    while (end < src_.size()) {
        const uint8_t b = uint8_t(src_[end]);
        if (b == uint8_t(quote) || b == '\\' || b == '\n' || b >= 0x80) break;
        ++end;
    }
    if (end >= src_.size() || src_[end] != quote) return false;
    // A doubled quote stands for one in a single-quoted text.
    if (quote == '\'' && end + 1 < src_.size() && src_[end + 1] == '\'') return false;
    const size_t n = end - pos_ - 1;
    if (n > MaxTextChars) return false;
    t.Text = src_.substr(pos_ + 1, n);
    col_ += int(n + 2);
    pos_ = end + 1;
    return true;
}

void Lexer::DoubleQuoted(Token& t) {
    SrcPos at = t.Pos;
    t.Kind = Tok::StrLit;
    t.Code = 0x0E;
    if (PlainQuoted(t, '"')) return;
    Take();
    buf_.clear();
    for (;;) {
        if (AtEnd() || Cur() == '\n') Fail(at, "unterminated string");
        SrcPos here = Here();
        char32_t c = Take();
        if (c == '"') {
            t.Text = texts_.Text(buf_);
            return;
        }
        if (c != '\\') {
            AppendChar(buf_, c, here, at, "string");
            continue;
        }
        if (AtEnd() || Cur() == '\n') Fail(at, "unterminated string");
        char32_t e = Take();
        switch (e) {
            case 'n': AppendChar(buf_, '\n', here, at, "string"); break;
            case 't': AppendChar(buf_, '\t', here, at, "string"); break;
            case 'r': AppendChar(buf_, '\r', here, at, "string"); break;
            case '0': AppendChar(buf_, 0, here, at, "string"); break;
            case '\\': AppendChar(buf_, '\\', here, at, "string"); break;
            case '"': AppendChar(buf_, '"', here, at, "string"); break;
            case '\'': AppendChar(buf_, '\'', here, at, "string"); break;
            case 'x': {
                int h1 = HexValue(Cur());
                int h2 = h1 >= 0 ? HexValue(Ahead(1)) : -1;
                if (h1 < 0 || h2 < 0) Fail(here, "\\x needs two hexadecimal digits");
                Take();
                Take();
                // The byte is a Windows-1252 character as it stands.
                if (buf_.size() >= MaxTextChars) Fail(at, "string longer than 32768 characters");
                buf_ += char(uint8_t(h1 * 16 + h2));
                break;
            }
            default: Fail(here, "unknown escape sequence in string");
        }
    }
}

void Lexer::SingleQuoted(Token& t) {
    SrcPos at = t.Pos;
    t.Kind = Tok::StrLit;
    t.Code = 0x0F;
    if (PlainQuoted(t, '\'')) return;
    Take();
    buf_.clear();
    for (;;) {
        if (AtEnd() || Cur() == '\n') Fail(at, "unterminated string");
        SrcPos here = Here();
        char32_t c = Take();
        if (c == '\'') {
            if (Cur() != '\'') {
                t.Text = texts_.Text(buf_);
                return;
            }
            Take();  // '' stands for one quote
        }
        AppendChar(buf_, c, here, at, "string");
    }
}



std::string TokenName(Tok kind) {
    for (const auto& k : kKeywords)
        if (k.Kind == kind) return std::string(1, '\'').append(k.Word).append(1, '\'');
    switch (kind) {
        case Tok::End: return "end of file";
        case Tok::Ident: return "name";
        case Tok::IntLit: return "integer";
        case Tok::ByteLit: return "byte literal";
        case Tok::FloatLit: return "float literal";
        case Tok::StrLit: return "string";
        case Tok::LParen: return "'('";
        case Tok::RParen: return "')'";
        case Tok::LBracket: return "'['";
        case Tok::RBracket: return "']'";
        case Tok::LBrace: return "'{'";
        case Tok::RBrace: return "'}'";
        case Tok::Comma: return "','";
        case Tok::Semicolon: return "';'";
        case Tok::Colon: return "':'";
        case Tok::ColonColon: return "'::'";
        case Tok::Dot: return "'.'";
        case Tok::Assign: return "'='";
        case Tok::Eq: return "'=='";
        case Tok::Ne: return "'!='";
        case Tok::Lt: return "'<'";
        case Tok::Le: return "'<='";
        case Tok::Gt: return "'>'";
        case Tok::Ge: return "'>='";
        case Tok::Plus: return "'+'";
        case Tok::Minus: return "'-'";
        case Tok::Star: return "'*'";
        case Tok::Slash: return "'/'";
        case Tok::Percent: return "'%'";
        case Tok::Caret: return "'^'";
        case Tok::Amp: return "'&'";
        case Tok::AmpAmp: return "'&&'";
        case Tok::Bar: return "'|'";
        case Tok::BarBar: return "'||'";
        case Tok::Bang: return "'!'";
        case Tok::PlusPlus: return "'++'";
        case Tok::MinusMinus: return "'--'";
        case Tok::At: return "'@'";
        default: return "token";
    }
}

std::string Describe(const Token& t) {
    if (t.Kind == Tok::Ident) return "name '" + Cp1252ToUtf8(t.Text) + "'";
    return TokenName(t.Kind);
}

}  // namespace zun::zsc
