// Crashes on purpose, with a write through a null pointer that nothing handles: the test around
// it checks that such a crash ends the program at once, with the exception named in the output,
// instead of waiting in Wine's debugger until the test's timeout.
#include <cstdio>

int main() {
  std::puts("about to crash");
  std::fflush(stdout);
  volatile int* nowhere = nullptr;
  *nowhere = 42;
  std::puts("still running after a write through a null pointer");
  return 0;
}
