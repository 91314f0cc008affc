// Every operator on numbers, texts, truth values and arrays, with the
// result types the engine gives; "in", "isset", "like" and precedence.
class Suite {
  calls = 0;

  func bump() { calls++; return true; }

  func run() {
    check(2 + 3, 5, "add");
    check(7 - 10, -3, "subtract");
    check(6 * 7, 42, "multiply");
    check(cfloat(7 / 2), 3.5, "divide gives a fraction");
    check(cint(7 / 2), 4, "an int holding 3.5 reads back rounded to even");
    check(7 % 3, 1, "modulo");
    check(-7 % 3, -1, "modulo keeps the sign of the left side");
    check(2 ^ 10, 1024, "power");
    check(2 ^ 3 ^ 2, 512, "power is right to left");
    check(cstr(2 + 2.5), "4.5", "an int on the left keeps the int type, holding 4.5");
    check(2.5 + 2, 4.5, "a float on the left stays a float");
    check(6 & 3, 2, "bitwise and");
    check(6 | 3, 7, "bitwise or");
    check(2 + 3 * 4, 14, "multiplication binds tighter");
    check(-2 ^ 2, 4, "prefix minus binds tighter than power");
    b = 0b200 + 0b100;
    check(cint(b), 300, "bytes add past 255");

    check("ab" + 1, "ab1", "text plus number");
    check(1 + "ab", "1ab", "number plus text");
    check("abcb" - "b", "ac", "text minus text removes every occurrence");
    check("a" & "b", "ab", "and on texts joins them");
    check("5" == 5, true, "text equality through the text form");
    check("a" != "A", true, "texts compare case-sensitively");
    check(cstr("a" < "b"), "", "ordering texts gives nothing");
    check("hello" like "h*o", true, "like with a star");
    check("h1" like "h#", true, "like with a digit");
    check("d" like "[a-f]", true, "like with a range");
    check("d" like "[!a-f]", false, "like with an excluded range");
    check("hello" !like "x*", true, "not like");
    check("abc" % "a?c", true, "% on texts is like");

    check(1 < 2, true, "less");
    check(2 <= 2, true, "less or equal");
    check(3 > 2, true, "greater");
    check(2 >= 3, false, "greater or equal");
    check(1 != 2, true, "not equal");
    check(2 == 2.0, true, "numbers compare across types");
    check(true == -1, true, "true counts as -1");

    check(2 in [1, 2, 3], 2, "in a literal list");
    check(5 in [1, 2, 3], 0, "not in a literal list");
    l = ["a", "b"];
    check("b" in l, 2, "in a list variable");
    check((9 in l) + 10, 10, "reading goes on after in");

    check(isset l, true, "isset of an array");
    check(isset 5, false, "isset of a number");
    o = new("Thing");
    check(isset o, true, "isset of an object");
    check(not true, false, "not of a truth value");
    check(!5, -6, "not of an int is its complement");
    check(!0b5, 0b250, "not of a byte stays in a byte");
    check(!"abc", "cba", "not of a text reverses it");
    check(not [], false, "not of an array: it holds one");
    check(-(5), -5, "negate");
    check(-(2.5), -2.5, "negate a float");
    check(-(true), false, "negate of a truth value is not");

    calls = 0;
    r = false and bump();
    check(calls, 1, "and evaluates both sides");
    r = true or bump();
    check(calls, 2, "or evaluates both sides");
    check(true and false, false, "and");
    check(false or true, true, "or");

    v = cvar(5);
    check(cstr(v == 5), "", "a var value on the left gives nothing");
    check(5 == v, true, "a var value on the right compares");
    check(1000 < cvar("5"), true, "a number is below any text");

    x = 1;
    y = (x = 4) + 1;
    check(x, 4, "assignment as a value assigns");
    check(y, 5, "assignment as a value gives the value");
    summary();
  }
}

class Thing {
}
