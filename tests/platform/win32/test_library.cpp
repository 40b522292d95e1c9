// A small shared library (libVeskTestLib.so) that the library tests open through
// LoadLibraryA("VeskTestLib.dll") and call through GetProcAddress.
extern "C" int VeskTestAnswer() { return 42; }

// A counter that lives as long as the library stays loaded: two loads that share one
// instance see one count.
extern "C" int VeskTestNextCount() {
  static int count = 0;
  return ++count;
}
