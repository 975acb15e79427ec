// The module's thread-local storage directory: where the loader finds the template it copies for
// every thread (the redraw state), the slot it writes the module's TLS index to, and the list of
// callbacks it calls at each thread's start and end.
//
// The MinGW-w64 runtime's own directory comes with two callbacks of its own, known to the linker
// only by their section offsets: it cannot list them as call targets for Control Flow Guard, and a
// loader that checks the call would end the process. The plug-in's thread-local state needs no
// callback (constant-initialized, nothing to destroy), so the module carries this directory
// instead. Its callback list is the usual .CRT$XLA ... .CRT$XLZ range, so a callback any later
// object adds is still called (and shows in the image).

#include "host/asm_records.h"

// The template: everything the linker sorts between these two sections (.tls$$<variable>).
  .section .tls,"dw"
  .p2align POINTER_ALIGN
  .globl SYMBOL(_tls_start)
SYMBOL(_tls_start):
  .section .tls$ZZZ,"dw"
  .globl SYMBOL(_tls_end)
SYMBOL(_tls_end):

// The callback list, null-terminated.
  .section .CRT$XLA,"dr"
  .p2align POINTER_ALIGN
  .globl SYMBOL(__xl_a)
SYMBOL(__xl_a):
  POINTER 0
  .section .CRT$XLZ,"dr"
  .p2align POINTER_ALIGN
  .globl SYMBOL(__xl_z)
SYMBOL(__xl_z):
  POINTER 0

  .bss
  .p2align 2
  .globl SYMBOL(_tls_index)
SYMBOL(_tls_index):
  .long 0

  .section .rdata,"dr"
  .p2align POINTER_ALIGN
  .globl SYMBOL(_tls_used)
SYMBOL(_tls_used):
  POINTER SYMBOL(_tls_start)        // StartAddressOfRawData
  POINTER SYMBOL(_tls_end)          // EndAddressOfRawData
  POINTER SYMBOL(_tls_index)        // AddressOfIndex
#if defined(__x86_64__)
  field_at SYMBOL(_tls_used), 0x18
#else
  field_at SYMBOL(_tls_used), 0x0C
#endif
  POINTER SYMBOL(__xl_a) + (1 << POINTER_ALIGN)  // AddressOfCallBacks
  .long 0                           // SizeOfZeroFill
  .long 0                           // Characteristics: the linker writes the alignment
#if defined(__x86_64__)
  field_at SYMBOL(_tls_used), 0x28
#else
  field_at SYMBOL(_tls_used), 0x18
#endif
