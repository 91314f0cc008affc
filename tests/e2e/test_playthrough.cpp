// The demo played through the real program from the first screen to "Leave
// the demo", by key presses and releases and by mouse moves and clicks at the
// screen places of people and things, with checks of the game's state, the
// level, the messages and their speakers, and a few pixels of the frames.
#include "PlayTestSupport.h"
#include "SoundCapture.h"
#include "platform/Dialogs.h"

namespace tarv::test {
namespace {

// ---- places, read from the running game so that layouts may change ----------

Where Feet(const std::string& iChar, float dy = 0) {
    return [=] {
        const auto c = CharNamed(iChar);
        return c && c->Sprite ? Point{c->Sprite->x, c->Sprite->y + dy} : Point{-1000, -1000};
    };
}

Where ItemAt(std::shared_ptr<zItemMap> gCharTestModule::*iLayer, const std::string& iKey, float dy = 0) {
    return [=] {
        const auto i = ItemNamed(gCharTest.*iLayer, iKey);
        return i && i->Sprite ? Point{i->Sprite->x, i->Sprite->y + dy} : Point{-1000, -1000};
    };
}

// ---- pixel probes ----------------------------------------------------------------

// The middle of the face slot shows the speaker's face as the builder painted
// it, or (no face) the face background: never a white square.
void ProbeFace(ScriptedPlayer& p, const std::string& iSheet, int32_t iSrcX, int32_t iSrcY) {
    const auto& face = gCharTest.Face;
    const float zoom = zDDraw.RenderZoom;
    int32_t x = iSrcX + 24, y = iSrcY + 28;
    EvenSpot(Painted(iSheet), x, y);
    const Point s{(face->x + float(x - iSrcX) + 0.5f) * zoom, (face->y + float(y - iSrcY) + 0.5f) * zoom};
    const uint32_t seen = ScreenPixel(s), painted = PaintedPixel(iSheet, x, y);
    p.Write("PROBE face " + iSheet + " " + Hex(seen) + " painted " + Hex(painted));
    p.Check(ColourGap(seen, painted) <= 48, "face slot shows " + Hex(seen) + ", painted " + Hex(painted));
    p.Check(seen != 0xFFFFFF, "a white square in the face slot");
}

// The mean brightness of eight screen pixels on a circle around a level point.
int32_t RingBrightness(Point iCentre, float iRadius) {
    int32_t sum = 0;
    for (int k = 0; k < 8; ++k) {
        const double a = k * 3.14159265 / 4;
        sum += Brightness(ScreenPixel(ScreenOf({iCentre.x + float(iRadius * std::cos(a)), iCentre.y + float(iRadius * std::sin(a))})));
    }
    return sum / 8;
}

// The level's point on screen that is farthest from its lamps and the player.
Point DarkCorner() {
    Point best;
    float far = -1;
    const auto& ground = gCharTest.solidGround;
    if (!ground) return best;
    const float w = float((ground->W + 1) * ground->TileW), h = float((ground->H + 1) * ground->TileW);
    std::vector<Point> lamps{PlayerAt()};
    if (gCharTest.mapLights)
        for (const auto& l : gCharTest.mapLights->Items())
            if (l && l->Sprite) lamps.push_back({l->Sprite->x, l->Sprite->y});
    for (float y = 56; y < h - 16; y += 8)
        for (float x = 24; x < w - 24; x += 8) {
            const Point sc = ScreenOf({x, y});
            if (sc.x < 16 || sc.y < 140 || sc.x > 624 || sc.y > 464) continue;
            float nearest = 1e9f;
            for (const Point& l : lamps) nearest = std::min(nearest, Distance({x, y}, l));
            if (nearest > far) far = nearest, best = {x, y};
        }
    return best;
}

// The talk cursor over a person: the white of its speech bubble.
void ProbeTalkCursor(ScriptedPlayer& p) {
    const auto& c = gCharTest.Cursor;
    const uint32_t seen = ScreenPixel(ScreenOf({c->x, c->y - 15})),
                   painted = PaintedPixel("Demo Cursors.png", 48, 38);
    p.Write("PROBE cursor " + Hex(seen) + " painted " + Hex(painted));
    p.Check(c->SrcX == 32 && c->SrcY == 32, "the cursor is not the talk cursor");
    p.Check(ColourGap(seen, painted) <= 48, "talk cursor shows " + Hex(seen) + ", painted " + Hex(painted));
}

std::vector<Step> TalkTo(const std::string& iWho) {
    return {ClickAt("talk to " + iWho, Feet(iWho, -14), "onTalk", ProbeTalkCursor)};
}

// ---- the story -----------------------------------------------------------------

void TheStart(std::vector<Step>& s) {
    s.push_back(WaitUntil("the story on screen", [] { return MessageTyped() && gCharTest.Message->Message == "#"; }));
    s.push_back(Do("the village, nothing done yet", [](ScriptedPlayer& p) {
        p.Check(LevelClass() == "Village", "level " + LevelClass());
        for (const char* flag : {"hasKey", "hasLantern", "hasCoin", "metTobin", "tobinHappy", "finished"})
            p.Check(!GameFlag(flag), std::string(flag) + " at the start");
        p.Check(gCharTest.MessageArea->Text.find("Hollowmere") != std::string::npos, "the story text");
        ProbeFace(p, "Face Background.png", 0, 0);
    }));
}

void MarlaAndTheKey(std::vector<Step>& s, bool iMouse) {
    Append(s, WalkTo("Marla", Feet("marla", 22), 20));
    Append(s, TalkTo("marla"));
    s.push_back(Expect("Marla", "What can I do for you?", false));
    if (iMouse) {
        // The first answer's row under the pointer, then a click.
        s.push_back({"point at the first answer", 30, [](ScriptedPlayer& p) {
                         const auto& m = gCharTest.Message;
                         if (!m || m->Options.empty() || m->Options[0]->W <= 0) return false;
                         const auto& row = *m->Options[0];
                         const float zoom = zDDraw.RenderZoom;
                         const Point at{(row.x + 20) * zoom, (row.y + float(row.H) / 2) * zoom};
                         if (m->Selected == 1 && p.StepFrames() >= 2) {
                             p.Click(at);
                             return true;
                         }
                         p.Mouse(WindowEventType::MouseMove, at, 0);
                         return false;
                     }});
    } else {
        Append(s, Tap("the first answer", kKey1));
    }
    s.push_back(Expect("Marla", "hasn't come up since"));
    s.push_back(Expect("Marla", "take the key"));
    s.push_back(Expect("Events", "cellar key"));
    s.push_back(Do("the key is carried", [](ScriptedPlayer& p) { p.Check(GameFlag("hasKey"), "no key"); }));
}

void TheHallDoorAndTheCellar(std::vector<Step>& s) {
    const Where door = ItemAt(&gCharTestModule::mapDoors, "halldoor");
    Append(s, WalkTo("the hall door", ItemAt(&gCharTestModule::mapDoors, "halldoor", 14), 16));
    // Left or right with the arrow keys until the door is straight ahead.
    auto held = std::make_shared<int32_t>(0);
    s.push_back({"line up with the door", 40, [door, held](ScriptedPlayer& p) {
                     const float dx = door().x - PlayerAt().x;
                     const int32_t want = dx > 4 ? 39 : dx < -4 ? 37 : 0;
                     if (*held && *held != want) p.Key(WindowEventType::KeyUp, *held);
                     if (want && want != *held) p.Key(WindowEventType::KeyDown, want);
                     *held = want;
                     return want == 0;
                 }});
    // Up against the door, then Space uses the door in front.
    s.push_back(Do("face the door", [](ScriptedPlayer& p) { p.Key(WindowEventType::KeyDown, kKeyUp); }));
    s.push_back({"let go of up", 8, [](ScriptedPlayer& p) {
                     if (p.StepFrames() < 6) return false;
                     p.Key(WindowEventType::KeyUp, kKeyUp);
                     return true;
                 }});
    Append(s, Tap("use the door", kKeySpace));
    s.push_back(WaitUntil("down in the cellar", [] { return LevelClass() == "Cellar"; }, 200));
    s.push_back(Expect("Hero", "Dark down here"));
    s.push_back(Do("the brazier's light", [](ScriptedPlayer& p) {
        // The cellar's ambient is black: the floor by the brazier shows its
        // light, a corner far from every lamp stays dark.
        const auto light = ItemNamed(gCharTest.mapLights, "brazierlight");
        p.Check(light != nullptr, "no brazier light");
        if (!light) return;
        const int32_t lit = RingBrightness({light->Sprite->x, light->Sprite->y}, 48);
        const int32_t dark = RingBrightness(DarkCorner(), 8);
        p.Write("PROBE brazier " + std::to_string(lit) + " corner " + std::to_string(dark));
        p.Check(lit >= dark + 60, "the brazier lights nothing: " + std::to_string(lit) + " against " + std::to_string(dark));
    }));
}

void TobinAndTheLantern(std::vector<Step>& s) {
    Append(s, WalkTo("Tobin", Feet("tobin", 22), 20));
    Append(s, TalkTo("tobin"));
    s.push_back(Expect("Tobin", "Did Marla send you?", false));
    Append(s, Tap("the second answer", kKey2));
    s.push_back(Expect("Tobin", "Hiding from the thunder"));
    s.push_back(Expect("Tobin", "Take my old lantern"));
    s.push_back(Expect("Events", "Press 1"));
    s.push_back(Do("Tobin met, the lantern given", [](ScriptedPlayer& p) {
        p.Check(GameFlag("metTobin") && GameFlag("hasLantern"), "Tobin met, lantern given");
        p.Check(!gCharTest.TorchEnabled, "the lantern burns already");
    }));
}

void TheCoinAndTobin(std::vector<Step>& s) {
    // The far corner is too dark to see in, until the lantern burns.
    Append(s, WalkTo("the coin", ItemAt(&gCharTestModule::mapItems, "coin", 16), 20));
    auto dark = std::make_shared<int32_t>(0);
    // The lantern's glow follows the pointer, which rests where the last click went.
    const auto atPlayer = [](float iRadius = 40) {
        return RingBrightness({gCharTest.Cursor->x, gCharTest.Cursor->y}, iRadius);
    };
    auto nearLit = std::make_shared<int32_t>(0);
    s.push_back(Do("the player in the dark", [dark, atPlayer](ScriptedPlayer& p) { *dark = atPlayer(); }));
    Append(s, Tap("light the lantern", kKey1));
    s.push_back(WaitUntil("the lantern burns", [] { return GameFlag("torchOn") && gCharTest.TorchEnabled; }, 10));
    s.push_back(WaitUntil("a frame with the lantern", [] { return true; }));
    s.push_back(Do("the player in the lantern's light", [dark, atPlayer, nearLit](ScriptedPlayer& p) {
        const int32_t lit = atPlayer();
        p.Write("PROBE lantern " + std::to_string(*dark) + " -> " + std::to_string(lit));
        p.Check(lit >= *dark + 12 && lit >= 2 * *dark, "the lantern lights nothing: " + std::to_string(*dark) + " -> " + std::to_string(lit));
        const auto& seen = p.Seen;
        p.Check(!seen.empty() && seen.back().second.find("Too dark") != std::string::npos, "the corner said nothing");
        *nearLit = atPlayer(20);
    }));
    // Zoomed in by Z, the glow is still round the pointer: near it, as bright as at zoom 1.
    Append(s, Tap("zoom in", kKeyZ));
    s.push_back(WaitUntil("zoomed in", [] { return zDDraw.RenderZoom == 2.0f; }, 10));
    s.push_back(WaitUntil("a frame at zoom 2", [] { return true; }));
    s.push_back(Do("the lantern's light at zoom 2", [atPlayer, nearLit](ScriptedPlayer& p) {
        const int32_t lit = atPlayer(20);
        p.Write("PROBE lantern near the pointer " + std::to_string(*nearLit) + ", at zoom 2 " +
                std::to_string(lit));
        p.Check(4 * lit >= 3 * *nearLit, "the lantern does not light round the pointer at zoom 2: " +
                                             std::to_string(lit) + " against " + std::to_string(*nearLit));
    }));
    Append(s, Tap("zoom out", kKeyZ));
    s.push_back(WaitUntil("zoomed out", [] { return zDDraw.RenderZoom == 1.0f; }, 10));
    s.push_back(ClickAt("pick up the coin", ItemAt(&gCharTestModule::mapItems, "coin", -3), "onUse"));
    s.push_back(Expect("Events", "silver coin"));
    s.push_back(Do("the coin is carried", [](ScriptedPlayer& p) {
        p.Check(GameFlag("hasCoin"), "no coin");
        p.Check(!ItemNamed(gCharTest.mapItems, "coin"), "the coin still lies there");
    }));
    Append(s, WalkTo("Tobin", Feet("tobin", 22), 20));
    Append(s, TalkTo("tobin"));
    s.push_back(Expect("Tobin", "My coin!"));
    s.push_back(Expect("Hero", "behind the flour sack"));
    s.push_back(Expect("Tobin", "Tell Marla"));
    s.push_back(Expect("Tobin", "keep the lantern"));
    s.push_back(Do("Tobin is happy", [](ScriptedPlayer& p) {
        p.Check(GameFlag("tobinHappy") && !GameFlag("hasCoin"), "the coin went back to Tobin");
    }));
    s.push_back(WaitUntil("Tobin goes up", [] { return !CharNamed("tobin"); }, 300));
}

void TheWayBackAndTheEnd(std::vector<Step>& s) {
    Append(s, WalkTo("the stairs", ItemAt(&gCharTestModule::mapDoors, "stairs", 22), 24));
    s.push_back(ClickAt("climb the stairs", ItemAt(&gCharTestModule::mapDoors, "stairs", -6), "onUse"));
    s.push_back(WaitUntil("back in the village", [] { return LevelClass() == "Village"; }, 60));
    s.push_back(Do("Tobin is in the village", [](ScriptedPlayer& p) {
        p.Check(CharNamed("tobinUp") != nullptr, "no Tobin by the inn");
    }));
    Append(s, WalkTo("Marla", Feet("marla", 22), 20));
    Append(s, TalkTo("marla"));
    s.push_back(Expect("Marla", "You found him"));
    s.push_back(Expect("Tobin", "Found my coin"));
    s.push_back(Expect("Marla", "supper is on the house"));
    s.push_back(Expect("Events", "end of the Vorlund demo", false));
    s.push_back(Do("the story is told", [](ScriptedPlayer& p) { p.Check(GameFlag("finished"), "not finished"); }));
}

// Esc, and Yes to the question it asks: the program ends in that frame.
Step QuitWithEsc() {
    return Do("Esc to quit", [](ScriptedPlayer& p) { p.Key(WindowEventType::KeyDown, kKeyEsc); });
}

// ---- the runs ----------------------------------------------------------------------

TEST(Playthrough, TheWholeStoryByKeysEndsWithLeaveTheDemo) {
    const RunResult r = PlayProgram([](ScriptedPlayer& p) {
        auto& s = p.Steps;
        TheStart(s);
        Append(s, Tap("Space for the story", kKeySpace));
        s.push_back(Expect("Hero", "Hollowmere at last", false));
        s.push_back(Do("the hero's face", [](ScriptedPlayer& p) {
            ProbeFace(p, "Face Hero.png", 0, 0);
            p.AnswerPlainMessages();
        }));
        MarlaAndTheKey(s, false);
        TheHallDoorAndTheCellar(s);
        TobinAndTheLantern(s);
        TheCoinAndTobin(s);
        TheWayBackAndTheEnd(s);
        // "Leave the demo.": the program ends in the frame that reads the key.
        s.push_back(Do("leave the demo", [](ScriptedPlayer& p) { p.Key(WindowEventType::KeyDown, kKey2); }));
    });
    ExpectCleanEnd(r);
    EXPECT_TRUE(r.Lines("INF\tMsgBox", r.Log).empty()) << "a message box came up";
}

// Answers with the mouse: a click ends a plain message, a click on a row
// answers a question; Esc and Yes end the program.
// Every thing, door, person and area the demo's levels place hears what a
// player can send it, from near and from afar: in the village, in the cellar,
// and in the village again once Tobin is back by the inn. No event logs an
// error, so none opens an error box.
TEST(Playthrough, EveryPlacedObjectAnswersTheCursorWithoutAnError) {
    const RunResult r = PlayProgram(
        [](ScriptedPlayer& p) {
            auto& s = p.Steps;
            s.push_back(VisitEveryPlacedObject({"village", "cellar", "village"}));
            s.push_back(Do("Esc to quit", [](ScriptedPlayer& p) { p.Key(WindowEventType::KeyDown, kKeyEsc); }));
        },
        [] { PushMessageBoxAnswer(MsgBoxResult::Yes); });
    ExpectCleanEnd(r);
    ExpectEveryPlacedObjectVisited(r);
    // The second visit of the village meets Tobin by the inn.
    std::vector<std::string> tobin = r.Lines("VISITED village person tobinUp", r.Report);
    EXPECT_EQ(tobin.size(), 1u);
}

TEST(Playthrough, AnswersByMouseAndQuitsWithEsc) {
    const RunResult r = PlayProgram(
        [](ScriptedPlayer& p) {
            auto& s = p.Steps;
            TheStart(s);
            const auto clickAway = [](const std::string& speaker, const std::string& words) {
                return std::vector<Step>{Expect(speaker, words, false),
                                         Do("click the message away", [](ScriptedPlayer& p) {
                                             p.Click({320, 240});
                                         })};
            };
            s.push_back(Do("click the story away", [](ScriptedPlayer& p) { p.Click({320, 240}); }));
            Append(s, clickAway("Hero", "Hollowmere at last"));
            MarlaAndTheKey(s, true);
            s.push_back(QuitWithEsc());
        },
        [] { PushMessageBoxAnswer(MsgBoxResult::Yes); });
    ExpectCleanEnd(r);
    EXPECT_EQ(r.Lines("INF\tMsgBox", r.Log).size(), 1u);
}

// The settings window, the console and full screen, each opened and closed
// by its key on the way, and the game goes on.
TEST(Playthrough, SettingsConsoleAndFullScreenOpenAndCloseByTheirKeys) {
    const RunResult r = PlayProgram(
        [](ScriptedPlayer& p) {
            auto& s = p.Steps;
            TheStart(s);
            Append(s, Tap("Space for the story", kKeySpace));
            // Each window by its key, away again by its key; full screen alike.
            const auto shown = [&s](const std::string& what, int32_t open, int32_t close,
                                    std::function<bool()> on) {
                Append(s, Tap(what + " on", open));
                s.push_back(Do(what + " is on", [=](ScriptedPlayer& p) { p.Check(on(), what + " is not on"); }));
                Append(s, Tap(what + " off", close));
                s.push_back(Do(what + " is off", [=](ScriptedPlayer& p) { p.Check(!on(), what + " stays on"); }));
            };
            const auto visible = [](const std::function<bool()>& slot) { return slot && slot(); };
            shown("the settings", 112, kKeyEsc, [=] { return visible(gShellParts.SettingsVisible); });
            shown("the console", 121, 121, [=] { return visible(gShellParts.ConsoleVisible); });
            shown("full screen", 70, 70, [] {
                // The view is 512 wide in full screen, the window's own size in a window.
                return gCharTest.FullScreen && zDDraw.ViewW == 512;
            });
            s.push_back(Do("the view is the window's", [](ScriptedPlayer& p) {
                p.Check(zDDraw.ViewW == 640, "the view is " + std::to_string(zDDraw.ViewW) + " wide");
            }));
            // The story goes on under the windows.
            s.push_back(Expect("Hero", "Hollowmere at last", false));
            s.push_back(Do("the game went on", [](ScriptedPlayer& p) {
                p.Check(LevelClass() == "Village", "level " + LevelClass());
                p.AnswerPlainMessages();
            }));
            s.push_back(QuitWithEsc());
        },
        [] {
            // Whatever the settings window may say on closing, then Yes to the
            // question on Esc.
            PushMessageBoxAnswer(MsgBoxResult::Yes);
            PushMessageBoxAnswer(MsgBoxResult::Yes);
        });
    ExpectCleanEnd(r);
}

// The demo plays MIDI music and wave sounds only: the decoder of compressed
// music files, whose libraries would cost near 20 MB, stays out of memory.
TEST(Playthrough, TheDemoRunsWithoutTheCompressedMusicDecoder) {
    const RunResult r = PlayProgram(
        [](ScriptedPlayer& p) {
            auto& s = p.Steps;
            TheStart(s);
            s.push_back(Do("no compressed music decoder loaded", [](ScriptedPlayer& p) {
                std::ifstream maps("/proc/self/maps");
                std::stringstream text;
                text << maps.rdbuf();
                p.Check(!text.str().empty(), "no memory map to read");
                for (const char* lib : {"libavformat", "libavcodec", "libswresample", "libavutil"})
                    p.Check(text.str().find(lib) == std::string::npos, std::string(lib) + " is loaded");
            }));
            s.push_back(QuitWithEsc());
        },
        [] { PushMessageBoxAnswer(MsgBoxResult::Yes); });
    ExpectCleanEnd(r);
}

// ---- the hero in the water ------------------------------------------------------------

// The mean brightness of the screen just below the hero's feet, where his
// reflection hangs when he stands in water.
int32_t BelowTheFeet() {
    const Point f = PlayerAt();
    int32_t sum = 0, n = 0;
    for (float dy = 3; dy <= 13; dy += 2)
        for (float dx = -6; dx <= 6; dx += 2) {
            sum += Brightness(ScreenPixel(ScreenOf({f.x + dx, f.y + dy})));
            n += 1;
        }
    return sum / n;
}

// Standing in the puddle west of the fountain, the hero is seen in it: below
// his feet the frame is brighter with the reflections of things on than off.
TEST(Playthrough, TheHeroStandingInAPuddleIsSeenInIt) {
    const RunResult r = PlayProgram(
        [](ScriptedPlayer& p) {
            auto& s = p.Steps;
            TheStart(s);
            Append(s, Tap("Space for the story", kKeySpace));
            s.push_back(Expect("Hero", "Hollowmere at last", false));
            s.push_back(Do("the story read", [](ScriptedPlayer& p) { p.AnswerPlainMessages(); }));
            // The puddle of cells 16..18 x 27 and 17..18 x 28, 16 pixels each:
            // the feet at the middle of cell 17, 27, water below them.
            Append(s, WalkTo("the puddle", [] { return Point{280, 440}; }, 4));
            auto seen = std::make_shared<int32_t>(0);
            s.push_back(Do("the hero in the puddle", [seen](ScriptedPlayer& p) {
                const Point f = PlayerAt();
                const auto& water = gCharTest.mapWater;
                uint8_t col = 0, mask = 0;
                if (water && water->TileW > 0)
                    water->GetTile(int32_t(f.x) / water->TileW, int32_t(f.y + 2) / water->TileW, col, mask);
                p.Check(col != 0, "the hero does not stand in water");
                p.Write("PROBE feet " + std::to_string(f.x) + ", " + std::to_string(f.y));
                *seen = BelowTheFeet();
                gCharTest.Settings->SetByte("MirrorObjects", 0);
            }));
            s.push_back(WaitUntil("a frame without reflections", [] { return true; }));
            s.push_back(Do("the reflection was there", [seen](ScriptedPlayer& p) {
                const int32_t plain = BelowTheFeet();
                gCharTest.Settings->SetByte("MirrorObjects", 1);
                p.Write("PROBE reflection " + std::to_string(*seen) + " without " + std::to_string(plain));
                p.Check(*seen >= plain + 45, "no reflection below the hero: " + std::to_string(*seen) +
                                                 " against " + std::to_string(plain));
            }));
            s.push_back(QuitWithEsc());
        },
        [] { PushMessageBoxAnswer(MsgBoxResult::Yes); });
    ExpectCleanEnd(r);
}

// What the player hears at the default settings, captured from the mixer along
// the whole story: the music sits near the footsteps, every sound played is
// heard, nothing clips, and M mutes everything until it is pressed again.
TEST(Playthrough, TheMusicAndEverySoundAreHeardAndMuteSilencesThem) {
    const RunResult r = PlayProgram(
        [](ScriptedPlayer& p) {
            auto& s = p.Steps;
            auto capture = std::make_shared<SoundCapture>();
            TheStart(s);
            Append(s, Tap("Space for the story", kKeySpace));
            s.push_back(Expect("Hero", "Hollowmere at last"));
            MarlaAndTheKey(s, false);
            // M, a wait for the sounds already under way to end, then a
            // stretch that must be silence, and M again.
            Append(s, Tap("mute", 77));
            auto waited = std::make_shared<int32_t>(0);
            s.push_back(WaitUntil("the last sounds die away", [capture, waited] {
                capture->Quiet = true;
                capture->QuietPeak = 0;
                return ++*waited > 300;
            }, 400));
            s.push_back(WaitUntil("muted for a while", [waited] { return ++*waited > 400; }, 200));
            s.push_back(Do("muted is silent", [capture](ScriptedPlayer& p) {
                p.Write("PROBE muted peak " + std::to_string(capture->QuietPeak));
                p.Check(capture->QuietPeak == 0.0f, "sound while muted, peak " + std::to_string(capture->QuietPeak));
            }));
            Append(s, Tap("unmute", 77));
            s.push_back(Do("heard again", [capture](ScriptedPlayer&) { capture->Quiet = false; }));
            TheHallDoorAndTheCellar(s);
            TobinAndTheLantern(s);
            TheCoinAndTobin(s);
            TheWayBackAndTheEnd(s);
            s.push_back(Do("the levels", [capture](ScriptedPlayer& p) {
                const SoundCapture& c = *capture;
                const double music = c.Music.Db(), steps = c.Steps().Db();
                p.Write("PROBE music " + Db(music) + " dBFS, footsteps " + Db(steps) + " dBFS, peak " +
                        std::to_string(c.Peak));
                for (const auto& [name, sum] : c.Waves) {
                    p.Write("PROBE " + name + " " + Db(sum.Db()) + " dBFS");
                    p.Check(sum.Db() > -40, name + " is not heard: " + Db(sum.Db()) + " dBFS");
                }
                p.Check(c.Steps().Samples > 0, "no footsteps");
                p.Check(c.Waves.count("rain.wav") > 0, "no rain");
                p.Check(music > -40, "the music is not heard: " + Db(music) + " dBFS");
                p.Check(std::fabs(music - steps) <= 12,
                        "the music at " + Db(music) + " dBFS, the footsteps at " + Db(steps) + " dBFS");
                p.Write("PROBE peak at " + c.PeakAt);
                p.Check(c.Peak < 1.0f, "the mix clips at " + c.PeakAt);
            }));
            s.push_back(Do("leave the demo", [](ScriptedPlayer& p) { p.Key(WindowEventType::KeyDown, kKey2); }));
            CaptureAlong(s, capture);
        },
        [] { AudioDevice::UseOffline(kCaptureRate); });
    for (const auto& l : r.Lines("PROBE", r.Report)) std::printf("%s\n", l.c_str());
    ExpectCleanEnd(r);
}

}  // namespace
}  // namespace tarv::test
