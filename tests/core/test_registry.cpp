#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "core/zCore.h"
#include "core/zRegistry.h"
#include "core/zValues.h"
#include "support/TestSupport.h"

using namespace zun;
using zun::test::LogCapture;

namespace {

void EnsureCoreClasses() {
    if (!FindClass("zValues")) RegisterCoreClasses();
}

// Not storable as a chunk: only the class identity.
class tIdentityOnly : public iClass {
public:
    std::string ClassName() const override { return "tIdentityOnly"; }
};

// A chunk class whose Create fails.
class tBrokenCreate : public iChunk {
public:
    std::string ClassName() const override { return "tBrokenCreate"; }
    std::shared_ptr<iChunk> Create() const override { Raise(errOverflow); }
    bool Import(zStream&) override { return true; }
    bool Export(zStream&) override { return true; }
};

size_t CountRegistered(const std::string& name) {
    size_t n = 0;
    for (const auto& p : zCore.Classes)
        if (p->ClassName() == name) ++n;
    return n;
}

}  // namespace

TEST(Registry, NamesAreFoundCaseSensitively) {
    EnsureCoreClasses();
    LogCapture cap;
    EXPECT_EQ(CreateClass("zvalues", false), nullptr);
    ASSERT_EQ(cap.Lines().size(), 1u);
    EXPECT_EQ(cap.Lines()[0], "ERR\tClass not found\tzvalues");
    EXPECT_NE(std::dynamic_pointer_cast<zValues>(CreateClass("zValues", false)), nullptr);
}

TEST(Registry, CreateWithoutGUIDGivesAFreshEmptyMeta) {
    EnsureCoreClasses();
    auto a = CreateClass("zValues", false);
    auto b = CreateClass("zValues", false);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);
    EXPECT_NE(a, FindClass("zValues"));  // the prototype is never handed out
    EXPECT_EQ(a->GUID, "");
    ASSERT_NE(a->Meta, nullptr);
    EXPECT_EQ(a->Meta->GUID, "");
    EXPECT_NE(a->Meta, b->Meta);
    EXPECT_EQ(a->Meta->Meta, nullptr);
}

TEST(Registry, NewGUIDsAreDistinctUppercaseHex) {
    EnsureCoreClasses();
    auto a = CreateClass("zValues", true);
    auto b = CreateClass("zValues", true);
    ASSERT_TRUE(a && b);
    std::set<std::string> all{a->GUID, a->Meta->GUID, b->GUID, b->Meta->GUID};
    EXPECT_EQ(all.size(), 4u);
    const std::regex form("^[0-9A-F]{32}$");
    for (const auto& g : all) EXPECT_TRUE(std::regex_match(g, form)) << g;
}

TEST(Registry, DuplicatesAndNonChunksAreRefused) {
    EnsureCoreClasses();
    auto first = FindClass("zValues");
    LogCapture cap;
    RegisterClass(std::make_shared<zValues>());
    EXPECT_EQ(CountRegistered("zValues"), 1u);
    EXPECT_EQ(FindClass("zValues"), first);
    ASSERT_EQ(cap.Lines().size(), 1u);
    EXPECT_EQ(cap.Lines()[0], "WARN\tClass already registered\tzValues");

    cap.Clear();
    const size_t before = zCore.Classes.size();
    RegisterClass(std::make_shared<tIdentityOnly>());
    EXPECT_EQ(zCore.Classes.size(), before);
    ASSERT_EQ(cap.Lines().size(), 1u);
    EXPECT_EQ(cap.Lines()[0].rfind("ERR\tiChunk interface not supported\t", 0), 0u);
    EXPECT_NE(cap.Lines()[0].find("tIdentityOnly"), std::string::npos);
}

TEST(Registry, AFailingCreateIsLoggedAndGivesNothing) {
    if (!FindClass("tBrokenCreate")) {
        LogCapture cap;
        RegisterClass(std::make_shared<tBrokenCreate>());
        EXPECT_TRUE(cap.Contains("INF\tRegistered class\ttBrokenCreate"));
    }
    LogCapture cap;
    EXPECT_EQ(CreateClass("tBrokenCreate", true), nullptr);
    ASSERT_EQ(cap.Lines().size(), 1u);
    EXPECT_EQ(cap.Lines()[0], "ERR\tCannot create class\ttBrokenCreate\tOverflow");
}

TEST(Registry, FormatGUIDStripsDashesBlanksAndBraces) {
    EXPECT_EQ(FormatGUID("{01234567-89AB-CDEF-0123-456789ABCDEF}"), "0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(FormatGUID("  {ab-cd}  "), "abcd");
    // Blanks are trimmed before the braces go, so inner blanks stay.
    EXPECT_EQ(FormatGUID("{ ab }"), " ab ");
    EXPECT_EQ(FormatGUID("   "), "");
}
