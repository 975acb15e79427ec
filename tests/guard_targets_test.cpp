// Control Flow Guard over the real DLL at work: every address the editor or the window system
// calls in it must be in its guard table, or an editor that enforces the guard ends at that call.
// The exports are looked up as the editor does; the timer callback and the dialog procedure are
// caught at the import table as the plug-in hands them over. Then the guard is enforced as Windows
// enforces it, and a whole session is played.

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "res/resource_ids.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/guard_enforcement.h"
#include "tests/support/import_hook.h"
#include "tests/support/pe_image.h"
#include "tests/support/plugin_fixture.h"

namespace {

using testing_support::Click;
using testing_support::DialogStep;
using testing_support::ImportHook;

// ---- The function pointers the plug-in hands to the window system, caught at its imports

struct HandedOver {
  std::string how;
  const void* address;
};
std::vector<HandedOver> Handed;
ImportHook SetTimerHook;
ImportHook DialogBoxHook;

// Under an enforced guard, what is handed over is checked at once, as the window system checks
// it when it calls it.
bool CheckHandedOver = false;

void NoteHandedOver(const char* how, const void* address) {
  Handed.push_back({how, address});
  if (CheckHandedOver) testing_support::CheckCallTarget(address);
}

UINT_PTR WINAPI CatchSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc) {
  NoteHandedOver("SetTimer's callback", reinterpret_cast<const void*>(proc));
  return reinterpret_cast<decltype(&SetTimer)>(SetTimerHook.original)(window, id, period, proc);
}

INT_PTR WINAPI CatchDialogBoxParamW(HINSTANCE module, LPCWSTR name, HWND owner, DLGPROC proc,
                                    LPARAM parameter) {
  NoteHandedOver("DialogBoxParamW's dialog procedure", reinterpret_cast<const void*>(proc));
  return reinterpret_cast<decltype(&DialogBoxParamW)>(DialogBoxHook.original)(module, name, owner,
                                                                              proc, parameter);
}

// The window-system and kernel functions that take a function of the caller's to call back: the
// plug-in may import only those whose callbacks are caught above.
const char* const CallbackTakers[] = {"CreateDialogParamW",
                                      "CreateDialogIndirectParamW",
                                      "DialogBoxIndirectParamW",
                                      "SetWindowsHookExW",
                                      "EnumWindows",
                                      "EnumChildWindows",
                                      "EnumThreadWindows",
                                      "RegisterClassW",
                                      "RegisterClassExW",
                                      "SendMessageCallbackW",
                                      "CreateThread",
                                      "CreateTimerQueueTimer",
                                      "QueueUserAPC",
                                      "SetUnhandledExceptionFilter",
                                      "AddVectoredExceptionHandler",
                                      "CreateThreadpoolTimer",
                                      "RegisterWaitForSingleObject"};

const char* const Exports[] = {"OnEvents",      "PlugInProc",         "OnCommand",  "QueryStatus",
                               "GetMenuTextID", "GetStatusMessageID", "GetBitmapID"};

class GuardTargets : public PluginFixture {
 protected:
  void SetUp() override {
    sim::InitCommonControlsLikeEditor();
    PluginFixture::SetUp();
    // Another test's window taking the focus would cancel the repaint the session waits for.
    testing_support::IgnoreFocusLoss(editor);
    Handed.clear();
    CheckHandedOver = false;
  }

  void CatchCallbacks() {
    SetTimerHook = testing_support::HookImport(editor.module(), "user32.dll", "SetTimer",
                                               reinterpret_cast<void*>(&CatchSetTimer));
    DialogBoxHook = testing_support::HookImport(editor.module(), "user32.dll", "DialogBoxParamW",
                                                reinterpret_cast<void*>(&CatchDialogBoxParamW));
    ASSERT_TRUE(SetTimerHook.hooked());
    ASSERT_TRUE(DialogBoxHook.hooked());
  }

  // A jump at the bottom edge, armed, and its repaint; a move at the top edge; a reload.
  void PlayMovesAndRepaint() {
    Place(30, 100, 129);
    editor.SendEvents(EventCaretMoved);
    Place(30, 500, 529);  // the editor jumped: more than one line
    editor.SendEvents(EventCaretMoved | EventArmRedraw);
    const int before = editor.fullRepaints();
    EXPECT_TRUE(editor.PumpUntil([&] { return editor.fullRepaints() > before; }, 3000))
        << "no repaint after the armed jump";
    Place(30, 100, 100);
    editor.SendEvents(EventCaretMoved);
    editor.SendEvents(EventReloadSettings);
  }

  // The dialog confirmed, cancelled, and a non-number refused before a cancel.
  void PlayDialogs() {
    const HWND frame = GetAncestor(editor.view(), GA_ROOT);
    const auto open = [this] { return editor.plugin().OnCommand(editor.view()); };
    testing_support::DialogDriver driver;
    EXPECT_EQ(driver.Run(frame, {Click(IDOK)}, open), IDOK);
    EXPECT_EQ(driver.Run(frame, {Click(IDCANCEL)}, open), IDCANCEL);
    const DialogStep paste = [](HWND dialog) {
      SetDlgItemTextW(dialog, IDC_DELAY, L"x");
      return true;
    };
    const DialogStep dismissBox = [](HWND dialog) {
      HWND box = testing_support::FindOwnedDialog(dialog);
      if (box == nullptr) return false;
      PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
      return true;
    };
    const DialogStep untilBoxGone = [](HWND dialog) {
      return testing_support::FindOwnedDialog(dialog) == nullptr;
    };
    EXPECT_EQ(
        driver.Run(frame, {paste, Click(IDOK), dismissBox, untilBoxGone, Click(IDCANCEL)}, open),
        IDCANCEL);
  }

  std::string NotInTable(const std::vector<HandedOver>& handed) {
    std::string out;
    for (const HandedOver& h : handed) {
      if (testing_support::IsAllowedTarget(editor.module(), h.address)) continue;
      char line[160];
      std::snprintf(line, sizeof line, "  %s at %p is not in the guard table\n", h.how.c_str(),
                    h.address);
      out += line;
    }
    return out;
  }
};

TEST_F(GuardTargets, EveryAddressHandedToWindowsIsInTheTable) {
  Load();
  ASSERT_FALSE(testing_support::LoadedGuardTable(editor.module()).empty())
      << "the DLL has no guard table";
  CatchCallbacks();
  PlayMovesAndRepaint();
  PlayDialogs();

  std::vector<HandedOver> handed = Handed;
  for (const char* name : Exports) {
    const auto address = reinterpret_cast<const void*>(GetProcAddress(editor.module(), name));
    ASSERT_NE(address, nullptr) << name;
    handed.push_back({std::string("the export ") + name, address});
  }
  std::set<std::string> kinds;
  for (const HandedOver& h : Handed) kinds.insert(h.how);
  EXPECT_EQ(kinds,
            (std::set<std::string>{"SetTimer's callback", "DialogBoxParamW's dialog procedure"}))
      << "the session did not hand over both callbacks";
  EXPECT_EQ(NotInTable(handed), "");

  // Any other way of handing a function to Windows would go uncaught here.
  testing_support::PeImage image{testing_support::PluginPath()};
  ASSERT_TRUE(image.valid());
  for (const auto& [library, function] : testing_support::ReadImportedFunctions(image)) {
    for (const char* taker : CallbackTakers) {
      EXPECT_NE(function, taker) << library << " " << function << " takes a callback";
    }
  }
}

// The guard enforced on the plug-in as Windows enforces it: the module's own indirect calls go
// through the enforcing checker, and every call into it (an export the editor calls, a callback
// the window system calls) is checked as it is handed over. A target the table does not list ends
// the process at once.
TEST_F(GuardTargets, EnforcedGuardLetsAWholeSessionThrough) {
  Load();
  ASSERT_TRUE(testing_support::EnforceGuard(editor.module())) << "no check pointers to point";
  for (const char* name : Exports) {
    testing_support::CheckCallTarget(
        reinterpret_cast<const void*>(GetProcAddress(editor.module(), name)));
  }
  CheckHandedOver = true;
  CatchCallbacks();
  PlayMovesAndRepaint();
  PlayDialogs();
  editor.UnloadPlugin();
  // The exports, then the timer callback and the dialog procedure, each dialog opening.
  EXPECT_GE(testing_support::GuardChecks(), std::size(Exports) + 1 + 3);
  std::printf("call targets checked: %llu\n",
              static_cast<unsigned long long>(testing_support::GuardChecks()));
}

// The guard refuses: an indirect call through the plug-in's own check pointer to an address inside
// the module that the table does not list (an export's second byte) ends the process at once,
// with the checker's message and Windows' fail-fast status.
TEST_F(GuardTargets, EnforcedGuardRefusesATargetOutsideTheTable) {
  Load();
  const auto* onEvents = reinterpret_cast<const BYTE*>(editor.plugin().OnEvents);
  EXPECT_EXIT(
      {
        testing_support::EnforceGuard(editor.module());
        const auto* config = testing_support::LoadedLoadConfig(editor.module());
        void* checker = *reinterpret_cast<void* const*>(config->GuardCFCheckFunctionPointer);
#if defined(_WIN64)
        reinterpret_cast<void (*)(const void*)>(checker)(onEvents + 1);
#else
        reinterpret_cast<void(__fastcall*)(const void*)>(checker)(onEvents + 1);
#endif
        std::fprintf(stderr, "the checker let it through\n");
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(static_cast<int>(0xC0000409)),
      "Control Flow Guard: an indirect call to");
}

// The table is exactly what the editor and the window system call: the entry point, the exports
// and the two callbacks a session hands over, nothing else. A module compiled without the guard's
// instrumentation has all its functions listed instead.
TEST_F(GuardTargets, TheTableIsExactlyTheAddressesCalledFromOutside) {
  Load();
  CatchCallbacks();
  PlayMovesAndRepaint();
  PlayDialogs();
  const auto base = reinterpret_cast<uintptr_t>(editor.module());
  std::set<uint32_t> called;
  for (const HandedOver& h : Handed) {
    called.insert(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h.address) - base));
  }
  for (const char* name : Exports) {
    called.insert(static_cast<uint32_t>(
        reinterpret_cast<uintptr_t>(GetProcAddress(editor.module(), name)) - base));
  }
  testing_support::PeImage image{testing_support::PluginPath()};
  ASSERT_TRUE(image.valid());
  called.insert(image.entryPoint());
  const std::vector<uint32_t> table = testing_support::LoadedGuardTable(editor.module());
  EXPECT_EQ(std::set<uint32_t>(table.begin(), table.end()), called);
  EXPECT_EQ(table.size(), 9u) << "entry point, 6 export bodies, timer callback, dialog procedure";
}

}  // namespace
