#include "tests/support/checked_add.h"

__attribute__((noinline)) int CheckedAdd(int a, int b) {
  return a + b;
}
