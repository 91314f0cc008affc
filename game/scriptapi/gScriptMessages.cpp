// Messages and questions: scripts queue typed-out texts, and questions whose
// chosen answer goes back to a function of the asker. The shell's interface
// update shows the queue one entry at a time, in order.
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

void msg(GameCall& c) {
    std::shared_ptr<gTextSelect> message = ParseMessage(c.Str(1));
    Address(c, *message);
    gCharTest.Messages.push_back(message);
}

void ask(GameCall& c) {
    const std::string function = c.Str(1);
    const std::string text = c.Str(2);
    // The markup is read first: it sets the speaker and the face.
    std::shared_ptr<gTextSelect> message = ParseMessage(text);
    message->ScriptFunction = function;
    Address(c, *message);
    // An answer's value is its place among the answers, whatever its row shows.
    for (int32_t i = 3; i <= c.Count; ++i) message->AddOption(c.Str(i), i - 2);
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
