#include <gtest/gtest.h>
#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <optional>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zRuntime.h"
#include "support/TestSupport.h"

using namespace zun;

namespace {

// An environment variable set (or unset, for null) while the object lives.
class ScopedEnv {
public:
    ScopedEnv(const char* iName, const char* iValue) : name_(iName) {
        if (const char* old = std::getenv(iName)) old_ = old;
        if (iValue) ::setenv(iName, iValue, 1);
        else ::unsetenv(iName);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(Runtime, WholeNumberConversionsRoundHalfToEven) {
    EXPECT_EQ(CLng(2.5), 2);
    EXPECT_EQ(CLng(3.5), 4);
    EXPECT_EQ(CLng(-2.5), -2);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_THROW(CInt(32767.5), RuntimeError);
    EXPECT_THROW(CByte(-0.6), RuntimeError);
    EXPECT_EQ(CByte(-0.5), 0);
    EXPECT_THROW(CLng(2147483647.5), RuntimeError);
    EXPECT_THROW(CLng(NAN), RuntimeError);
    EXPECT_EQ(Int(-0.5), -1.0);
}

TEST(Runtime, CheckedArithmeticRaisesTheClassicErrors) {
    try {
        AddLong(2147483647, 1);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Description, "Overflow");
    }
    EXPECT_THROW(AddByte(255, 1), RuntimeError);
    EXPECT_EQ(Mod(-7, 3), -1);
    try {
        Div(1, 0);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Description, "Division by zero");
    }
    try {
        Div(0, 0);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Description, "Overflow");
    }
}

// On a machine whose locale writes numbers with a comma (German, French),
// start-up takes the comma and the conversions use it both ways. Whatever
// locale the C library itself has been switched to (a library may switch
// it), they follow the program's own separator alone.
TEST(Runtime, NumberTextUnderALocaleWithACommaSeparator) {
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        SCOPED_TRACE(name);
        if (locale_t installed = newlocale(LC_ALL_MASK, name, locale_t(0))) freelocale(installed);
        else GTEST_SKIP() << name << " is not installed";
        const ScopedEnv locale("LC_ALL", name), unpinned("ZUN_DECIMAL_SEPARATOR", nullptr);
        test::TempDir dir;
        SetApplicationFolder(dir.Host());
        Core_Start();
        SetApplicationFolder("");
        EXPECT_EQ(zCore.DecimalSeparator, ",");
        ::setlocale(LC_ALL, name);
        for (const char* separator : {",", "."}) {
            zCore.DecimalSeparator = separator;
            const std::string half = std::string("43200") + separator + "5";
            EXPECT_EQ(FormatDouble(43200.5), half);
            EXPECT_EQ(FormatSingle(-2.5e-7f), std::string("-2") + separator + "5E-07");
            EXPECT_EQ(FormatSingle(1e20f), "1E+20");
            double d = 0;
            EXPECT_TRUE(ParseNumber(half, d));
            EXPECT_EQ(d, 43200.5);
            EXPECT_TRUE(ParseNumber("1.5", d));
            EXPECT_EQ(d, 1.5);
            EXPECT_FALSE(ParseNumber("1.5e999", d));
            EXPECT_TRUE(ParseNumber("1.5e-999", d));
            EXPECT_EQ(d, 0.0);
        }
        ::setlocale(LC_ALL, "C");
        zCore.DecimalSeparator = ".";
    }
}

TEST(Runtime, NumberTextUsesTheDecimalSeparator) {
    EXPECT_EQ(FormatSingle(0.1f), "0.1");
    EXPECT_EQ(FormatSingle(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(FormatSingle(2.5f), "2.5");
    EXPECT_EQ(FormatSingle(1e20f), "1E+20");
    EXPECT_EQ(FormatDouble(0.1), "0.1");
    EXPECT_EQ(FormatDouble(1.0 / 3.0), "0.333333333333333");
    zCore.DecimalSeparator = ",";
    EXPECT_EQ(FormatSingle(2.5f), "2,5");
    double d = 0;
    EXPECT_TRUE(ParseNumber("0,5", d));
    EXPECT_DOUBLE_EQ(d, 0.5);
    EXPECT_TRUE(ParseNumber("1.25", d));
    EXPECT_DOUBLE_EQ(d, 1.25);
    zCore.DecimalSeparator = ".";
    EXPECT_TRUE(ParseNumber("  -3e2 ", d));
    EXPECT_DOUBLE_EQ(d, -300);
    EXPECT_TRUE(ParseNumber("&HFF", d));
    EXPECT_DOUBLE_EQ(d, 255);
    EXPECT_TRUE(ParseNumber("&HFFFF", d));
    EXPECT_DOUBLE_EQ(d, -1);
    EXPECT_FALSE(ParseNumber("", d));
    EXPECT_FALSE(ParseNumber("abc", d));
    EXPECT_FALSE(ParseNumber("inf", d));
    EXPECT_FALSE(ParseNumber("1e999", d));
}

TEST(Runtime, Windows1252RoundTripsThroughUtf16AndUtf8) {
    std::string s = "\xE4\xF6\xFC\xDF \x80";  // äöüß €
    EXPECT_EQ(Cp1252ToUtf8(s), "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F \xE2\x82\xAC");
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(s)), s);
    EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(s)), s);
    EXPECT_EQ(Utf16ToCp1252(u"\u4E2D"), "?");
    EXPECT_EQ(UCase("stra\xDF" "e \xE4"), "STRA\xDF" "E \xC4");
}

TEST(Runtime, RandomSourceIsSeedableAndBelowOne) {
    SeedRandom(1234);
    float a = Rnd(), b = Rnd();
    SeedRandom(1234);
    EXPECT_EQ(Rnd(), a);
    EXPECT_EQ(Rnd(), b);
    EXPECT_EQ(LastRnd(), b);
    for (int i = 0; i < 10000; ++i) {
        float r = Rnd();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
    }
}
