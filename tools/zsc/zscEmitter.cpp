#include "tools/zsc/zscEmitter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <unordered_set>

#include "core/zRuntime.h"

namespace zun::zsc {

const char* TypeName(uint8_t typ) {
    static const char* const kNames[] = {"var", "bool", "byte", "int", "float", "str", "array", "object"};
    return typ < 8 ? kNames[typ] : "";
}

// Names a plain call hands to someone other than the script class: the
// interpreter's special forms, its own built-ins, the host's built-ins and the
// game's function table, in that order of lookup. The compiler is built below
// the engine and the game, so it keeps its own copy of their names.
const std::unordered_set<std::string>& ReservedCallNames() {
    static const std::unordered_set<std::string> kNames = {
        // special forms
        "", "static", "global", "super", "set", "new",
        // engine built-ins
        "iif", "count", "push", "pop", "indexName", "asc", "chr", "ucase", "lcase", "strrev", "trim",
        "repeat", "strlen", "substr", "replace", "trans", "strpos", "stripos", "strrpos", "strripos",
        "sin", "cos", "tan", "atan", "asin", "acos", "pow", "sqr", "abs", "sig", "log", "exp", "fac",
        "dechex", "hexdec", "cbool", "cbyte", "cint", "cfloat", "cstr", "cvar", "clip", "round",
        "cround", "fix", "floor", "ceil", "srand", "rnd", "rand", "lastrnd", "lastrand", "deb", "din",
        "dump", "dumpenv",
        // host built-ins
        "drawPoint", "drawLine", "drawRect", "fillRect", "drawCircle", "clipValue", "clipAngle",
        "angleDiff", "getAngle", "getDist", "beginScene", "endScene", "createRenderTarget",
        "endTextureScene", "applyGamma", "applyTint", "saveScreenshot", "setRenderZ", "loadImage",
        "blt", "bltRotate", "rgba", "rgbx", "rgbGrey", "rgb", "setDiffuseColor", "setBackColor",
        "setGreyscaleColor", "getMouseX", "getMouseY", "getScreenW", "getScreenH", "loadScriptFile",
        "callByName", "debug",
        // the game's functions
        "addTimeCall", "addTimeValue", "addTimeObject", "enableTorch", "inputBox", "msgBox",
        "getPlayerSprite", "removeEmitter", "setRainDensity", "setSnowDensity", "addUpdateObject",
        "removeUpdateObject", "charByName", "charByPos", "findChar", "itemByName", "findItem",
        "doorByName", "findDoor", "lightByName", "findLight", "spriteCreate", "spriteSetSrc",
        "itemCreate", "itemSetVisible", "itemSetMirrored", "itemSetShadow", "itemSetPos",
        "itemSetSize", "itemSetRot", "itemSetClass", "itemSetCollision", "itemRemove", "charSetDir",
        "charSetVisible", "charSetMirrored", "charSetShadow", "charCreate", "charSetClass",
        "charSetCollision", "charLookChar", "charLookPlayer", "playerLookCursor", "playerLookChar",
        "playerSetPath", "charSetPath", "charRemove", "shapeCreate", "areaCreate", "setGameTime",
        "getGameTime", "isWater", "setCursorEvent", "getPlayerObject", "getGameObject",
        "getLevelObject", "getMouseGameX", "getMouseGameY", "gestureMode", "setGestureCenter",
        "setGestureFunctions", "clearGestures", "addGesture", "playMusic", "setMusicVolume",
        "stopMusic", "setPlayerDir", "loadLevel", "setPos", "setCharZoom", "setCharColor", "setDir",
        "getDir", "setRot", "setFrameX", "setFrameY", "animateTo", "setAlwaysAnimate", "lookAtPlayer",
        "playerLookAt", "tryToMove", "setPath", "stopMoving", "pathComplete", "pathMoving",
        "playSound", "setFrameOffset", "setOffsetDir", "setCollisionPoint", "checkCollision",
        "createEmitter", "ask", "msgBack", "msg", "flash", "assignLens", "pointRotate",
        "pointAnglePoint", "linesCrossing", "lineHitLine", "pointDistCircle", "pointDistLine",
        "pointDistPoint", "pointHitCircle", "circleHitCircle", "vecAdd", "vecSub", "vecDot",
        "vecLength", "vecNormal", "vecScale", "setRenderBuffer", "getRenderBuffer",
        "setTextureFilter", "setAlphaMode", "setAlphaValue", "setRenderZoom", "setFullScreen",
        "doGameUpdates", "setCaption", "exitGame",
    };
    return kNames;
}

namespace {

std::string Quote(std::string_view cp1252) { return std::string(1, '\'').append(Cp1252ToUtf8(cp1252)).append(1, '\''); }

// A growing function body. Texts are Windows-1252 and go out as UTF-16LE.
// One is kept for all the functions of a unit, so its room is found once.
class Code {
public:
    int32_t Pos() const { return int32_t(n_); }
    size_t Size() const { return n_; }
    void Clear() { n_ = 0; }
    std::vector<uint8_t> Take() const { return std::vector<uint8_t>(buf_.begin(), buf_.begin() + ptrdiff_t(n_)); }

    void Byte(uint8_t b) { *Room(1) = b; }
    void Long(int32_t v) { Put(Room(4), v); }
    void Single(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        Long(int32_t(u));
    }
    void StringU(std::string_view text) {
        uint8_t* out = Room(4 + text.size() * 2);
        Put(out, int32_t(text.size() * 2));
        out += 4;
        for (unsigned char c : text) {
            // Only 80..9F differ from their code points.
            char16_t u = (c < 0x80 || c >= 0xA0) ? char16_t(c) : Cp1252ToUnicode(c);
            *out++ = uint8_t(u & 0xFF);
            *out++ = uint8_t(u >> 8);
        }
    }
    void Bytes(const List<uint8_t>& raw) {
        if (!raw.empty()) std::memcpy(Room(raw.size()), raw.Data, raw.size());
    }
    void Bytes(std::string_view raw) {
        if (!raw.empty()) std::memcpy(Room(raw.size()), raw.data(), raw.size());
    }
    int32_t ReadLong(int32_t at) const {
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= uint32_t(buf_[size_t(at) + i]) << (8 * i);
        return int32_t(u);
    }
    void PatchLong(int32_t at, int32_t v) { Put(&buf_[size_t(at)], v); }

private:
    std::vector<uint8_t> buf_;  // room; the body is the first n_ bytes
    size_t n_ = 0;

    uint8_t* Room(size_t k) {
        if (buf_.size() - n_ < k) buf_.resize(std::max(buf_.size() * 2, n_ + k + 4096));
        uint8_t* at = buf_.data() + n_;
        n_ += k;
        return at;
    }
    static void Put(uint8_t* at, int32_t v) {
        uint32_t u = uint32_t(v);
        for (int i = 0; i < 4; ++i) at[i] = uint8_t(u >> (8 * i));
    }
};

// A place in the body that jumps point to. The jumps written before it is
// placed are chained through their own operands (each holds the offset of the
// one before, -1 ending the chain) and patched when it is.
struct Label {
    int32_t At = -1;
    int32_t Waiting = -1;  // offset of the last operand waiting for At
};

// Positions of a body may not exceed what a Long jump target can hold.
constexpr size_t MaxBodyBytes = 0x7FFFFFF0;

class FunctionEmitter {
public:
    FunctionEmitter(Code& code, Diagnostics& diag, bool initialiser, const ClassDecl* owner = nullptr)
        : diag_(diag), init_(initialiser), owner_(owner), c_(code) {}

    std::vector<uint8_t> Run(const List<StmtPtr>& body) {
        c_.Clear();
        for (const auto& s : body) Stmt(*s);
        return c_.Take();
    }

private:
    Diagnostics& diag_;
    bool init_;
    const ClassDecl* owner_;
    Code& c_;

    struct Breakable {
        Label* Break;
        Label* Continue;  // null for a select
    };
    std::vector<Breakable> targets_;

    void Check(SrcPos at) {
        if (c_.Size() > MaxBodyBytes) throw CompileError(at, "function body too large");
    }

    // The jump statement: 02, then the target counted from 1.
    void JumpTo(Label& l) {
        c_.Byte(0x02);
        if (l.At >= 0) {
            c_.Long(l.At + 1);
        } else {
            int32_t site = c_.Pos();
            c_.Long(l.Waiting);
            l.Waiting = site;
        }
    }
    void Place(Label& l) {
        l.At = c_.Pos();
        for (int32_t site = l.Waiting; site >= 0;) {
            int32_t before = c_.ReadLong(site);
            c_.PatchLong(site, l.At + 1);
            site = before;
        }
        l.Waiting = -1;
    }

    void Stmts(const List<StmtPtr>& list) {
        for (const auto& s : list) Stmt(*s);
    }

    void Stmt(const zsc::Stmt& s) {
        Check(s.Pos);
        switch (s.Kind) {
            case SK::Empty: return;
            case SK::Nop: c_.Byte(0x00); return;
            case SK::Block: Stmts(s.Stmts); return;
            case SK::Raw: c_.Bytes(s.Raw); return;
            case SK::Assign:
                // 04, then the target's own expression bytes, whose first byte is the
                // form (05 name, 06 path, 09 member access), then the value.
                c_.Byte(0x04);
                Expr(*s.Target);
                Expr(*s.Value);
                return;
            case SK::Call:
            case SK::Member: Expr(*s.Value); return;
            case SK::Return:
                c_.Byte(0x03);
                if (s.Value)
                    Expr(*s.Value);
                else
                    c_.Byte(0x00);
                return;
            case SK::Incr:
            case SK::Decr:
                c_.Byte(s.Kind == SK::Incr ? 0x34 : 0x35);
                Expr(*s.Target);
                return;
            case SK::If: {
                Label otherwise, end;
                c_.Byte(0x14);
                Expr(*s.Cond);
                JumpTo(s.Else ? otherwise : end);
                Stmt(*s.Then);
                if (s.Else) {
                    JumpTo(end);
                    Place(otherwise);
                    Stmt(*s.Else);
                }
                Place(end);
                return;
            }
            case SK::While: {
                Label top, end;
                Place(top);
                c_.Byte(0x14);
                Expr(*s.Cond);
                JumpTo(end);
                targets_.push_back({&end, &top});
                Stmt(*s.Body);
                targets_.pop_back();
                JumpTo(top);
                Place(end);
                return;
            }
            case SK::Do: {
                Label top, cont, end;
                Place(top);
                targets_.push_back({&end, &cont});
                Stmt(*s.Body);
                targets_.pop_back();
                Place(cont);
                c_.Byte(0x14);
                Expr(*s.Cond);
                JumpTo(end);
                JumpTo(top);
                Place(end);
                return;
            }
            case SK::For: {
                Label top, cont, end;
                if (s.Init) Stmt(*s.Init);
                Place(top);
                if (s.Cond) {
                    c_.Byte(0x14);
                    Expr(*s.Cond);
                    JumpTo(end);
                }
                targets_.push_back({&end, &cont});
                Stmt(*s.Body);
                targets_.pop_back();
                Place(cont);
                if (s.Update) Stmt(*s.Update);
                JumpTo(top);
                Place(end);
                return;
            }
            case SK::Break:
                if (targets_.empty()) throw CompileError(s.Pos, "'break' outside a loop or select");
                JumpTo(*targets_.back().Break);
                return;
            case SK::Continue: {
                for (auto it = targets_.rbegin(); it != targets_.rend(); ++it)
                    if (it->Continue) {
                        JumpTo(*it->Continue);
                        return;
                    }
                throw CompileError(s.Pos, "'continue' outside a loop");
            }
            case SK::Select: return Select(s);
        }
    }

    void Select(const zsc::Stmt& s) {
        size_t tests = 0;
        for (const auto& sec : s.Sections) tests += sec.Tests.size();
        if (tests > size_t(MaxSelectCases))
            throw CompileError(s.Pos, "a select holds at most 255 case tests");
        std::vector<Label> bodies(s.Sections.size());
        Label fallback, end;
        c_.Byte(0x15);
        Expr(*s.Cond);
        c_.Byte(uint8_t(tests));
        for (size_t i = 0; i < s.Sections.size(); ++i) {
            const auto& sec = s.Sections[i];
            for (const auto& t : sec.Tests) {
                if (sec.K == SelectSection::Case) {
                    // The case value comes first: an operator whose first operand is
                    // a var value gives nothing, and the selected value may be one.
                    c_.Byte(0x1E);
                    Expr(*t);
                    c_.Byte(0x16);
                } else {
                    Expr(*t);
                }
                JumpTo(bodies[i]);
            }
        }
        bool hasDefault = !s.Sections.empty() && s.Sections.back().K == SelectSection::Default;
        JumpTo(hasDefault ? bodies.back() : end);
        targets_.push_back({&end, nullptr});
        for (size_t i = 0; i < s.Sections.size(); ++i) {
            const auto& sec = s.Sections[i];
            Place(bodies[i]);
            Stmts(sec.Body);
            if (sec.K != SelectSection::Default) JumpTo(end);
        }
        targets_.pop_back();
        Place(end);
    }

    void Path(const zsc::Expr& e) {
        c_.StringU(e.Text);
        c_.Long(e.Append ? 0 : int32_t(e.Items.size()));
        for (const auto& x : e.Items) Expr(*x);
    }

    void Call(const zsc::Expr& e) {
        if (init_) {
            if (e.Text == "super")
                diag_.Warn(e.Pos, "'super' in class-level code fails when it runs: the initialiser runs "
                                  "without a class");
            else if (e.Text.find('.') != std::string_view::npos)
                diag_.Warn(e.Pos, "qualified call " + Quote(e.Text) +
                                      " in class-level code fails when it runs: the initialiser runs "
                                      "without a class");
        } else if (owner_ && e.Text.find('.') != std::string_view::npos) {
            std::string_view cls = e.Text.substr(0, e.Text.find('.'));
            bool isParent = std::any_of(owner_->Parents.begin(), owner_->Parents.end(),
                                        [&](const ClassDecl::Parent& p) { return p.Name == cls; });
            if (!isParent)
                diag_.Warn(e.Pos, Quote(cls) + " is not a parent of class " + Quote(owner_->Name) +
                                      ": the qualified call runs nothing");
        }
        c_.StringU(e.Text);
        c_.Long(int32_t(e.Items.size()));
        for (const auto& x : e.Items) Expr(*x);
    }

    void Expr(const zsc::Expr& e) {
        Check(e.Pos);
        switch (e.Kind) {
            case EK::Empty: c_.Byte(0x00); return;
            case EK::Bool:
                c_.Byte(0x0A);
                c_.Byte(e.Bool ? 1 : 0);
                return;
            case EK::Byte:
                c_.Byte(0x0B);
                c_.Byte(uint8_t(e.Int));
                return;
            case EK::Int:
                c_.Byte(0x0C);
                c_.Long(e.Int);
                return;
            case EK::Float:
                c_.Byte(0x0D);
                c_.Single(e.Float);
                return;
            case EK::Str:
                c_.Byte(e.Code);
                c_.StringU(e.Text);
                return;
            case EK::Var:
                c_.Byte(0x05);
                c_.StringU(e.Text);
                return;
            case EK::Path:
                c_.Byte(0x06);
                Path(e);
                return;
            case EK::Array:
                c_.Byte(0x07);
                c_.Long(int32_t(e.Items.size()));
                for (const auto& x : e.Items) Expr(*x);
                return;
            case EK::Call:
                c_.Byte(0x08);
                Call(e);
                return;
            case EK::Member:
                c_.Byte(0x09);
                Expr(*e.A);
                MemberPart(*e.B);
                return;
            case EK::AssignValue:
                c_.Byte(0x04);
                Expr(*e.A);
                Expr(*e.B);
                return;
            case EK::This: c_.Byte(0x17); return;
            case EK::Selected: c_.Byte(0x16); return;
            case EK::Unary:
                c_.Byte(e.Code);
                Expr(*e.A);
                return;
            case EK::Binary:
                c_.Byte(e.Code);
                Expr(*e.A);
                Expr(*e.B);
                return;
            case EK::In: {
                c_.Byte(0x29);
                Expr(*e.A);
                c_.Byte(0x00);
                int32_t site = c_.Pos();
                c_.Long(0);
                Expr(*e.B);
                // Where reading goes on after a match: the plain offset after the list.
                c_.PatchLong(site, c_.Pos());
                return;
            }
            case EK::Raw: c_.Bytes(e.Text); return;
        }
    }

    // The member side of an access: calls there run in the target object, so the
    // class-level warnings about qualified calls do not apply.
    void MemberPart(const zsc::Expr& e) {
        if (e.Kind == EK::Call) {
            c_.Byte(0x08);
            c_.StringU(e.Text);
            c_.Long(int32_t(e.Items.size()));
            for (const auto& x : e.Items) Expr(*x);
            return;
        }
        Expr(e);
    }
};

// ---- parameters ------------------------------------------------------------

bool IsLiteral(const zsc::Expr& e) {
    switch (e.Kind) {
        case EK::Bool:
        case EK::Byte:
        case EK::Int:
        case EK::Float:
        case EK::Str: return true;
        case EK::Array:
            return std::all_of(e.Items.begin(), e.Items.end(), [](const ExprPtr& x) { return IsLiteral(*x); });
        default: return false;
    }
}

// The type a literal has on its own.
uint8_t LiteralType(const zsc::Expr& e) {
    switch (e.Kind) {
        case EK::Bool: return 1;
        case EK::Byte: return 2;
        case EK::Int: return 3;
        case EK::Float: return 4;
        case EK::Str: return 5;
        default: return 6;
    }
}

std::string FloatText(float f) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.7G", double(f));
    return buf;
}

ValueRecord LiteralValue(const zsc::Expr& e, uint8_t typ, std::string_view name) {
    ValueRecord v;
    v.Typ = typ;
    v.Name = name;
    uint8_t own = LiteralType(e);
    auto mismatch = [&]() -> CompileError {
        return CompileError(e.Pos, std::string("a default of type ") + TypeName(own) +
                                       " does not fit a parameter of type " + TypeName(typ));
    };
    switch (typ) {
        case 0:  // var: stored as its text form
            switch (e.Kind) {
                case EK::Bool: v.Text = e.Bool ? "True" : "False"; break;
                case EK::Byte:
                case EK::Int: v.Text = std::to_string(e.Int); break;
                case EK::Float: v.Text = FloatText(e.Float); break;
                case EK::Str: v.Text = e.Text; break;
                default: throw mismatch();
            }
            break;
        case 1:
            if (e.Kind != EK::Bool) throw mismatch();
            v.Bool = e.Bool;
            break;
        case 2:
            if (e.Kind == EK::Byte || (e.Kind == EK::Int && e.Int >= 0 && e.Int <= 255))
                v.Byte = uint8_t(e.Int);
            else if (e.Kind == EK::Int)
                throw CompileError(e.Pos, "default out of range for a byte parameter (0..255)");
            else
                throw mismatch();
            break;
        case 3:
            if (e.Kind != EK::Int && e.Kind != EK::Byte) throw mismatch();
            v.Long = e.Int;
            break;
        case 4:
            if (e.Kind == EK::Float)
                v.Single = e.Float;
            else if (e.Kind == EK::Int || e.Kind == EK::Byte)
                v.Single = float(e.Int);
            else
                throw mismatch();
            break;
        case 5:
            if (e.Kind != EK::Str) throw mismatch();
            v.Text = e.Text;
            break;
        case 6:
            if (e.Kind != EK::Array) throw mismatch();
            for (const auto& x : e.Items) v.Items.push_back(LiteralValue(*x, LiteralType(*x), ""));
            break;
        default: throw CompileError(e.Pos, "an object parameter takes no default");
    }
    return v;
}

ValueRecord ParamValue(const ParamDecl& p) {
    if (!p.Default) {
        ValueRecord v;
        v.Typ = uint8_t(p.Type == ptNone ? ptVar : p.Type);
        v.Name = p.Name;
        return v;  // the type's zero value ("" for var)
    }
    if (!IsLiteral(*p.Default))
        throw CompileError(p.Default->Pos,
                           "a parameter default must be a literal: a number, a text, true, false or a list of them");
    uint8_t typ = p.Type == ptNone ? LiteralType(*p.Default) : uint8_t(p.Type);
    if (typ == ptObject) throw CompileError(p.Default->Pos, "an object parameter takes no default");
    return LiteralValue(*p.Default, typ, p.Name);
}

// Names the class-level code assigns: the class's variables.
void CollectAssigned(const zsc::Stmt& s, std::set<std::string_view>& out) {
    if (s.Kind == SK::Assign && (s.Target->Kind == EK::Var || s.Target->Kind == EK::Path))
        out.insert(s.Target->Text);
    for (const auto* child : {s.Then, s.Else, s.Body, s.Init, s.Update})
        if (child) CollectAssigned(*child, out);
    for (const auto& c : s.Stmts) CollectAssigned(*c, out);
    for (const auto& sec : s.Sections)
        for (const auto& c : sec.Body) CollectAssigned(*c, out);
}

}  // namespace

bool IsReservedCallName(const std::string& name) {
    return ReservedCallNames().count(name) != 0 || name.find('.') != std::string::npos;
}

std::vector<ClassRecord> Emit(const Unit& unit, Diagnostics& diag) {
    std::vector<ClassRecord> out;
    out.reserve(unit.Classes.size());
    Code code;
    // Class variables per class index, own and inherited from classes of this unit.
    std::vector<std::set<std::string_view>> vars(unit.Classes.size());
    for (size_t ci = 0; ci < unit.Classes.size(); ++ci) {
        const ClassDecl& c = unit.Classes[ci];
        ClassRecord rec;
        rec.Name = c.Name;
        for (const auto& p : c.Parents) {
            // The loader resolves parents against the classes loaded before the
            // child; one that only comes later in this file would be dropped.
            bool earlier = false, later = false;
            for (size_t k = 0; k < unit.Classes.size(); ++k) {
                if (unit.Classes[k].Name != p.Name) continue;
                if (k < ci) earlier = true;
                if (k > ci) later = true;
            }
            if (!earlier && later)
                throw CompileError(p.Pos, "parent class " + Quote(p.Name) +
                                              " is declared later in this file; a parent must come before "
                                              "its children");
            rec.Parents.emplace_back(p.Name);
        }
        for (const auto& s : c.Init) CollectAssigned(*s, vars[ci]);
        for (const auto& p : c.Parents) {
            // The newest earlier class of that name is the one the loader takes.
            for (size_t k = ci; k-- > 0;)
                if (unit.Classes[k].Name == p.Name) {
                    vars[ci].insert(vars[k].begin(), vars[k].end());
                    break;
                }
        }

        std::set<std::string_view> seen;
        for (const auto& f : c.Funcs) {
            if (!seen.insert(f.Name).second)
                throw CompileError(f.Pos, "function " + Quote(f.Name) + " is already defined in class " +
                                              Quote(c.Name));
            if (f.Name.empty())
                throw CompileError(f.Pos, "a function needs a name");
            if (f.Name.find('.') != std::string_view::npos)
                diag.Warn(f.Pos, "function " + Quote(f.Name) +
                                     " can never be called by its name: a call of a name with '.' is a "
                                     "qualified call");
            else if (IsReservedCallName(std::string(f.Name)))
                diag.Warn(f.Pos, "function " + Quote(f.Name) +
                                     " can never be called by its plain name: the built-in of that name "
                                     "answers first (a qualified call Class::" +
                                     Cp1252ToUtf8(f.Name) + "(...) reaches it)");
            FunctionRecord fr;
            fr.Name = f.Name;
            if (f.Super) {
                fr.Super = true;
                if (f.SuperNamed) {
                    ValueRecord v;
                    v.Name = f.SuperParent;
                    fr.Params.push_back(v);
                    bool isParent = std::any_of(c.Parents.begin(), c.Parents.end(),
                                                [&](const ClassDecl::Parent& p) { return p.Name == f.SuperParent; });
                    if (!isParent)
                        diag.Warn(f.SuperParentPos, Quote(f.SuperParent) + " is not a parent of class " +
                                                        Quote(c.Name) + ": calling " + Quote(f.Name) +
                                                        " runs nothing");
                }
            } else {
                std::set<std::string_view> names;
                for (const auto& p : f.Params) {
                    if (!names.insert(p.Name).second)
                        throw CompileError(p.Pos, "parameter " + Quote(p.Name) + " is declared twice");
                    if (vars[ci].count(p.Name))
                        diag.Warn(p.Pos, "parameter " + Quote(p.Name) +
                                             " has the name of a class variable: the argument is written "
                                             "into that variable and no local is made");
                    fr.Params.push_back(ParamValue(p));
                }
                fr.Body = FunctionEmitter(code, diag, false, &c).Run(f.Body);
            }
            rec.Functions.push_back(std::move(fr));
        }
        rec.Init.Body = FunctionEmitter(code, diag, true).Run(List<StmtPtr>{const_cast<StmtPtr*>(c.Init.data()), c.Init.size()});
        out.push_back(std::move(rec));
    }
    return out;
}

}  // namespace zun::zsc
