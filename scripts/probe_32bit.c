/* Whether this kernel runs 32-bit x86 code: looks at the 32-bit user code segment (GDT selector
 * 0x23) itself. A kernel with its 32-bit emulation switched off marks that segment not present,
 * whatever its configuration and command line say; a binfmt entry cannot change this answer.
 * Prints "present" or "absent". */
#include <stdio.h>

int main(void) {
  unsigned int selector = 0x23, rights = 0;
  unsigned char valid = 0;
  __asm__ volatile("lar %2, %0\n\tsetz %1" : "=r"(rights), "=q"(valid) : "r"(selector) : "cc");
  /* Bit 15 of the access rights is the descriptor's present bit. */
  puts(valid && (rights & 0x8000u) ? "present" : "absent");
  return 0;
}
