#include "tools/zsc/zscDisasm.h"

#include <cmath>
#include <cstdio>
#include <cstring>


#include "core/zCore.h"
#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zFileSystem.h"
#include "core/zHostFile.h"
#include "core/zRuntime.h"
#include "core/zValues.h"
#include "tools/zsc/zscWriter.h"

namespace zun::zsc {

namespace {

struct Truncated {};
struct TooDeep {};

void AppendHex(std::string& s, const std::vector<uint8_t>& b, size_t from, size_t to) {
    static const char* d = "0123456789abcdef";
    for (size_t i = from; i < to; ++i) {
        if (i > from) s += ' ';
        s += d[b[i] >> 4];
        s += d[b[i] & 15];
    }
}

// A text for the listing: UTF-8, quoted, control characters escaped.
std::string Quoted(const std::string& cp1252, char quote = '"') {
    std::string out(1, quote);
    for (unsigned char c : cp1252) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == uint8_t(quote)) {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += Cp1252ToUtf8(std::string(1, char(c)));
        }
    }
    return out + quote;
}

std::string FloatText(float f) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", double(f));
    return buf;
}

const char* BinaryName(uint8_t c) {
    switch (c) {
        case 0x1E: return "==";
        case 0x1F: return "!=";
        case 0x20: return "<";
        case 0x21: return "<=";
        case 0x22: return ">";
        case 0x23: return ">=";
        case 0x3C: return "+";
        case 0x3D: return "-";
        case 0x3E: return "*";
        case 0x3F: return "/";
        case 0x40: return "^";
        case 0x41: return "% (mod / like)";
        case 0x42: return "!like";
        case 0x43: return "& (bit and / concat)";
        case 0x44: return "and";
        case 0x45: return "| (bit or)";
        case 0x46: return "or";
        default: return nullptr;
    }
}

class Lister {
public:
    Lister(const std::vector<uint8_t>& b, int indent) : b_(b), indent_(indent) {}

    std::string Run() {
        size_t p = 0;
        try {
            while (p < b_.size()) Statement(p);
        } catch (const Truncated&) {
            Rest("(ends inside a statement)");
        } catch (const TooDeep&) {
            Rest("(nesting too deep to list)");
        }
        return std::move(out_);
    }

private:
    const std::vector<uint8_t>& b_;
    int indent_;
    std::string out_;
    size_t listed_ = 0;  // bytes already shown on a line
    int depth_ = 0;

    // One listing line for the bytes listed_..to, written straight into the
    // listing. The listing nests as deep as the body; a sanitizer build keeps
    // the call stack of every allocation, and allocations made at every depth
    // make new stacks without end.
    void Line(size_t to, int level, std::string_view text) {
        char off[16];
        std::snprintf(off, sizeof off, "%04zx", listed_);
        out_.append(size_t(indent_), ' ');
        out_ += off;
        out_ += "  ";
        const size_t hexStart = out_.size();
        AppendHex(out_, b_, listed_, to);
        const size_t hex = out_.size() - hexStart;
        if (hex < 30) out_.append(30 - hex, ' ');
        out_ += "  ";
        out_.append(size_t(level) * 2, ' ');
        out_ += text;
        out_ += '\n';
        listed_ = to;
    }
    void Rest(std::string_view text) {
        if (listed_ < b_.size()) Line(b_.size(), 0, text);
    }

    void Need(size_t p, size_t n) const {
        if (n > b_.size() || p > b_.size() - n) throw Truncated();
    }
    uint8_t Byte(size_t& p) {
        Need(p, 1);
        return b_[p++];
    }
    int32_t Long(size_t& p) {
        Need(p, 4);
        uint32_t u = uint32_t(b_[p]) | uint32_t(b_[p + 1]) << 8 | uint32_t(b_[p + 2]) << 16 | uint32_t(b_[p + 3]) << 24;
        p += 4;
        return int32_t(u);
    }
    float Single(size_t& p) {
        int32_t v = Long(p);
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    // As the engine reads it: counts outside 1..65536 consume only the count.
    std::string StringU(size_t& p) {
        int32_t n = Long(p);
        if (n < 1 || n > 65536) {
            if (n != 0) return "<bad text length " + std::to_string(n) + ">";
            return Quoted("");
        }
        Need(p, size_t(n));
        std::u16string u;
        for (int32_t i = 0; i + 1 < n; i += 2) u += char16_t(b_[p + size_t(i)] | b_[p + size_t(i) + 1] << 8);
        p += size_t(n);
        return Quoted(Utf16ToCp1252(u));
    }
    std::string Target(int32_t t) const {
        char buf[32];
        std::snprintf(buf, sizeof buf, "-> %04x", unsigned(int64_t(t) - 1) & 0xFFFFFFFFu);
        if (t < 1) return std::string(buf) + " (before the body)";
        return buf;
    }

    struct Deeper {
        Lister& l;
        explicit Deeper(Lister& lister) : l(lister) {
            if (++l.depth_ > MaxListingDepth) throw TooDeep();
        }
        ~Deeper() { --l.depth_; }
    };

    void Statement(size_t& p) {
        uint8_t op = Byte(p);
        switch (op) {
            case 0x00: Line(p, 0, "nop"); return;
            case 0x02: {
                int32_t t = Long(p);
                Line(p, 0, "jump " + Target(t));
                return;
            }
            case 0x03:
                Line(p, 0, "return");
                Expr(p, 1);
                return;
            case 0x04: {
                uint8_t form = Byte(p);
                if (form == 0x05) {
                    std::string name = StringU(p);
                    Line(p, 0, "assign var " + name);
                } else if (form == 0x06) {
                    Line(p - 1, 0, "assign");
                    p -= 1;
                    Expr(p, 1);  // the path, read from its form byte
                    Expr(p, 1);
                    return;
                } else if (form == 0x09) {
                    Line(p - 1, 0, "assign");
                    p -= 1;
                    Expr(p, 1);  // the member access, read from its form byte
                    Expr(p, 1);
                    return;
                } else {
                    char buf[48];
                    std::snprintf(buf, sizeof buf, "assign with form %02x (ends here)", form);
                    Line(p, 0, buf);
                    return;
                }
                Expr(p, 1);
                return;
            }
            case 0x08:
                CallRecord(p, 0, "call");
                return;
            case 0x09:
                Line(p, 0, "member (its value becomes the result)");
                Expr(p, 1);
                Expr(p, 1);
                return;
            case 0x14:
                Line(p, 0, "if (true: skip the jump after the condition)");
                Expr(p, 1);
                return;
            case 0x15: {
                Line(p, 0, "select");
                Expr(p, 1);
                uint8_t n = Byte(p);
                Line(p, 1, std::to_string(n) + " case" + (n == 1 ? "" : "s"));
                for (int k = 0; k < n; ++k) {
                    Expr(p, 1);
                    Need(p, 5);
                    uint8_t j = b_[p];
                    p += 1;
                    int32_t t = Long(p);
                    if (j == 0x02)
                        Line(p, 2, "jump " + Target(t));
                    else
                        Line(p, 2, "(5 bytes where the case's jump belongs)");
                }
                return;
            }
            case 0x34:
            case 0x35:
                Line(p, 0, op == 0x34 ? "increment" : "decrement");
                Expr(p, 1);
                return;
            default: {
                char buf[48];
                std::snprintf(buf, sizeof buf, "skip (opcode %02x)", op);
                Line(p, 0, buf);
                return;
            }
        }
    }

    void CallRecord(size_t& p, int level, const char* what) {
        std::string name = StringU(p);
        int32_t argc = Long(p);
        Line(p, level, std::string(what) + " " + name + " (" + std::to_string(argc) + " argument" +
                           (argc == 1 ? "" : "s") + ")");
        for (int32_t i = 0; i < argc; ++i) {
            Need(p, 1);  // every argument is at least one byte: no spinning on a huge count
            Expr(p, level + 1);
        }
    }

    void Expr(size_t& p, int level) {
        Deeper guard(*this);
        uint8_t c = Byte(p);
        switch (c) {
            case 0x00:
            case 0xFF: Line(p, level, "empty"); return;
            case 0x04: {
                uint8_t form = Byte(p);
                if (form == 0x05) {
                    std::string name = StringU(p);
                    Line(p, level, "assign-value var " + name);
                } else if (form == 0x06) {
                    Line(p - 1, level, "assign-value");
                    p -= 1;
                    Expr(p, level + 1);
                } else {
                    char buf[48];
                    std::snprintf(buf, sizeof buf, "assign-value with form %02x (ends here)", form);
                    Line(p, level, buf);
                    return;
                }
                Expr(p, level + 1);
                return;
            }
            case 0x05: {
                std::string name = StringU(p);
                Line(p, level, "var " + name);
                return;
            }
            case 0x06: {
                std::string name = StringU(p);
                int32_t n = Long(p);
                Line(p, level, "path " + name + (n == 0 ? " [] (append)" : " [" + std::to_string(n) + " index" + (n == 1 ? "]" : "es]")));
                for (int32_t i = 0; i < n; ++i) {
                    Need(p, 1);
                    Expr(p, level + 1);
                }
                return;
            }
            case 0x07: {
                int32_t n = Long(p);
                Line(p, level, "array (" + std::to_string(n) + " item" + (n == 1 ? ")" : "s)"));
                for (int32_t i = 0; i < n; ++i) {
                    Need(p, 1);
                    Expr(p, level + 1);
                }
                return;
            }
            case 0x08: CallRecord(p, level, "call"); return;
            case 0x09:
                Line(p, level, "member");
                Expr(p, level + 1);
                Expr(p, level + 1);
                return;
            case 0x0A: {
                bool v = Byte(p) != 0;
                Line(p, level, std::string("bool ") + (v ? "true" : "false"));
                return;
            }
            case 0x0B: {
                uint8_t v = Byte(p);
                Line(p, level, "byte " + std::to_string(v));
                return;
            }
            case 0x0C: {
                int32_t v = Long(p);
                Line(p, level, "int " + std::to_string(v));
                return;
            }
            case 0x0D: {
                float v = Single(p);
                Line(p, level, "float " + FloatText(v));
                return;
            }
            case 0x0E:
            case 0x0F: {
                std::string s = StringU(p);
                Line(p, level, std::string(c == 0x0E ? "str " : "str' ") + s);
                return;
            }
            case 0x16: Line(p, level, "selected"); return;
            case 0x17: Line(p, level, "this"); return;
            case 0x28:
            case 0x32:
            case 0x33:
                Line(p, level, c == 0x28 ? "isset" : c == 0x32 ? "not" : "negate");
                Expr(p, level + 1);
                return;
            case 0x29: {
                Line(p, level, "in");
                Expr(p, level + 1);
                Byte(p);
                int32_t e = Long(p);
                char buf[64];
                std::snprintf(buf, sizeof buf, "(after a match: continue at %04x)", unsigned(e));
                Line(p, level + 1, buf);
                Expr(p, level + 1);
                return;
            }
            default: {
                const char* name = BinaryName(c);
                char buf[64];
                if (!name) std::snprintf(buf, sizeof buf, "operator %02x (no meaning: empty result)", c);
                Line(p, level, name ? name : buf);
                Expr(p, level + 1);
                Expr(p, level + 1);
                return;
            }
        }
    }
};

std::string DefaultText(const ValueRecord& v) {
    switch (v.Typ) {
        case 0: return Quoted(v.Text);
        case 1: return v.Bool ? "true" : "false";
        case 2: return "0b" + std::to_string(v.Byte);
        case 3: return std::to_string(v.Long);
        case 4: return FloatText(v.Single);
        case 5: return Quoted(v.Text);
        case 6: {
            std::string s = "[";
            for (size_t i = 0; i < v.Items.size(); ++i) {
                if (i) s += ", ";
                const auto& item = v.Items[i];
                if (!item.Name.empty()) s += Cp1252ToUtf8(item.Name) + ": ";
                s += item.Typ == 7 ? "object" : item.Typ == 0 ? "var " + DefaultText(item) : DefaultText(item);
            }
            return s + "]";
        }
        default: return "";
    }
}

}  // namespace

std::string DisasmBody(const std::vector<uint8_t>& body, int indent) { return Lister(body, indent).Run(); }

std::string FormatParam(const ValueRecord& v) {
    std::string s = std::string(v.Typ < 8 ? TypeName(v.Typ) : "type" + std::to_string(v.Typ)) + " " +
                    Cp1252ToUtf8(v.Name);
    bool zero = (v.Typ == 0 || v.Typ == 5) ? v.Text.empty()
                : v.Typ == 1                ? !v.Bool
                : v.Typ == 2                ? v.Byte == 0
                : v.Typ == 3                ? v.Long == 0
                : v.Typ == 4                ? v.Single == 0 && !std::signbit(v.Single)
                : v.Typ == 6                ? v.Items.empty()
                                            : true;
    if (!zero) s += " = " + DefaultText(v);
    return s;
}

std::string DisasmClass(const ClassRecord& c) {
    std::string out = "class " + Quoted(c.Name) + "\n";
    if (!c.Parents.empty()) {
        out += "  inherits";
        for (const auto& p : c.Parents) out.append(1, ' ').append(Quoted(p));
        out += "\n";
    }
    auto function = [&](const FunctionRecord& f, const std::string& title) {
        if (f.Super) {
            out += "  " + title + " = super";
            if (!f.Params.empty()) out += "(" + Cp1252ToUtf8(f.Params[0].Name) + ")";
            out += "\n";
            if (!f.Body.empty()) out += "    (body of " + std::to_string(f.Body.size()) + " bytes, not run)\n";
            return;
        }
        out += "  " + title + "(";
        for (size_t i = 0; i < f.Params.size(); ++i) out += (i ? ", " : "") + FormatParam(f.Params[i]);
        out += ")  [" + std::to_string(f.Body.size()) + " bytes]\n";
        out += DisasmBody(f.Body, 4);
    };
    for (const auto& f : c.Functions) function(f, "func " + Quoted(f.Name));
    function(c.Init, "init");
    return out;
}

namespace {

std::string MetaText(const zValues& meta) {
    std::string out;
    std::vector<std::string> names;
    auto add = [&](const char* type, const std::string& name, const std::string& value) {
        out += std::string("  meta ") + type + " " + Quoted(name) + " = " + value + "\n";
    };
    names.clear();
    if (meta.GetStringList(names) >= 0)
        for (const auto& n : names) add("String", n, Quoted(meta.GetString(n)));
    names.clear();
    if (meta.GetByteList(names) >= 0)
        for (const auto& n : names) add("Byte", n, std::to_string(meta.GetByte(n)));
    names.clear();
    if (meta.GetLongList(names) >= 0)
        for (const auto& n : names) add("Long", n, std::to_string(meta.GetLong(n)));
    names.clear();
    if (meta.GetSingleList(names) >= 0)
        for (const auto& n : names) add("Single", n, FloatText(meta.GetSingle(n)));
    if (!meta.TemplateGUID.empty()) out += "  meta template " + Quoted(meta.TemplateGUID) + "\n";
    return out.empty() ? "  meta (empty)\n" : out;
}

}  // namespace

bool DisasmFile(const std::string& hostPath, std::string& out) {
    HostFile opened;
    std::string why;
    if (!OpenHostFile(hostPath, opened, why)) {
        out = "cannot open '" + hostPath + "': " + why;
        return false;
    }
    std::vector<uint8_t> raw;
    if (!ReadHostFileRest(opened, size_t(MaxUnpackedSize), raw, why)) {
        out = why == "file is too large" ? "'" + hostPath + "' is too large for a compiled script file"
                                         : "cannot read '" + hostPath + "': " + why;
        return false;
    }

    // The container and the chunk table log why they refuse a file.
    std::string reasons;
    auto previous = gCoreHooks.OnLogEntry;
    gCoreHooks.OnLogEntry = [&](const std::string& line, const std::vector<LogValue>&) {
        reasons += (reasons.empty() ? "" : "; ") + line;
    };
    struct Restore {
        decltype(previous)& p;
        ~Restore() { gCoreHooks.OnLogEntry = p; }
    } restore{previous};
    auto fail = [&](const std::string& what) {
        for (auto& c : reasons)
            if (c == '\t') c = ' ';
        out = "'" + hostPath + "': " + what + (reasons.empty() ? "" : " (" + Cp1252ToUtf8(reasons) + ")");
        return false;
    };

    std::vector<uint8_t> data;
    if (!LoadDataBytes(raw, data, "", FromHostPath(hostPath))) return fail("not a readable data file");
    int32_t flags = raw.size() >= 16 ? int32_t(raw[12] | raw[13] << 8 | raw[14] << 16 | raw[15] << 24) : 0;
    zStream payload(std::move(data));
    zFile file;
    if (!file.LoadFromStream(&payload)) return fail("not a chunk file");

    out = "file " + Quoted(hostPath) + ": " + std::to_string(file.ChunkCount()) + " chunk" +
          (file.ChunkCount() == 1 ? "" : "s") + ((flags & DataFlagPacked) ? ", packed" : ", plain") + "\n";
    for (int32_t i = 1; i <= file.ChunkCount(); ++i) {
        auto chunk = file.GetChunk(i);
        out += "\nchunk " + std::to_string(i) + ": " + Quoted(chunk->ContentName) + " version " +
               std::to_string(chunk->ContentVersion) + ", GUID " + Quoted(chunk->GUID) + ", " +
               std::to_string(chunk->Data.GetLength()) + " bytes\n";
        if (chunk->ContentName != "zScriptClass") {
            out += "  (not a script class)\n";
            continue;
        }
        ClassRecord c;
        zValues meta;
        try {
            chunk->Data.Cursor = 0;
            ImportClass(chunk->Data, c);
            meta.Import(chunk->Data);
        } catch (const std::exception& e) {
            out += "  (class chunk unreadable: " + Cp1252ToUtf8(e.what()) + ")\n";
            continue;
        }
        out += DisasmClass(c);
        out += MetaText(meta);
        int32_t left = chunk->Data.GetLength() - chunk->Data.Cursor;
        if (left > 0) out += "  (" + std::to_string(left) + " bytes after the meta record)\n";
    }
    return true;
}

}  // namespace zun::zsc
