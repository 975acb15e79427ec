// The exploit mitigations of both built DLLs, the shipped one and the checking one, read from
// their PE images: every one Windows offers a DLL, by name, and the editor's entry points among
// Control Flow Guard's call targets.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "sim/sim_editor.h"
#include "tests/support/guard_enforcement.h"
#include "tests/support/import_hook.h"
#include "tests/support/pe_image.h"
#include "tests/support/plugin_test_support.h"

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

// The header's checksum is the file's: what a release build of Microsoft's linker writes, and what
// signing tools check before they sign.
TEST_P(Mitigations, TheHeaderHoldsTheFilesChecksum) {
  ASSERT_TRUE(image.valid());
  EXPECT_NE(image.headers().OptionalHeader.CheckSum, 0u);
  EXPECT_EQ(image.headers().OptionalHeader.CheckSum, image.ComputedChecksum());
  // One byte of the code changed: the same check must refuse it.
  std::vector<unsigned char> changed = image.bytes();
  changed[image.Sections().front().PointerToRawData] ^= 0x01;
  const PeImage copy{changed};
  EXPECT_NE(copy.headers().OptionalHeader.CheckSum, copy.ComputedChecksum());
}

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

// ---- The verdicts can say no: each mitigation taken out of a copy of the shipped DLL's bytes

using Bytes = std::vector<unsigned char>;
using testing_support::LoadConfiguration;

template <class T>
void Put(Bytes& bytes, size_t at, T value) {
  std::memcpy(bytes.data() + at, &value, sizeof value);
}
void ClearDllFlag(const PeImage& pe, Bytes& bytes, WORD flag) {
  Put<WORD>(bytes, pe.OffsetOf(&pe.headers().OptionalHeader.DllCharacteristics),
            static_cast<WORD>(pe.dllCharacteristics() & ~flag));
}
size_t DirectoryAt(const PeImage& pe, int index) {
  return pe.OffsetOf(&pe.headers().OptionalHeader.DataDirectory[index]);
}
// A field of the load configuration, in the file.
size_t LoadConfigAt(const PeImage& pe, size_t field) {
  return pe.OffsetOf(pe.At<DWORD>(pe.Directory(IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG).VirtualAddress)) +
         field;
}
size_t SectionAt(const PeImage& pe, bool executable) {
  const auto* first = IMAGE_FIRST_SECTION(&pe.headers());
  for (WORD i = 0; i < pe.headers().FileHeader.NumberOfSections; ++i) {
    const DWORD flags = first[i].Characteristics;
    if ((flags & (executable ? IMAGE_SCN_MEM_EXECUTE : IMAGE_SCN_MEM_WRITE)) != 0) {
      return pe.OffsetOf(first + i);
    }
  }
  return 0;
}
void AddSectionFlag(const PeImage& pe, Bytes& bytes, bool executable, DWORD flag) {
  const size_t at = SectionAt(pe, executable) + offsetof(IMAGE_SECTION_HEADER, Characteristics);
  DWORD value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  Put<DWORD>(bytes, at, value | flag);
}

struct Breakage {
  const char* mitigation;  // the name the report must now give "no"
  const char* change;
  void (*apply)(const PeImage& pe, Bytes& bytes);
};

void PrintTo(const Breakage& b, std::ostream* out) {
  *out << b.mitigation;
}

const Breakage breakages[] = {
    {"DYNAMIC_BASE", "its header bit cleared",
     [](const PeImage& pe, Bytes& b) { ClearDllFlag(pe, b, 0x0040); }},
#if defined(_WIN64)
    {"HIGH_ENTROPY_VA", "its header bit cleared",
     [](const PeImage& pe, Bytes& b) { ClearDllFlag(pe, b, 0x0020); }},
#else
    {"NO_SEH", "its header bit cleared",
     [](const PeImage& pe, Bytes& b) { ClearDllFlag(pe, b, 0x0400); }},
    {"NO_SEH_HANDLERS", "a read of FS:0 written over the entry point",
     [](const PeImage& pe, Bytes& b) {
       const size_t at = pe.OffsetOf(pe.At<unsigned char>(pe.entryPoint()));
       const unsigned char fs0[] = {0x64, 0xA1, 0, 0, 0, 0};  // mov eax, fs:[0]
       std::memcpy(b.data() + at, fs0, sizeof fs0);
     }},
#endif
    {"NX_COMPAT", "its header bit cleared",
     [](const PeImage& pe, Bytes& b) { ClearDllFlag(pe, b, 0x0100); }},
    {"GUARD_CF", "its header bit cleared",
     [](const PeImage& pe, Bytes& b) { ClearDllFlag(pe, b, 0x4000); }},
    {"RELOCATIONS", "marked stripped",
     [](const PeImage& pe, Bytes& b) {
       Put<WORD>(b, pe.OffsetOf(&pe.headers().FileHeader.Characteristics),
                 static_cast<WORD>(pe.fileCharacteristics() | 0x0001));
     }},
    {"LOAD_CONFIG", "its directory's size no longer the record's",
     [](const PeImage& pe, Bytes& b) {
       Put<DWORD>(b, DirectoryAt(pe, 10) + 4, pe.Directory(10).Size + 8);
     }},
    {"GUARD_CF_INSTRUMENTED", "its guard flags zeroed",
     [](const PeImage& pe, Bytes& b) {
       Put<DWORD>(b, LoadConfigAt(pe, offsetof(LoadConfiguration, GuardFlags)), 0);
     }},
    {"GUARD_CF_CHECK_FUNCTION", "its check pointer zeroed",
     [](const PeImage& pe, Bytes& b) {
       Put<ULONG_PTR>(b, LoadConfigAt(pe, offsetof(LoadConfiguration, GuardCFCheckFunctionPointer)),
                      0);
     }},
#if defined(_WIN64)
    {"GUARD_CF_DISPATCH_FUNCTION", "its dispatch pointer zeroed",
     [](const PeImage& pe, Bytes& b) {
       Put<ULONG_PTR>(
           b, LoadConfigAt(pe, offsetof(LoadConfiguration, GuardCFDispatchFunctionPointer)), 0);
     }},
#endif
    {"GUARD_CF_FUNCTION_TABLE", "its count of call targets zeroed",
     [](const PeImage& pe, Bytes& b) {
       Put<ULONG_PTR>(b, LoadConfigAt(pe, offsetof(LoadConfiguration, GuardCFFunctionCount)), 0);
     }},
    {"GUARD_CF_ENTRY_POINT", "its entry point moved one byte on",
     [](const PeImage& pe, Bytes& b) {
       Put<DWORD>(b, pe.OffsetOf(&pe.headers().OptionalHeader.AddressOfEntryPoint),
                  pe.entryPoint() + 1);
     }},
    {"GUARD_CF_TLS_CALLBACKS", "its TLS callbacks read from the guard pointers",
     [](const PeImage& pe, Bytes& b) {
       const size_t tls = pe.OffsetOf(pe.At<IMAGE_TLS_DIRECTORY>(pe.Directory(9).VirtualAddress));
       const ULONG_PTR pointers = pe.imageBase() + pe.Directory(10).VirtualAddress +
                                  offsetof(LoadConfiguration, GuardCFCheckFunctionPointer);
       Put<ULONG_PTR>(b, tls + offsetof(IMAGE_TLS_DIRECTORY, AddressOfCallBacks), pointers);
     }},
    {"SECURITY_COOKIE", "its cookie's value changed",
     [](const PeImage& pe, Bytes& b) {
       const auto cookie =
           static_cast<uint32_t>(ReadLoadConfig(pe).fields.SecurityCookie - pe.imageBase());
       Put<ULONG_PTR>(b, pe.OffsetOf(pe.At<ULONG_PTR>(cookie)), 0x2B992DDF);
     }},
    {"CET_COMPAT", "its debug directory emptied",
     [](const PeImage& pe, Bytes& b) { Put<DWORD>(b, DirectoryAt(pe, 6) + 4, 0); }},
    {"NO_WRITABLE_CODE", "its code made writable",
     [](const PeImage& pe, Bytes& b) { AddSectionFlag(pe, b, true, IMAGE_SCN_MEM_WRITE); }},
    {"NO_SHARED_WRITABLE_DATA", "its writable data shared",
     [](const PeImage& pe, Bytes& b) { AddSectionFlag(pe, b, false, IMAGE_SCN_MEM_SHARED); }},
#if defined(_WIN64)
    {"UNWIND_DATA", "its exception directory emptied",
     [](const PeImage& pe, Bytes& b) { Put<DWORD>(b, DirectoryAt(pe, 3) + 4, 0); }},
    {"UNWIND_DATA", "its first unwind data of version 2",
     [](const PeImage& pe, Bytes& b) {
       const uint32_t info = FunctionTable(pe).front().unwindData;
       const size_t at = pe.OffsetOf(pe.At<unsigned char>(info));
       b[at] = static_cast<unsigned char>((b[at] & ~7u) | 2u);
     }},
#endif
};

class MitigationTakenOut : public ::testing::TestWithParam<Breakage> {};

TEST_P(MitigationTakenOut, IsReportedMissing) {
  const PeImage shipped{sim::ProgramDirectory() + L"Brinkwatcher.dll"};
  ASSERT_TRUE(shipped.valid());
  Bytes bytes = shipped.bytes();
  GetParam().apply(shipped, bytes);
  const PeImage broken{bytes};
  ASSERT_TRUE(broken.valid());
  const std::vector<testing_support::Mitigation> report = ReportMitigations(broken);
  const auto found = std::find_if(report.begin(), report.end(),
                                  [&](const auto& m) { return m.name == GetParam().mitigation; });
  ASSERT_NE(found, report.end());
  std::printf("%s, %s: %s\n", GetParam().mitigation, GetParam().change, found->detail.c_str());
  EXPECT_FALSE(found->holds) << GetParam().change;
}

INSTANTIATE_TEST_SUITE_P(Rows, MitigationTakenOut, ::testing::ValuesIn(breakages),
                         [](const auto& info) {
                           return std::string(info.param.mitigation) + "_" +
                                  std::to_string(info.index);
                         });

// A section whose file bytes end before its memory does reads as zeros there, as the loader maps
// it, not as whatever the file holds next.
TEST(PeReader, ASectionsTailPastItsFileBytesReadsAsZeros) {
  const PeImage shipped{sim::ProgramDirectory() + L"Brinkwatcher.dll"};
  ASSERT_TRUE(shipped.valid());
  const IMAGE_SECTION_HEADER code = shipped.Sections().front();
  ASSERT_GT(code.Misc.VirtualSize, 0x200u);
  const uint32_t cut = (code.Misc.VirtualSize - 0x100) & ~0x1FFu;  // within the code's bytes
  Bytes bytes = shipped.bytes();
  Put<DWORD>(bytes, SectionAt(shipped, true) + offsetof(IMAGE_SECTION_HEADER, SizeOfRawData), cut);
  const PeImage shortened{bytes};
  const uint32_t inTail = code.VirtualAddress + cut + 0x10;
  ASSERT_NE(shipped.At<uint32_t>(inTail), nullptr);
  uint32_t fileBytes = 0;
  for (uint32_t i = 0; i < 0x40; i += 4) fileBytes |= *shipped.At<uint32_t>(inTail + i);
  ASSERT_NE(fileBytes, 0u) << "the file holds only zeros there: the row would prove nothing";
  for (uint32_t i = 0; i < 0x40; i += 4) {
    const auto* word = shortened.At<uint32_t>(inTail + i);
    ASSERT_NE(word, nullptr);
    EXPECT_EQ(*word, 0u) << "at RVA 0x" << std::hex << inTail + i;
  }
  EXPECT_EQ(shortened.At<uint32_t>(code.VirtualAddress + cut - 2), nullptr) << "straddles the end";
}

// A DLL built without the stack protector: the soak's stand-in, from the same compiler.
TEST(MitigationNotBuilt, StackProtectorIsReportedMissing) {
  const PeImage standIn{sim::ProgramDirectory() + L"soak-stand-in.dll"};
  ASSERT_TRUE(standIn.valid());
  const auto report = ReportMitigations(standIn);
  const auto found = std::find_if(report.begin(), report.end(),
                                  [](const auto& m) { return m.name == "STACK_PROTECTOR"; });
  ASSERT_NE(found, report.end());
  EXPECT_FALSE(found->holds) << found->detail;
}

// ---- The stack protector at work: the module's cookie changed while one of its protected frames
// is live (CopyResourceText's, from inside its LoadStringW) ends the process at the frame's check,
// and never lets PlugInProc return.

testing_support::ImportHook LoadStringHook;
ULONG_PTR* LoadedCookie = nullptr;

int WINAPI LoadStringAndChangeCookie(HINSTANCE module, UINT id, LPWSTR text, int capacity) {
  const int length =
      reinterpret_cast<decltype(&LoadStringW)>(LoadStringHook.original)(module, id, text, capacity);
  *LoadedCookie ^= 0x5A5A;
  return length;
}

int StatusSeen = 0;

TEST(StackProtector, AChangedCookieEndsTheProcess) {
  EXPECT_EXIT(
      {
        HMODULE module = LoadLibraryW(testing_support::PluginPath().c_str());
        const auto* config = testing_support::LoadedLoadConfig(module);
        if (config == nullptr) std::_Exit(3);
        LoadedCookie = reinterpret_cast<ULONG_PTR*>(config->SecurityCookie);
        LoadStringHook =
            testing_support::HookImport(module, "user32.dll", "LoadStringW",
                                        reinterpret_cast<void*>(&LoadStringAndChangeCookie));
        if (!LoadStringHook.hooked()) std::_Exit(4);
        const auto plugInProc = reinterpret_cast<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)>(
            reinterpret_cast<void*>(GetProcAddress(module, "PlugInProc")));
        wchar_t name[64];
        plugInProc(nullptr, 0x903, 64, reinterpret_cast<LPARAM>(name));  // the plug-in's name
        std::fprintf(stderr, "PlugInProc returned\n");
        std::_Exit(0);
      },
      [](int status) {
        StatusSeen = status;
#if defined(_WIN64)
        return status == static_cast<int>(0xC0000409);  // the fail-fast, honoured
#else
        // An emulator may report the fail-fast interrupt as another fault: any end but a return.
        return status != 0 && status != 3 && status != 4;
#endif
      },
      "");
  std::printf("exit status 0x%08X\n", static_cast<unsigned>(StatusSeen));
}

INSTANTIATE_TEST_SUITE_P(Builds, Mitigations, ::testing::ValuesIn(builds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
