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

}  // namespace tarv::test
