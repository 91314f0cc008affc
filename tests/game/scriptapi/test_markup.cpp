// The message markup: speaker, face cell and message text of a dialog.
#include "ScriptApiTestSupport.h"
#include "game/world/gTextSelect.h"

namespace tarv::test {
namespace {

class MarkupTest : public ScriptApiTest {
protected:
    std::string SheetOf(const gTextSelect& d) const {
        const int32_t t = d.Face->Texture;
        if (t <= 0 || size_t(t) >= zDDraw.Textures.size()) return "";
        return zDDraw.Textures[size_t(t)].FileName;
    }
};

TEST_F(MarkupTest, PlainTextIsTheHerosMessage) {
    WriteTexture("Face Hero.png", 192, 96);
    auto d = ParseMessage("Hello there.");
    EXPECT_EQ(d->Message, "Hello there.");
    EXPECT_EQ(d->FaceName, "Hero");
    EXPECT_FALSE(d->Mirrored);
    EXPECT_EQ(d->Face->SrcX, 0);
    EXPECT_EQ(d->Face->SrcY, 0);
    EXPECT_EQ(SheetOf(*d), "Face Hero.png");
    // The rest of the face sprite is a new sprite's.
    EXPECT_EQ(d->Face->W, 0);
    EXPECT_FLOAT_EQ(d->Face->ZoomX, 1.0f);
    // A new dialog, not shown or queued.
    EXPECT_TRUE(d->Options.empty());
    EXPECT_FALSE(gCharTest.Message);
    EXPECT_TRUE(gCharTest.Messages.empty());

    // Only one of the two brackets, or a "<" that does not open the text: no
    // markup either.
    EXPECT_EQ(ParseMessage("a > b")->Message, "a > b");
    EXPECT_EQ(ParseMessage("<Anna says hi")->FaceName, "Hero");
    for (const char* text : {"2 > 1 <3", "x<Anna> hi", " <Anna> hi", "><x"}) {
        auto m = ParseMessage(text);
        EXPECT_EQ(m->FaceName, "Hero") << text;
        EXPECT_EQ(m->Message, text);
        EXPECT_EQ(SheetOf(*m), "Face Hero.png") << text;
    }
}

TEST_F(MarkupTest, ASpeakerWithoutFaceUsesTheFirstCellMirrored) {
    WriteTexture("Face Anna.png", 192, 96);
    auto d = ParseMessage("<Anna> Good morning!");
    EXPECT_EQ(d->FaceName, "Anna");
    EXPECT_EQ(d->Message, "Good morning!");
    EXPECT_TRUE(d->Mirrored);
    EXPECT_EQ(d->Face->SrcX, 0);
    EXPECT_EQ(d->Face->SrcY, 0);
    EXPECT_EQ(SheetOf(*d), "Face Anna.png");
}

TEST_F(MarkupTest, AFaceNumberRunsFourToARow) {
    const struct {
        const char* text;
        int32_t x, y;
    } cases[] = {{"<Anna 1> a", 0, 0}, {"<Anna 4> a", 144, 0}, {"<Anna 5> a", 0, 48}, {"<Anna 6> a", 48, 48},
                 {"<Anna 12> a", 144, 96}};
    for (const auto& c : cases) {
        auto d = ParseMessage(c.text);
        EXPECT_EQ(d->Face->SrcX, c.x) << c.text;
        EXPECT_EQ(d->Face->SrcY, c.y) << c.text;
        EXPECT_EQ(d->FaceName, "Anna");
        EXPECT_EQ(d->Message, "a");
    }
}

TEST_F(MarkupTest, AFacePairIsColumnAndRow) {
    auto d = ParseMessage("<Bert 2,3> Over here.");
    EXPECT_EQ(d->Face->SrcX, 96);
    EXPECT_EQ(d->Face->SrcY, 144);
    EXPECT_EQ(d->FaceName, "Bert");
    EXPECT_EQ(d->Message, "Over here.");
}

TEST_F(MarkupTest, TheCharacterAfterTheBracketIsAlwaysDropped) {
    EXPECT_EQ(ParseMessage("<Anna>Hello")->Message, "ello");
    EXPECT_EQ(ParseMessage("<Anna>  two blanks")->Message, " two blanks");
}

TEST_F(MarkupTest, TheHeroNamedInTheMarkupIsNotMirrored) {
    auto d = ParseMessage("<Hero 2> Me again.");
    EXPECT_FALSE(d->Mirrored);
    EXPECT_EQ(d->Face->SrcX, 48);
    // Speaker names compare exactly.
    EXPECT_TRUE(ParseMessage("<hero> me")->Mirrored);
}

TEST_F(MarkupTest, DegenerateMarkupGivesEmptyParts) {
    auto a = ParseMessage("<Anna>");
    EXPECT_EQ(a->FaceName, "Anna");
    EXPECT_EQ(a->Message, "");
    auto b = ParseMessage("<Anna> ");
    EXPECT_EQ(b->Message, "");
    // Nobody named: no face sheet is looked for.
    auto d = ParseMessage("<> hi");
    EXPECT_EQ(d->FaceName, "");
    EXPECT_EQ(d->Message, "hi");
    EXPECT_TRUE(d->Mirrored);
    EXPECT_EQ(d->Face->Texture, 0);
    EXPECT_EQ(LogCount("Face .png"), 0u);
    auto e = ParseMessage("");
    EXPECT_EQ(e->FaceName, "Hero");
    EXPECT_EQ(e->Message, "");
}

TEST_F(MarkupTest, FaceSpecificationsThatAreNoWholeNumbers) {
    // Not a number: no face rather than a cell off the sheet.
    WriteTexture("Face Anna.png", 192, 96);
    for (const char* text : {"<Anna x> hi", "<Anna a,b> hi", "<Anna 1,b> hi"}) {
        auto a = ParseMessage(text);
        EXPECT_EQ(a->Face->Texture, 0) << text;
        EXPECT_EQ(a->Face->SrcX, 0) << text;
        EXPECT_EQ(a->Face->SrcY, 0) << text;
        EXPECT_EQ(a->FaceName, "Anna");
        EXPECT_EQ(a->Message, "hi");
    }
    // Fractions round to the nearest whole number.
    auto c = ParseMessage("<Anna 1.6,0.4> hi");
    EXPECT_EQ(c->Face->SrcX, 96);
    EXPECT_EQ(c->Face->SrcY, 0);
    // Huge numbers stay within the sprite's range instead of overflowing.
    auto d = ParseMessage("<Anna 99999999999,-99999999999> hi");
    EXPECT_EQ(d->Face->SrcX, 48 * 1000000);
    EXPECT_EQ(d->Face->SrcY, -48 * 1000000);
    // A missing sheet still gives the dialog.
    auto e = ParseMessage("<Nobody> hi");
    EXPECT_EQ(e->Message, "hi");
}

}  // namespace
}  // namespace tarv::test
