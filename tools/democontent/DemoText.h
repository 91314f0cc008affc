// What the builder's readers of source text share: quoting a word of the
// text in a message, suggesting the word meant, judging a file name, and the
// names the compiled game script offers to the levels and music setups.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarv::demo {

// A word of the source as a message quotes it: a runaway word is cut, and
// control characters are shown as \xNN rather than sent to the terminal.
std::string Clip(const std::string& word);

// What to write after a word the builder does not know: " (did you mean
// 'X'?)" when a known word is close (case ignored), else, when listName is
// given, the whole list under that name; else nothing.
std::string Suggest(const std::string& word, const std::vector<std::string>& known,
                    const std::string& listName);

// Why a name cannot be a file inside its folder ("" when it can): empty,
// leading out of the folder, holding a control character, or longer than a
// file name can be.
std::string FileNameFault(const std::string& name);

// The classes of the compiled game script, each with the functions it
// answers: its own and those of the classes it inherits from.
using ScriptClasses = std::map<std::string, std::vector<std::string>>;

}  // namespace tarv::demo
