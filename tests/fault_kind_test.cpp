// The soak's fault report: the kind of a fault comes from the instruction at its address, since
// the exception code lies under emulation.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>

#include "tests/support/checked_add.h"
#include "tests/support/fault_kind.h"

namespace {

using testing_support::DescribeFault;

struct Row {
  const char* name;
  DWORD code;
  int where;  // an index into the places below
  const char* expected;
};

TEST(FaultKind, NamedByTheInstructionNotTheCode) {
  // The trap forms: ud2; ud1 as this Clang emits it on x86_64 (address-size prefix, then the
  // check's kind in the operand) and on i686; ud0; then a plain load.
  static const unsigned char ud2[] = {0x0F, 0x0B, 0x90};
  static const unsigned char ud1Prefixed[] = {0x67, 0x0F, 0xB9, 0x40, 0x0C, 0x90};
  static const unsigned char ud1[] = {0x0F, 0xB9, 0x40, 0x0C, 0x90};
  static const unsigned char ud0[] = {0x0F, 0xFF, 0xC0, 0x90};
  static const unsigned char load[] = {0x8B, 0x00, 0x90};
  static const unsigned char prefixedLoad[] = {0x67, 0x8B, 0x00, 0x90};
  // Loads whose second byte is a trap's: only 0F before it makes one.
  static const unsigned char load0B[] = {0x8B, 0x0B, 0x90};  // mov ecx, [ebx]
  static const unsigned char movFF[] = {0x8B, 0xFF, 0x90};   // mov edi, edi
  void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(reserved, nullptr);
  const void* places[] = {ud2,          ud1Prefixed, ud1,     ud0,    load,
                          prefixedLoad, reserved,    nullptr, load0B, movFF};
  const Row rows[] = {
      {"ud2 reported as illegal", 0xC000001D, 0, "an undefined-behaviour trap (ud2 at "},
      {"ud2 reported as an access", 0xC0000005, 0, "an undefined-behaviour trap (ud2 at "},
      {"prefixed ud1 reported as illegal", 0xC000001D, 1, "an undefined-behaviour trap (ud1 at "},
      {"ud1 reported as an access", 0xC0000005, 2, "an undefined-behaviour trap (ud1 at "},
      {"ud0 reported as illegal", 0xC000001D, 3, "an undefined-behaviour trap (ud0 at "},
      {"access reported as illegal", 0xC000001D, 4,
       "not an undefined-behaviour trap (instruction bytes 8B 00 90); its kind cannot be told"},
      {"division reported as floating point", 0xC0000090, 4, "its kind cannot be told"},
      {"access reported as access", 0xC0000005, 4,
       "not an undefined-behaviour trap (instruction bytes 8B 00 90): a bad memory access"},
      {"prefixed access", 0xC0000005, 5, "(instruction bytes 67 8B 00): a bad memory access"},
      {"unreadable address", 0xC000001D, 6, "cannot be told, the instruction there cannot be read"},
      {"null address", 0xC0000005, 7, "cannot be told, the instruction there cannot be read"},
      {"a load with the second byte of ud2", 0xC0000005, 8,
       "not an undefined-behaviour trap (instruction bytes 8B 0B 90): a bad memory access"},
      {"a move with the second byte of ud0", 0xC000001D, 9,
       "not an undefined-behaviour trap (instruction bytes 8B FF 90)"},
  };
  for (const Row& row : rows) {
    const std::string text = DescribeFault(row.code, places[row.where]);
    EXPECT_NE(text.find(row.expected), std::string::npos)
        << row.name << ": \"" << text << "\" lacks \"" << row.expected << "\"";
    if (row.where >= 4) {  // none of them a trap
      EXPECT_NE(text.rfind("an undefined-behaviour trap", 0), 0u) << row.name << ": " << text;
    }
  }
  VirtualFree(reserved, 0, MEM_RELEASE);
}

// A real trap of the checking build: a signed overflow in code compiled with its flags, on a
// thread of its own. The handler names it from its exception record, then sends the thread to
// end itself instead of returning into the trap.
DWORD TrapThread = 0;
std::string Described;
constexpr DWORD Landed = 0x7AB;

[[noreturn]] void WINAPI EndTrapThread() {
  ExitThread(Landed);
}

LONG CALLBACK NameAndEndThread(EXCEPTION_POINTERS* fault) {
  if (GetCurrentThreadId() != TrapThread) return EXCEPTION_CONTINUE_SEARCH;
  Described = DescribeFault(fault->ExceptionRecord->ExceptionCode,
                            fault->ExceptionRecord->ExceptionAddress);
  // As if EndTrapThread had been called: an aligned stack with room for a return address.
#if defined(_WIN64)
  fault->ContextRecord->Rsp = (fault->ContextRecord->Rsp & ~DWORD64{15}) - 8;
  fault->ContextRecord->Rip = reinterpret_cast<DWORD64>(&EndTrapThread);
#else
  fault->ContextRecord->Esp = (fault->ContextRecord->Esp & ~DWORD{15}) - 4;
  fault->ContextRecord->Eip = reinterpret_cast<DWORD>(&EndTrapThread);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

DWORD WINAPI Overflow(void* sum) {
  *static_cast<int*>(sum) = CheckedAdd(INT_MAX, *static_cast<int*>(sum));
  return 0;
}

TEST(FaultKind, TheCheckingBuildsOverflowTrapIsNamedAsOne) {
  void* handler = AddVectoredExceptionHandler(1, NameAndEndThread);
  ASSERT_NE(handler, nullptr);
  int sum = 1;
  HANDLE thread = CreateThread(nullptr, 0, Overflow, &sum, CREATE_SUSPENDED, &TrapThread);
  ASSERT_NE(thread, nullptr);
  ResumeThread(thread);
  ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);
  RemoveVectoredExceptionHandler(handler);
  EXPECT_EQ(exitCode, Landed) << "the overflow did not trap; the sum came out as " << sum;
  EXPECT_EQ(Described.rfind("an undefined-behaviour trap (", 0), 0u) << Described;
}

}  // namespace
