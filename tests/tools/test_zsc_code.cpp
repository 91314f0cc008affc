// Every construct of the script language against its hand-assembled bytes.

#include <gtest/gtest.h>

#include "ZscTestHelpers.h"

using namespace zun::zsc;
using namespace zun::zsc::test;
using zun::test::Hex;
using zun::test::ToHex;

namespace {

// The body of a function f holding the given statements.
std::string Body(const std::string& stmts) {
    CompileResult r = CompileText("class T {\nfunc f() {\n" + stmts + "\n}\n}\n", "t.zs");
    EXPECT_TRUE(r.Ok) << r.Diag.FormatAll();
    if (!r.Ok || r.Classes.empty() || r.Classes[0].Functions.empty()) return "";
    return ToHex(r.Classes[0].Functions[0].Body);
}
// The bytes of "return <expr>;" without the 03.
std::string Value(const std::string& expr) {
    std::string b = Body("return " + expr + ";");
    return b.size() >= 3 ? b.substr(3) : b;
}

#define EXPECT_CODE(src, hex) EXPECT_EQ(Body(src), Spaced(hex)) << (src)
#define EXPECT_VALUE(src, hex) EXPECT_EQ(Value(src), Spaced(hex)) << (src)

}  // namespace

TEST(ZscCode, WorkedExampleAssignment) {
    EXPECT_CODE("x = 1 + y;", "04 05 02000000 7800 3C 0C 01000000 05 02000000 7900");
}

TEST(ZscCode, WorkedExampleIfElse) {
    std::string expected =
        "14 22 05 02000000 7800 0C 01000000 02 26000000 "
        "04 05 02000000 7900 0C 01000000 02 33000000 "
        "04 05 02000000 7900 0C 02000000";
    std::string body = Body("if (x > 1) { y = 1; } else { y = 2; }");
    EXPECT_EQ(body, Spaced(expected));
    EXPECT_EQ(Hex(body).size(), 50u);
}

TEST(ZscCode, Literals) {
    EXPECT_VALUE("true", "0a 01");
    EXPECT_VALUE("false", "0a 00");
    EXPECT_VALUE("0b200", "0b c8");
    EXPECT_VALUE("0b0", "0b 00");
    EXPECT_VALUE("42", Int(42));
    EXPECT_VALUE("-5", Int(-5));
    EXPECT_VALUE("- 5", Int(-5));
    EXPECT_VALUE("0x2A", Int(42));
    EXPECT_VALUE("0xFFFFFFFF", Int(-1));
    EXPECT_VALUE("-0x10", Int(-16));
    EXPECT_VALUE("2147483647", Int(2147483647));
    EXPECT_VALUE("-2147483648", Int(INT32_MIN));
    EXPECT_VALUE("1.5", "0d " + HexSingle(1.5f));
    EXPECT_VALUE("-1.5", "0d " + HexSingle(-1.5f));
    EXPECT_VALUE("2e3", "0d " + HexSingle(2000.0f));
    EXPECT_VALUE("2.5E-1", "0d " + HexSingle(0.25f));
    EXPECT_VALUE("0.1", "0d " + HexSingle(0.1f));
    EXPECT_VALUE("\"a\\n\\t\\\"\\\\\"", "0e " + SU("a\n\t\"\\"));
    EXPECT_VALUE("\"\\x41\\x80\"", "0e 04000000 4100 ac20");  // 0x80 is the euro sign
    EXPECT_VALUE("'it''s \\n'", "0f " + SU("it's \\n"));
    EXPECT_VALUE("\"\"", "0e 00000000");
    EXPECT_VALUE("\"\xc3\xa4\"", "0e 02000000 e400");  // UTF-8 source, stored as UTF-16
    EXPECT_VALUE("this", "17");
    EXPECT_VALUE("selected", "16");
    EXPECT_VALUE("empty", "00");
}

TEST(ZscCode, NamesPathsArraysAndAssignmentValues) {
    EXPECT_VALUE("x", Var("x"));
    EXPECT_VALUE("`a b`", Var("a b"));
    EXPECT_VALUE("``", "05 00000000");
    EXPECT_VALUE("a[1]", "06 " + SU("a") + HexLong(1) + Int(1));
    EXPECT_VALUE("a[i][\"k\"]", "06 " + SU("a") + HexLong(2) + Var("i") + "0e " + SU("k"));
    EXPECT_VALUE("a[]", "06 " + SU("a") + HexLong(0));
    EXPECT_VALUE("[1, x]", "07 " + HexLong(2) + Int(1) + Var("x"));
    EXPECT_VALUE("[]", "07 " + HexLong(0));
    EXPECT_VALUE("[[1], 2,]", "07 " + HexLong(2) + "07 " + HexLong(1) + Int(1) + Int(2));
    EXPECT_VALUE("(x = 1)", "04 " + Var("x") + Int(1));
    EXPECT_VALUE("(a[1] = 2)", "04 06 " + SU("a") + HexLong(1) + Int(1) + Int(2));
    EXPECT_VALUE("(x)", Var("x"));
}

TEST(ZscCode, CallsAndMemberAccess) {
    EXPECT_VALUE("f()", "08 " + SU("f") + HexLong(0));
    EXPECT_VALUE("f(1, x)", "08 " + SU("f") + HexLong(2) + Int(1) + Var("x"));
    EXPECT_VALUE("P::f(1)", "08 " + SU("P.f") + HexLong(1) + Int(1));
    EXPECT_VALUE("`P.f`(1)", "08 " + SU("P.f") + HexLong(1) + Int(1));
    EXPECT_VALUE("o.m", "09 " + Var("o") + Var("m"));
    EXPECT_VALUE("o.m[2]", "09 " + Var("o") + "06 " + SU("m") + HexLong(1) + Int(2));
    EXPECT_VALUE("o.f(x)", "09 " + Var("o") + "08 " + SU("f") + HexLong(1) + Var("x"));
    EXPECT_VALUE("o.P::f()", "09 " + Var("o") + "08 " + SU("P.f") + HexLong(0));
    // Chains nest to the left.
    EXPECT_VALUE("a.b(1).c", "09 09 " + Var("a") + "08 " + SU("b") + HexLong(1) + Int(1) + Var("c"));
    EXPECT_VALUE("this.x", "09 17 " + Var("x"));
    EXPECT_VALUE("new(\"A\").f()",
                 "09 08 " + SU("new") + HexLong(1) + "0e " + SU("A") + "08 " + SU("f") + HexLong(0));
}

TEST(ZscCode, EveryCallFormIsAnOrdinaryCall) {
    EXPECT_CODE("``(x);", "08 00000000 " + HexLong(1) + Var("x"));
    EXPECT_CODE("static(x, y);", "08 " + SU("static") + HexLong(2) + Var("x") + Var("y"));
    EXPECT_CODE("global(_g);", "08 " + SU("global") + HexLong(1) + Var("_g"));
    EXPECT_CODE("super(1);", "08 " + SU("super") + HexLong(1) + Int(1));
    EXPECT_CODE("b = set(x);", "04 " + Var("b") + "08 " + SU("set") + HexLong(1) + Var("x"));
    EXPECT_CODE("o = new(\"Player\");", "04 " + Var("o") + "08 " + SU("new") + HexLong(1) + "0e " + SU("Player"));
    EXPECT_CODE("msg(\"hi\");", "08 " + SU("msg") + HexLong(1) + "0e " + SU("hi"));
}

TEST(ZscCode, Operators) {
    const std::string a = Var("a"), b = Var("b"), c = Var("c");
    struct {
        const char* src;
        const char* code;
    } ops[] = {{"a == b", "1e"}, {"a != b", "1f"}, {"a < b", "20"},    {"a <= b", "21"},
               {"a > b", "22"},  {"a >= b", "23"}, {"a + b", "3c"},    {"a - b", "3d"},
               {"a * b", "3e"},  {"a / b", "3f"},  {"a ^ b", "40"},    {"a % b", "41"},
               {"a like b", "41"}, {"a !like b", "42"}, {"a not like b", "42"}, {"a & b", "43"},
               {"a and b", "44"}, {"a && b", "44"}, {"a | b", "45"},   {"a or b", "46"},
               {"a || b", "46"}};
    for (const auto& op : ops) EXPECT_VALUE(op.src, std::string(op.code) + " " + a + b);
    EXPECT_VALUE("isset a", "28 " + a);
    EXPECT_VALUE("!a", "32 " + a);
    EXPECT_VALUE("not a", "32 " + a);
    EXPECT_VALUE("-a", "33 " + a);
    EXPECT_VALUE("-(5)", "33 " + Int(5));
    EXPECT_VALUE("- -5", "33 " + Int(-5));
    EXPECT_VALUE("-0b5", "33 0b 05");
}

TEST(ZscCode, Precedence) {
    const std::string a = Var("a"), b = Var("b"), c = Var("c");
    EXPECT_VALUE("a + b * c", "3c " + a + "3e " + b + c);
    EXPECT_VALUE("a - b - c", "3d 3d " + a + b + c);
    EXPECT_VALUE("a ^ b ^ c", "40 " + a + "40 " + b + c);
    EXPECT_VALUE("-2 ^ 2", "40 " + Int(-2) + Int(2));
    EXPECT_VALUE("-a ^ 2", "40 33 " + a + Int(2));
    EXPECT_VALUE("a or b and c", "46 " + a + "44 " + b + c);
    EXPECT_VALUE("a == b | c", "1e " + a + "45 " + b + c);
    EXPECT_VALUE("a | b & c", "45 " + a + "43 " + b + c);
    EXPECT_VALUE("a & b + c", "43 " + a + "3c " + b + c);
    EXPECT_VALUE("not a == b", "1e 32 " + a + b);
    EXPECT_VALUE("(a + b) * c", "3e 3c " + a + b + c);
    EXPECT_VALUE("a < b == c", "1e 20 " + a + b + c);
}

TEST(ZscCode, InWritesTheOffsetAfterItsList) {
    // 03 at 0, 29 at 1, the name at 2..8, the skipped byte at 9, E at 10..13,
    // the list from 14 on.
    EXPECT_VALUE("x in [1, 2]", "29 " + Var("x") + "00 " + HexLong(29) + "07 " + HexLong(2) + Int(1) + Int(2));
    EXPECT_VALUE("x in v", "29 " + Var("x") + "00 " + HexLong(21) + Var("v"));
    // Offsets count from the start of the body, wherever the operator sits.
    EXPECT_CODE("nop; y = x in [];", "00 04 " + Var("y") + "29 " + Var("x") + "00 " + HexLong(27) + "07 " + HexLong(0));
}

TEST(ZscCode, SimpleStatements) {
    EXPECT_CODE("nop;", "00");
    EXPECT_CODE(";", "");
    EXPECT_CODE("return;", "03 00");
    EXPECT_CODE("return x;", "03 " + Var("x"));
    EXPECT_CODE("x++;", "34 " + Var("x"));
    EXPECT_CODE("x--;", "35 " + Var("x"));
    EXPECT_CODE("a[1]++;", "34 06 " + SU("a") + HexLong(1) + Int(1));
    EXPECT_CODE("o.n--;", "35 09 " + Var("o") + Var("n"));
    EXPECT_CODE("a[i][j] = e;", "04 06 " + SU("a") + HexLong(2) + Var("i") + Var("j") + Var("e"));
    EXPECT_CODE("a[] = 1;", "04 06 " + SU("a") + HexLong(0) + Int(1));
    EXPECT_CODE("o.m = 1;", "04 09 " + Var("o") + Var("m") + Int(1));
    EXPECT_CODE("o.m[2] = 1;", "04 09 " + Var("o") + "06 " + SU("m") + HexLong(1) + Int(2) + Int(1));
    EXPECT_CODE("a.b.c = 1;", "04 09 09 " + Var("a") + Var("b") + Var("c") + Int(1));
    EXPECT_CODE("a = (b = c);", "04 " + Var("a") + "04 " + Var("b") + Var("c"));
    EXPECT_CODE("f(a, b);", "08 " + SU("f") + HexLong(2) + Var("a") + Var("b"));
    EXPECT_CODE("P::f(1);", "08 " + SU("P.f") + HexLong(1) + Int(1));
    EXPECT_CODE("o.f(1);", "09 " + Var("o") + "08 " + SU("f") + HexLong(1) + Int(1));
    EXPECT_CODE("o.m;", "09 " + Var("o") + Var("m"));
    EXPECT_CODE("{ nop; { nop; } }", "00 00");
    EXPECT_CODE("@bytes(0x47, 1, 0b2);", "47 01 02");
    EXPECT_CODE("return @bytes(0x47) + 1;", "03 3c 47 " + Int(1));
}

TEST(ZscCode, IfWithoutElse) {
    // 14 at 0, the condition 1..7, the jump 8..12, the body 13..20, end 21.
    EXPECT_CODE("if (c) x++;", "14 " + Var("c") + "02 " + To(21) + "34 " + Var("x"));
}

TEST(ZscCode, ElseIfChains) {
    // if at 0: cond 1..7, jump 8; then 13..20; jump to end 21; else at 26: the
    // inner if (cond 27..33, jump 34, then 39..46) ends at 47.
    EXPECT_CODE("if (a) x++; else if (b) y++;",
                "14 " + Var("a") + "02 " + To(26) + "34 " + Var("x") + "02 " + To(47) + "14 " + Var("b") +
                    "02 " + To(47) + "34 " + Var("y"));
}

TEST(ZscCode, While) {
    EXPECT_CODE("while (c) x++;", "14 " + Var("c") + "02 " + To(26) + "34 " + Var("x") + "02 " + To(0));
    EXPECT_CODE("while (c) { if (d) break; continue; }",
                "14 " + Var("c") + "02 " + To(41) + "14 " + Var("d") + "02 " + To(31) + "02 " + To(41) +
                    "02 " + To(0) + "02 " + To(0));
}

TEST(ZscCode, DoWhile) {
    EXPECT_CODE("do x++; while (c);", "34 " + Var("x") + "14 " + Var("c") + "02 " + To(26) + "02 " + To(0));
    // continue goes to the condition.
    EXPECT_CODE("do { continue; } while (c);", "02 " + To(5) + "14 " + Var("c") + "02 " + To(23) + "02 " + To(0));
}

TEST(ZscCode, For) {
    EXPECT_CODE("for (i = 0; i < 3; i++) f(i);",
                "04 " + Var("i") + Int(0) + "14 20 " + Var("i") + Int(3) + "02 " + To(63) + "08 " + SU("f") +
                    HexLong(1) + Var("i") + "34 " + Var("i") + "02 " + To(13));
    EXPECT_CODE("for (;;) break;", "02 " + To(10) + "02 " + To(0));
    // continue goes to the update (here none: the jump back).
    EXPECT_CODE("for (; c;) continue;", "14 " + Var("c") + "02 " + To(23) + "02 " + To(18) + "02 " + To(0));
}

TEST(ZscCode, Select) {
    std::string y1 = "04 " + Var("y") + Int(1), y2 = "04 " + Var("y") + Int(2), y3 = "04 " + Var("y") + Int(3);
    EXPECT_CODE("select (x) { case 1, 2: y = 1; when z: y = 2; default: y = 3; }",
                "15 " + Var("x") + "03 " +                          // 0..8
                    "1e " + Int(1) + "16 02 " + To(50) +            // 9..20
                    "1e " + Int(2) + "16 02 " + To(50) +            // 21..32
                    Var("z") + "02 " + To(68) +                     // 33..44
                    "02 " + To(86) +                                // 45..49
                    y1 + "02 " + To(99) + y2 + "02 " + To(99) + y3);
    // Without a default the fall-through jump goes to the end; break leaves the select.
    EXPECT_CODE("select (x) { case 1: break; }",
                "15 " + Var("x") + "01 1e " + Int(1) + "16 02 " + To(26) + "02 " + To(36) + "02 " + To(36) +
                    "02 " + To(36));
    EXPECT_CODE("select (x) { }", "15 " + Var("x") + "00 02 " + To(14));
    // continue inside a select reaches the loop around it.
    EXPECT_CODE("while (c) { select (x) { default: continue; } }",
                "14 " + Var("c") + "02 " + To(37) + "15 " + Var("x") + "00 02 " + To(27) + "02 " + To(0) + "02 " +
                    To(0));
    EXPECT_CODE("select (x) { case 1: y = selected; }",
                "15 " + Var("x") + "01 1e " + Int(1) + "16 02 " + To(26) + "02 " + To(40) + "04 " + Var("y") +
                    "16 02 " + To(40));
}

TEST(ZscCode, SelectCaseLimit) {
    std::string many = "select (x) { case 0";
    for (int i = 1; i < 255; ++i) many += ", " + std::to_string(i);
    EXPECT_FALSE(Body(many + ": nop; }").empty());
    CompileResult r = CompileText("class T { func f() {" + many + ", 255: nop; } } }", "t.zs");
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(r.Diag.FormatAll().find("at most 255"), std::string::npos);
}
