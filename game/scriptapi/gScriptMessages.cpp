// Messages and questions: scripts queue typed-out texts, and questions whose
// chosen answer goes back to a function of the asker. The shell's interface
// update shows the queue one entry at a time, in order.
#include <string>
#include <vector>

#include "core/zRuntime.h"
#include "game/scriptapi/gScript.h"
#include "game/scriptapi/gScriptOrigin.h"
#include "game/world/gCharTest.h"
#include "game/world/gTextSelect.h"
#include "scene/zSprite.h"

using namespace zun;

namespace tarv {

namespace {

// Cells of the face background picture.
constexpr int32_t kFaceCell = 48;

// The answer goes back to the asker, with the scope it asked from.
void Address(GameCall& c, gTextSelect& iMessage) {
    iMessage.ScriptCaller = c.CallerRef();
    iMessage.ScriptValues = ArrayRef(c.Values);
}

// The text a queued message holds.
size_t TextBytes(const gTextSelect& iMessage) {
    size_t n = iMessage.Message.size() + iMessage.FaceName.size();
    for (const auto& o : iMessage.Options)
        if (o) n += o->Text.size();
    return n;
}

// "Out of memory" when the queue holds as many messages, or as much text, as
// it may; iBytes is the text of the message to come.
void RoomInQueue(size_t iBytes) {
    const auto& queue = gCharTest.Messages;
    CheckBudget(queue.size(), kMaxMessages, "queued messages");
    size_t held = iBytes;
    for (const auto& m : queue)
        if (m) held += TextBytes(*m);
    if (held > kMaxMessageBytes)
        Raise(errOutOfMemory,
              "Out of memory: no more than " + std::to_string(kMaxMessageBytes) + " bytes of queued message text");
}

void msg(GameCall& c) {
    const std::string text = c.Str(1);
    RoomInQueue(text.size());
    std::shared_ptr<gTextSelect> message = ParseMessage(text);
    Address(c, *message);
    gCharTest.Messages.push_back(message);
}

void ask(GameCall& c) {
    const std::string function = c.KeptName(1);
    const std::string text = c.Str(2);
    std::vector<std::string> answers;
    size_t bytes = text.size();
    for (int32_t i = 3; i <= c.Count; ++i) {
        answers.push_back(c.Str(i));
        bytes += answers.back().size();
    }
    RoomInQueue(bytes);
    // The markup is read first: it sets the speaker and the face.
    std::shared_ptr<gTextSelect> message = ParseMessage(text);
    message->ScriptFunction = function;
    Address(c, *message);
    // An answer's value is its place among the answers, whatever its row shows.
    for (size_t i = 0; i < answers.size(); ++i) message->AddOption(answers[i], int32_t(i) + 1);
    gCharTest.Messages.push_back(message);
}

void msgBack(GameCall& c) {
    const int32_t column = c.Long(1), row = c.Long(2);
    zSprite& back = Need(gCharTest.FaceBack);
    const int32_t srcX = MulLong(column, kFaceCell), srcY = MulLong(row, kFaceCell);
    back.SrcX = srcX;
    back.SrcY = srcY;
}

const GameFunctionEntry kEntries[] = {
    {"ask", ask},
    {"msgBack", msgBack},
    {"msg", msg},
};

}  // namespace

void AddMessageFunctions() {
    AddGameFunctions(kEntries);
}

}  // namespace tarv
