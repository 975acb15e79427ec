// The module's load configuration: the record the Windows loader reads for the stack protector's
// cookie and for Control Flow Guard. This MinGW-w64 runtime brings none, so the module carries its
// own. The linker fills the guard tables and their counts, and checks the fields that name them.
// The record ends after the long-jump table, the last field the linker fills; its Size says so,
// and the loader reads no further.
//
// Two pointers go with it: the ones that code compiled with -mguard=cf calls through before every
// indirect call. They start at checkers that let every call through, which is what runs where the
// loader knows no Control Flow Guard (Wine among them); a loader that does replaces them with its
// own. They live in read-only data (.00cfg, which the linker folds into .rdata, as Microsoft's
// does): the loader writes read-only pages of the image it maps, and after that one write nothing
// in the process can point them elsewhere. In writable data they would be the first thing an
// attacker overwrites to switch the checks off.

#include "host/asm_records.h"

  .text
// The checker's contract: the target is in ecx (x86) or rcx (x86_64); return if it may be called.
  .p2align 4
PassThroughCheck:
  ret
#if defined(__x86_64__)
// The dispatcher's contract: the target is in rax; jump to it with every argument register as the
// caller left it.
  .p2align 4
PassThroughDispatch:
  jmp *%rax
#endif

  .section .00cfg,"dr"
  .p2align POINTER_ALIGN
  .globl SYMBOL(__guard_check_icall_fptr)
SYMBOL(__guard_check_icall_fptr):
  POINTER PassThroughCheck
#if defined(__x86_64__)
  .globl SYMBOL(__guard_dispatch_icall_fptr)
SYMBOL(__guard_dispatch_icall_fptr):
  POINTER PassThroughDispatch
#endif

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
  // SEHandlerTable, SEHandlerCount: none. The 32-bit module registers no exception handler and
  // says so in its header (no SEH); x86_64 unwinds through its tables instead.
  POINTER 0
  POINTER 0
#if defined(__x86_64__)
  field_at SYMBOL(_load_config_used), 0x70
#else
  field_at SYMBOL(_load_config_used), 0x48
#endif
  POINTER SYMBOL(__guard_check_icall_fptr)     // GuardCFCheckFunctionPointer
#if defined(__x86_64__)
  POINTER SYMBOL(__guard_dispatch_icall_fptr)  // GuardCFDispatchFunctionPointer
#else
  POINTER 0        // GuardCFDispatchFunctionPointer: x86 has no dispatching form
#endif
  POINTER SYMBOL(__guard_fids_table)           // GuardCFFunctionTable
  POINTER SYMBOL(__guard_fids_count)           // GuardCFFunctionCount
  .long SYMBOL(__guard_flags)                  // GuardFlags
  .short 0, 0      // CodeIntegrity: Flags, Catalog
  .long 0, 0       // CodeIntegrity: CatalogOffset, Reserved
#if defined(__x86_64__)
  field_at SYMBOL(_load_config_used), 0xA0
#else
  field_at SYMBOL(_load_config_used), 0x68
#endif
  POINTER SYMBOL(__guard_iat_table)      // GuardAddressTakenIatEntryTable
  POINTER SYMBOL(__guard_iat_count)      // GuardAddressTakenIatEntryCount
  POINTER SYMBOL(__guard_longjmp_table)  // GuardLongJumpTargetTable
  POINTER SYMBOL(__guard_longjmp_count)  // GuardLongJumpTargetCount
LoadConfigEnd:
#if defined(__x86_64__)
  field_at SYMBOL(_load_config_used), 0xC0
#else
  field_at SYMBOL(_load_config_used), 0x78
#endif
