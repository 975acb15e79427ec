#include "tests/soak/fault_report.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/support/fault_kind.h"

namespace soak {

namespace {

uint64_t CurrentStep = 0;
uint32_t RunSeed = 0;

LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
  const std::string kind = testing_support::DescribeFault(fault->ExceptionRecord->ExceptionCode,
                                                          fault->ExceptionRecord->ExceptionAddress);
  std::printf(
      "FAILED at step %llu: %s\n  reproduce: scripts/run-soak.sh %llu --seed %u --arch %s\n"
      "%s: %llu passed, 1 failed\n",
      static_cast<unsigned long long>(CurrentStep), kind.c_str(),
      static_cast<unsigned long long>(CurrentStep), RunSeed, Arch, Arch,
      static_cast<unsigned long long>(CurrentStep > 0 ? CurrentStep - 1 : 0));
  std::fflush(stdout);
  ExitProcess(3);
}

}  // namespace

void ReportFaults(uint32_t seed) {
  RunSeed = seed;
  SetUnhandledExceptionFilter(ReportFault);
}

void NoteStep(uint64_t step) {
  CurrentStep = step;
}

std::string ConsoleText(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace soak
