// Modal message and input boxes. With a display they are SDL message boxes;
// without one (or with ZUN_HEADLESS=1) they log their text and answer from a
// queue that tests and scripted runs fill beforehand.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zun {

// Button sets, icons and default-button choice, added together, and the
// answers, numbered as the game's runtime numbers them.
namespace MsgBoxStyle {
enum : int32_t {
    OkOnly = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5,
    Critical = 16, Question = 32, Exclamation = 48, Information = 64,
    DefaultButton2 = 256, DefaultButton3 = 512
};
}
namespace MsgBoxResult {
enum : int32_t { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
}

// The title a box shows when it is given none: the program's own. The
// program fills it at start-up.
extern std::string gProgramTitle;

// The answer of a box of that style closed without a choice: its only
// button, Cancel, No, or Abort.
int32_t CancelAnswer(int32_t style);

// Shows `text` (Windows-1252) and returns the answer; an empty title shows
// gProgramTitle. Headless: logs "INF", "MsgBox", the title shown, text and
// returns the next queued answer, or the
// default button when the queue is empty.
int32_t ShowMessageBox(const std::string& text, int32_t style = MsgBoxStyle::OkOnly, const std::string& title = "");

// Asks for a line of text; "" when cancelled. Headless: logs "INF",
// "InputBox", the title shown, prompt and returns the next queued text, or
// `defaultText` when the queue is empty. With a display the program's own
// box (gInputBoxHandler) asks; without one an SDL box offers OK, which
// gives `defaultText`, and Cancel.
std::string ShowInputBox(const std::string& prompt, const std::string& title = "",
                         const std::string& defaultText = "");

// The program's modal input box (prompt, title shown, default text) -> the
// typed text, "" when cancelled. Empty: the SDL box above.
extern std::function<std::string(const std::string&, const std::string&, const std::string&)> gInputBoxHandler;

// With a display, message boxes are shown by the program's executable started
// afresh for each box: a copy of the running game would share, and make slow,
// every page the game writes while the box shows and after it. The program's
// main() calls this first: in a process started for a box it shows the box,
// hands the answer to the game and ends the process; in the game it notes that
// the executable serves boxes and returns. An executable that does not call it
// shows its boxes itself.
void ServeBoxProcess(int argc, char** argv);

void PushMessageBoxAnswer(int32_t answer);
void PushInputBoxAnswer(const std::string& text);
void ClearDialogAnswers();

}  // namespace zun
