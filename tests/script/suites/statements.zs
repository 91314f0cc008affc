// Every statement: assignments, if / else, while, do, for, break, continue,
// select with case / when / default, return, ++ and --, member statements,
// nop, and calls as statements.
class Suite {
  total = 0;

  func run() {
    x = 5;
    if (x > 3) y = 1; else y = 2;
    check(y, 1, "if takes the true branch");
    if (x < 3) y = 1; else y = 2;
    check(y, 2, "if takes the else branch");
    z = "none";
    if (x == 5) { z = "a"; }
    check(z, "a", "if without else");
    if (x == 6) { z = "b"; }
    check(z, "a", "if without else, false");

    i = 0;
    n = 0;
    while (i < 10) {
      i++;
      if (i == 3) continue;
      if (i == 8) break;
      n = n + i;
    }
    check(n, 25, "while with continue and break");
    check(i, 8, "break leaves the loop at once");

    j = 0;
    do { j++; } while (j < 5);
    check(j, 5, "do while");
    k = 10;
    do { k++; } while (k < 5);
    check(k, 11, "do runs its body once");

    s = 0;
    for (i = 0; i < 5; i++) s = s + i;
    check(s, 10, "for");
    for (i = 0; ; i++) { if (i >= 3) break; }
    check(i, 3, "for without a condition");
    c = 0;
    for (i = 0; i < 6; i++) { if (i % 2 == 1) continue; c++; }
    check(c, 3, "continue in for runs the update");

    check(pick(1), "one", "select case");
    check(pick(2), "two or three", "select case list, first");
    check(pick(3), "two or three", "select case list, second");
    check(pick(7), "big", "select when");
    check(pick(0), "other", "select default");
    check(noDefault(9), "none", "select without default falls through to the end");
    check(nested(1, 2), "1/2", "nested select");

    check(cstr(noReturn()), "", "a function without return gives an empty value");
    check(viaMember(), 7, "the last member statement is the result");
    check(early(), 1, "return ends the function");

    a = [1, 2];
    a[1]++;
    a[2]--;
    check(a[1], 2, "increment of an entry");
    check(a[2], 1, "decrement of an entry");
    h = new("Helper");
    h.count++;
    h.count++;
    check(h.count, 2, "increment of a member");
    f = 1.5;
    f++;
    check(f, 2.5, "increment keeps a float a float");
    b = 0b255;
    b++;
    check(cint(b), 256, "a byte that outgrows its range keeps counting");
    total++;
    check(total, 1, "increment of an object variable");

    nop;
    h.bump();
    check(h.count, 3, "member call as a statement");
    bumpTotal();
    check(total, 2, "call as a statement");
    h.count = 10;
    check(h.count, 10, "member assignment");
    h.list[2] = "x";
    check(h.list[2], "x", "member path assignment");

    check(fact(10), 3628800, "recursion");
    check(depth(50), 50, "locals survive nested calls");
    summary();
  }

  func pick(v) {
    select (v) {
      case 1: return "one";
      case 2, 3: return "two or three";
      when v > 5: return "big";
      default: return "other";
    }
  }
  func noDefault(v) {
    r = "none";
    select (v) {
      case 1: r = "one";
    }
    return r;
  }
  func nested(a, b) {
    out = "";
    select (a) {
      case 1:
        out = "1";
        select (b) {
          case 2: out = out + "/2";
        }
    }
    return out;
  }
  func noReturn() { q = 1; }
  func viaMember() { o = new("Helper"); o.seven(); }
  func early() { return 1; return 2; }
  func bumpTotal() { total++; }
  func fact(int n) { if (n < 2) return 1; return n * fact(n - 1); }
  func depth(int n) {
    if (n == 0) return 0;
    mine = n;
    below = depth(n - 1);
    if (mine != n) return -1000;
    return below + 1;
  }
}

class Helper {
  count = 0;
  list = [1, 2];
  func seven() { return 7; }
  func bump() { count++; }
}
