// The program played by a script of steps, in a child process: the child
// starts the program as main() does (its parts connected, the window, the
// main window's start-up on the built demo content, the frame loop on the
// virtual clock) with a scripted player as its event source, and ends the way
// the player makes it end. The parent reads the child's exit status, its log,
// and the report the scripted player wrote (a line per step, "FAIL ..." for
// every check that did not hold, "END" once the script reached its last step).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "devices/zDDraw.h"
#include "game/shell/app/mProgram.h"
#include "game/shell/frmLog.h"
#include "game/shell/frmMain.h"
#include "game/shell/frmSettings.h"
#include "game/shell/gLevel.h"
#include "game/world/gBorder.h"
#include "game/world/gChar.h"
#include "game/world/gCharTest.h"
#include "game/world/gPath.h"
#include "game/world/gTextArea.h"
#include "game/world/gTextSelect.h"
#include "core/zValues.h"
#include "platform/EventSource.h"
#include "platform/Image.h"
#include "platform/Window.h"
#include "scene/zCamera.h"
#include "scene/zItem.h"
#include "scene/zItemMap.h"
#include "scene/zSprite.h"
#include "scene/zTileMap.h"
#include "script/zScriptArray.h"
#include "script/zScriptClass.h"
#include "script/zScriptObject.h"
#include "script/zScriptValue.h"
#include "scene/zCollisionMap.h"
#include "scene/zDataShape.h"
#include "scene/zObjectsMap.h"
#include "scene/zShape.h"
#include "support/TestSupport.h"

namespace tarv::test {

using namespace zun;

constexpr int32_t kKeySpace = 32, kKeyEsc = 27, kKey1 = 49, kKey2 = 50, kKeyUp = 38, kKeyZ = 90;

// ---- what the scripted player sees ---------------------------------------------

inline std::string LevelClass() {
    const auto& level = gCharTest.LevelObject;
    return level && level->Class ? level->Class->Name : "";
}

inline bool GameFlag(const char* iName) {
    const auto& game = gCharTest.GameObject;
    if (!game || !game->Locals) return false;
    const zScriptValue* v = game->Locals->GetName(iName);
    return v && v->GetBool();
}

inline std::shared_ptr<gChar> CharNamed(const std::string& iKey) {
    for (const auto& c : gCharTest.Chars)
        if (c && c->Item && c->Item->KeyName == iKey) return c;
    return nullptr;
}

inline std::shared_ptr<zItem> ItemNamed(const std::shared_ptr<zItemMap>& iMap, const std::string& iKey) {
    if (!iMap) return nullptr;
    for (const auto& i : iMap->Items())
        if (i && i->KeyName == iKey) return i;
    return nullptr;
}

struct Point {
    float x = 0, y = 0;
};

inline Point PlayerAt() {
    const auto& p = gCharTest.Player;
    return p && p->Sprite ? Point{p->Sprite->x, p->Sprite->y} : Point{};
}

inline float Distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// A message is on screen, typed out to its end.
inline bool MessageTyped() {
    const auto& area = gCharTest.MessageArea;
    return gCharTest.Message && area && area->ShowChars >= area->CharsMax &&
           gCharTest.Border->Meta->GetSingle("_Alpha", 0.0f) <= 0.0f;
}

// A level point in screen pixels: the inverse of the ground layer's
// GetPixelPosition through the camera and the render zoom.
inline Point ScreenOf(Point w) {
    const auto& cam = frmMain.Camera;
    const auto& ground = gCharTest.solidGround;
    const float zoom = zDDraw.RenderZoom;
    float camX = cam ? cam->x : 0, camY = cam ? cam->y : 0;
    float par = 1, lz = 1, lx = 0, ly = 0;
    if (ground) par = ground->Parallax, lz = ground->Zoom, lx = ground->x, ly = ground->y;
    const float sx = (w.x * lz - std::floor(camX - lx) / par + 0.5f) * zoom;
    const float sy = (w.y * lz - std::floor(camY - ly) / par + 0.5f) * zoom;
    return {sx, sy};
}

// The colour of a screen pixel of the last frame, 0xRRGGBB.
inline uint32_t ScreenPixel(Point s) {
    if (!zDDraw.Device) return 0;
    RenderBackend& dev = *zDDraw.Device;
    const TextureId was = dev.CurrentTarget();
    if (was != 0) dev.SetRenderTarget(0);
    std::vector<uint8_t> rgba;
    const bool ok = dev.ReadPixels(int32_t(s.x), int32_t(s.y), 1, 1, rgba);
    if (was != 0) dev.SetRenderTarget(was);
    if (!ok || rgba.size() < 4) return 0;
    return uint32_t(rgba[0]) << 16 | uint32_t(rgba[1]) << 8 | rgba[2];
}

inline Image Painted(const std::string& iFile) {
    Image img;
    LoadPngFile(std::string(ZUN_PROGRAM_DIR) + "img/" + iFile, img);
    return img;
}

// A pixel of a picture the content builder painted, 0xRRGGBB.
inline uint32_t PaintedPixel(const std::string& iFile, int32_t x, int32_t y) {
    const Image img = Painted(iFile);
    if (x < 0 || y < 0 || x >= img.Width || y >= img.Height) return 0xFFFFFFFFu;
    return img.ARGB(x, y) & 0xFFFFFFu;
}

// The place nearest to (x, y) whose neighbours all share its colour, so that
// the filtering of a drawn picture cannot change it; (x, y) when none is.
inline void EvenSpot(const Image& iImg, int32_t& x, int32_t& y, int32_t iReach = 12) {
    auto even = [&](int32_t cx, int32_t cy) {
        if (cx < 1 || cy < 1 || cx + 1 >= iImg.Width || cy + 1 >= iImg.Height) return false;
        for (int32_t dy = -1; dy <= 1; ++dy)
            for (int32_t dx = -1; dx <= 1; ++dx)
                if (iImg.ARGB(cx + dx, cy + dy) != iImg.ARGB(cx, cy)) return false;
        return true;
    };
    for (int32_t r = 0; r <= iReach; ++r)
        for (int32_t dy = -r; dy <= r; ++dy)
            for (int32_t dx = -r; dx <= r; ++dx)
                if (std::max(std::abs(dx), std::abs(dy)) == r && even(x + dx, y + dy)) {
                    x += dx;
                    y += dy;
                    return;
                }
}

inline int32_t ColourGap(uint32_t a, uint32_t b) {
    int32_t gap = 0;
    for (int shift : {16, 8, 0})
        gap = std::max(gap, std::abs(int32_t((a >> shift) & 255) - int32_t((b >> shift) & 255)));
    return gap;
}

inline int32_t Brightness(uint32_t c) { return int32_t((c >> 16) & 255) + int32_t((c >> 8) & 255) + int32_t(c & 255); }

inline std::string Hex(uint32_t c) {
    char b[16];
    std::snprintf(b, sizeof b, "%06X", c);
    return b;
}

// ---- the scripted player ---------------------------------------------------------

class ScriptedPlayer;

struct Step {
    std::string Label;
    int32_t MaxFrames = 600;
    // True when the step is done; it may push events.
    std::function<bool(ScriptedPlayer&)> Run;
};

class ScriptedPlayer final : public EventSource {
public:
    explicit ScriptedPlayer(const std::string& iReport) : report_(iReport) {}

    std::vector<Step> Steps;
    // Messages as they came on screen: speaker, then text.
    std::vector<std::pair<std::string, std::string>> Seen;

    bool NextEvents(int32_t, std::vector<WindowEvent>& oEvents) override {
        const int32_t frame = zCore.FrameCounter;
        if (frame == lastFrame_) return true;
        lastFrame_ = frame;
        out_ = &oEvents;
        NoteMessage();
        if (at_ >= Steps.size()) {
            Fail("the script ran out before the program ended");
            return false;
        }
        Step& s = Steps[at_];
        if (stepStart_ < 0) {
            stepStart_ = frame;
            Write("STEP " + s.Label + " at frame " + std::to_string(frame));
        }
        if (s.Run(*this)) {
            ++at_;
            stepStart_ = -1;
            if (at_ == Steps.size()) Write("END");
        } else if (frame - stepStart_ > s.MaxFrames) {
            Fail("timed out: " + s.Label);
            return false;
        }
        return true;
    }

    void Check(bool iOk, const std::string& iWhat) {
        if (!iOk) Fail(iWhat);
    }
    void Fail(const std::string& iWhat) {
        std::string seen;
        for (const auto& [who, text] : Seen) seen += "\n    " + who + ": " + text;
        Write("FAIL " + iWhat + " (step " + (at_ < Steps.size() ? Steps[at_].Label : "-") + ", frame " +
              std::to_string(zCore.FrameCounter) + ", level " + LevelClass() + ")" +
              (Seen.empty() ? "" : "\n  messages so far:" + seen));
    }
    void Write(const std::string& iLine) {
        std::ofstream f(report_, std::ios::app);
        f << iLine << "\n";
    }
    int32_t StepFrames() const { return zCore.FrameCounter - stepStart_; }

    // ---- events ----
    // Keys go where a player's would: to the tool window that took the focus
    // when it opened, else to the game.
    void Key(WindowEventType iType, int32_t iKey) {
        WindowEvent e;
        e.Type = iType;
        e.Key = iKey;
        if (frmSettings.Window.IsOpen()) e.WindowId = frmSettings.Window.Id();
        else if (frmLog.Window.IsOpen()) e.WindowId = frmLog.Window.Id();
        out_->push_back(e);
    }
    void Mouse(WindowEventType iType, Point iScreen, int32_t iButton) {
        WindowEvent e;
        e.Type = iType;
        e.Button = iButton;
        e.X = int32_t(std::floor(iScreen.x * frmMain.MouseScaleX));
        e.Y = int32_t(std::floor(iScreen.y * frmMain.MouseScaleY));
        out_->push_back(e);
    }
    void Click(Point iScreen, int32_t iButton = 1) {
        Mouse(WindowEventType::MouseMove, iScreen, 0);
        Mouse(WindowEventType::MouseDown, iScreen, iButton);
        Mouse(WindowEventType::MouseUp, iScreen, iButton);
    }

    // A Space pressed in the last frame is let go; true when it was.
    bool ReleaseSpace() {
        if (!spaceHeld_) return false;
        Key(WindowEventType::KeyUp, kKeySpace);
        spaceHeld_ = false;
        return true;
    }
    // A plain message that is typed out is answered with a tap of Space
    // (down in one frame, up in the next). True while a message is open.
    bool AnswerPlainMessages() {
        if (ReleaseSpace()) return true;
        if (!gCharTest.Message) return false;
        if (MessageTyped() && gCharTest.Message->Options.empty()) {
            Key(WindowEventType::KeyDown, kKeySpace);
            spaceHeld_ = true;
        }
        return true;
    }

private:
    void NoteMessage() {
        const auto m = gCharTest.Message;
        if (!m || m == lastMessage_) return;
        lastMessage_ = m;
        Seen.emplace_back(m->FaceName, m->Message);
    }

    std::string report_;
    size_t at_ = 0;
    int32_t stepStart_ = -1;
    int32_t lastFrame_ = -1;
    bool spaceHeld_ = false;
    std::vector<WindowEvent>* out_ = nullptr;
    std::shared_ptr<gTextSelect> lastMessage_;
};

// ---- steps -------------------------------------------------------------------------

using Where = std::function<Point()>;

// Does something once.
inline Step Do(std::string iLabel, std::function<void(ScriptedPlayer&)> iDo) {
    return {std::move(iLabel), 1, [f = std::move(iDo)](ScriptedPlayer& p) {
                f(p);
                return true;
            }};
}

// Waits, answering plain messages, until the condition holds.
inline Step WaitUntil(std::string iLabel, std::function<bool()> iDone, int32_t iMaxFrames = 600) {
    return {std::move(iLabel), iMaxFrames, [f = std::move(iDone)](ScriptedPlayer& p) {
                if (f()) return true;
                p.AnswerPlainMessages();
                return false;
            }};
}

// A key pressed in one frame and released in the next.
inline std::vector<Step> Tap(const std::string& iLabel, int32_t iKey) {
    return {Do(iLabel + " (down)", [iKey](ScriptedPlayer& p) { p.Key(WindowEventType::KeyDown, iKey); }),
            Do(iLabel + " (up)", [iKey](ScriptedPlayer& p) { p.Key(WindowEventType::KeyUp, iKey); })};
}

// The message on screen, typed out, is the speaker's and holds the words; it
// is then answered (plain messages with Space, questions by the caller).
inline Step Expect(const std::string& iSpeaker, const std::string& iWords, bool iAnswer = true) {
    return {"message of " + iSpeaker + ": " + iWords, 400, [=](ScriptedPlayer& p) {
                if (p.ReleaseSpace() || !MessageTyped()) return false;
                const auto& m = gCharTest.Message;
                p.Check(m->FaceName == iSpeaker, "speaker " + m->FaceName + " instead of " + iSpeaker);
                p.Check(m->Message.find(iWords) != std::string::npos, "message \"" + m->Message + "\"");
                // The name plate shows the speaker, but for things received.
                const auto& plate = gCharTest.EventArea;
                const bool named = plate && plate->ShowChars > 0;
                p.Check(named == (iSpeaker != "Events"), "name plate of " + iSpeaker);
                if (iAnswer) p.AnswerPlainMessages();
                return true;
            }};
}

// Points at a place and clicks once the cursor (placed by the last frame) is
// there and shows the expected action; the player's script walks towards
// the place, and the thing under the cursor gets the action.
inline Step ClickAt(std::string iLabel, Where iWhere, std::string iAction,
                    std::function<void(ScriptedPlayer&)> iBeforeClick = nullptr) {
    return {std::move(iLabel), 120, [=](ScriptedPlayer& p) {
                if (p.AnswerPlainMessages()) return false;
                const Point w = iWhere();
                const Point s = ScreenOf(w);
                const auto& cursor = gCharTest.Cursor;
                const bool there = cursor && std::fabs(cursor->x - std::floor(w.x)) <= 1 &&
                                   std::fabs(cursor->y - std::floor(w.y)) <= 1;
                if (p.StepFrames() >= 2 && there && gCharTest.CursorEvent == iAction) {
                    if (iBeforeClick) iBeforeClick(p);
                    p.Click(s);
                    return true;
                }
                p.Mouse(WindowEventType::MouseMove, s, 0);
                return false;
            }};
}

// Walks by clicks on the ground and waits until the player is there (or as
// near as the way allows) and stands still. A place beyond the view is
// reached in legs: each click goes to the farthest cell of the way there
// that is on screen and shows no action under the cursor.
inline std::vector<Step> WalkTo(const std::string& iLabel, Where iWhere, float iNear = 12) {
    struct Leg {
        std::vector<Point> Candidates;  // nearest to the goal first
        size_t Tried = 0;
        int32_t Pointed = -1;  // frame the pointer went to the current candidate
        bool Walking = false;
    };
    auto leg = std::make_shared<Leg>();
    auto onScreen = [](Point w) {
        const Point s = ScreenOf(w);
        constexpr float kMargin = 24;
        return s.x >= kMargin && s.y >= kMargin && s.x < float(zDDraw.ViewW) * zDDraw.RenderZoom - kMargin &&
               s.y < float(zDDraw.ViewH) * zDDraw.RenderZoom - kMargin;
    };
    auto plan = [=] {
        leg->Candidates.clear();
        leg->Tried = 0;
        leg->Pointed = -1;
        const Point goal = iWhere();
        if (onScreen(goal)) leg->Candidates.push_back(goal);
        const auto& map = gCharTest.mapCollision;
        if (!map || map->TileW <= 0) return;
        const auto cell = [&](float v) { return int32_t(std::lround((v - float(map->TileW2)) / float(map->TileW))); };
        const Point from = PlayerAt();
        gPath way;
        const int32_t n = way.FindPath(map.get(), 1, cell(from.x), cell(from.y), cell(goal.x), cell(goal.y), true, 5);
        // Along the way from the goal back to the player, a cell at a time.
        auto centre = [&](const gPathNode& node) {
            return Point{float(node.x * map->TileW + map->TileW2), float(node.y * map->TileW + map->TileW2)};
        };
        std::vector<Point> line;
        for (int32_t i = 1; i <= n; ++i) line.push_back(centre(way.GetNode(i)));
        line.push_back(from);
        for (size_t i = 0; i + 1 < line.size(); ++i) {
            const Point a = line[i], b = line[i + 1];
            const int32_t steps = std::max(1, int32_t(Distance(a, b) / float(map->TileW)));
            for (int32_t k = 0; k < steps; ++k) {
                const float t = float(k) / float(steps);
                const Point w{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
                if (onScreen(w) && Distance(w, from) > float(map->TileW)) leg->Candidates.push_back(w);
            }
        }
    };
    return {{"walk to " + iLabel, 1500, [=](ScriptedPlayer& p) {
        const Point goal = iWhere();
        if (leg->Walking) {
            if (p.AnswerPlainMessages()) return false;
            const auto& path = gCharTest.PlayerPath;
            if (path && path->WayPointCount > 0) return false;
            if (Distance(PlayerAt(), goal) <= iNear) {
                leg->Walking = false;
                leg->Candidates.clear();
                return true;
            }
            leg->Walking = false;
            leg->Candidates.clear();
        }
        if (p.AnswerPlainMessages()) return false;
        if (leg->Candidates.empty() || leg->Tried >= leg->Candidates.size()) plan();
        if (leg->Candidates.empty()) return false;
        const Point w = leg->Candidates[leg->Tried];
        const auto& cursor = gCharTest.Cursor;
        const bool there = cursor && std::fabs(cursor->x - std::floor(w.x)) <= 1 &&
                           std::fabs(cursor->y - std::floor(w.y)) <= 1;
        if (leg->Pointed >= 0 && zCore.FrameCounter - leg->Pointed >= 2 && there) {
            if (gCharTest.CursorEvent.empty()) {
                p.Click(ScreenOf(w));
                leg->Walking = true;
                return false;
            }
            // Something there would take the click: the next cell.
            ++leg->Tried;
            leg->Pointed = -1;
            return false;
        }
        if (leg->Pointed < 0) leg->Pointed = zCore.FrameCounter;
        p.Mouse(WindowEventType::MouseMove, ScreenOf(w), 0);
        return false;
    }}};
}

inline void Append(std::vector<Step>& ioSteps, std::vector<Step> iMore) {
    for (auto& s : iMore) ioSteps.push_back(std::move(s));
}

// ---- every placed object, offered what a player can send it ------------------------

// A scripted object a level placed: its kind, its key name and its place in
// its layer (which tells objects without a key name apart).
struct Placed {
    std::string Kind;  // "item", "door", "person", "decoration", "area"
    std::string Key;
    size_t Index = 0;
    std::string Name() const { return Kind + " " + (Key.empty() ? "#" + std::to_string(Index) : Key); }
};

// The scripted objects of the level's layers, as its file placed them.
inline std::vector<Placed> PlacedObjects() {
    std::vector<Placed> out;
    auto items = [&](const std::shared_ptr<zItemMap>& m, const char* kind) {
        if (!m) return;
        for (size_t i = 0; i < m->Items().size(); ++i)
            if (const auto& it = m->Items()[i]; it && !it->ClassName_.empty()) out.push_back({kind, it->KeyName, i});
    };
    items(gCharTest.mapItems, "item");
    items(gCharTest.mapDoors, "door");
    items(gCharTest.mapChars, "person");
    items(gCharTest.mapDeco, "decoration");
    if (const auto& m = gCharTest.mapAreas) {
        for (size_t i = 0; i < m->Objects().size(); ++i) {
            const auto a = std::dynamic_pointer_cast<zDataShape>(m->Objects()[i]);
            if (a && !a->ClassName_.empty()) out.push_back({"area", a->KeyName, i});
        }
    }
    return out;
}

// A live placed object: its script object and the point tests of the cursor.
struct LiveObject {
    std::shared_ptr<zScriptObject> Script;
    std::shared_ptr<zItem> Item;       // items, doors
    std::shared_ptr<gChar> Char;       // people, decorations
    std::shared_ptr<zDataShape> Area;  // areas
    explicit operator bool() const { return Script != nullptr; }
};

inline LiveObject FindLive(const Placed& iWho) {
    LiveObject o;
    auto match = [&](const std::string& key, size_t index) {
        return iWho.Key.empty() ? index == iWho.Index : key == iWho.Key;
    };
    if (iWho.Kind == "item" || iWho.Kind == "door") {
        const auto& m = iWho.Kind == "item" ? gCharTest.mapItems : gCharTest.mapDoors;
        for (size_t i = 0; m && i < m->Items().size(); ++i)
            if (const auto& it = m->Items()[i]; it && it->ScriptObject && match(it->KeyName, i)) {
                o.Item = it;
                o.Script = it->ScriptObject;
            }
    } else if (iWho.Kind == "person" || iWho.Kind == "decoration") {
        const auto& m = iWho.Kind == "person" ? gCharTest.mapChars : gCharTest.mapDeco;
        const auto& live = iWho.Kind == "person" ? gCharTest.Chars : gCharTest.Deco;
        for (const auto& c : live) {
            if (!c || !c->Item || !c->Item->ScriptObject || !c->Sprite) continue;
            size_t index = 0;
            for (; m && index < m->Items().size() && m->Items()[index] != c->Item; ++index) {
            }
            if (match(c->Item->KeyName, index)) {
                o.Char = c;
                o.Script = c->Item->ScriptObject;
            }
        }
    } else if (const auto& m = gCharTest.mapAreas) {
        for (size_t i = 0; i < m->Objects().size(); ++i) {
            const auto a = std::dynamic_pointer_cast<zDataShape>(m->Objects()[i]);
            if (a && a->ScriptObject && a->Shape && match(a->KeyName, i)) {
                o.Area = a;
                o.Script = a->ScriptObject;
            }
        }
    }
    return o;
}

// A point of the object that a click there reaches before anything else
// (nothing else scripted covers it, and the layer's own search finds it),
// nearest the middle of the object; none when every point of it is covered.
inline bool ClickPoint(const LiveObject& iObj, Point& oAt) {
    float left, top, w, h;
    if (iObj.Item || iObj.Char) {
        const zSprite& s = iObj.Item ? *iObj.Item->Sprite : *iObj.Char->Sprite;
        const float z = iObj.Item ? s.Z : 0;
        left = s.x - s.OriginX * std::fabs(s.ZoomX);
        top = s.y - z - s.OriginY * std::fabs(s.ZoomY);
        w = float(s.W) * std::fabs(s.ZoomX);
        h = float(s.H) * std::fabs(s.ZoomY);
    } else {
        const zShape& s = *iObj.Area->Shape;
        const bool round = s.Mode == zShape::ModeEllipse;
        left = round ? s.x - s.W : s.x;
        top = round ? s.y - s.H : s.y;
        w = round ? 2 * s.W : s.W;
        h = round ? 2 * s.H : s.H;
    }
    auto only = [&](float x, float y) {
        for (const auto& c : gCharTest.Chars) {
            if (!c || c == gCharTest.Player || !c->Item || !c->Item->ScriptObject || !c->Sprite) continue;
            if (c->CheckHit(x, y, 0) != (c == iObj.Char)) return false;
        }
        if (iObj.Char) return true;
        for (const auto* m : {gCharTest.mapItems.get(), gCharTest.mapDoors.get()}) {
            if (!m) continue;
            for (const auto& it : m->Items())
                if (it && it->ScriptObject && ItemHit(*it, x, y) != (it == iObj.Item)) return false;
            if (iObj.Item && gCharTest.GetItemAt(m, x, y, "") == iObj.Item) return true;
        }
        if (iObj.Item) return false;
        const auto& areas = gCharTest.mapAreas;
        for (const auto& o : areas->Objects()) {
            const auto a = std::dynamic_pointer_cast<zDataShape>(o);
            if (a && a->ScriptObject && a->Shape && a->Shape->CheckCollision(x, y) != (a == iObj.Area)) return false;
        }
        return gCharTest.GetAreaAt(areas.get(), x, y, "") == iObj.Area;
    };
    const float cx = std::floor(left + w / 2), cy = std::floor(top + h / 2);
    const int32_t reach = int32_t(std::ceil(std::max(w, h) / 2)) + 1;
    for (int32_t r = 0; r <= reach; ++r)
        for (int32_t dy = -r; dy <= r; ++dy)
            for (int32_t dx = -r; dx <= r; ++dx) {
                if (std::max(std::abs(dx), std::abs(dy)) != r) continue;
                const float x = cx + float(dx), y = cy + float(dy);
                if (x < left || y < top || x >= left + w || y >= top + h) continue;
                if (only(x, y)) {
                    oAt = {x, y};
                    return true;
                }
            }
    return false;
}

// Walks the levels in turn and offers every scripted object each of them
// placed what a player can send it: the player stands near the object (within
// use range) and then farther off (beyond it, within look range), the cursor
// rests on a point of the object that nothing else covers, so that it hears
// the hover event of that range, and a click sends what the hover chose. Then
// each of "onLook", "onUse" and "onTalk" that its class answers is sent to it
// as a click sends it (decorations, which the mouse never reaches, get their
// hover events so too); what a click sent it already is not sent again.
// Every message and question on the way is answered (questions with their
// first answer). A level that an event leaves is loaded again for the objects
// that follow. The report gets a line "PLACED <level> <object>" for every
// object of a level as it loads and "VISITED <level> <object>" for every
// object that heard its events.
inline Step VisitEveryPlacedObject(std::vector<std::string> iLevels) {
    struct Walk {
        std::vector<std::string> Levels;
        size_t LevelAt = 0;
        std::vector<Placed> Objects;
        size_t At = 0;
        int Stage = 0;        // 0 near, 1 far, 2 the events sent as a click sends them
        bool Loaded = false;
        bool Pointing = false;
        int32_t Since = 0;    // frames in the current stage
        int32_t Quiet = 0;    // frames without a message since the last event
        int32_t HeldKey = 0;  // a key pressed in the last frame, let go in this one
        bool Heard = false;   // the current object has heard an event
        Point At_;            // where the cursor points
        std::shared_ptr<zScriptObject> Level;
        std::vector<std::string> Direct;
        std::vector<std::string> Sent;  // what the clicks sent the current object
    };
    auto w = std::make_shared<Walk>();
    w->Levels = std::move(iLevels);
    return {"every placed object", 40000, [w](ScriptedPlayer& p) {
        // A key held from the last frame goes up first.
        if (w->HeldKey) {
            p.Key(WindowEventType::KeyUp, w->HeldKey);
            w->HeldKey = 0;
            return false;
        }
        // Messages and questions are answered before anything else goes on:
        // Space shows the whole text, then closes it; a question typed out
        // takes its first answer.
        if (const auto& m = gCharTest.Message) {
            w->Quiet = 0;
            w->HeldKey = m->Options.empty() || !MessageTyped() ? kKeySpace : kKey1;
            p.Key(WindowEventType::KeyDown, w->HeldKey);
            return false;
        }
        ++w->Quiet;
        if (w->LevelAt >= w->Levels.size()) return true;
        const std::string& level = w->Levels[w->LevelAt];
        auto next = [&] {
            // An object that went away (taken, walked off) has heard what it could.
            if (w->Heard) p.Write("VISITED " + level + " " + w->Objects[w->At].Name());
            w->Heard = false;
            w->Stage = 0;
            w->Pointing = false;
            w->Since = 0;
            w->Direct.clear();
            w->Sent.clear();
            ++w->At;
        };
        if (!w->Loaded || (w->Level && gCharTest.LevelObject != w->Level)) {
            // The first time, and again after an event left the level.
            const bool again = w->Loaded;
            if (!LoadLevel(level)) {
                p.Fail("the level " + level + " did not load");
                return true;
            }
            w->Level = gCharTest.LevelObject;
            if (!again) {
                w->Objects = PlacedObjects();
                w->At = 0;
                for (const auto& o : w->Objects) p.Write("PLACED " + level + " " + o.Name());
            }
            // The player stands wherever the other level put it: placed anew.
            w->Pointing = false;
            w->Loaded = true;
            w->Quiet = 0;
            return false;
        }
        // What the last event started (a timed call, a walk) has a few
        // frames, and the message box has faded out: while it shows, the
        // cursor offers nothing.
        if (w->Quiet < 11) return false;
        if (w->At >= w->Objects.size()) {
            ++w->LevelAt;
            w->Loaded = false;
            w->Level = nullptr;
            return false;
        }
        const Placed& who = w->Objects[w->At];
        const LiveObject obj = FindLive(who);
        if (!obj) {
            next();
            return false;
        }
        const auto& player = gCharTest.Player;
        const auto& map = gCharTest.solidGround;
        if (!player || !player->Sprite || !map || !frmMain.Camera) {
            p.Fail("no player, ground or camera in " + level);
            return true;
        }
        // The player stands at a distance from the point: near enough to use
        // it, or only to look at it.
        auto standAt = [&](Point at, float distance) {
            const float mapW = float((map->W + 1) * map->TileW), mapH = float((map->H + 1) * map->TileW);
            Point spot = at;
            for (const Point d : {Point{0, 1}, Point{0, -1}, Point{1, 0}, Point{-1, 0}}) {
                spot = {at.x + d.x * distance, at.y + d.y * distance};
                if (spot.x > 16 && spot.y > 16 && spot.x < mapW - 16 && spot.y < mapH - 16) break;
            }
            if (const auto& path = gCharTest.PlayerPath) path->Reset();
            player->Sprite->SetPosition(spot.x, spot.y);
            frmMain.Camera->SetPosition(spot.x, spot.y - 16);
        };
        if (w->Stage == 2) {
            // The cursor actions its class answers, as a click sends them.
            if (w->Direct.empty() && w->Since == 0) {
                for (const char* e : {"onLook", "onUse", "onTalk"})
                    if (obj.Script->Class && obj.Script->Class->Answers(Atom::Find(e)) &&
                        std::find(w->Sent.begin(), w->Sent.end(), e) == w->Sent.end())
                        w->Direct.push_back(e);
                if (who.Kind == "decoration")
                    for (const char* e : {"MouseOver", "MouseLook"})
                        if (obj.Script->Class && obj.Script->Class->Answers(Atom::Find(e))) w->Direct.push_back(e);
            }
            ++w->Since;
            if (w->Direct.empty()) {
                w->Heard = true;
                next();
                return false;
            }
            Point at;
            if (!ClickPoint(obj, at)) at = PlayerAt();
            standAt(at, 40);
            const std::string e = w->Direct.back();
            w->Direct.pop_back();
            const std::shared_ptr<zScriptObject> keep = obj.Script;
            keep->Execute(e);
            w->Heard = true;
            w->Quiet = 0;
            return false;
        }
        if (who.Kind == "decoration") {
            w->Stage = 2;
            w->Since = 0;
            return false;
        }
        Point at;
        if (!ClickPoint(obj, at)) {
            p.Fail("every point of the " + who.Name() + " in " + level + " is covered by something else");
            w->Stage = 2;
            return false;
        }
        if (!w->Pointing) {
            standAt(at, w->Stage == 0 ? 40.0f : 150.0f);
            w->Pointing = true;
            w->Since = 0;
        }
        ++w->Since;
        const auto& cursor = gCharTest.Cursor;
        const bool there = cursor && std::fabs(cursor->x - at.x) <= 0.5f && std::fabs(cursor->y - at.y) <= 0.5f;
        if (there && w->Since >= 3) {
            p.Click(ScreenOf(at));
            w->Sent.push_back(gCharTest.CursorEvent);
            w->Heard = true;
            w->Pointing = false;
            w->Since = 0;
            w->Quiet = 0;
            ++w->Stage;
            return false;
        }
        if (w->Since > 120) {
            p.Fail("the cursor never rested on the " + who.Name() + " in " + level);
            w->Pointing = false;
            ++w->Stage;
            return false;
        }
        p.Mouse(WindowEventType::MouseMove, ScreenOf(at), 0);
        return false;
    }};
}

// ---- the run -------------------------------------------------------------------------

struct RunResult {
    int Status = -1;        // exit status; -1 when the child did not exit by itself
    std::vector<std::string> Report, Log;

    std::vector<std::string> Lines(const std::string& iPrefix, const std::vector<std::string>& iFrom) const {
        std::vector<std::string> out;
        for (const auto& l : iFrom)
            if (l.rfind(iPrefix, 0) == 0) out.push_back(l);
        return out;
    }
    bool Ended() const { return !Lines("END", Report).empty(); }
};

inline std::vector<std::string> ReadLines(const std::string& iHost) {
    std::vector<std::string> out;
    std::ifstream f(iHost);
    for (std::string l; std::getline(f, l);) out.push_back(l);
    return out;
}

// Runs the program in a child process with the steps as its player; the
// child's own checks land in the report. iPrepare runs in the child before
// the start-up (answers for message boxes, say). iFolder is the program
// folder it plays, the built demo's unless another game is named.
inline RunResult PlayProgram(std::function<void(ScriptedPlayer&)> iScript, std::function<void()> iPrepare = nullptr,
                             const std::string& iFolder = ZUN_PROGRAM_DIR) {
    const zun::test::TempDir dir;
    const std::string report = dir.HostPath("report.txt"), log = dir.HostPath("log.txt");
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        // The child: never back into the test framework.
        std::freopen(log.c_str(), "w", stderr);
        std::freopen(log.c_str(), "a", stdout);
        alarm(900);  // a hang ends the child, never the test run
        setenv("ZUN_HEADLESS", "1", 1);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        SetApplicationFolder(iFolder);
        ScriptedPlayer player(report);
        iScript(player);
        if (iPrepare) iPrepare();

        // As main() starts the program.
        ConnectProgram();
        frmMain.UseVirtualClock();
        frmMain.Events = &player;
        std::string error;
        std::unique_ptr<Window> window = Window::Create("Vorlund", 640, 480, &error);
        frmMain.Window = window.get();
        frmMain.ExitProcess = [&window](int32_t iStatus) {
            frmMain.Window = nullptr;
            window.reset();
            ExitAfterShutDown(iStatus, true);
        };
        if (!frmMain.Form_Load("")) _exit(2);
        if (frmMain.Running) frmMain.RunFrameLoop(0, 20000);
        player.Write("FAIL the frame loop returned without a shut-down");
        std::fflush(nullptr);
        _exit(3);
    }
    RunResult r;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.Status = WEXITSTATUS(status);
    r.Report = ReadLines(report);
    r.Log = ReadLines(log);
    return r;
}

// What every run that the player ends must show: exit status 0, the script
// played to its end, no check failed, no error in the log and so no error box.
inline void ExpectCleanEnd(const RunResult& r) {
    std::string report;
    for (const auto& l : r.Report) report += l + "\n";
    EXPECT_EQ(r.Status, 0) << report;
    EXPECT_TRUE(r.Ended()) << report;
    std::string tail;
    for (size_t i = r.Log.size() > 30 ? r.Log.size() - 30 : 0; i < r.Log.size(); ++i) tail += r.Log[i] + "\n";
    EXPECT_TRUE(r.Lines("FAIL", r.Report).empty()) << report << "the log's end:\n" << tail;
    const auto errors = r.Lines("ERR", r.Log);
    EXPECT_TRUE(errors.empty()) << errors.size() << " errors, the first: " << (errors.empty() ? "" : errors[0]);
}

// Every object that a walk found placed heard its events at least once.
inline void ExpectEveryPlacedObjectVisited(const RunResult& r) {
    std::vector<std::string> placed, visited;
    for (const auto& l : r.Lines("PLACED ", r.Report)) placed.push_back(l.substr(7));
    for (const auto& l : r.Lines("VISITED ", r.Report)) visited.push_back(l.substr(8));
    EXPECT_FALSE(placed.empty());
    for (const auto& o : placed)
        EXPECT_NE(std::find(visited.begin(), visited.end(), o), visited.end()) << "never visited: " << o;
}

}  // namespace tarv::test
