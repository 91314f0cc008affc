// Building a level file from its description through the scene layers' own
// classes: tile maps with their tile set, the collision and water maps
// derived from the legend, the material regions, the item, area and emitter
// layers, the picture layers and the level values, each a named chunk.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>

#include "core/zDataFile.h"
#include "core/zFile.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "core/zValues.h"
#include "game/shell/gLevelBounds.h"
#include "scene/zCollisionMap.h"
#include "scene/zDataShape.h"
#include "scene/zEmitterMap.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zObjectsMap.h"
#include "scene/zParticleEmitter.h"
#include "scene/zPictureLayer.h"
#include "scene/zShape.h"
#include "scene/zSoundEmitter.h"
#include "scene/zSprite.h"
#include "scene/zTileMap.h"
#include "scene/zTileSet.h"
#include "scene/zValueSetMap.h"
#include "tools/democontent/DemoLevel.h"
#include "tools/democontent/DemoText.h"

namespace tarv::demo {

using namespace zun;

const char* const kLevelChunkNames[19] = {
    "solidGround", "maskGround", "solidWalls", "maskWalls", "maskRoof",   "mapDoors",   "mapItems",
    "mapLights",   "mapChars",   "mapDeco",    "picFog",    "picClouds",  "picWater",   "mapCollision",
    "mapWater",    "mapAreas",   "mapMaterials", "mapEmitters", "mapValues"};

namespace {

// Cell size of the layers that keep objects in buckets: large enough that
// the hit tests' look at the neighbouring cells finds the sprites.
constexpr int32_t kBucketSize = 64;
// Anything placed farther out than this is a slip of the pen.
constexpr double kMaxCoordinate = 65536.0;

// Depths: the ground far away, walls and things sorted with the characters
// (0.8 at the top of the view, 0.5 at the bottom), roofs, clouds and fog in front.
struct LayerDepths {
    float Top, Bottom;
};
constexpr LayerDepths kGridDepth[kGridCount] = {{0.95f, 0.95f}, {0.94f, 0.94f}, {0.8f, 0.5f}, {0.8f, 0.5f}, {0.2f, 0.2f}};

// The keys each kind of statement reads; "$NAME" values are allowed where
// the object keeps them.
const std::vector<std::string> kPlacedKeys = {"name",  "class", "sprite",  "frame",   "x",       "y",
                                              "cell",  "foot",  "z",       "r",       "zoom",    "zoomx",
                                              "zoomy", "alpha", "color",   "visible", "shadow",  "mirrored",
                                              "collides"};

std::vector<std::string> KeysOf(const std::string& kind, bool& values) {
    values = kind != "sound" && kind != "picture";
    if (kind == "light") {
        std::vector<std::string> keys = kPlacedKeys;
        keys.push_back("size");
        return keys;
    }
    if (kind == "item" || kind == "door" || kind == "char" || kind == "deco") return kPlacedKeys;
    if (kind == "area") return {"name", "class", "rect", "cells", "ellipse"};
    if (kind == "particle") return {"manager", "x", "y", "cell", "foot", "z", "r"};
    if (kind == "sound") return {"file", "x", "y", "cell", "foot", "z", "r", "fade", "mode", "volume", "speed"};
    return {"texture", "stretch", "z", "movex", "movey", "parallax", "zoom", "x", "y"};
}

class Builder {
public:
    Builder(const LevelDesc& d, const ArtCatalogue& a, const TextureLookup& t, const ScriptClasses* c,
            std::vector<std::string>& e)
        : desc(d), art(a), textures(t), classes(c), errors(e) {}

    const LevelDesc& desc;
    const ArtCatalogue& art;
    const TextureLookup& textures;
    const ScriptClasses* classes;  // null: not checked
    std::vector<std::string>& errors;
    int line = 0;

    void Fail(const std::string& message) {
        if (errors.size() < 50) errors.push_back(desc.File + ":" + std::to_string(line) + ": " + message);
    }

    // A deterministic GUID per chunk, so that the same description always
    // gives the same file.
    std::string Guid(const std::string& chunk) const {
        uint64_t h1 = 1469598103934665603ull, h2 = 0x9E3779B97F4A7C15ull;
        for (unsigned char c : desc.Name + "/" + chunk) {
            h1 = (h1 ^ c) * 1099511628211ull;
            h2 = (h2 + c) * 0xBF58476D1CE4E5B9ull;
            h2 ^= h2 >> 31;
        }
        static const char* hex = "0123456789ABCDEF";
        std::string g;
        for (uint64_t h : {h1, h2})
            for (int i = 15; i >= 0; --i) g += hex[(h >> (4 * i)) & 15];
        return g;
    }

    template <class T>
    std::shared_ptr<T> Named(std::shared_ptr<T> obj, const std::string& name) {
        if (!obj->Meta) obj->Meta = std::make_shared<zValues>();
        obj->Meta->SetString("__Name", name);
        obj->SetGUID(Guid(name));
        return obj;
    }

    // ---- property readers ------------------------------------------------

    bool Number(const PropList& p, const std::string& key, double& v, double lo, double hi) {
        const Prop* pr = p.Find(key);
        if (!pr) return false;
        double x = 0;
        const char* b = pr->Value.data();
        const char* e = b + pr->Value.size();
        if (b != e && *b == '+') ++b;
        auto [end, ec] = std::from_chars(b, e, x);
        if (ec != std::errc() || end != e || !std::isfinite(x) || x < lo || x > hi) {
            Fail("'" + key + "' must be a number from " + FormatDouble(lo) + " to " + FormatDouble(hi));
            return false;
        }
        v = x;
        return true;
    }
    double Num(const PropList& p, const std::string& key, double def, double lo, double hi) {
        double v = def;
        Number(p, key, v, lo, hi);
        return v;
    }
    bool Flag(const PropList& p, const std::string& key, bool def) {
        double v = def ? 1 : 0;
        Number(p, key, v, 0, 1);
        return v != 0;
    }
    std::string Text(const PropList& p, const std::string& key, const std::string& def = "") {
        const Prop* pr = p.Find(key);
        return pr ? pr->Value : def;
    }
    // "A,B" or "A,B,C,D" into numbers.
    bool Tuple(const PropList& p, const std::string& key, double* out, int n) {
        const Prop* pr = p.Find(key);
        if (!pr) return false;
        std::string s = pr->Value;
        int got = 0;
        size_t start = 0;
        while (got < n && start <= s.size()) {
            size_t comma = s.find(',', start);
            if (comma == std::string::npos) comma = s.size();
            const std::string part = s.substr(start, comma - start);
            double x = 0;
            auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), x);
            if (part.empty() || ec != std::errc() || end != part.data() + part.size() || !std::isfinite(x) ||
                std::fabs(x) > kMaxCoordinate)
                break;
            out[got++] = x;
            start = comma + 1;
            if (comma == s.size()) break;
        }
        if (got != n || start < s.size()) {
            Fail("'" + key + "' takes " + std::to_string(n) + " numbers separated by commas");
            return false;
        }
        return true;
    }
    // Position: x= and y= in pixels, or the centre (cell=) or the foot (foot=) of a cell.
    bool Position(const PropList& p, double& x, double& y) {
        double c[2];
        if (p.Has("cell")) {
            if (!Tuple(p, "cell", c, 2)) return false;
            x = c[0] * kTileSize + kTileSize / 2;
            y = c[1] * kTileSize + kTileSize / 2;
        } else if (p.Has("foot")) {
            if (!Tuple(p, "foot", c, 2)) return false;
            x = c[0] * kTileSize + kTileSize / 2;
            y = c[1] * kTileSize + kTileSize - 1;
        } else if (p.Has("x") && p.Has("y")) {
            if (!Number(p, "x", x, -kMaxCoordinate, kMaxCoordinate) || !Number(p, "y", y, -kMaxCoordinate, kMaxCoordinate))
                return false;
        } else {
            Fail("a position is needed: x= and y=, cell= or foot=");
            return false;
        }
        return true;
    }
    // "$NAME=VALUE" properties into a value store.
    void Values(const PropList& p, zValues& v) {
        for (const Prop& pr : p.List) {
            if (pr.Key.size() < 2 || pr.Key[0] != '$') continue;
            const std::string name = pr.Key.substr(1);
            StoreValue(name, pr, v);
        }
    }
    void StoreValue(const std::string& name, const Prop& pr, zValues& v) {
        if (!pr.Quoted) {
            int64_t whole = 0;
            double real = 0;
            const char* b = pr.Value.data();
            const char* e = b + pr.Value.size();
            auto [p1, e1] = std::from_chars(b, e, whole);
            if (e1 == std::errc() && p1 == e && whole >= INT32_MIN && whole <= INT32_MAX) {
                v.SetLong(name, int32_t(whole));
                return;
            }
            auto [p2, e2] = std::from_chars(b, e, real);
            if (e2 == std::errc() && p2 == e && std::isfinite(real) && std::fabs(real) < 3e38) {
                v.SetSingle(name, float(real));
                return;
            }
        }
        v.SetString(name, pr.Value);
    }
    int32_t Texture(const std::string& file) {
        if (!art.FindSheet(file)) {
            std::vector<std::string> files;
            for (const ArtSheet& s : art.Sheets) files.push_back(s.File);
            Fail("no picture '" + Clip(file) + "' among the pictures" + Suggest(file, files, ""));
            return 0;
        }
        const int32_t t = textures(file);
        if (t <= 0) Fail("picture '" + file + "' could not be loaded");
        return t;
    }

    // ---- checks --------------------------------------------------------------

    // A misspelt key would otherwise be dropped without a word.
    void CheckKeys(const LevelStatement& s) {
        bool values = false;
        const std::vector<std::string> keys = KeysOf(s.Kind, values);
        for (const Prop& p : s.Props.List) {
            if (values && p.Key.size() >= 2 && p.Key[0] == '$') continue;
            if (std::find(keys.begin(), keys.end(), p.Key) != keys.end()) continue;
            Fail("unknown key '" + Clip(p.Key) + "' on " + s.Kind + Suggest(p.Key, keys, "it takes"));
        }
    }

    // A class the game does not have gives the thing no script object, and
    // at run time that is only an error in the log.
    void CheckClass(const std::string& cls) {
        if (!classes || cls.empty() || classes->count(cls)) return;
        std::vector<std::string> names;
        for (const auto& c : *classes) names.push_back(c.first);
        Fail("no class '" + Clip(cls) + "' in the compiled scripts" + Suggest(cls, names, ""));
    }

    // Tiles and materials are named on the legend's lines, so that is where
    // a wrong name is reported, used in a grid or not.
    void CheckLegend() {
        auto tiles = art.Tiles.find(desc.TileSheet);
        std::vector<std::string> tileNames, materialNames;
        if (tiles != art.Tiles.end())
            for (const auto& t : tiles->second) tileNames.push_back(t.first);
        for (const auto& m : desc.Materials) materialNames.push_back(m.first);
        for (const auto& [symbol, e] : desc.Legend) {
            line = e.Line;
            if (tiles != art.Tiles.end() && !e.Tile.empty() && e.Tile != "-" && !art.FindTile(desc.TileSheet, e.Tile))
                Fail("no tile '" + Clip(e.Tile) + "' in '" + desc.TileSheet + "'" + Suggest(e.Tile, tileNames, "its tiles"));
            if (!e.Material.empty() &&
                std::find(materialNames.begin(), materialNames.end(), e.Material) == materialNames.end()) {
                const std::string hint = Suggest(e.Material, materialNames, "the materials");
                Fail("no material '" + Clip(e.Material) + "'" +
                     (hint.rfind(" (did", 0) == 0 ? hint
                                                  : ": describe it with a 'material " + Clip(e.Material) + " KEY=VALUE' line"));
            }
        }
        line = 0;
    }

    // A place outside the level is a slip: nobody could ever reach it.
    bool Inside(const LevelStatement& s, double x, double y) {
        const double w = double(desc.Cols) * kTileSize, h = double(desc.Rows) * kTileSize;
        if (x >= 0 && y >= 0 && x < w && y < h) return true;
        const std::string name = Text(s.Props, "name");
        Fail(s.Kind + (name.empty() ? "" : " '" + Clip(name) + "'") + " at " + FormatDouble(x) + "," + FormatDouble(y) +
             " is outside the level (x 0 to " + FormatDouble(w - 1) + ", y 0 to " + FormatDouble(h - 1) +
             " pixels): place it inside");
        return false;
    }

    // ---- layers ------------------------------------------------------------

    const LegendEntry* Cell(int layer, int32_t x, int32_t y) const {
        const auto& rows = desc.Grids[size_t(layer)];
        if (y < 0 || size_t(y) >= rows.size() || x < 0 || size_t(x) >= rows[size_t(y)].size()) return nullptr;
        const char c = rows[size_t(y)][size_t(x)];
        if (c == ' ') return nullptr;
        auto it = desc.Legend.find(c);
        return it == desc.Legend.end() ? nullptr : &it->second;
    }

    std::shared_ptr<zTileSet> MakeTileSet() {
        // The tile set is reached through the tile maps, not by a name.
        auto ts = std::make_shared<zTileSet>();
        ts->SetGUID(Guid("tiles"));
        ts->SetTileSize(kTileSize);
        auto tiles = art.Tiles.find(desc.TileSheet);
        if (tiles == art.Tiles.end()) {
            std::vector<std::string> sheets;
            for (const auto& s : art.Tiles) sheets.push_back(s.first);
            line = desc.TileSheetLine;
            Fail((art.FindSheet(desc.TileSheet) ? "'" + Clip(desc.TileSheet) + "' is not a tile sheet"
                                                : "no tile sheet '" + Clip(desc.TileSheet) + "'") +
                 Suggest(desc.TileSheet, sheets, "the tile sheets"));
            line = 0;
            return ts;
        }
        line = desc.TileSheetLine;
        ts->Texture = Texture(desc.TileSheet);
        line = 0;
        for (const auto& [name, def] : tiles->second) {
            zTile* t = ts->GetTile(def.Index);
            if (!t) continue;
            t->x = def.CellX;
            t->y = def.CellY;
            t->Z = def.Z;
            t->FramesX = def.FramesX;
            t->AniSpeed = def.AniSpeed;
        }
        return ts;
    }

    std::shared_ptr<zTileMap> MakeTileMap(int layer, const std::shared_ptr<zTileSet>& ts) {
        auto m = Named(std::make_shared<zTileMap>(), kLevelChunkNames[layer]);
        m->SetTileSize(kTileSize);
        m->SetSize(desc.Cols - 1, desc.Rows - 1);
        m->AddTileSet(ts);
        m->Meta->SetSingle("_z", kGridDepth[layer].Top);
        m->Meta->SetSingle("_z2", kGridDepth[layer].Bottom);
        for (int32_t y = 0; y < desc.Rows; ++y)
            for (int32_t x = 0; x < desc.Cols; ++x) {
                const LegendEntry* e = Cell(layer, x, y);
                if (!e || e->Tile.empty() || e->Tile == "-") continue;
                const TileDef* t = art.FindTile(desc.TileSheet, e->Tile);
                if (!t) continue;  // reported at its legend line
                m->SetTile(x, y, 1, t->Index, e->Rot);
            }
        return m;
    }

    std::shared_ptr<zCollisionMap> MakeCollision() {
        auto m = Named(std::make_shared<zCollisionMap>(), "mapCollision");
        m->SetTileSize(kTileSize);
        m->SetSize(desc.Cols - 1, desc.Rows - 1);
        for (int32_t y = 0; y < desc.Rows; ++y)
            for (int32_t x = 0; x < desc.Cols; ++x) {
                bool solid = false;
                for (int layer = 0; layer < kGridCount; ++layer)
                    if (const LegendEntry* e = Cell(layer, x, y)) solid = solid || e->Solid;
                // A blocked cell blocks every kind of mover; its shape 0 is solid throughout.
                m->SetTile(x, y, solid ? 255 : 0, 0);
            }
        for (const CollideRect& r : desc.Collide)
            for (int32_t y = r.Y; y < r.Y + r.H; ++y)
                for (int32_t x = r.X; x < r.X + r.W; ++x) m->SetTile(x, y, r.Code, 0);
        return m;
    }

    std::shared_ptr<zCollisionMap> MakeWater() {
        auto m = Named(std::make_shared<zCollisionMap>(), "mapWater");
        m->SetTileSize(kTileSize);
        m->SetSize(desc.Cols - 1, desc.Rows - 1);
        for (int32_t y = 0; y < desc.Rows; ++y)
            for (int32_t x = 0; x < desc.Cols; ++x) {
                bool water = false;
                for (int layer = 0; layer < kGridCount; ++layer)
                    if (const LegendEntry* e = Cell(layer, x, y)) water = water || e->Water;
                // Water answers every mask, the full one of the water test included.
                m->SetTile(x, y, water ? 255 : 0, 0);
            }
        return m;
    }

    std::shared_ptr<zValueSetMap> MakeMaterials() {
        auto m = Named(std::make_shared<zValueSetMap>(), "mapMaterials");
        m->SetTileSize(kTileSize);
        m->SetSize(desc.Cols - 1, desc.Rows - 1);
        std::map<std::string, uint8_t> sets;
        for (const auto& [name, values] : desc.Materials) {
            const int32_t n = m->CreateValueSet();
            if (n <= 0) {
                Fail("too many materials");
                break;
            }
            auto v = m->GetValueSet(uint8_t(n));
            for (const Prop& p : values.List) StoreValue(p.Key, p, *v);
            sets[name] = uint8_t(n);
        }
        for (int32_t y = 0; y < desc.Rows; ++y)
            for (int32_t x = 0; x < desc.Cols; ++x) {
                std::string material;
                for (int layer = 0; layer < kGridCount; ++layer)
                    if (const LegendEntry* e = Cell(layer, x, y); e && !e->Material.empty()) material = e->Material;
                if (material.empty()) continue;
                auto it = sets.find(material);
                if (it == sets.end()) continue;  // reported at its legend line
                m->SetTile(x, y, it->second);
            }
        return m;
    }

    template <class T>
    std::shared_ptr<T> Bucketed(const std::string& name) {
        auto m = Named(std::make_shared<T>(), name);
        const int32_t w = (desc.Cols * kTileSize + kBucketSize - 1) / kBucketSize;
        const int32_t h = (desc.Rows * kTileSize + kBucketSize - 1) / kBucketSize;
        // Items of a layer may hang over its edges: one more bucket each way.
        m->SetSize(kBucketSize, w, h);
        return m;
    }

    std::shared_ptr<zItem> MakeItem(const LevelStatement& s) {
        const PropList& p = s.Props;
        auto item = std::make_shared<zItem>();
        const bool light = s.Kind == "light";
        const std::string spriteName = Text(p, "sprite", light ? "light" : "");
        const SpriteDef* def = art.FindSprite(spriteName);
        if (!def) {
            std::vector<std::string> sprites;
            for (const auto& sp : art.Sprites) sprites.push_back(sp.first);
            Fail("no sprite '" + Clip(spriteName) + "'" + Suggest(spriteName, sprites, ""));
            return nullptr;
        }
        zSprite& sp = *item->Sprite;
        double x = 0, y = 0;
        if (!Position(p, x, y) || !Inside(s, x, y)) return nullptr;
        sp.x = float(x);
        sp.y = float(y);
        sp.Z = float(Num(p, "z", 0, -1000, 1000));
        sp.R = float(Num(p, "r", 0, -100, 100));
        sp.Texture = Texture(def->Sheet);
        const int32_t frame = int32_t(Num(p, "frame", 0, 0, std::max(0, def->Frames - 1)));
        sp.SrcX = def->X + frame * def->W;
        sp.SrcY = def->Y;
        sp.W = def->W;
        sp.H = def->H;
        sp.OriginX = def->OriginX;
        sp.OriginY = def->OriginY;
        sp.Alpha = float(Num(p, "alpha", 0, 0, 1));
        double zoom = Num(p, "zoom", 1, 0.01, 100);
        if (light && p.Has("size")) zoom = Num(p, "size", 128, 1, 4096) / def->W;
        sp.ZoomX = float(Num(p, "zoomx", zoom, 0.01, 100));
        sp.ZoomY = float(Num(p, "zoomy", zoom, 0.01, 100));
        item->Visible = Flag(p, "visible", true);
        item->Shadow = Flag(p, "shadow", !light);
        item->Mirrored = Flag(p, "mirrored", !light);
        item->Collides = uint8_t(Num(p, "collides", s.Kind == "char" ? 1 : 0, 0, 255));
        item->KeyName = Text(p, "name");
        item->ClassName_ = Text(p, "class");
        Values(p, *item->Values);
        if (p.Has("color")) {
            const std::string c = Text(p, "color");
            uint32_t v = 0;
            auto [end, ec] = std::from_chars(c.data() + (c.empty() ? 0 : 1), c.data() + c.size(), v, 16);
            if (c.size() != 7 && c.size() != 9) {
                Fail("color is #RRGGBB or #RRGGBBAA");
            } else if (c[0] != '#' || ec != std::errc() || end != c.data() + c.size()) {
                Fail("color is #RRGGBB or #RRGGBBAA");
            } else {
                const uint32_t argb = c.size() == 7 ? (0xFF000000u | v) : ((v & 0xFF) << 24) | (v >> 8);
                item->Colored = true;
                item->Values->SetLong("_color", int32_t(argb));
            }
        }
        if ((s.Kind == "char" || s.Kind == "deco") && item->ClassName_.empty())
            Fail("a character needs a class, or the game never builds it");
        return item;
    }

    std::shared_ptr<zDataShape> MakeArea(const LevelStatement& s) {
        const PropList& p = s.Props;
        auto area = std::make_shared<zDataShape>();
        area->Enabled = true;
        zShape& sh = *area->Shape;
        sh.Color = int32_t(0x80FFFFFF);
        double v[4];
        if (p.Has("rect")) {
            if (!Tuple(p, "rect", v, 4)) return nullptr;
            sh.Mode = zShape::ModeRectangle;
        } else if (p.Has("cells")) {
            if (!Tuple(p, "cells", v, 4)) return nullptr;
            for (double& k : v) k *= kTileSize;
            sh.Mode = zShape::ModeRectangle;
        } else if (p.Has("ellipse")) {
            if (!Tuple(p, "ellipse", v, 4)) return nullptr;
            sh.Mode = zShape::ModeEllipse;
        } else {
            Fail("an area needs rect=, cells= or ellipse=");
            return nullptr;
        }
        if (v[2] <= 0 || v[3] <= 0) {
            Fail("an area needs a width and a height above 0");
            return nullptr;
        }
        // An area reaches from (x, y) over W, H, or round its centre by the radii.
        const bool ellipse = sh.Mode == zShape::ModeEllipse;
        const double left = ellipse ? v[0] - v[2] : v[0], top = ellipse ? v[1] - v[3] : v[1];
        const double right = ellipse ? v[0] + v[2] : v[0] + v[2], bottom = ellipse ? v[1] + v[3] : v[1] + v[3];
        const double w = double(desc.Cols) * kTileSize, h = double(desc.Rows) * kTileSize;
        if (right <= 0 || bottom <= 0 || left >= w || top >= h) {
            const std::string name = Text(p, "name");
            Fail("area" + (name.empty() ? "" : " '" + Clip(name) + "'") + " lies wholly outside the level (x 0 to " +
                 FormatDouble(w - 1) + ", y 0 to " + FormatDouble(h - 1) + " pixels): place it inside");
            return nullptr;
        }
        sh.x = float(v[0]);
        sh.y = float(v[1]);
        sh.W = float(v[2]);
        sh.H = float(v[3]);
        area->KeyName = Text(p, "name");
        area->ClassName_ = Text(p, "class");
        Values(p, *area->Values);
        return area;
    }

    std::shared_ptr<zPictureLayer> MakePicture(const std::string& chunk, const LevelStatement* s) {
        auto pic = Named(std::make_shared<zPictureLayer>(), chunk);
        if (!s) return pic;
        line = s->Line;
        const PropList& p = s->Props;
        pic->Texture = Texture(Text(p, "texture"));
        pic->x = float(Num(p, "x", 0, -kMaxCoordinate, kMaxCoordinate));
        pic->y = float(Num(p, "y", 0, -kMaxCoordinate, kMaxCoordinate));
        pic->Parallax = float(Num(p, "parallax", 1, 0.01, 100));
        pic->Zoom = float(Num(p, "zoom", 1, 0.01, 100));
        pic->Meta->SetLong("_StretchMode", int32_t(Num(p, "stretch", 4, 0, 5)));
        pic->Meta->SetSingle("_z", float(Num(p, "z", 0.1, 0, 1)));
        pic->Meta->SetSingle("_MoveX", float(Num(p, "movex", 0, -100, 100)));
        pic->Meta->SetSingle("_MoveY", float(Num(p, "movey", 0, -100, 100)));
        return pic;
    }

    bool Build(std::vector<uint8_t>& fileBytes) {
        const size_t errorsBefore = errors.size();
        auto ts = MakeTileSet();
        std::shared_ptr<zTileMap> grids[kGridCount];
        for (int layer = 0; layer < kGridCount; ++layer) grids[layer] = MakeTileMap(layer, ts);
        auto doors = Bucketed<zItemMap>("mapDoors"), items = Bucketed<zItemMap>("mapItems");
        auto lights = Bucketed<zItemMap>("mapLights"), chars = Bucketed<zItemMap>("mapChars");
        auto deco = Bucketed<zItemMap>("mapDeco");
        for (auto& m : {doors, items, lights, chars, deco}) {
            m->Meta->SetSingle("_z", 0.8f);
            m->Meta->SetSingle("_z2", 0.5f);
        }
        auto areas = Bucketed<zObjectsMap>("mapAreas");
        areas->ContentClass = "zDataShape";
        auto emitters = Bucketed<zEmitterMap>("mapEmitters");
        const LevelStatement* pictures[3] = {nullptr, nullptr, nullptr};
        CheckLegend();

        for (const LevelStatement& s : desc.Objects) {
            line = s.Line;
            const PropList& p = s.Props;
            CheckKeys(s);
            // Lights never get a script object: their class is never looked for.
            if (s.Kind != "light") CheckClass(Text(p, "class"));
            if (s.Kind == "item" || s.Kind == "door" || s.Kind == "light" || s.Kind == "char" || s.Kind == "deco") {
                auto item = MakeItem(s);
                if (!item) continue;
                auto& layer = s.Kind == "item" ? items : s.Kind == "door" ? doors : s.Kind == "light" ? lights
                              : s.Kind == "char" ? chars : deco;
                layer->AddItem(item, true);
            } else if (s.Kind == "area") {
                if (auto area = MakeArea(s)) areas->AddObject(area);
            } else if (s.Kind == "particle") {
                auto e = std::make_shared<zParticleEmitter>();
                double x = 0, y = 0;
                if (!Position(p, x, y) || !Inside(s, x, y)) continue;
                e->SetPos(float(x), float(y));
                e->Z = float(Num(p, "z", 0, -1000, 1000));
                e->R = float(Num(p, "r", 16, 0, 10000));
                e->ManagerName = Text(p, "manager", "Laterne");
                Values(p, *e->ParticleData);
                emitters->AddEmitter(e);
            } else if (s.Kind == "sound") {
                auto e = std::make_shared<zSoundEmitter>();
                double x = 0, y = 0;
                if (!Position(p, x, y) || !Inside(s, x, y)) continue;
                e->SetPos(float(x), float(y));
                e->Z = float(Num(p, "z", 0, -1000, 1000));
                e->R = float(Num(p, "r", 200, 1, 100000));
                e->FadeR = float(Num(p, "fade", e->R / 3, 0, 100000));
                e->FadeMode = uint8_t(Num(p, "mode", 0, 0, 2));
                e->Volume = float(Num(p, "volume", 1, 0, 1));
                e->Frequency = float(Num(p, "speed", 1, 0.01, 100));
                e->SoundFile = Text(p, "file");
                if (e->SoundFile.empty()) Fail("a sound needs file=");
                emitters->AddEmitter(e);
            } else if (s.Kind == "picture") {
                const int slot = s.Sub == "fog" ? 0 : s.Sub == "clouds" ? 1 : 2;
                if (pictures[slot]) Fail("picture " + s.Sub + " given twice");
                pictures[slot] = &s;
            }
        }
        line = 0;
        auto fog = MakePicture("picFog", pictures[0]);
        auto clouds = MakePicture("picClouds", pictures[1]);
        auto water = MakePicture("picWater", pictures[2]);
        auto collision = MakeCollision();
        auto waterMap = MakeWater();
        auto materials = MakeMaterials();
        auto values = Named(std::make_shared<zValues>(), "mapValues");
        for (const Prop& p : desc.Values.List) StoreValue(p.Key, p, *values);
        if (values->GetString("class").empty()) Fail("the level values need a class");
        line = desc.ClassLine;
        CheckClass(values->GetString("class"));
        line = 0;
        if (errors.size() != errorsBefore) return false;

        zFile file;
        file.AddInstance(ts);
        const std::shared_ptr<iChunk> chunks[19] = {grids[kGround], grids[kGroundMask], grids[kWalls], grids[kWallMask],
                                                    grids[kRoof],   doors,  items,  lights, chars, deco, fog, clouds,
                                                    water, collision, waterMap, areas, materials, emitters, values};
        for (const auto& c : chunks) file.AddInstance(c);
        file.ExportToStreams(true);
        zStream payload;
        if (!file.SaveToStream(&payload)) {
            Fail("the chunk file could not be written");
            return false;
        }
        if (!SaveDataBytes(payload.Bytes(), true, "", fileBytes)) {
            Fail("the level file could not be packed");
            return false;
        }
        // The game's own bounds of a level file: a level past one would build
        // and then not load.
        line = desc.NameLine;
        auto tooMany = [&](const std::string& kind, size_t count, size_t most) {
            Fail("the level holds too many " + kind + ": " + std::to_string(count) + " of at most " +
                 std::to_string(most) + ", more than the game loads");
        };
        const size_t bytes = std::max(payload.Bytes().size(), fileBytes.size());
        if (bytes > kMaxLevelBytes) tooMany("bytes", bytes, kMaxLevelBytes);
        else if (size_t(file.ChunkCount()) > kMaxLevelChunks)
            tooMany("chunks", size_t(file.ChunkCount()), kMaxLevelChunks);
        else if (const auto past = LevelPastBounds(TallyLevel(file)))
            tooMany(past->Kind, past->Count, past->Most);
        if (errors.size() != errorsBefore) {
            fileBytes.clear();
            return false;
        }
        return true;
    }
};

}  // namespace

bool BuildLevel(const LevelDesc& desc, const ArtCatalogue& art, const TextureLookup& textures,
                std::vector<uint8_t>& fileBytes, std::vector<std::string>& errors,
                const ScriptClasses* classes) {
    fileBytes.clear();
    try {
        Builder b(desc, art, textures, classes, errors);
        return b.Build(fileBytes);
    } catch (const std::exception& e) {
        errors.push_back(desc.File + ": " + e.what());
        return false;
    }
}

}  // namespace tarv::demo
