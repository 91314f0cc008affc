// The names a script can call live in three tables (the engine's built-ins,
// the host's and the game's); the compiler's list of names that shadow a
// class function and the script author's guide must name the same ones.
#include <fstream>
#include <set>
#include <sstream>

#include "ScriptApiTestSupport.h"
#include "script/zScriptRun.h"
#include "tools/zsc/zscEmitter.h"

namespace tarv::test {
namespace {

std::set<std::string> CallableNames() {
    std::set<std::string> names(std::begin(zun::kEngineNames), std::end(zun::kEngineNames));
    names.insert(std::begin(zun::kHostNames), std::end(zun::kHostNames));
    for (std::string_view n : kGameFunctionNames) names.insert(std::string(n));
    return names;
}

TEST(FunctionNames, TheGuideDescribesEveryFunctionAScriptCanCall) {
    std::ifstream in(std::string(ZUN_SOURCE_DIR) + "/docs/game-scripting.md", std::ios::binary);
    ASSERT_TRUE(in) << "docs/game-scripting.md is missing";
    std::stringstream text;
    text << in.rdbuf();
    const std::string guide = text.str();
    // A reference entry writes the name as a call: `name(...`.
    for (const std::string& n : CallableNames())
        EXPECT_NE(guide.find("`" + n + "("), std::string::npos) << "the guide does not describe '" << n << "'";
}

TEST(FunctionNames, TheCompilerWarnsOfExactlyTheNamesTheEngineAndTheGameAnswer) {
    std::set<std::string> expected = CallableNames();
    expected.insert(std::begin(zun::kFormNames), std::end(zun::kFormNames));
    const auto& reserved = zun::zsc::ReservedCallNames();
    const std::set<std::string> actual(reserved.begin(), reserved.end());
    for (const std::string& n : expected) EXPECT_TRUE(actual.count(n)) << "zsc does not know '" << n << "'";
    for (const std::string& n : actual) EXPECT_TRUE(expected.count(n)) << "zsc reserves '" << n << "', which nobody answers";
}

}  // namespace
}  // namespace tarv::test
