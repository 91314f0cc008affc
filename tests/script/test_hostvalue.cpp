// The content rules: conversions, mixed arithmetic, comparisons, text forms
// and the pattern match.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "core/zCore.h"
#include "script/zHostValue.h"

namespace zun {
namespace {

HostValue S(const char* s) { return HostValue(s); }

TEST(HostValue, WholeNumberConversionsRoundHalfToEvenAndFailOutOfRange) {
    EXPECT_EQ(HostValue(2.5).ToLong(), 2);
    EXPECT_EQ(HostValue(3.5).ToLong(), 4);
    EXPECT_EQ(HostValue(-2.5f).ToLong(), -2);
    EXPECT_EQ(S("2.5").ToLong(), 2);
    EXPECT_EQ(HostValue(true).ToLong(), -1);
    EXPECT_EQ(HostValue().ToLong(), 0);
    EXPECT_THROW(HostValue(3e9).ToLong(), RuntimeError);
    EXPECT_THROW(HostValue(256).ToByte(), RuntimeError);
    EXPECT_THROW(HostValue(true).ToByte(), RuntimeError);  // -1 is no byte
    EXPECT_EQ(HostValue(254.5).ToByte(), 254);
    EXPECT_THROW(S("abc").ToLong(), RuntimeError);
    EXPECT_THROW(HostValue(1e300).ToSingle(), RuntimeError);
}

TEST(HostValue, BoolConversionGoesThroughTheTextForm) {
    EXPECT_FALSE(HostValue().ToBool());
    EXPECT_FALSE(S("").ToBool());
    EXPECT_TRUE(S("true").ToBool());
    EXPECT_FALSE(S("False").ToBool());
    EXPECT_TRUE(S("2").ToBool());
    EXPECT_FALSE(S("0").ToBool());
    EXPECT_TRUE(HostValue(0.5f).ToBool());
    EXPECT_THROW(S("yes").ToBool(), RuntimeError);
    EXPECT_THROW(HostValue::Nothing().ToBool(), RuntimeError);
    // The words are no numbers.
    EXPECT_THROW(S("True").ToLong(), RuntimeError);
}

TEST(HostValue, TextForms) {
    EXPECT_EQ(HostValue(0.1f).ToText(), "0.1");
    EXPECT_EQ(HostValue(1.0f / 3.0f).ToText(), "0.3333333");
    EXPECT_EQ(HostValue(1.0 / 3.0).ToText(), "0.333333333333333");
    EXPECT_EQ(HostValue(int32_t(-42)).ToText(), "-42");
    EXPECT_EQ(HostValue(uint8_t(200)).ToText(), "200");
    EXPECT_EQ(HostValue(true).ToText(), "True");
    EXPECT_EQ(HostValue().ToText(), "");
    EXPECT_EQ(HostValue(4.5).ToText(), "4.5");
    EXPECT_EQ(HostValue(1e7f).ToText(), "1E+07");
    EXPECT_THROW(HostValue::Nothing().ToText(), RuntimeError);
    zCore.DecimalSeparator = ",";
    EXPECT_EQ(HostValue(2.5f).ToText(), "2,5");
    EXPECT_EQ(S("2,5").ToDouble(), 2.5);
    zCore.DecimalSeparator = ".";
}

struct ArithCase {
    HostValue a, b;
    HK kind;
    double value;
};

TEST(HostValue, AdditionResultKindsFollowTheVariantTable) {
    const ArithCase cases[] = {
        {HostValue(uint8_t(200)), HostValue(uint8_t(50)), HK::Byte, 250},
        {HostValue(uint8_t(200)), HostValue(uint8_t(100)), HK::Integer, 300},  // byte overflow moves up
        {HostValue(int16_t(32767)), HostValue(int16_t(1)), HK::Long, 32768},
        {HostValue(int32_t(2147483647)), HostValue(int32_t(1)), HK::Double, 2147483648.0},
        {HostValue(2.5f), HostValue(uint8_t(2)), HK::Single, 4.5},
        {HostValue(2.5f), HostValue(int16_t(2)), HK::Single, 4.5},
        {HostValue(2.5f), HostValue(int32_t(2)), HK::Double, 4.5},  // Single with Long gives Double
        {HostValue(int32_t(2)), HostValue(2.5f), HK::Double, 4.5},
        {HostValue(int32_t(2)), HostValue(2.5), HK::Double, 4.5},
        {HostValue(int32_t(2)), S("2.5"), HK::Double, 4.5},  // numeric text counts as Double
        {HostValue(true), HostValue(true), HK::Integer, -2},
        {HostValue(), HostValue(uint8_t(7)), HK::Byte, 7},  // empty takes the other's kind
        {HostValue(), HostValue(), HK::Integer, 0},
        {HostValue(3e38f), HostValue(3e38f), HK::Double, 6e38},  // Single overflow moves to Double
    };
    for (const auto& c : cases) {
        HostValue r = hv::Add(c.a, c.b);
        EXPECT_EQ(r.Kind(), c.kind) << c.a.ToText() << " + " << c.b.ToText();
        EXPECT_NEAR(r.ToDouble(), c.value, std::abs(c.value) * 1e-6) << c.a.ToText() << " + " << c.b.ToText();
    }
    EXPECT_THROW(hv::Add(HostValue(1e308), HostValue(1e308)), RuntimeError);
    EXPECT_THROW(hv::Add(HostValue(int32_t(1)), S("x")), RuntimeError);
}

TEST(HostValue, SubtractMultiplyDividePower) {
    EXPECT_EQ(hv::Sub(HostValue(uint8_t(1)), HostValue(uint8_t(2))).Kind(), HK::Integer);
    EXPECT_EQ(hv::Sub(HostValue(uint8_t(1)), HostValue(uint8_t(2))).ToLong(), -1);
    EXPECT_EQ(hv::Mul(HostValue(uint8_t(255)), HostValue(uint8_t(255))).Kind(), HK::Long);
    EXPECT_EQ(hv::Mul(HostValue(int32_t(65536)), HostValue(int32_t(65536))).Kind(), HK::Double);
    HostValue q = hv::Divide(HostValue(int32_t(7)), HostValue(int32_t(2)));
    EXPECT_EQ(q.Kind(), HK::Double);
    EXPECT_EQ(q.ToDouble(), 3.5);
    EXPECT_EQ(hv::Divide(HostValue(uint8_t(7)), HostValue(int16_t(2))).Kind(), HK::Single);
    EXPECT_EQ(hv::Divide(HostValue(1.0f), HostValue(uint8_t(4))).Kind(), HK::Single);
    EXPECT_THROW(hv::Divide(HostValue(int32_t(1)), HostValue(int32_t(0))), RuntimeError);
    try {
        hv::Divide(HostValue(int32_t(0)), HostValue(int32_t(0)));
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Description, "Overflow");
    }
    EXPECT_EQ(hv::Power(HostValue(int32_t(2)), HostValue(int32_t(10))).Kind(), HK::Double);
    EXPECT_EQ(hv::Power(HostValue(int32_t(2)), HostValue(int32_t(10))).ToDouble(), 1024);
    EXPECT_THROW(hv::Power(HostValue(-8.0), HostValue(0.5)), RuntimeError);
    EXPECT_THROW(hv::Power(HostValue(0.0), HostValue(-1.0)), RuntimeError);
    EXPECT_EQ(hv::ModLong(HostValue(int32_t(-7)), HostValue(int32_t(2))), -1);
    EXPECT_EQ(hv::ModLong(HostValue(7.5), HostValue(int32_t(3))), 2);  // 7.5 rounds to 8
    EXPECT_THROW(hv::ModLong(HostValue(int32_t(1)), HostValue(int32_t(0))), RuntimeError);
    EXPECT_EQ(hv::AndLong(HostValue(int32_t(6)), HostValue(int32_t(3))), 2);
    EXPECT_EQ(hv::OrLong(HostValue(int32_t(6)), HostValue(int32_t(3))), 7);
}

TEST(HostValue, NegateAndComplementKeepTheWidth) {
    EXPECT_EQ(hv::BitNot(HostValue(uint8_t(5))).AsByte(), 250);
    EXPECT_EQ(hv::BitNot(HostValue(int32_t(5))).AsLong(), -6);
    EXPECT_EQ(hv::BitNot(HostValue(int16_t(0))).AsInteger(), -1);
    EXPECT_EQ(hv::BitNot(HostValue(2.5f)).AsLong(), -3);  // 2.5 rounds to 2
    EXPECT_EQ(hv::BitNot(HostValue(true)).AsBool(), false);
    EXPECT_EQ(hv::Negate(HostValue(uint8_t(5))).Kind(), HK::Integer);
    EXPECT_EQ(hv::Negate(HostValue(uint8_t(5))).ToLong(), -5);
    EXPECT_EQ(hv::Negate(HostValue(int32_t(INT32_MIN))).Kind(), HK::Double);
    EXPECT_EQ(hv::Negate(HostValue(1.5f)).AsSingle(), -1.5f);
}

TEST(HostValue, ComparisonsPutNumbersBelowText) {
    EXPECT_EQ(hv::Compare(HostValue(int32_t(2)), HostValue(2.0f)), 0);
    EXPECT_EQ(hv::Compare(HostValue(true), HostValue(int32_t(-1))), 0);
    EXPECT_EQ(hv::Compare(HostValue(), HostValue(int32_t(0))), 0);
    EXPECT_EQ(hv::Compare(HostValue(int32_t(1000)), S("5")), -1);
    EXPECT_EQ(hv::Compare(S("5"), HostValue(int32_t(1000))), 1);
    EXPECT_EQ(hv::Compare(S("a"), S("b")), -1);
    EXPECT_EQ(hv::Compare(S("\xe4"), S("z")), 1);  // bytes compare unsigned
    EXPECT_EQ(hv::Compare(HostValue(), S("")), 0);
    EXPECT_THROW(hv::Compare(HostValue::Nothing(), HostValue(int32_t(1))), RuntimeError);
}

TEST(HostValue, HexUsesTheContentWidth) {
    EXPECT_EQ(hv::Hex(HostValue(int16_t(-1))), "FFFF");
    EXPECT_EQ(hv::Hex(HostValue(int32_t(-1))), "FFFFFFFF");
    EXPECT_EQ(hv::Hex(HostValue(uint8_t(255))), "FF");
    EXPECT_EQ(hv::Hex(HostValue(255.5)), "100");
    EXPECT_EQ(hv::Hex(HostValue()), "0");
}

TEST(HostValue, CopiesAndMovesKeepStringsAndReferences) {
    HostValue a(std::string(100, 'x'));
    HostValue b = a;
    HostValue c = std::move(a);
    EXPECT_EQ(b.AsString(), c.AsString());
    EXPECT_TRUE(a.IsEmpty());
    b = HostValue(int32_t(3));
    EXPECT_EQ(b.AsLong(), 3);
    b = c;
    EXPECT_EQ(b.AsString().size(), 100u);
}

TEST(LikeMatch, PatternRules) {
    EXPECT_TRUE(LikeMatch("abc", "a?c"));
    EXPECT_TRUE(LikeMatch("abc", "*"));
    EXPECT_TRUE(LikeMatch("", "*"));
    EXPECT_TRUE(LikeMatch("a1", "a#"));
    EXPECT_FALSE(LikeMatch("ax", "a#"));
    EXPECT_TRUE(LikeMatch("d", "[a-f]"));
    EXPECT_FALSE(LikeMatch("d", "[!a-f]"));
    EXPECT_TRUE(LikeMatch("-", "[a-]"));
    EXPECT_FALSE(LikeMatch("ABC", "abc"));  // case-sensitive
    EXPECT_FALSE(LikeMatch("abcd", "abc"));  // the whole text
    EXPECT_TRUE(LikeMatch("hello world", "h*o w*d"));
    EXPECT_THROW(LikeMatch("a", "[a"), RuntimeError);
    // Many stars never go exponential.
    std::string text(2000, 'a');
    EXPECT_FALSE(LikeMatch(text, "*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

// The matcher that placed stars by backtracking, kept as the reference the
// segment-by-segment one must agree with. Its tokens: a, b, 1 stand for
// themselves, "?" any, "#" a digit, "*" any run, "[ab]" and "[!a]" sets.
bool BacktrackingLike(std::string_view text, std::string_view p) {
    auto one = [](std::string_view tok, char c) {
        if (tok == "?") return true;
        if (tok == "#") return c >= '0' && c <= '9';
        if (tok == "[ab]") return c == 'a' || c == 'b';
        if (tok == "[!a]") return c != 'a';
        return tok[0] == c;
    };
    std::vector<std::string_view> toks;
    for (size_t i = 0; i < p.size();) {
        size_t len = p[i] == '[' ? p.find(']', i) + 1 - i : 1;
        toks.push_back(p.substr(i, len));
        i += len;
    }
    size_t ti = 0, pi = 0, starP = SIZE_MAX, starT = 0;
    while (ti < text.size()) {
        if (pi < toks.size() && toks[pi] == "*") {
            starP = pi++;
            starT = ti;
        } else if (pi < toks.size() && one(toks[pi], text[ti])) {
            ++ti;
            ++pi;
        } else if (starP != SIZE_MAX) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < toks.size() && toks[pi] == "*") ++pi;
    return pi == toks.size();
}

TEST(LikeMatch, AgreesWithBacktrackingOnRandomPatternsAndStaysLinear) {
    std::mt19937 rng(16);
    const char* texts = "ab1";
    const char* toks[] = {"a", "b", "1", "?", "#", "*", "*", "[ab]", "[!a]"};
    for (int round = 0; round < 20000; ++round) {
        std::string text, pat;
        for (int i = int(rng() % 12); i > 0; --i) text += texts[rng() % 3];
        for (int i = int(rng() % 8); i > 0; --i) pat += toks[rng() % 9];
        ASSERT_EQ(LikeMatch(text, pat), BacktrackingLike(text, pat)) << '"' << text << "\" like \"" << pat << '"';
    }
    // Long middle segments on a long text: the backtracking matcher tried each
    // at every position, text length times segment length steps (minutes here).
    std::string text(1000000, 'a'), seg(500000, 'a');
    EXPECT_FALSE(LikeMatch(text, "*" + seg + "b*"));
    EXPECT_FALSE(LikeMatch(text, "*" + std::string(3000, '?') + "[!a]*"));
    EXPECT_TRUE(LikeMatch(text + "b", "*" + seg + "b"));
    EXPECT_TRUE(LikeMatch(text, "a*" + seg + "*a"));
}

}  // namespace
}  // namespace zun
