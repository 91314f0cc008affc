#include "tools/zsc/zscParser.h"

#include <cmath>

#include "core/zRuntime.h"

namespace zun::zsc {

namespace {

const char* const kTypeNames[] = {"var", "bool", "byte", "int", "float", "str", "array", "object"};

int TypeWord(const Token& t) {
    if (t.Kind != Tok::Ident || t.Quoted) return ptNone;
    for (int i = 0; i < 8; ++i)
        if (t.Text == kTypeNames[i]) return i;
    return ptNone;
}

class Parser {
public:
    Parser(Lexer& lex, Unit& unit, const IncludeFn& include, int includeDepth)
        : lex_(lex), unit_(unit), include_(include), includeDepth_(includeDepth) {}

    void File() {
        try {
            lex_.Next(ring_[0]);
            n_ = 1;
            while (Cur().Kind != Tok::End) {
                if (Cur().Kind == Tok::KwInclude) {
                    Include();
                } else if (Cur().Kind == Tok::KwClass) {
                    Class();
                } else {
                    Fail(Cur().Pos, "expected 'class' or 'include', found " + Describe(Cur()));
                }
            }
        } catch (const CompileError&) {
            lex_.CheckRest();
            throw;
        }
    }

private:
    // The tokens around the current one. A token stays valid while the parser
    // moves on by a few more, which covers every place that keeps one.
    static constexpr size_t kRing = 8;
    Lexer& lex_;
    Token ring_[kRing];
    size_t i_ = 0;  // number of the current token
    size_t n_ = 0;  // tokens read so far
    Unit& unit_;
    const IncludeFn& include_;
    int includeDepth_;
    int depth_ = 0;
    // Items of the lists being built, innermost last; each list takes its own
    // run off the end when it is complete.
    std::vector<ExprPtr> exprs_;
    std::vector<StmtPtr> stmts_;

    template <typename T>
    List<T> Take(std::vector<T>& stack, size_t mark) {
        List<T> out = unit_.Nodes.Copy(stack.data() + mark, stack.size() - mark);
        stack.resize(mark);
        return out;
    }

    struct Nest {
        Parser& p;
        Nest(Parser& parser, SrcPos at) : p(parser) {
            if (++p.depth_ > MaxNesting) throw CompileError(at, "nesting too deep");
        }
        ~Nest() { --p.depth_; }
    };

    [[noreturn]] static void Fail(SrcPos p, const std::string& msg) { throw CompileError(p, msg); }

    const Token& Cur() const { return ring_[i_ % kRing]; }
    // The token after the current one (the end stays the end).
    const Token& Peek() {
        if (Cur().Kind == Tok::End) return Cur();
        if (n_ == i_ + 1) lex_.Next(ring_[n_++ % kRing]);
        return ring_[(i_ + 1) % kRing];
    }
    bool Is(Tok k) const { return Cur().Kind == k; }
    const Token& Advance() {
        const Token& t = Cur();
        if (t.Kind == Tok::End) return t;
        ++i_;
        if (n_ == i_) lex_.Next(ring_[n_++ % kRing]);
        return t;
    }
    bool Accept(Tok k) {
        if (!Is(k)) return false;
        Advance();
        return true;
    }
    const Token& Expect(Tok k, const char* context = nullptr) {
        if (!Is(k)) {
            std::string msg = "expected " + TokenName(k);
            if (context) msg += std::string(" ") + context;
            Fail(Cur().Pos, msg + ", found " + Describe(Cur()));
        }
        return Advance();
    }
    const Token& ExpectName(const char* what) {
        if (!Is(Tok::Ident)) Fail(Cur().Pos, std::string("expected ") + what + ", found " + Describe(Cur()));
        return Advance();
    }

    // ---- declarations ------------------------------------------------------

    void Include() {
        SrcPos at = Advance().Pos;
        const Token& name = Expect(Tok::StrLit, "after 'include'");
        Expect(Tok::Semicolon, "after the included file name");
        if (includeDepth_ >= MaxIncludeDepth) Fail(at, "includes nested too deeply");
        IncludedSource src = include_(std::string(name.Text), name.Pos);
        if (src.File < 0) return;
        Lexer lex(src.Text, src.File, unit_.Nodes);
        Parser inner(lex, unit_, include_, includeDepth_ + 1);
        inner.File();
    }

    void Class() {
        ClassDecl c;
        c.Pos = Advance().Pos;
        const Token& name = ExpectName("a class name");
        c.Name = name.Text;
        if (Accept(Tok::Colon)) {
            do {
                const Token& p = ExpectName("a parent class name");
                c.Parents.push_back({p.Text, p.Pos});
            } while (Accept(Tok::Comma));
        }
        Expect(Tok::LBrace, "to open the class body");
        while (!Is(Tok::RBrace)) {
            if (Is(Tok::End)) Fail(c.Pos, "class body not closed: missing '}'");
            if (Is(Tok::KwFunc)) {
                c.Funcs.push_back(Func());
            } else {
                c.Init.push_back(Statement());
            }
        }
        Advance();
        unit_.Classes.push_back(std::move(c));
    }

    FuncDecl Func() {
        FuncDecl f;
        f.Pos = Advance().Pos;
        f.Name = ExpectName("a function name").Text;
        if (Accept(Tok::Assign)) {
            const Token& s = Cur();
            if (s.Kind != Tok::Ident || s.Quoted || s.Text != "super")
                Fail(s.Pos, "expected 'super' after '=' in a function declaration, found " + Describe(s));
            Advance();
            f.Super = true;
            if (Accept(Tok::LParen)) {
                const Token& p = ExpectName("a parent class name");
                f.SuperNamed = true;
                f.SuperParent = p.Text;
                f.SuperParentPos = p.Pos;
                Expect(Tok::RParen);
            }
            Expect(Tok::Semicolon, "after 'super'");
            return f;
        }
        Expect(Tok::LParen, "after the function name");
        if (!Is(Tok::RParen)) {
            do {
                f.Params.push_back(Param());
            } while (Accept(Tok::Comma));
        }
        Expect(Tok::RParen, "to close the parameter list");
        f.Body = Block();
        return f;
    }

    ParamDecl Param() {
        ParamDecl p;
        p.Pos = Cur().Pos;
        int type = TypeWord(Cur());
        if (type != ptNone && Peek().Kind == Tok::Ident) {
            Advance();
            p.Type = type;
        }
        p.Name = ExpectName("a parameter name").Text;
        if (Accept(Tok::Assign)) p.Default = Expression();
        return p;
    }

    List<StmtPtr> Block() {
        SrcPos open = Expect(Tok::LBrace).Pos;
        const size_t mark = stmts_.size();
        while (!Is(Tok::RBrace)) {
            if (Is(Tok::End)) Fail(open, "block not closed: missing '}'");
            StmtPtr s = Statement();
            stmts_.push_back(s);
        }
        Advance();
        return Take(stmts_, mark);
    }

    // ---- statements --------------------------------------------------------

    StmtPtr Make(SK kind, SrcPos at) {
        StmtPtr s = unit_.Nodes.New<zsc::Stmt>();
        s->Kind = kind;
        s->Pos = at;
        return s;
    }

    StmtPtr Statement() {
        SrcPos at = Cur().Pos;
        Nest guard(*this, at);
        switch (Cur().Kind) {
            case Tok::Semicolon: Advance(); return Make(SK::Empty, at);
            case Tok::KwNop: {
                Advance();
                Expect(Tok::Semicolon, "after 'nop'");
                return Make(SK::Nop, at);
            }
            case Tok::LBrace: {
                auto s = Make(SK::Block, at);
                s->Stmts = Block();
                return s;
            }
            case Tok::KwIf: {
                Advance();
                auto s = Make(SK::If, at);
                s->Cond = Condition("after 'if'");
                s->Then = Statement();
                if (Accept(Tok::KwElse)) s->Else = Statement();
                return s;
            }
            case Tok::KwWhile: {
                Advance();
                auto s = Make(SK::While, at);
                s->Cond = Condition("after 'while'");
                s->Body = Statement();
                return s;
            }
            case Tok::KwDo: {
                Advance();
                auto s = Make(SK::Do, at);
                s->Body = Statement();
                Expect(Tok::KwWhile, "after the body of 'do'");
                s->Cond = Condition("after 'while'");
                Expect(Tok::Semicolon, "after the condition of 'do ... while'");
                return s;
            }
            case Tok::KwFor: return For();
            case Tok::KwBreak:
            case Tok::KwContinue: {
                SK k = Is(Tok::KwBreak) ? SK::Break : SK::Continue;
                Advance();
                Expect(Tok::Semicolon);
                return Make(k, at);
            }
            case Tok::KwReturn: {
                Advance();
                auto s = Make(SK::Return, at);
                if (!Is(Tok::Semicolon)) s->Value = Expression();
                Expect(Tok::Semicolon, "after the return value");
                return s;
            }
            case Tok::KwSelect: return Select();
            case Tok::At: {
                auto s = Make(SK::Raw, at);
                s->Raw = RawBytes();
                Expect(Tok::Semicolon, "after '@bytes(...)'");
                return s;
            }
            case Tok::KwFunc: Fail(at, "a function cannot be declared inside another function");
            case Tok::KwClass: Fail(at, "a class cannot be declared inside a class");
            default: break;
        }
        auto s = Simple();
        Expect(Tok::Semicolon, "at the end of the statement");
        return s;
    }

    ExprPtr Condition(const char* context) {
        Expect(Tok::LParen, context);
        auto e = Expression();
        if (Is(Tok::Assign))
            Fail(Cur().Pos, "'=' in a condition: write '==' to compare, or '((x = e))' to assign");
        Expect(Tok::RParen, "to close the condition");
        return e;
    }

    // An assignment, increment, decrement, call or member access.
    StmtPtr Simple() {
        SrcPos at = Cur().Pos;
        ExprPtr e = Expression();
        if (Is(Tok::Assign)) {
            SrcPos eq = Advance().Pos;
            if (e->Kind != EK::Var && e->Kind != EK::Path && e->Kind != EK::Member)
                Fail(eq, "only a name, an indexed name or a member can be assigned");
            auto s = Make(SK::Assign, at);
            s->Target = std::move(e);
            s->Value = Expression();
            return s;
        }
        if (Is(Tok::PlusPlus) || Is(Tok::MinusMinus)) {
            SK k = Is(Tok::PlusPlus) ? SK::Incr : SK::Decr;
            SrcPos op = Advance().Pos;
            if (e->Kind != EK::Var && e->Kind != EK::Path && e->Kind != EK::Member)
                Fail(op, "only a name, an indexed name or a member can be incremented or decremented");
            auto s = Make(k, at);
            s->Target = std::move(e);
            return s;
        }
        if (e->Kind == EK::Call) {
            auto s = Make(SK::Call, at);
            s->Value = std::move(e);
            return s;
        }
        if (e->Kind == EK::Member) {
            auto s = Make(SK::Member, at);
            s->Value = std::move(e);
            return s;
        }
        Fail(at, "this expression is not a statement: only assignments, '++', '--', calls and "
                 "member accesses stand alone");
    }

    StmtPtr For() {
        SrcPos at = Advance().Pos;
        auto s = Make(SK::For, at);
        Expect(Tok::LParen, "after 'for'");
        if (!Is(Tok::Semicolon)) s->Init = Simple();
        Expect(Tok::Semicolon, "after the start of 'for'");
        if (!Is(Tok::Semicolon)) s->Cond = Expression();
        Expect(Tok::Semicolon, "after the condition of 'for'");
        if (!Is(Tok::RParen)) s->Update = Simple();
        Expect(Tok::RParen, "to close 'for (...)'");
        s->Body = Statement();
        return s;
    }

    StmtPtr Select() {
        SrcPos at = Advance().Pos;
        auto s = Make(SK::Select, at);
        s->Cond = Condition("after 'select'");
        Expect(Tok::LBrace, "to open the select body");
        bool sawDefault = false;
        std::vector<SelectSection> sections;
        while (!Is(Tok::RBrace)) {
            SelectSection sec;
            sec.Pos = Cur().Pos;
            const size_t mark = exprs_.size();
            if (Accept(Tok::KwCase)) {
                sec.K = SelectSection::Case;
                do {
                    ExprPtr e = Expression();
                    exprs_.push_back(e);
                } while (Accept(Tok::Comma));
            } else if (Accept(Tok::KwWhen)) {
                sec.K = SelectSection::When;
                ExprPtr e = Expression();
                exprs_.push_back(e);
            } else if (Accept(Tok::KwDefault)) {
                sec.K = SelectSection::Default;
            } else if (Is(Tok::End)) {
                Fail(at, "select not closed: missing '}'");
            } else {
                Fail(Cur().Pos, "expected 'case', 'when' or 'default', found " + Describe(Cur()));
            }
            if (sawDefault) Fail(sec.Pos, "'default' must be the last section of a select");
            if (sec.K == SelectSection::Default) sawDefault = true;
            sec.Tests = Take(exprs_, mark);
            Expect(Tok::Colon, "after the section label");
            const size_t bodyMark = stmts_.size();
            while (!Is(Tok::KwCase) && !Is(Tok::KwWhen) && !Is(Tok::KwDefault) && !Is(Tok::RBrace)) {
                if (Is(Tok::End)) Fail(at, "select not closed: missing '}'");
                StmtPtr b = Statement();
                stmts_.push_back(b);
            }
            sec.Body = Take(stmts_, bodyMark);
            sections.push_back(sec);
        }
        Advance();
        s->Sections = unit_.Nodes.Copy(sections.data(), sections.size());
        return s;
    }

    List<uint8_t> RawBytes() {
        Advance();  // '@'
        const Token& w = Cur();
        if (w.Kind != Tok::Ident || w.Quoted || w.Text != "bytes")
            Fail(w.Pos, "expected 'bytes' after '@', found " + Describe(w));
        Advance();
        Expect(Tok::LParen, "after '@bytes'");
        std::vector<uint8_t> out;
        if (!Is(Tok::RParen)) {
            do {
                const Token& b = Cur();
                if ((b.Kind != Tok::IntLit && b.Kind != Tok::ByteLit) || b.Int < 0 || b.Int > 255)
                    Fail(b.Pos, "'@bytes' takes numbers from 0 to 255");
                out.push_back(uint8_t(b.Int));
                Advance();
            } while (Accept(Tok::Comma));
        }
        Expect(Tok::RParen, "to close '@bytes('");
        return unit_.Nodes.Copy(out.data(), out.size());
    }

    // ---- expressions -------------------------------------------------------

    ExprPtr Node(EK kind, SrcPos at) {
        ExprPtr e = unit_.Nodes.New<Expr>();
        e->Kind = kind;
        e->Pos = at;
        return e;
    }
    ExprPtr Binary(uint8_t code, SrcPos at, ExprPtr a, ExprPtr b) {
        auto e = Node(EK::Binary, at);
        e->Code = code;
        e->A = std::move(a);
        e->B = std::move(b);
        return Done(std::move(e));
    }
    // Records the height of a finished node. Long left-leaning chains (a + b +
    // c ...) grow the tree without nesting the parser, so they are capped here.
    ExprPtr Done(ExprPtr e) {
        int h = 0;
        if (e->A) h = std::max(h, e->A->Height);
        if (e->B) h = std::max(h, e->B->Height);
        for (const auto& x : e->Items) h = std::max(h, x->Height);
        e->Height = h + 1;
        if (e->Height > MaxExprHeight) Fail(e->Pos, "expression too deeply nested");
        return e;
    }

    ExprPtr Expression() {
        Nest guard(*this, Cur().Pos);
        return Or();
    }

    ExprPtr Or() {
        auto e = And();
        while (Is(Tok::KwOr) || Is(Tok::BarBar)) {
            SrcPos at = Advance().Pos;
            e = Binary(0x46, at, std::move(e), And());
        }
        return e;
    }
    ExprPtr And() {
        auto e = Compare();
        while (Is(Tok::KwAnd) || Is(Tok::AmpAmp)) {
            SrcPos at = Advance().Pos;
            e = Binary(0x44, at, std::move(e), Compare());
        }
        return e;
    }
    ExprPtr Compare() {
        auto e = BitOr();
        for (;;) {
            uint8_t code = 0;
            switch (Cur().Kind) {
                case Tok::Eq: code = 0x1E; break;
                case Tok::Ne: code = 0x1F; break;
                case Tok::Lt: code = 0x20; break;
                case Tok::Le: code = 0x21; break;
                case Tok::Gt: code = 0x22; break;
                case Tok::Ge: code = 0x23; break;
                case Tok::KwLike: code = 0x41; break;
                case Tok::Bang:
                case Tok::KwNot:
                    if (Peek().Kind == Tok::KwLike) code = 0x42;
                    break;
                case Tok::KwIn: code = 0x29; break;
                default: break;
            }
            if (code == 0) return e;
            SrcPos at = Advance().Pos;
            if (code == 0x42) Advance();  // 'like'
            if (code == 0x29) {
                auto in = Node(EK::In, at);
                in->A = std::move(e);
                SrcPos listAt = Cur().Pos;
                in->B = BitOr();
                if (in->B->Kind != EK::Array && in->B->Kind != EK::Var)
                    Fail(listAt, "the list after 'in' must be an array literal or a variable name");
                e = Done(std::move(in));
            } else {
                e = Binary(code, at, std::move(e), BitOr());
            }
        }
    }
    ExprPtr BitOr() {
        auto e = BitAnd();
        while (Is(Tok::Bar)) {
            SrcPos at = Advance().Pos;
            e = Binary(0x45, at, std::move(e), BitAnd());
        }
        return e;
    }
    ExprPtr BitAnd() {
        auto e = Additive();
        while (Is(Tok::Amp)) {
            SrcPos at = Advance().Pos;
            e = Binary(0x43, at, std::move(e), Additive());
        }
        return e;
    }
    ExprPtr Additive() {
        auto e = Multiplicative();
        while (Is(Tok::Plus) || Is(Tok::Minus)) {
            uint8_t code = Is(Tok::Plus) ? 0x3C : 0x3D;
            SrcPos at = Advance().Pos;
            e = Binary(code, at, std::move(e), Multiplicative());
        }
        return e;
    }
    ExprPtr Multiplicative() {
        auto e = Power();
        for (;;) {
            uint8_t code = Is(Tok::Star) ? 0x3E : Is(Tok::Slash) ? 0x3F : Is(Tok::Percent) ? 0x41 : 0;
            if (code == 0) return e;
            SrcPos at = Advance().Pos;
            e = Binary(code, at, std::move(e), Power());
        }
    }
    ExprPtr Power() {
        auto e = Unary();
        if (Is(Tok::Caret)) {
            SrcPos at = Advance().Pos;
            Nest guard(*this, at);
            e = Binary(0x40, at, std::move(e), Power());
        }
        return e;
    }
    ExprPtr Unary() {
        SrcPos at = Cur().Pos;
        Nest guard(*this, at);
        if (Is(Tok::Bang) || Is(Tok::KwNot) || Is(Tok::KwIsset)) {
            uint8_t code = Is(Tok::KwIsset) ? 0x28 : 0x32;
            Advance();
            auto e = Node(EK::Unary, at);
            e->Code = code;
            e->A = Unary();
            return Done(std::move(e));
        }
        if (Is(Tok::Minus)) {
            Tok next = Peek().Kind;
            if (next == Tok::IntLit || next == Tok::FloatLit) {
                Advance();
                return Postfix(NumberLiteral(true, at));
            }
            Advance();
            auto e = Node(EK::Unary, at);
            e->Code = 0x33;
            e->A = Unary();
            return Done(std::move(e));
        }
        return Postfix(Primary());
    }

    // The current numeric literal token, negated when a minus stood before it.
    ExprPtr NumberLiteral(bool negate, SrcPos at) {
        const Token& t = Advance();
        if (t.Kind == Tok::FloatLit) {
            auto e = Node(EK::Float, at);
            e->Float = float(negate ? -t.Float : t.Float);
            return e;
        }
        auto e = Node(EK::Int, at);
        int64_t v = t.Int;
        if (t.Hex) {
            v = int32_t(uint32_t(v));
            if (negate) {
                if (v == INT32_MIN) Fail(at, "integer literal out of range for an int");
                v = -v;
            }
        } else {
            if (negate) v = -v;
            if (v > INT32_MAX) Fail(t.Pos, "integer literal too large for an int");
        }
        e->Int = int32_t(v);
        return e;
    }

    ExprPtr Primary() {
        const Token& t = Cur();
        SrcPos at = t.Pos;
        switch (t.Kind) {
            case Tok::IntLit:
            case Tok::FloatLit: return NumberLiteral(false, at);
            case Tok::ByteLit: {
                auto e = Node(EK::Byte, at);
                e->Int = int32_t(t.Int);
                Advance();
                return e;
            }
            case Tok::StrLit: {
                auto e = Node(EK::Str, at);
                e->Text = t.Text;
                e->Code = t.Code;
                Advance();
                return e;
            }
            case Tok::KwTrue:
            case Tok::KwFalse: {
                auto e = Node(EK::Bool, at);
                e->Bool = t.Kind == Tok::KwTrue;
                Advance();
                return e;
            }
            case Tok::KwThis: Advance(); return Node(EK::This, at);
            case Tok::KwSelected: Advance(); return Node(EK::Selected, at);
            case Tok::KwEmpty: Advance(); return Node(EK::Empty, at);
            case Tok::At: {
                auto e = Node(EK::Raw, at);
                const List<uint8_t> raw = RawBytes();
                e->Text = std::string_view(reinterpret_cast<const char*>(raw.Data), raw.Size);
                return e;
            }
            case Tok::LBracket: {
                Advance();
                auto e = Node(EK::Array, at);
                const size_t mark = exprs_.size();
                while (!Is(Tok::RBracket)) {
                    ExprPtr x = Expression();
                    exprs_.push_back(x);
                    if (!Accept(Tok::Comma)) break;
                }
                Expect(Tok::RBracket, "to close the array literal");
                e->Items = Take(exprs_, mark);
                return Done(std::move(e));
            }
            case Tok::LParen: {
                Advance();
                auto e = Expression();
                if (Is(Tok::Assign)) {
                    SrcPos eq = Advance().Pos;
                    if (e->Kind != EK::Var && e->Kind != EK::Path)
                        Fail(eq, "inside an expression only a name or an indexed name can be assigned");
                    auto a = Node(EK::AssignValue, at);
                    a->A = std::move(e);
                    a->B = Expression();
                    e = Done(std::move(a));
                }
                Expect(Tok::RParen, "to close the parenthesis");
                // A parenthesised name is a value, not something to call or index.
                if (Is(Tok::LParen)) Fail(Cur().Pos, "only a name can be called");
                if (Is(Tok::LBracket)) Fail(Cur().Pos, "only a name can be indexed");
                return e;
            }
            case Tok::Ident: return NameUse();
            default: break;
        }
        Fail(at, "expected an expression, found " + Describe(t));
    }

    // A name and what follows it: a call, a qualified call, indexes, or nothing.
    ExprPtr NameUse() {
        const Token& n = Advance();
        SrcPos at = n.Pos;
        std::string_view name = n.Text;
        if (Is(Tok::ColonColon)) {
            Advance();
            if (name.find('.') != std::string_view::npos)
                Fail(at, "the class part of a qualified call cannot contain '.'");
            const Token& f = ExpectName("a function name after '::'");
            name = unit_.Nodes.Text(std::string(name).append(1, '.').append(f.Text));
            if (!Is(Tok::LParen)) Fail(Cur().Pos, "expected '(' after a qualified function name");
        }
        if (Is(Tok::LParen)) {
            Advance();
            auto e = Node(EK::Call, at);
            e->Text = name;
            const size_t mark = exprs_.size();
            if (!Is(Tok::RParen)) {
                do {
                    ExprPtr x = Expression();
                    exprs_.push_back(x);
                } while (Accept(Tok::Comma));
            }
            Expect(Tok::RParen, "to close the argument list");
            e->Items = Take(exprs_, mark);
            if (Is(Tok::LBracket)) Fail(Cur().Pos, "only a name can be indexed");
            if (Is(Tok::LParen)) Fail(Cur().Pos, "only a name can be called");
            return Done(std::move(e));
        }
        if (Is(Tok::LBracket)) {
            auto e = Node(EK::Path, at);
            e->Text = name;
            const size_t mark = exprs_.size();
            while (Is(Tok::LBracket)) {
                SrcPos open = Advance().Pos;
                if (Is(Tok::RBracket)) {
                    if (exprs_.size() > mark || e->Append)
                        Fail(open, "'[]' (append) must be the only index of a name");
                    Advance();
                    e->Append = true;
                    continue;
                }
                if (e->Append) Fail(open, "'[]' (append) must be the only index of a name");
                ExprPtr x = Expression();
                exprs_.push_back(x);
                Expect(Tok::RBracket, "to close the index");
            }
            e->Items = Take(exprs_, mark);
            if (Is(Tok::LParen)) Fail(Cur().Pos, "only a name can be called");
            return Done(std::move(e));
        }
        auto e = Node(EK::Var, at);
        e->Text = name;
        return e;
    }

    ExprPtr Postfix(ExprPtr e) {
        while (Is(Tok::Dot)) {
            SrcPos at = Advance().Pos;
            if (!Is(Tok::Ident)) Fail(Cur().Pos, "expected a member name after '.', found " + Describe(Cur()));
            auto m = Node(EK::Member, at);
            m->A = std::move(e);
            m->B = NameUse();
            e = Done(std::move(m));
        }
        return e;
    }
};

}  // namespace

void Parse(std::string_view source, int fileIndex, Unit& unit, const IncludeFn& include) {
    Lexer lex(source, fileIndex, unit.Nodes);
    Parser p(lex, unit, include, 0);
    p.File();
}

}  // namespace zun::zsc
