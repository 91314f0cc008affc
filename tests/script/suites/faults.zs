// Behaviour that used to go wrong: reading goes on correctly after
// expressions that end early, one-operand operators, arrays passed to
// functions, pop out of range, "log" of a text, cyclic arrays in dumps.
class Suite {
  func size(p) { return count(p); }
  func first(p) { return p[1]; }
  func kind(p) { return isset p; }

  func run() {
    hit = 0;
    if (cvar(5) == 5) { hit = 1; }
    after = 2;
    check(after, 2, "statements after an operator with a var operand still run");
    check(hit, 0, "an operator with a var first operand gives nothing");
    nothing = nope[1][2];
    y = 1;
    check(y, 1, "statements after a failed path still run");
    q = [1];
    z = q[true][1];
    w = 2;
    check(w, 2, "statements after a path with a bool index still run");
    k = cvar(1) in [1, 2];
    m = 3;
    check(m, 3, "statements after in with a var operand still run");

    b = isset 5;
    y2 = 1;
    check(b, false, "isset of a number reads no second operand");
    check(y2, 1, "and the next statement runs");
    c = -"text";
    y3 = 1;
    check(c, false, "negating a text reads no second operand");
    check(y3, 1, "and the next statement runs");

    list = [10, 20, 30];
    check(size(list), 3, "an array passed to a function stays an array");
    check(first(list), 10, "and can be indexed");
    check(kind(list), true, "and is set");

    l = [1, 2];
    p = pop(l, 5);
    check(count(l), 2, "pop out of range changes nothing");
    e = [];
    pop(e);
    check(count(e), 0, "pop of an empty array leaves it empty");

    log("a text, not a number: written to the log");
    check(log(1), 0.0, "log of a number is the logarithm");

    cyc = [];
    cyc[] = cyc;
    check(dump(cyc), 1, "a cyclic array can be dumped");
    arr = [1, 2];
    arr[(arr = 1)] = 7;
    check(arr, 1, "an index that replaces its own array leaves the new value");
    arr2 = [1, 2];
    arr2[(arr2 = 4)] = 8;
    check(arr2, 4, "also when the index creates the entry");
    summary();
  }
}
