// A host that never registered the common controls: the plug-in does not register them either,
// so its properties dialog cannot be created and PlugInProc 0x901 says so. This program never
// initialises the common controls and never loads their library.
//
// Wine's user32, unlike Windows, loads comctl32 by itself the first time a common-control class
// name is looked up, so a Wine process cannot stay without the up-down class on its own. The
// test therefore runs the host in a second process of this program for which Wine's per-program
// settings disable comctl32, which leaves it as a Windows host would be.

#include <algorithm>
#include <cstdio>

#include "tests/support/plugin_fixture.h"

namespace {

constexpr wchar_t HostMarker[] = L"BRINKWATCHER_HOST_WITHOUT_COMMON_CONTROLS";

bool UpDownClassRegistered() {
  WNDCLASSW info{};
  return GetClassInfoW(nullptr, L"msctls_updown32", &info) != FALSE;
}

bool CommonControlsLoaded() {
  return GetModuleHandleW(L"comctl32.dll") != nullptr;
}

BOOL CALLBACK MatchDialog(HWND window, LPARAM lParam) {
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  if (lstrcmpW(name, L"#32770") != 0) return TRUE;
  *reinterpret_cast<HWND*>(lParam) = window;
  return FALSE;
}

// A dialog of this thread: dialogs of other test programs share the desktop.
HWND ThreadDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

void CALLBACK EndStrayDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = ThreadDialog();
  if (dialog != nullptr) EndDialog(dialog, 0x5717);
}

// The host side, in the second process: prints one line per broken expectation, returns their
// count.
int RunHostWithoutCommonControls() {
  int failures = 0;
  auto expect = [&](bool holds, const char* what) {
    if (!holds) {
      printf("FAILED: %s\n", what);
      ++failures;
    }
  };
  sim::Editor editor;
  testing_support::StoreSettings(editor, 2, 2, false, 50);
  if (!editor.LoadPlugin(testing_support::PluginPath())) {
    printf("FAILED: cannot load the DLL\n");
    return 1;
  }
  editor.Settle();
  editor.ClearCalls();
  expect(!CommonControlsLoaded(), "comctl32 is loaded before the call");
  expect(!UpDownClassRegistered(), "the process already has the up-down class");
  // Should the dialog open after all, it is ended rather than left to hang the test.
  const UINT_PTR guard = SetTimer(nullptr, 0, 3000, EndStrayDialog);
  const LRESULT result = editor.plugin().PlugInProc(editor.view(), QueryShowProperties, 0, 0);
  KillTimer(nullptr, guard);
  printf("PlugInProc 0x901 returned %ld\n", static_cast<long>(result));
  expect(result == 0, "PlugInProc 0x901 did not report the failed dialog with 0");
  expect(!CommonControlsLoaded(), "comctl32 was loaded by the call");
  expect(!UpDownClassRegistered(), "the up-down class was registered by the call");
  expect(ThreadDialog() == nullptr, "a dialog was left behind");
  expect(IsWindowEnabled(editor.frame()) != FALSE, "the failed dialog left its owner disabled");
  expect(editor.calls().empty(), "the plug-in sent host messages");
  fflush(stdout);
  return failures;
}

// Runs before the test framework starts, in the second process only.
[[maybe_unused]] const bool hostRun = [] {
  if (GetEnvironmentVariableW(HostMarker, nullptr, 0) == 0) return false;
  ExitProcess(static_cast<UINT>(RunHostWithoutCommonControls()));
}();

struct ChildRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;
};

// Starts this program again as the host, with comctl32 disabled for its loader, and collects what
// it prints.
ChildRun RunHostProcess() {
  ChildRun run;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  // Wine reads a program's own library settings when the program first loads a library.
  const wchar_t* name = wcsrchr(program, L'\\');
  const std::wstring settingsKey = std::wstring(L"Software\\Wine\\AppDefaults\\") +
                                   (name ? name + 1 : program) + L"\\DllOverrides";
  RegSetKeyValueW(HKEY_CURRENT_USER, settingsKey.c_str(), L"comctl32", REG_SZ, L"", sizeof(L""));
  SetEnvironmentVariableW(HostMarker, L"1");
  const BOOL started = CreateProcessW(program, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableW(HostMarker, nullptr);
  CloseHandle(writeEnd);
  if (started) {
    // Drained while the host runs; EOF cannot mark the end, since processes that Wine starts for
    // the host may hold the pipe's other end.
    auto drain = [&] {
      DWORD available = 0;
      while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char chunk[512];
        DWORD n = 0;
        if (!ReadFile(readEnd, chunk, std::min<DWORD>(available, sizeof chunk), &n, nullptr)) break;
        run.output.append(chunk, n);
      }
    };
    const ULONGLONG deadline = GetTickCount64() + 90000;
    bool exited = false;
    while (!exited && GetTickCount64() < deadline) {
      exited = WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0;
      drain();
    }
    if (exited) {
      GetExitCodeProcess(process.hProcess, &run.exitCode);
    } else {
      TerminateProcess(process.hProcess, 0xFFFFFFFF);
      run.output += "(the host did not finish in time)\n";
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  RegDeleteKeyValueW(HKEY_CURRENT_USER, settingsKey.c_str(), L"comctl32");
  CloseHandle(readEnd);
  return run;
}

TEST(IdentityWithoutUpDown, PropertiesCannotBeShown) {
  ASSERT_FALSE(CommonControlsLoaded());
  const ChildRun run = RunHostProcess();
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_NE(run.output.find("PlugInProc 0x901 returned"), std::string::npos)
      << "the host never made the call:\n"
      << run.output;
  EXPECT_FALSE(CommonControlsLoaded());
}

}  // namespace
