class Hello {
  func add(int a, int b = 2) { return a + b; }
}
