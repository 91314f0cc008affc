// Reading level descriptions: lines into statements, statements into the
// description. Nothing here trusts the text: every number is checked, every
// block must be closed, and sizes are bounded before anything is kept.
#include <algorithm>
#include <charconv>
#include <sstream>

#include "core/zRuntime.h"
#include "core/zStream.h"
#include "tools/democontent/DemoLevel.h"
#include "tools/democontent/DemoText.h"

namespace tarv::demo {

namespace {

struct Reader {
    const std::string& file;
    std::vector<std::string>& errors;
    int line = 0;

    void Fail(const std::string& message) {
        // A description with very many faults says so once it has said enough.
        if (errors.size() < 50) errors.push_back(file + ":" + std::to_string(line) + ": " + message);
    }
};

bool Words(const std::string& text, std::vector<Prop>& out, Reader& r) {
    std::string error;
    if (SplitStatement(text, out, error)) return true;
    r.Fail(error);
    return false;
}

bool Whole(const std::string& s, int64_t& v) {
    if (s.empty()) return false;
    const char* b = s.data();
    const char* e = b + s.size();
    if (*b == '+') ++b;
    auto [p, ec] = std::from_chars(b, e, v);
    return ec == std::errc() && p == e;
}

std::string FirstWord(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? "" : line.substr(first, line.find_first_of(" \t", first) - first);
}

// A line that starts with a statement's keyword is never a legend line (a
// legend's character stands alone before its tile), and in a grid it is a
// statement when it is no row of the grid.
bool IsKeyword(const std::string& word) {
    static const char* const kKeywords[] = {
        "level",      "size",  "tileset",  "values", "material", "legend", "ground",
        "groundmask", "walls", "wallmask", "roof",   "collide",  "item",   "door",
        "light",      "char",  "deco",     "area",   "particle", "sound",  "picture"};
    return std::find(std::begin(kKeywords), std::end(kKeywords), word) != std::end(kKeywords);
}

}  // namespace

bool SplitStatement(const std::string& text, std::vector<Prop>& out, std::string& error) {
    out.clear();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size() || text[i] == '#') break;
        Prop p;
        std::string cur;
        bool inKey = true, quoted = false;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
            const char c = text[i];
            if (c == '=' && inKey && !quoted) {
                p.Key = cur;
                cur.clear();
                inKey = false;
                ++i;
                continue;
            }
            if (c == '"') {
                ++i;
                bool closed = false;
                while (i < text.size()) {
                    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
                        cur += text[i + 1];
                        i += 2;
                        continue;
                    }
                    if (text[i] == '"') {
                        closed = true;
                        ++i;
                        break;
                    }
                    cur += text[i++];
                }
                if (!closed) {
                    error = "unclosed quote";
                    return false;
                }
                quoted = true;
                continue;
            }
            cur += c;
            ++i;
        }
        if (inKey) p.Key = cur;
        else p.Value = cur;
        // Every word may end up as a stored text, and a text the stream cannot
        // hold would be lost without a word when the file is written.
        if (p.Key.size() > size_t(zun::zStream::MaxTextCount) ||
            p.Value.size() > size_t(zun::zStream::MaxTextCount)) {
            error = "a word longer than " + std::to_string(zun::zStream::MaxTextCount) + " bytes";
            return false;
        }
        p.Assigned = !inKey;
        p.Quoted = quoted;
        if (inKey && quoted) {
            // A bare quoted word is a value without a key.
            p.Value = p.Key;
            p.Key.clear();
        }
        out.push_back(std::move(p));
    }
    return true;
}

const Prop* PropList::Find(const std::string& key) const {
    for (const Prop& p : List)
        if (p.Key == key) return &p;
    return nullptr;
}

bool ParseLevel(const std::string& text, const std::string& file, LevelDesc& out, std::vector<std::string>& errors) {
    out = LevelDesc{};
    out.File = file;
    const size_t errorsBefore = errors.size();
    Reader r{file, errors};
    if (text.size() > kMaxLevelText) {
        r.Fail("description too long");
        return false;
    }
    std::istringstream in(text);
    std::string raw;
    enum class Block { None, Legend, Grid } block = Block::None;
    int grid = -1;
    std::string blockName;  // and the line that opened it, for a missing 'end'
    int blockLine = 0;
    // A statement met inside a block means its 'end' was left out: said once,
    // and the statement is read as one.
    auto endMissing = [&](const std::string& line) {
        const std::string word = FirstWord(line);
        if (!IsKeyword(word)) return false;
        r.Fail("the " + blockName + " of line " + std::to_string(blockLine) + " has no 'end' before this '" +
               word + "'");
        block = Block::None;
        return true;
    };
    bool sized = false;
    std::vector<Prop> w;
    while (std::getline(in, raw)) {
        ++r.line;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        if (block == Block::Grid) {
            // Grid rows are taken as written, so that '#' and blanks can be cells.
            if (raw == "end" || raw.rfind("end ", 0) == 0 || raw.rfind("end\t", 0) == 0) {
                block = Block::None;
                continue;
            }
            auto& rows = out.Grids[size_t(grid)];
            const bool fits =
                int32_t(rows.size()) < out.Rows && int32_t(raw.size()) <= out.Cols &&
                std::all_of(raw.begin(), raw.end(), [&](char c) { return c == ' ' || out.Legend.count(c); });
            // A row that fits the grid is one, whatever it spells.
            if (fits || !endMissing(raw)) {
                if (int32_t(rows.size()) >= out.Rows) {
                    r.Fail("more grid rows than the level has (" + std::to_string(out.Rows) + ")");
                    continue;
                }
                if (int32_t(raw.size()) > out.Cols) {
                    r.Fail("grid row longer than the level is wide (" + std::to_string(out.Cols) + ")");
                    raw.resize(size_t(out.Cols));
                }
                for (char c : raw)
                    if (c != ' ' && !out.Legend.count(c)) {
                        r.Fail("grid character '" + Clip(std::string(1, c)) + "' is not in the legend");
                        break;
                    }
                rows.push_back(raw);
                continue;
            }
        }
        if (block == Block::Legend && !endMissing(raw)) {
            // The symbol is taken as written ('=' and quotes included); only
            // '#' cannot be one, as it starts a comment.
            const size_t first = raw.find_first_not_of(" \t");
            if (first == std::string::npos || raw[first] == '#') continue;
            std::string rest = raw.substr(first + 1);
            if (!Words(rest, w, r)) continue;
            if (raw.compare(first, 3, "end") == 0 && raw.find_first_not_of(" \t", first + 3) == std::string::npos) {
                block = Block::None;
                continue;
            }
            if (rest.empty() || (rest[0] != ' ' && rest[0] != '\t') || w.empty() || w[0].Assigned || w[0].Quoted ||
                w[0].Key.empty()) {
                r.Fail("a legend line is a character and a tile name");
                continue;
            }
            const char symbol = raw[first];
            LegendEntry e;
            e.Tile = w[0].Key;
            e.Line = r.line;
            for (size_t i = 1; i < w.size(); ++i) {
                const Prop& p = w[i];
                int64_t v = 0;
                if (p.Key == "solid" && !p.Assigned) e.Solid = true;
                else if (p.Key == "water" && !p.Assigned) e.Water = true;
                else if (p.Key == "material" && !p.Value.empty()) e.Material = p.Value;
                else if (p.Key == "rot" && Whole(p.Value, v) && v >= 0 && v <= 3) e.Rot = uint8_t(v);
                else r.Fail("unknown legend property '" + Clip(p.Key) + "'");
            }
            if (out.Legend.count(symbol))
                r.Fail("legend character '" + Clip(std::string(1, symbol)) + "' given twice");
            else out.Legend[symbol] = e;
            continue;
        }
        if (!Words(raw, w, r) || w.empty()) continue;
        const std::string& head = w[0].Key;
        if (w[0].Quoted || w[0].Assigned) {
            r.Fail("a statement starts with its keyword");
            continue;
        }
        auto count = [&](size_t lo, size_t hi) {
            if (w.size() < lo || w.size() > hi) {
                r.Fail("'" + head + "' takes " + std::to_string(lo - 1) +
                       (hi == lo ? "" : " to " + std::to_string(hi - 1)) + " words");
                return false;
            }
            return true;
        };
        auto props = [&](size_t from, PropList& pl) {
            for (size_t i = from; i < w.size(); ++i) {
                if (w[i].Key.empty()) {
                    r.Fail("a property needs a name: NAME=VALUE");
                    continue;
                }
                // A bare word is a switch that is on.
                if (!w[i].Assigned && !w[i].Quoted) w[i].Value = "1";
                w[i].Key = zun::Utf8ToCp1252(w[i].Key);
                w[i].Value = zun::Utf8ToCp1252(w[i].Value);
                pl.List.push_back(w[i]);
            }
        };
        if (head == "level") {
            if (!count(2, 2)) continue;
            const std::string& n = w[1].Quoted ? w[1].Value : w[1].Key;
            if (n.find_first_of("/\\:") != std::string::npos || !FileNameFault(n).empty() || n == "." ||
                n == "..")
                r.Fail("a level name is a plain file name");
            else out.Name = n;
            out.NameLine = r.line;
        } else if (head == "size") {
            int64_t c = 0, h = 0;
            if (!count(3, 3)) continue;
            if (!Whole(w[1].Key, c) || !Whole(w[2].Key, h) || c < 1 || h < 1 || c > kMaxLevelCells || h > kMaxLevelCells) {
                r.Fail("size takes two whole numbers from 1 to " + std::to_string(kMaxLevelCells));
                continue;
            }
            if (sized) r.Fail("size given twice");
            out.Cols = int32_t(c);
            out.Rows = int32_t(h);
            sized = true;
        } else if (head == "tileset") {
            if (!count(2, 2)) continue;
            out.TileSheet = w[1].Quoted ? w[1].Value : w[1].Key;
            out.TileSheetLine = r.line;
        } else if (head == "values") {
            props(1, out.Values);
            for (size_t i = 1; i < w.size(); ++i)
                if (w[i].Key == "class") out.ClassLine = r.line;
        } else if (head == "material") {
            if (w.size() < 2 || w[1].Key.empty() || w[1].Assigned || w[1].Quoted) {
                r.Fail("material takes a name and values");
                continue;
            }
            PropList pl;
            props(2, pl);
            out.Materials.emplace_back(w[1].Key, pl);
        } else if (head == "legend") {
            if (!count(1, 1)) continue;
            block = Block::Legend;
            blockName = head;
            blockLine = r.line;
        } else if (head == "ground" || head == "groundmask" || head == "walls" || head == "wallmask" || head == "roof") {
            if (!count(1, 1)) continue;
            if (!sized) {
                r.Fail("a grid needs the level's size first");
                continue;
            }
            grid = head == "ground" ? kGround : head == "groundmask" ? kGroundMask : head == "walls" ? kWalls
                   : head == "wallmask" ? kWallMask : kRoof;
            if (!out.Grids[size_t(grid)].empty()) r.Fail("grid '" + head + "' given twice");
            out.Grids[size_t(grid)].clear();
            block = Block::Grid;
            blockName = "grid '" + head + "'";
            blockLine = r.line;
        } else if (head == "collide") {
            if (!count(5, 6)) continue;
            int64_t v[5] = {0, 0, 0, 0, 255};
            bool ok = true;
            for (size_t i = 1; i < w.size(); ++i) ok = ok && Whole(w[i].Key, v[i - 1]);
            if (!ok || v[2] < 1 || v[3] < 1 || v[4] < 0 || v[4] > 255 || v[0] < -kMaxLevelCells ||
                v[1] < -kMaxLevelCells || v[0] > kMaxLevelCells || v[1] > kMaxLevelCells || v[2] > kMaxLevelCells ||
                v[3] > kMaxLevelCells) {
                r.Fail("collide takes X Y W H [CODE] in cells, W and H at least 1, CODE 0..255");
                continue;
            }
            out.Collide.push_back(CollideRect{int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3]), uint8_t(v[4])});
        } else if (head == "item" || head == "door" || head == "light" || head == "char" || head == "deco" ||
                   head == "area" || head == "particle" || head == "sound") {
            LevelStatement s;
            s.Kind = head;
            s.Line = r.line;
            props(1, s.Props);
            out.Objects.push_back(std::move(s));
        } else if (head == "picture") {
            if (w.size() < 2 || (w[1].Key != "fog" && w[1].Key != "clouds" && w[1].Key != "water")) {
                r.Fail("picture takes fog, clouds or water");
                continue;
            }
            LevelStatement s;
            s.Kind = head;
            s.Sub = w[1].Key;
            s.Line = r.line;
            props(2, s.Props);
            out.Objects.push_back(std::move(s));
        } else {
            r.Fail("unknown statement '" + Clip(head) + "'");
        }
    }
    r.line += 1;
    if (block != Block::None)
        r.Fail("the " + blockName + " of line " + std::to_string(blockLine) + " is not closed with 'end'");
    if (out.Name.empty()) r.Fail("no 'level' statement");
    if (!sized) r.Fail("no 'size' statement");
    if (out.TileSheet.empty()) r.Fail("no 'tileset' statement");
    return errors.size() == errorsBefore;
}

}  // namespace tarv::demo
