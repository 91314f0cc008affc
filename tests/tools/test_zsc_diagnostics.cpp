// Declarations, parameters, errors with their positions, and the trap warnings.

#include <gtest/gtest.h>

#include "ZscTestHelpers.h"

using namespace zun::zsc;

namespace {

// The first error of a compile, formatted as the command line prints it.
std::string FirstError(const std::string& src) {
    CompileResult r = CompileText(src, "t.zs");
    EXPECT_FALSE(r.Ok) << src;
    EXPECT_TRUE(r.Classes.empty());
    for (const auto& d : r.Diag.Items)
        if (d.Error) return r.Diag.Format(d);
    return "";
}

std::vector<std::string> Warnings(const std::string& src) {
    CompileResult r = CompileText(src, "t.zs");
    EXPECT_TRUE(r.Ok) << r.Diag.FormatAll();
    std::vector<std::string> out;
    for (const auto& d : r.Diag.Items)
        if (!d.Error) out.push_back(r.Diag.Format(d));
    return out;
}

bool Has(const std::vector<std::string>& lines, const std::string& fragment) {
    for (const auto& l : lines)
        if (l.find(fragment) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST(ZscDeclarations, ClassesParentsFunctionsAndInitialiser) {
    CompileResult r = CompileText(
        "class A { x = 1; func f() { } }\n"
        "class B : A, Elsewhere {\n"
        "  y = 2;\n"
        "  func g() { return 1; }\n"
        "  func f = super;\n"
        "  func h = super(A);\n"
        "  z = 3;\n"
        "}\n",
        "t.zs");
    ASSERT_TRUE(r.Ok) << r.Diag.FormatAll();
    ASSERT_EQ(r.Classes.size(), 2u);
    const ClassRecord& b = r.Classes[1];
    EXPECT_EQ(b.Name, "B");
    EXPECT_EQ(b.Parents, (std::vector<std::string>{"A", "Elsewhere"}));
    ASSERT_EQ(b.Functions.size(), 3u);
    EXPECT_EQ(b.Functions[0].Name, "g");
    EXPECT_FALSE(b.Functions[0].Super);
    EXPECT_EQ(b.Functions[1].Name, "f");
    EXPECT_TRUE(b.Functions[1].Super);
    EXPECT_TRUE(b.Functions[1].Params.empty());
    EXPECT_TRUE(b.Functions[1].Body.empty());
    EXPECT_TRUE(b.Functions[2].Super);
    ASSERT_EQ(b.Functions[2].Params.size(), 1u);
    EXPECT_EQ(b.Functions[2].Params[0].Name, "A");
    EXPECT_EQ(b.Functions[2].Params[0].Typ, 0);
    // Class-level statements in source order form the initialiser.
    EXPECT_EQ(zun::test::ToHex(b.Init.Body),
              zun::test::ToHex(zun::test::Hex("04 " + test::Var("y") + test::Int(2) + "04 " + test::Var("z") +
                                              test::Int(3))));
    EXPECT_TRUE(b.Init.Name.empty());
    EXPECT_TRUE(r.Diag.Items.empty()) << r.Diag.FormatAll();
}

TEST(ZscDeclarations, ParameterTypesAndDefaults) {
    CompileResult r = CompileText(
        "class T { func f(a, b = 5, c = 1.5, d = \"x\", e = 'y', g = true, h = 0b3, i = [1, \"a\", [2.5]],"
        " int j, int k = -2, byte l = 7, float m = 2, var n = 1.5, var o = true, var p = 7, var q = 'w',"
        " int r = 0b9, array s, object t, str u, bool v, array w = []) { } }",
        "t.zs");
    ASSERT_TRUE(r.Ok) << r.Diag.FormatAll();
    const auto& p = r.Classes[0].Functions[0].Params;
    ASSERT_EQ(p.size(), 22u);
    auto check = [&](size_t i, uint8_t typ, const char* name) {
        EXPECT_EQ(p[i].Typ, typ) << name;
        EXPECT_EQ(p[i].Name, name);
    };
    check(0, 0, "a");
    EXPECT_EQ(p[0].Text, "");
    check(1, 3, "b");
    EXPECT_EQ(p[1].Long, 5);
    check(2, 4, "c");
    EXPECT_EQ(p[2].Single, 1.5f);
    check(3, 5, "d");
    EXPECT_EQ(p[3].Text, "x");
    check(4, 5, "e");
    check(5, 1, "g");
    EXPECT_TRUE(p[5].Bool);
    check(6, 2, "h");
    EXPECT_EQ(p[6].Byte, 3);
    check(7, 6, "i");
    ASSERT_EQ(p[7].Items.size(), 3u);
    EXPECT_EQ(p[7].Items[0].Typ, 3);
    EXPECT_EQ(p[7].Items[1].Typ, 5);
    EXPECT_EQ(p[7].Items[2].Typ, 6);
    EXPECT_EQ(p[7].Items[2].Items[0].Single, 2.5f);
    EXPECT_TRUE(p[7].Items[0].Name.empty());
    check(8, 3, "j");
    EXPECT_EQ(p[8].Long, 0);
    check(9, 3, "k");
    EXPECT_EQ(p[9].Long, -2);
    check(10, 2, "l");
    EXPECT_EQ(p[10].Byte, 7);
    check(11, 4, "m");
    EXPECT_EQ(p[11].Single, 2.0f);
    check(12, 0, "n");
    EXPECT_EQ(p[12].Text, "1.5");
    check(13, 0, "o");
    EXPECT_EQ(p[13].Text, "True");
    check(14, 0, "p");
    EXPECT_EQ(p[14].Text, "7");
    check(15, 0, "q");
    EXPECT_EQ(p[15].Text, "w");
    check(16, 3, "r");
    EXPECT_EQ(p[16].Long, 9);
    check(17, 6, "s");
    EXPECT_TRUE(p[17].Items.empty());
    check(18, 7, "t");
    check(19, 5, "u");
    check(20, 1, "v");
    check(21, 6, "w");
    EXPECT_TRUE(p[21].Items.empty());
}

TEST(ZscErrors, PositionsOfSyntaxErrors) {
    EXPECT_EQ(FirstError("class A {\n  func f() {\n    x = ;\n  }\n}\n"),
              "t.zs:3:9: error: expected an expression, found ';'");
    EXPECT_EQ(FirstError("class A { func f() { x = \"abc; } }"), "t.zs:1:26: error: unterminated string");
    EXPECT_EQ(FirstError("x = 1;"), "t.zs:1:1: error: expected 'class' or 'include', found name 'x'");
    EXPECT_EQ(FirstError("class A { func f() { f() = 1; } }"),
              "t.zs:1:26: error: only a name, an indexed name or a member can be assigned");
    EXPECT_EQ(FirstError("class A { func f() { if (x = 1) nop; } }"),
              "t.zs:1:28: error: '=' in a condition: write '==' to compare, or '((x = e))' to assign");
    EXPECT_EQ(FirstError("class A { func f() { return f()[1]; } }"), "t.zs:1:32: error: only a name can be indexed");
    EXPECT_EQ(FirstError("class A { func f() { return (a)(1); } }"), "t.zs:1:32: error: only a name can be called");
    EXPECT_EQ(FirstError("class A { func f() { select (x) { default: nop; case 1: nop; } } }"),
              "t.zs:1:49: error: 'default' must be the last section of a select");
    EXPECT_EQ(FirstError("class A { func f() {\n\tx = #;\n} }"), "t.zs:2:6: error: unexpected character '#'");
    EXPECT_EQ(FirstError("class A { func f() { return 2147483648; } }"),
              "t.zs:1:29: error: integer literal too large for an int");
    EXPECT_EQ(FirstError("class A { func f() { return 0b256; } }"),
              "t.zs:1:29: error: byte literal out of range (0..255)");
    EXPECT_EQ(FirstError("class A { func f() { return 0x123456789; } }"),
              "t.zs:1:29: error: hexadecimal literal longer than 8 digits");
    EXPECT_EQ(FirstError("class A { func f() { return 12ab; } }"), "t.zs:1:29: error: malformed number");
    EXPECT_EQ(FirstError("class A { func f() { return 1e39; } }"), "t.zs:1:29: error: number too large for a float");
    EXPECT_EQ(FirstError("class A { func f() { return \"\\q\"; } }"),
              "t.zs:1:30: error: unknown escape sequence in string");
    EXPECT_EQ(FirstError("class A { /* open\n\n"), "t.zs:1:11: error: unterminated comment");
    EXPECT_EQ(FirstError("class A {\n func f() {\n"), "t.zs:2:11: error: block not closed: missing '}'");
    EXPECT_EQ(FirstError("class A { func f() { return a[][1]; } }"),
              "t.zs:1:32: error: '[]' (append) must be the only index of a name");
    EXPECT_EQ(FirstError("class A { func f() { return x in f(); } }"),
              "t.zs:1:34: error: the list after 'in' must be an array literal or a variable name");
    EXPECT_EQ(FirstError("class A { func f() { x + 1; } }"),
              "t.zs:1:22: error: this expression is not a statement: only assignments, '++', '--', calls and "
              "member accesses stand alone");
    EXPECT_EQ(FirstError("class A { func f() { return P::f; } }"),
              "t.zs:1:33: error: expected '(' after a qualified function name");
    EXPECT_EQ(FirstError("class A { func f = sup; }"),
              "t.zs:1:20: error: expected 'super' after '=' in a function declaration, found name 'sup'");
}

TEST(ZscErrors, SourceEncoding) {
    EXPECT_EQ(FirstError("class A { func f() { return \"a\xff\"; } }"), "t.zs:1:31: error: invalid UTF-8 in the source");
    // Greek capital omega has no Windows-1252 code.
    EXPECT_EQ(FirstError("class A { func f() { return \"a\xce\xa9\"; } }"),
              "t.zs:1:31: error: character U+03A9 is not in the Windows-1252 character set");
    // Columns count characters, not bytes.
    EXPECT_EQ(FirstError("class A { func f() { return \"\xc3\xa4\xc3\xa4\" + ; } }"),
              "t.zs:1:36: error: expected an expression, found ';'");
    // A byte-order mark is skipped.
    EXPECT_TRUE(CompileText("\xef\xbb\xbf" "class A { }", "t.zs").Ok);
    std::string tooLong = "class A { func f() { return \"" + std::string(32769, 'a') + "\"; } }";
    EXPECT_EQ(FirstError(tooLong), "t.zs:1:29: error: string longer than 32768 characters");
    EXPECT_TRUE(CompileText("class A { func f() { return \"" + std::string(32768, 'a') + "\"; } }", "t.zs").Ok);
}

TEST(ZscErrors, MeaningErrors) {
    EXPECT_EQ(FirstError("class B : A { }\nclass A { }"),
              "t.zs:1:11: error: parent class 'A' is declared later in this file; a parent must come before its "
              "children");
    // A parent of the same name defined earlier is the one the loader takes.
    EXPECT_TRUE(CompileText("class A { }\nclass B : A { }\nclass A : A { }", "t.zs").Ok);
    EXPECT_EQ(FirstError("class A { func f() { break; } }"), "t.zs:1:22: error: 'break' outside a loop or select");
    EXPECT_EQ(FirstError("class A { func f() { select (x) { case 1: continue; } } }"),
              "t.zs:1:43: error: 'continue' outside a loop");
    EXPECT_EQ(FirstError("class A { func f() { } func f() { } }"),
              "t.zs:1:24: error: function 'f' is already defined in class 'A'");
    EXPECT_EQ(FirstError("class A { func ``() { } }"), "t.zs:1:11: error: a function needs a name");
    EXPECT_EQ(FirstError("class A { func f(a, a) { } }"), "t.zs:1:21: error: parameter 'a' is declared twice");
    EXPECT_EQ(FirstError("class A { func f(a = b) { } }"),
              "t.zs:1:22: error: a parameter default must be a literal: a number, a text, true, false or a list of "
              "them");
    EXPECT_EQ(FirstError("class A { func f(byte b = 300) { } }"),
              "t.zs:1:27: error: default out of range for a byte parameter (0..255)");
    EXPECT_EQ(FirstError("class A { func f(bool b = 1) { } }"),
              "t.zs:1:27: error: a default of type int does not fit a parameter of type bool");
    EXPECT_EQ(FirstError("class A { func f(int b = 1.5) { } }"),
              "t.zs:1:26: error: a default of type float does not fit a parameter of type int");
    EXPECT_EQ(FirstError("class A { func f(object o = 1) { } }"),
              "t.zs:1:29: error: an object parameter takes no default");
    EXPECT_EQ(FirstError("class A { func f() { return `a\n`; } }"), "t.zs:1:29: error: unterminated quoted name");
}

TEST(ZscErrors, NestingIsBounded) {
    std::string deep = "class A { func f() { return " + std::string(300, '(') + "x" + std::string(300, ')') + "; } }";
    EXPECT_NE(FirstError(deep).find("nesting too deep"), std::string::npos);
    std::string chain = "class A { func f() { return 1";
    for (int i = 0; i < 2000; ++i) chain += " + 1";
    EXPECT_NE(FirstError(chain + "; } }").find("expression too deeply nested"), std::string::npos);
    std::string blocks = "class A { func f() { " + std::string(300, '{') + std::string(300, '}') + " } }";
    EXPECT_NE(FirstError(blocks).find("nesting too deep"), std::string::npos);
    // Ordinary depths pass.
    std::string fine = "class A { func f() { return " + std::string(60, '(') + "x" + std::string(60, ')') + "; } }";
    EXPECT_TRUE(CompileText(fine, "t.zs").Ok);
}

TEST(ZscWarnings, BuiltinNamedFunctions) {
    auto w = Warnings("class A { func msg() { } func count() { } func onLoad() { } }");
    EXPECT_TRUE(Has(w, "t.zs:1:11: warning: function 'msg' can never be called by its plain name"));
    EXPECT_TRUE(Has(w, "t.zs:1:26: warning: function 'count'"));
    EXPECT_FALSE(Has(w, "onLoad"));
}

TEST(ZscWarnings, ParameterNamedLikeAClassVariable) {
    auto w = Warnings("class A { x = 0; func f(x, y) { } }\nclass B : A { func g(int x) { } }");
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0], "t.zs:1:25: warning: parameter 'x' has the name of a class variable: the argument is written "
                    "into that variable and no local is made");
    EXPECT_TRUE(Has(w, "t.zs:2:22: warning: parameter 'x'"));
}

TEST(ZscWarnings, CallsThatNeedAClass) {
    auto w = Warnings("class P { }\nclass A : P { super(); P::f(); func g() { Q::h(); P::h(); o.Q::h(); } func k = super(Q); }");
    EXPECT_TRUE(Has(w, "t.zs:2:15: warning: 'super' in class-level code fails"));
    EXPECT_TRUE(Has(w, "t.zs:2:24: warning: qualified call 'P.f' in class-level code fails"));
    EXPECT_TRUE(Has(w, "t.zs:2:43: warning: 'Q' is not a parent of class 'A': the qualified call runs nothing"));
    EXPECT_TRUE(Has(w, "t.zs:2:86: warning: 'Q' is not a parent of class 'A'"));
    EXPECT_EQ(w.size(), 4u);
}
