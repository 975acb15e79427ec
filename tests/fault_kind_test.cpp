// The soak's fault report: the kind of a fault comes from the instruction at its address, since
// the exception code lies under emulation.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/fault_kind.h"

namespace {

using testing_support::DescribeFault;

struct Row {
  const char* name;
  DWORD code;
  int where;  // 0: ud2 bytes, 1: a plain load (8B 00), 2: reserved and unreadable, 3: null
  const char* expected;
};

TEST(FaultKind, NamedByTheInstructionNotTheCode) {
  static const unsigned char trap[] = {0x0F, 0x0B, 0x90};
  static const unsigned char load[] = {0x8B, 0x00, 0x90};
  void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(reserved, nullptr);
  const void* places[] = {trap, load, reserved, nullptr};
  const Row rows[] = {
      {"trap reported as a trap", 0xC000001D, 0, "an undefined-behaviour trap (ud2 at "},
      {"trap reported as an access", 0xC0000005, 0, "an undefined-behaviour trap (ud2 at "},
      {"access reported as illegal", 0xC000001D, 1,
       "not an undefined-behaviour trap (instruction bytes 8B 00); its kind cannot be told"},
      {"division reported as floating point", 0xC0000090, 1, "its kind cannot be told"},
      {"access reported as access", 0xC0000005, 1,
       "not an undefined-behaviour trap (instruction bytes 8B 00): a bad memory access"},
      {"unreadable address", 0xC000001D, 2, "cannot be told, the instruction there cannot be read"},
      {"null address", 0xC0000005, 3, "cannot be told, the instruction there cannot be read"},
  };
  for (const Row& row : rows) {
    const std::string text = DescribeFault(row.code, places[row.where]);
    EXPECT_NE(text.find(row.expected), std::string::npos)
        << row.name << ": \"" << text << "\" lacks \"" << row.expected << "\"";
    if (row.where != 0) {
      EXPECT_NE(text.rfind("an undefined-behaviour trap", 0), 0u) << row.name << ": " << text;
    }
  }
  VirtualFree(reserved, 0, MEM_RELEASE);
}

// A real ud2, caught and named from its exception record, then stepped over.
std::string Described;

LONG CALLBACK NameAndSkip(EXCEPTION_POINTERS* fault) {
  Described = DescribeFault(fault->ExceptionRecord->ExceptionCode,
                            fault->ExceptionRecord->ExceptionAddress);
#if defined(_WIN64)
  fault->ContextRecord->Rip += 2;
#else
  fault->ContextRecord->Eip += 2;
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(FaultKind, ARealTrapIsNamedAsOne) {
  void* handler = AddVectoredExceptionHandler(1, NameAndSkip);
  ASSERT_NE(handler, nullptr);
  asm volatile("ud2");
  RemoveVectoredExceptionHandler(handler);
  EXPECT_EQ(Described.rfind("an undefined-behaviour trap (ud2 at ", 0), 0u) << Described;
}

}  // namespace
