// The exploit mitigations of both built DLLs, the shipped one and the checking one, read from
// their PE images: every one Windows offers a DLL, by name, and the editor's entry points among
// Control Flow Guard's call targets.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "sim/sim_editor.h"
#include "tests/support/pe_image.h"

namespace {

using testing_support::PeImage;

struct Build {
  const char* name;
  const wchar_t* file;  // beside the test program
};

void PrintTo(const Build& build, std::ostream* out) {
  *out << build.name;
}

const Build builds[] = {
    {"Shipped", L"Brinkwatcher.dll"},
    {"Checked", L"checked\\Brinkwatcher.dll"},
};

// What each build must have on this architecture, by the names ReportMitigations gives.
const char* const required[] = {
    "DYNAMIC_BASE",
    "RELOCATIONS",
    "NX_COMPAT",
#if defined(_WIN64)
    "HIGH_ENTROPY_VA",
#else
    "NO_SEH",
    "NO_SEH_HANDLERS",
#endif
    "GUARD_CF",
    "LOAD_CONFIG",
    "GUARD_CF_INSTRUMENTED",
    "GUARD_CF_CHECK_FUNCTION",
#if defined(_WIN64)
    "GUARD_CF_DISPATCH_FUNCTION",
#endif
    "GUARD_CF_FUNCTION_TABLE",
    "GUARD_CF_ENTRY_POINT",
    "GUARD_CF_TLS_CALLBACKS",
    "SECURITY_COOKIE",
    "STACK_PROTECTOR",
    "CET_COMPAT",
    "NO_WRITABLE_CODE",
    "NO_SHARED_WRITABLE_DATA",
#if defined(_WIN64)
    "UNWIND_DATA",
#endif
};

class Mitigations : public ::testing::TestWithParam<Build> {
 protected:
  std::wstring path() const { return sim::ProgramDirectory() + GetParam().file; }
  PeImage image{path()};
};

TEST_P(Mitigations, EveryOneWindowsOffersADll) {
  ASSERT_TRUE(image.valid());
  const std::vector<testing_support::Mitigation> report = ReportMitigations(image);
  for (const auto& m : report) {
    std::printf("%-28s %-4s %s\n", m.name.c_str(), m.holds ? "yes" : "no", m.detail.c_str());
  }
  for (const char* name : required) {
    const auto found =
        std::find_if(report.begin(), report.end(), [&](const auto& m) { return m.name == name; });
    ASSERT_NE(found, report.end()) << name << ": not reported";
    EXPECT_TRUE(found->holds) << name << ": " << found->detail;
  }
}

// The editor calls the exports through pointers from GetProcAddress, which a guarded caller
// checks against the table.
TEST_P(Mitigations, EveryExportIsACallTarget) {
  ASSERT_TRUE(image.valid());
  uint32_t functionCount = 0;
  const std::vector<testing_support::Export> exports = ReadExports(image, functionCount);
  ASSERT_EQ(exports.size(), 7u);
  for (const auto& e : exports) {
    EXPECT_TRUE(IsGuardTarget(image, e.rva)) << e.name << " at RVA 0x" << std::hex << e.rva;
  }
}

#if defined(_WIN64)
// What the editor calls, and what the window system calls back, is where an exception from the
// editor's side enters the plug-in's frames: each one that saves a register, moves the stack
// pointer or calls must start a function-table entry the unwinder can use.
TEST_P(Mitigations, EveryCalledFunctionWithAFrameHasUnwindData) {
  ASSERT_TRUE(image.valid());
  const std::vector<testing_support::FunctionEntry> table = FunctionTable(image);
  std::printf("%zu function-table entries\n", table.size());
  int frames = 0;
  for (uint32_t rva : GuardFunctionRvas(image)) {
    const auto entry =
        std::find_if(table.begin(), table.end(), [&](const auto& f) { return f.begin == rva; });
    const bool frame = BeginsFrame(image, rva);
    frames += frame;
    std::printf("0x%05X %-8s %s\n", rva, frame ? "frame" : "leaf",
                entry == table.end() ? "no entry" : "entry");
    if (!frame) continue;
    ASSERT_NE(entry, table.end()) << "no function-table entry at RVA 0x" << std::hex << rva;
    EXPECT_EQ(UnwindDataFault(image, *entry), "");
  }
  // The entry point, OnEvents, OnCommand, PlugInProc, the dialog procedure and the timer
  // procedure all call out.
  EXPECT_GE(frames, 6);
}
#endif

// The file holds the value the loader recognizes; once loaded, the module's protected frames
// compare against a random one.
TEST_P(Mitigations, TheLoaderMakesTheStackCookieRandom) {
  ASSERT_TRUE(image.valid());
  const testing_support::LoadConfig config = ReadLoadConfig(image);
  ASSERT_TRUE(config.Reaches(offsetof(testing_support::LoadConfiguration, SecurityCookie),
                             sizeof(ULONG_PTR)));
  const auto* inFile =
      image.At<ULONG_PTR>(static_cast<uint32_t>(config.fields.SecurityCookie - image.imageBase()));
  ASSERT_NE(inFile, nullptr);
  ASSERT_EQ(*inFile, testing_support::DefaultSecurityCookie);

  HMODULE module = LoadLibraryW(path().c_str());
  ASSERT_NE(module, nullptr);
  ULONG_PTR loaded = 0;
  std::memcpy(
      &loaded,
      reinterpret_cast<const BYTE*>(module) + (config.fields.SecurityCookie - image.imageBase()),
      sizeof loaded);
  FreeLibrary(module);
  EXPECT_NE(loaded, *inFile) << "the loader left the file's value";
  EXPECT_NE(loaded, 0u);
}

INSTANTIATE_TEST_SUITE_P(Builds, Mitigations, ::testing::ValuesIn(builds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
