// Classes: initialisers parents first, overriding, taking over from the first
// parent, functions that run as the child, super, "= super", and a newer
// version of a class.
class A {
  order = "";
  order = order + "A";
  func f() { return "A.f"; }
  func g() { return "A.g"; }
  func both() { return "A"; }
  func callsG() { return g(); }
  func say() { return "A"; }
}

class B {
  order = order + "B";
  func f() { return "B.f"; }
  func h() { return "B.h"; }
  func both() { return "B"; }
}

class C : A, B {
  order = order + "C";
  func g() { return "C.g"; }
  func say() { return super() + "C"; }
}

class D : C {
}

class E : A, B {
  func both = super(B);
  func f = super;
}

class Suite {
  func run() {
    c = new("C");
    check(c.order, "ABC", "initialisers run parents first");
    check(c.f(), "A.f", "the first parent wins a name");
    check(c.h(), "B.h", "functions of the second parent are taken over");
    check(c.g(), "C.g", "a child overrides");
    check(c.both(), "A", "the first parent wins");
    check(c.callsG(), "C.g", "a taken-over function runs as the child");
    check(c.say(), "AC", "super");
    d = new("D");
    check(d.say(), "AC", "super from a taken-over function runs the parent once");
    check(d.callsG(), "C.g", "taken over twice");
    e = new("E");
    check(e.both(), "B", "= super(B) runs the named parent and passes its result on");
    check(e.f(), "A.f", "= super runs the first parent");
    a = new("A");
    check(a.g(), "A2.g", "the newer version of a class is used for new objects");
    check(a.f(), "A.f", "the newer version takes over the older one's functions");
    check(c.g(), "C.g", "objects made before keep their class");
    summary();
  }
}

class A : A {
  func g() { return "A2.g"; }
}
