// Messages and questions queued by scripts, the answer going back to the
// asker, and the face background.
#include "game/world/gTextSelect.h"
#include "ScriptApiTestSupport.h"

namespace tarv::test {
namespace {

class MessageTest : public ScriptApiTest {
protected:
    void SetUp() override {
        ScriptApiTest::SetUp();
        LoadScript(R"(class Talk {
            mood = "calm";
            func say(t) { msg(t); }
            func chatter() { msg("one"); msg("<Anna> two"); msg("three"); }
            func question() { ask("answer", "<Anna 6> Which one?", "Red", "#", "[+]Blue"); }
            func bare() { ask("answer", "Nothing to choose"); }
            func answer(n) { record("answer", n, mood); }
            func back(c, r) { msgBack(c, r); }
            func shortAsk() { ask("answer"); record("after"); }
        })");
    }
    static std::shared_ptr<gTextSelect> Queued(size_t i) {
        return i < gCharTest.Messages.size() ? gCharTest.Messages[i] : nullptr;
    }
};

TEST_F(MessageTest, MsgQueuesInOrderWithCallerAndScope) {
    auto so = Object("Talk");
    so->Execute("chatter");
    ASSERT_EQ(gCharTest.Messages.size(), 3u);
    EXPECT_EQ(Queued(0)->Message, "one");
    EXPECT_EQ(Queued(1)->Message, "two");
    EXPECT_EQ(Queued(2)->Message, "three");
    // Without markup the hero speaks, unmirrored; another speaker is mirrored.
    EXPECT_EQ(Queued(0)->FaceName, kHeroName);
    EXPECT_FALSE(Queued(0)->Mirrored);
    EXPECT_EQ(Queued(1)->FaceName, "Anna");
    EXPECT_TRUE(Queued(1)->Mirrored);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Queued(i)->ScriptCaller, so);
        EXPECT_EQ(Queued(i)->ScriptValues.get(), so->Locals.get());
        EXPECT_TRUE(Queued(i)->ScriptFunction.empty());
        EXPECT_TRUE(Queued(i)->Options.empty());
    }
    // A later message goes behind those already waiting.
    so->Execute("say", {HostValue("four")});
    ASSERT_EQ(gCharTest.Messages.size(), 4u);
    EXPECT_EQ(Queued(3)->Message, "four");
    // Nothing is shown by queueing.
    EXPECT_FALSE(gCharTest.Message);
}

TEST_F(MessageTest, AskNumbersItsAnswersByPositionAndAnswersTheAsker) {
    auto so = Object("Talk");
    so->Execute("question");
    ASSERT_EQ(gCharTest.Messages.size(), 1u);
    auto q = Queued(0);
    EXPECT_EQ(q->ScriptFunction, "answer");
    EXPECT_EQ(q->Message, "Which one?");
    EXPECT_EQ(q->FaceName, "Anna");
    ASSERT_TRUE(q->Face);
    EXPECT_EQ(q->Face->SrcX, 48);
    EXPECT_EQ(q->Face->SrcY, 48);
    ASSERT_EQ(q->Options.size(), 3u);
    // The blank row and the coloured row keep their argument positions.
    EXPECT_EQ(q->Options[0]->Tag, 1);
    EXPECT_EQ(q->Options[1]->Tag, 2);
    EXPECT_EQ(q->Options[2]->Tag, 3);

    // Picking the third row calls the asker's function with 3, in its scope.
    so->Locals->SetNameValue("mood", HostValue("curious"));
    gCharTest.Messages.clear();
    gCharTest.Message = q;
    q->Selected = 3;
    q->MouseDown();
    EXPECT_EQ(records, (std::vector<std::string>{"answer,3,curious"}));
    EXPECT_FALSE(gCharTest.Message);
}

TEST_F(MessageTest, AskWithoutAnswersAndWithTooFewArguments) {
    auto so = Object("Talk");
    so->Execute("bare");
    ASSERT_EQ(gCharTest.Messages.size(), 1u);
    EXPECT_TRUE(Queued(0)->Options.empty());
    EXPECT_EQ(Queued(0)->ScriptFunction, "answer");
    EXPECT_EQ(Queued(0)->Message, "Nothing to choose");

    // One argument: logged, nothing queued, the script goes on.
    so->Execute("shortAsk");
    EXPECT_EQ(gCharTest.Messages.size(), 1u);
    EXPECT_EQ(LogCount("Not enough arguments!\task"), 1u);
    EXPECT_EQ(records, (std::vector<std::string>{"after"}));

    // Straight from code, without a caller: queued, with no one to answer.
    ASSERT_TRUE(Call("msg", {Str("x")}));
    ASSERT_EQ(gCharTest.Messages.size(), 2u);
    EXPECT_FALSE(Queued(1)->ScriptCaller);
    EXPECT_FALSE(Queued(1)->ScriptValues);
}

TEST_F(MessageTest, FaceBackgroundCells) {
    gCharTest.FaceBack = std::make_shared<zSprite>();
    gCharTest.FaceBack->SrcX = 7;
    gCharTest.FaceBack->SrcY = 7;
    auto so = Object("Talk");
    so->Execute("back", {HostValue(int32_t(0)), HostValue(int32_t(0))});
    EXPECT_EQ(gCharTest.FaceBack->SrcX, 0);
    EXPECT_EQ(gCharTest.FaceBack->SrcY, 0);
    so->Execute("back", {HostValue(int32_t(2)), HostValue(int32_t(1))});
    EXPECT_EQ(gCharTest.FaceBack->SrcX, 96);
    EXPECT_EQ(gCharTest.FaceBack->SrcY, 48);
    // A cell too far out for the source rectangle fails and changes nothing.
    so->Execute("back", {HostValue(int32_t(1)), HostValue(int32_t(100000000))});
    EXPECT_EQ(gCharTest.FaceBack->SrcX, 96);
    EXPECT_EQ(LogCount("Overflow"), 1u);
    // No background sprite (no interface made): a failure, not a crash.
    gCharTest.FaceBack.reset();
    so->Execute("back", {HostValue(int32_t(0)), HostValue(int32_t(0))});
    EXPECT_EQ(LogCount("Object variable or With block variable not set"), 1u);
}

}  // namespace
}  // namespace tarv::test
