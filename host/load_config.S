// The module's load configuration: the record the Windows loader reads, among others, for the
// stack protector's cookie. This MinGW-w64 runtime brings none, so the module carries its own.

#if defined(__x86_64__)
#define SYMBOL(name) name
#define POINTER .quad
#define POINTER_ALIGN 3
#elif defined(__i386__)
// 32-bit C names carry a leading underscore.
#define SYMBOL(name) _##name
#define POINTER .long
#define POINTER_ALIGN 2
#else
#error "a load configuration for x86 and x86_64 only"
#endif

// Fails the assembly if the record's next field would not start at `offset`.
.macro field_at offset
  .if . - SYMBOL(_load_config_used) - \offset
    .error "load configuration field misplaced"
  .endif
.endm

  .section .rdata,"dr"
  .p2align POINTER_ALIGN
  .globl SYMBOL(_load_config_used)
SYMBOL(_load_config_used):
  .long LoadConfigEnd - SYMBOL(_load_config_used)  // Size
  .long 0          // TimeDateStamp
  .short 0, 0      // MajorVersion, MinorVersion
  .long 0          // GlobalFlagsClear
  .long 0          // GlobalFlagsSet
  .long 0          // CriticalSectionDefaultTimeout
  POINTER 0        // DeCommitFreeBlockThreshold
  POINTER 0        // DeCommitTotalFreeThreshold
  POINTER 0        // LockPrefixTable
  POINTER 0        // MaximumAllocationSize
  POINTER 0        // VirtualMemoryThreshold
#if defined(__x86_64__)
  POINTER 0        // ProcessAffinityMask
  .long 0          // ProcessHeapFlags
#else
  .long 0          // ProcessHeapFlags
  POINTER 0        // ProcessAffinityMask
#endif
  .short 0         // CSDVersion
  .short 0         // DependentLoadFlags
  POINTER 0        // EditList
  POINTER SYMBOL(__stack_chk_guard)  // SecurityCookie: the loader makes it random
  // SEHandlerTable, SEHandlerCount: none; the module registers no exception handler.
  POINTER 0
  POINTER 0
#if defined(__x86_64__)
  field_at 0x70
#else
  field_at 0x48
#endif
LoadConfigEnd:
