// Character sheets and characters: stored forms alone and through a chunk
// file, the values a sheet gives a character, the facing rows, the walk
// animation and the per-frame step with its script event.
#include <cmath>

#include "CharTestSupport.h"
#include "core/zRegistry.h"
#include "core/zRuntime.h"
#include "script/zScriptObject.h"

namespace tarv::test {
namespace {

class Chars : public CharTest {
protected:
    int32_t LoadSheetTexture() {
        WriteTexture("sheet.png", 128, 256);
        return zDDraw.LoadTexture("sheet.png", false, 0, 1, 0);
    }
    static int32_t Row(const gChar& c) { return (c.Sprite->SrcY - c.CharSet->y) / c.CharSet->H; }
    // One frame: the counter advances, the character may have moved, Update runs.
    static void Frame(gChar& c, bool moved) {
        zCore.FrameCounter += 1;
        c.Animate = moved;
        c.Update();
    }
};

TEST_F(Chars, SheetStoredFormFieldByField) {
    auto s = Sheet(24, 32, 6, 8);
    s->Texture = LoadSheetTexture();
    s->AniWait = 3;
    s->AlwaysAnimate = true;
    zStream out;
    ASSERT_TRUE(s->Export(out));

    zStream expect;
    expect.WriteString("sheet.png");
    expect.WriteLong(0);
    expect.WriteBool(false);
    for (int32_t v : {16, 8, 24, 32}) expect.WriteLong(v);
    expect.WriteByte(6);
    expect.WriteByte(8);
    expect.WriteLong(3);
    expect.WriteBool(true);
    expect.WriteLong(12);
    expect.WriteLong(28);
    EXPECT_EQ(zun::test::ToHex(out.Bytes()), zun::test::ToHex(expect.Bytes()));

    gCharset back;
    ASSERT_TRUE(back.Import(out));
    EXPECT_EQ(back.Texture, s->Texture) << "the cached texture of the same file is shared";
    EXPECT_EQ(back.x, 16);
    EXPECT_EQ(back.y, 8);
    EXPECT_EQ(back.W, 24);
    EXPECT_EQ(back.H, 32);
    EXPECT_EQ(back.FramesX, 6);
    EXPECT_EQ(back.FramesY, 8);
    EXPECT_EQ(back.AniWait, 3);
    EXPECT_TRUE(back.AlwaysAnimate);
    EXPECT_EQ(back.OffsetX, 12);
    EXPECT_EQ(back.OffsetY, 28);
    EXPECT_EQ(out.Cursor, out.GetLength());
}

TEST_F(Chars, TruncatedStoredFormsFailWithALoggedError) {
    auto s = Sheet();
    zStream full;
    ASSERT_TRUE(s->Export(full));
    auto bytes = full.Bytes();
    bytes.resize(bytes.size() - 3);
    zStream cut(bytes);
    gCharset back;
    zun::test::LogCapture log;
    EXPECT_FALSE(back.Import(cut));
    EXPECT_TRUE(log.Contains("ERR\tCharset_Import"));

    auto c = Char(5, 6, s);
    zStream cs;
    ASSERT_TRUE(c->Export(cs));
    auto cbytes = cs.Bytes();
    cbytes.resize(cbytes.size() - 5);
    zStream ccut(cbytes);
    gChar cback;
    EXPECT_FALSE(cback.Import(ccut));
    EXPECT_TRUE(log.Contains("ERR\tChar_Import"));
}

TEST_F(Chars, ExportWithoutASheetWritesNothingAndFails) {
    gChar c;
    c.Sprite = std::make_shared<zSprite>();
    zStream out;
    zun::test::LogCapture log;
    EXPECT_FALSE(c.Export(out));
    EXPECT_EQ(out.GetLength(), 0);
    EXPECT_TRUE(log.Contains("ERR\tChar_Export"));
}

TEST_F(Chars, CharacterAndSheetRoundTripThroughAChunkFile) {
    auto set = Sheet(32, 48, 4, 8);
    set->Texture = LoadSheetTexture();
    auto c = Char(100.5f, 200.25f, set);
    c->Sprite->Z = 3;
    c->SetAngle(1.0f);
    c->Animate = true;
    c->AniFrame = 3;
    c->AniNext = 77;
    c->Speed = 9;  // not stored

    zFile f;
    f.AddInstance(c);
    f.ExportToStreams(true);
    ASSERT_EQ(f.ChunkCount(), 2) << "the sheet is stored as a chunk of its own";
    zStream bytes;
    ASSERT_TRUE(f.SaveToStream(&bytes));

    zFile g;
    ASSERT_TRUE(g.LoadFromStream(&bytes));
    g.ImportFromStreams();
    auto back = std::dynamic_pointer_cast<gChar>(g.GetInstance(c->GUID));
    auto backSet = std::dynamic_pointer_cast<gCharset>(g.GetInstance(set->GUID));
    ASSERT_TRUE(back && backSet);
    EXPECT_EQ(back->CharSet, backSet);
    EXPECT_EQ(back->CharSetGUID, set->GUID);
    EXPECT_FLOAT_EQ(back->Sprite->x, 100.5f);
    EXPECT_FLOAT_EQ(back->Sprite->y, 200.25f);
    EXPECT_FLOAT_EQ(back->Sprite->Z, 3);
    EXPECT_EQ(back->Sprite->Texture, set->Texture);
    EXPECT_EQ(back->Sprite->SrcY, c->Sprite->SrcY);
    EXPECT_FLOAT_EQ(back->Angle, 1.0f);
    EXPECT_TRUE(back->Animate);
    EXPECT_EQ(back->AniFrame, 3);
    EXPECT_EQ(back->AniNext, 0) << "a stored AniNext is ignored";
    EXPECT_EQ(back->Speed, 0);
    EXPECT_EQ(back->CollisionFlags, 1);
    EXPECT_EQ(back->ContactCount(), 0) << "ImportInstances does not derive the sheet's values";
    EXPECT_EQ(backSet->W, 32);
    EXPECT_EQ(backSet->FramesY, 8);
}

TEST_F(Chars, AMissingSheetChunkLeavesNoSheet) {
    auto c = Char(1, 2);
    zFile f;
    f.AddInstance(c);
    f.ExportToStreams(false);  // the sheet is not added
    zStream bytes;
    f.SaveToStream(&bytes);
    zFile g;
    g.LoadFromStream(&bytes);
    g.ImportFromStreams();
    auto back = std::dynamic_pointer_cast<gChar>(g.GetInstance(c->GUID));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->CharSet, nullptr);
}

TEST_F(Chars, TheFactoryMakesBothClasses) {
    auto c = CreateClass("gChar", true);
    auto s = CreateClass("gCharset", true);
    ASSERT_TRUE(std::dynamic_pointer_cast<gChar>(c));
    ASSERT_TRUE(std::dynamic_pointer_cast<gCharset>(s));
    EXPECT_EQ(c->GUID.size(), 32u);
    EXPECT_EQ(std::dynamic_pointer_cast<gChar>(c)->CollisionFlags, 1);
}

TEST_F(Chars, SetCharSetDerivesSpriteRadiiAndRing) {
    auto set = Sheet(48, 64, 4, 8);
    set->Texture = 7;
    auto c = Char(0, 0, set);
    EXPECT_EQ(c->Sprite->Texture, 7);
    EXPECT_EQ(c->Sprite->SrcX, 16);
    EXPECT_EQ(c->Sprite->W, 48);
    EXPECT_EQ(c->Sprite->H, 64);
    EXPECT_FLOAT_EQ(c->Sprite->OriginX, 24);
    EXPECT_FLOAT_EQ(c->Sprite->OriginY, 60);
    EXPECT_FLOAT_EQ(c->RadiusX, 16);
    EXPECT_FLOAT_EQ(c->RadiusY, 9.6f) << "both radii come from the width";
    EXPECT_EQ(Row(*c), 2) << "angle 0 faces right";
    for (auto [w, n] : {std::pair{24, 8}, {32, 10}, {48, 14}, {64, 18}})
        EXPECT_EQ(Char(0, 0, Sheet(w))->ContactCount(), n + 4) << w;
}

TEST_F(Chars, SetCharSetRefusesWhatItCannotUse) {
    gChar c;
    c.Sprite = std::make_shared<zSprite>();
    EXPECT_THROW(c.SetCharSet(nullptr), RuntimeError);
    auto huge = Sheet(2000000000);
    EXPECT_THROW(c.SetCharSet(huge), RuntimeError) << "a ring that large is never built";
    EXPECT_EQ(c.CharSet, nullptr);
    gChar noSprite;
    EXPECT_THROW(noSprite.SetCharSet(Sheet()), RuntimeError);
}

TEST_F(Chars, FacingRows) {
    auto c = Char(0, 0, Sheet(24, 32, 4, 8));
    struct Case {
        float angle;
        int32_t row;
    };
    for (Case k : {Case{0, 2}, {4.712389f, 0}, {-1.570796f, 0}, {1.570796f, 4}, {3.141593f, 6}, {0.785398f, 3},
                   {6.0f, 2}, {5.5f, 1}}) {
        c->SetAngle(k.angle);
        EXPECT_EQ(Row(*c), k.row) << k.angle;
        EXPECT_GE(c->Angle, 0.0f);
        EXPECT_LT(c->Angle, 6.283186f);
    }
    auto four = Char(0, 0, Sheet(24, 32, 4, 4));
    for (Case k : {Case{4.712389f, 0}, {0, 1}, {1.570796f, 2}, {3.141593f, 3}}) {
        four->SetAngle(k.angle);
        EXPECT_EQ(Row(*four), k.row) << k.angle;
    }
    for (uint8_t rows : {0, 1}) {
        auto one = Char(0, 0, Sheet(24, 32, 4, rows));
        for (float a : {0.0f, 1.570796f, 3.141593f, 4.712389f}) {
            one->SetAngle(a);
            EXPECT_EQ(one->Sprite->SrcY, 8) << int(rows) << " rows, angle " << a;
        }
    }
}

TEST_F(Chars, WalkFramesAdvanceEveryAniWaitPlusOneFrames) {
    auto set = Sheet(24, 32, 4, 8);
    auto c = Char(0, 0, set);
    std::vector<int32_t> frames;
    for (int i = 0; i < 5; ++i) {
        Frame(*c, true);
        frames.push_back(c->AniFrame);
    }
    EXPECT_EQ(frames, (std::vector<int32_t>{1, 2, 3, 0, 1})) << "AniWait 0: every frame";

    set->AniWait = 5;
    auto slow = Char(0, 0, set);
    frames.clear();
    for (int i = 0; i < 13; ++i) {
        Frame(*slow, true);
        frames.push_back(slow->AniFrame);
    }
    EXPECT_EQ(frames, (std::vector<int32_t>{1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 3})) << "AniWait 5: every sixth";
}

TEST_F(Chars, StandingShowsFrameZeroAndWalkingUsesTheOffset) {
    auto set = Sheet(24, 32, 4, 8);
    set->AniWait = 2;
    auto c = Char(0, 0, set);
    c->AniWalkOffset = 4;
    Frame(*c, true);
    EXPECT_EQ(c->AniFrame, 1);
    EXPECT_EQ(c->Sprite->SrcX, 16 + (1 + 4) * 24);
    EXPECT_FALSE(c->Animate) << "Animate lives for one frame";
    Frame(*c, false);
    EXPECT_EQ(c->AniFrame, 0);
    EXPECT_EQ(c->Sprite->SrcX, 16) << "the standing column, without the walk offset";
    // AniNext (frame 1 + 2 = 3) has not passed at frame 3, but has at frame 4.
    Frame(*c, true);
    EXPECT_EQ(c->Sprite->SrcX, 16);
    Frame(*c, true);
    EXPECT_EQ(c->AniFrame, 1);
}

TEST_F(Chars, NoWalkFramesShowsTheStandingFrameEvenWhenAlwaysAnimating) {
    auto set = Sheet(24, 32, 0, 8);
    set->AlwaysAnimate = true;
    auto c = Char(0, 0, set);
    for (int i = 0; i < 4; ++i) Frame(*c, i % 2 == 0);
    EXPECT_EQ(c->AniFrame, 0);
    EXPECT_EQ(c->Sprite->SrcX, 16);

    auto always = Sheet(24, 32, 3, 8);
    always->AlwaysAnimate = true;
    auto d = Char(0, 0, always);
    Frame(*d, false);
    Frame(*d, false);
    EXPECT_EQ(d->AniFrame, 2) << "AlwaysAnimate walks in place";
}

TEST_F(Chars, UpdateTellsTheScriptWhereTheCharacterIs) {
    LoadScript(R"(
class Walker {
  func onUpdate() { record(_x, _y, _z, _r); }
}
)");
    auto c = Char(10.5f, 20, Sheet());
    c->Sprite->Z = 2;
    c->Sprite->R = 0.25f;
    c->Item->ScriptObject = Object("Walker");
    c->Item->ScriptObject->Locals->SetNameValue("_x", HostValue(int32_t(-1)));
    Frame(*c, false);
    Frame(*c, false);
    EXPECT_EQ(records, (std::vector<std::string>{"10.5,20,2,0.25", "10.5,20,2,0.25"}));
    auto x = c->Item->ScriptObject->Locals->GetName("_x");
    ASSERT_TRUE(x);
    EXPECT_EQ(x->Typ, typFloat) << "an existing entry takes the value as a Single";
}

TEST_F(Chars, UpdateFollowsTheCharactersOwnPathWithoutAScript) {
    gCharTest.mapCollision = OpenMap(32, 10, 10);
    auto c = Char(48, 48);
    c->MovePath = std::make_shared<gPath>();
    ASSERT_EQ(c->MovePath->FindPath(gCharTest.mapCollision.get(), 0, 1, 1, 5, 1, false), 2);
    c->Speed = 4;
    Frame(*c, false);
    EXPECT_FLOAT_EQ(c->Sprite->x, 52);
    EXPECT_EQ(c->AniFrame, 1) << "moving along the path animates";
    EXPECT_TRUE(records.empty());
}

TEST_F(Chars, UpdateWithoutItemOrSheetFailsToTheCaller) {
    auto c = Char(0, 0);
    c->Item.reset();
    try {
        c->Update();
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number, int(errObjectNotSet));
    }
    auto d = Char(0, 0);
    d->CharSet.reset();
    EXPECT_THROW(d->Update(), RuntimeError);
}

TEST_F(Chars, ShadowCoversTheFootprintAtTheDepthOfItsRow) {
    gCharTest.ShadowTexture = AddTexture(16, 16, "shadow.png");
    auto c = Char(100, 200, Sheet(24));
    c->Sprite->ZoomX = 2;
    zCamera cam = Camera(10, 20, 640, 480);
    c->RenderShadow(cam, 0.8f, 0.2f);
    auto q = Quads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_NEAR(q[0].Left(), 100 - 16 - 10, 1e-3);
    EXPECT_NEAR(q[0].Top(), 200 - 4.8 - 20, 1e-3);
    EXPECT_NEAR(q[0].Width(), 32, 1e-3);
    EXPECT_NEAR(q[0].Height(), 9.6, 1e-3);
    EXPECT_NEAR(zDDraw.RenderZ, 0.8 - 0.6 * 180.0 / 480.0, 1e-6);
    EXPECT_EQ(q[0].Color, 0xFFFFFFFFu);
}

TEST_F(Chars, PositionRecord) {
    cPos3D p;
    p.x = 1;
    p.y = 2;
    p.Z = 3;
    EXPECT_EQ(p.Vector(), (Vector3{1, 2, 3}));
}

}  // namespace
}  // namespace tarv::test
