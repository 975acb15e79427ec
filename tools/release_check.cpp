// Plays a short session with the DLL beside the program (or the one named on the command line) in
// the simulated editor, and compares what happened with what must happen: caret moves at both
// edges, a jump with its repaint, a settings reload, the properties dialog opened and cancelled.
// Prints one line per step; the exit code is the number of failed steps. scripts/make-release.sh
// runs it on each DLL before packing it.

#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/sim_editor.h"

namespace {

int Failures = 0;

void Check(bool holds, const char* step, const std::string& detail = "") {
  std::printf("%s %s%s%s\n", holds ? "ok    " : "FAILED", step, detail.empty() ? "" : ": ",
              detail.c_str());
  if (!holds) ++Failures;
}

std::string Where(const sim::Editor& editor) {
  sim::Editor& e = const_cast<sim::Editor&>(editor);
  return "caret " + std::to_string(e.doc().caret.y) + ", first line " +
         std::to_string(e.doc().scroll.y);
}

void StoreSetting(sim::Editor& editor, const wchar_t* name, uint32_t value) {
  editor.profile()[{HostPluginProfileKey, L"Brinkwatcher", name}] = value;
}

int ProfileMessages(sim::Editor& editor) {
  int count = 0;
  for (const auto& call : editor.calls()) {
    count += call.code == HostProfileRead || call.code == HostProfileWrite;
  }
  return count;
}

// Cancels the properties dialog from inside its modal loop, once it shows.
HWND Owner = nullptr;
bool DialogSeen = false;

BOOL CALLBACK MatchDialog(HWND window, LPARAM found) {
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  if (GetWindow(window, GW_OWNER) != Owner || std::wstring(name) != L"#32770") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void CALLBACK CancelDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr || !IsWindowVisible(dialog)) return;
  DialogSeen = true;
  PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring path = argc > 1 ? argv[1] : sim::ProgramDirectory() + L"Brinkwatcher.dll";
  sim::InitCommonControlsLikeEditor();
  sim::Editor editor;
  StoreSetting(editor, L"brinkwatcherUp", 2);
  StoreSetting(editor, L"brinkwatcherDown", 2);
  StoreSetting(editor, L"mouseCancel", 0);
  StoreSetting(editor, L"redrawDelay", 50);
  if (!editor.LoadPlugin(path)) {
    std::printf("FAILED cannot load the DLL\n");
    return 1;
  }
  Check(ProfileMessages(editor) == 4, "the settings are read at load");
  editor.Settle();
  auto& doc = editor.doc();
  doc.lines = 200;
  doc.page = 30;

  // Down from the top: two lines stay visible below the caret from row 27 of the page on.
  bool kept = true;
  for (int press = 1; press <= 40 && kept; ++press) {
    editor.PressKey(VK_DOWN);
    kept = doc.caret.y == press && doc.scroll.y == (press > 27 ? press - 27 : 0);
  }
  Check(kept, "Down x40 keeps two lines below the caret", Where(editor));

  // Back up: two lines stay visible above it.
  for (int press = 1; press <= 30 && kept; ++press) {
    editor.PressKey(VK_UP);
    const int32_t caret = 40 - press;
    kept = doc.caret.y == caret && doc.scroll.y == (caret - 2 < 13 ? caret - 2 : 13);
  }
  Check(kept, "Up x30 keeps two lines above the caret", Where(editor));
  editor.Pump(100);

  // A caret placed on the last visible line: the view jumps two lines, then repaints once.
  editor.Settle();
  const int32_t first = doc.scroll.y;
  doc.caret.y = first + 29;
  editor.SendEvents(EventCaretMoved);
  Check(doc.scroll.y == first + 2, "a jump to the last visible line moves the view two lines",
        Where(editor));
  editor.SendEvents(EventArmRedraw);
  const bool repainted = editor.PumpUntil([&] { return editor.fullRepaints() == 1; }, 3000);
  editor.Pump(200);
  Check(repainted && editor.fullRepaints() == 1, "one repaint follows the jump",
        std::to_string(editor.fullRepaints()) + " repaints");

  // A reload takes new settings: five lines below the caret.
  StoreSetting(editor, L"brinkwatcherDown", 5);
  editor.ClearCalls();
  editor.SendEvents(EventReloadSettings);
  Check(ProfileMessages(editor) == 4, "a reload reads the four values again");
  doc.caret.y = doc.scroll.y + 26;
  editor.SendEvents(EventCaretMoved);
  Check(doc.scroll.y + 29 - doc.caret.y == 5, "after the reload five lines stay below the caret",
        Where(editor));
  editor.SendEvents(EventKillFocus);

  // The properties dialog, opened and cancelled: nothing is written.
  Owner = editor.frame();
  editor.ClearCalls();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, CancelDialog);
  const INT_PTR result = editor.plugin().OnCommand(editor.view());
  KillTimer(nullptr, timer);
  Check(DialogSeen && result == IDCANCEL, "the properties dialog opens and is cancelled",
        "end code " + std::to_string(static_cast<long long>(result)));
  Check(ProfileMessages(editor) == 0, "a cancelled dialog writes nothing");

  editor.UnloadPlugin();
  std::printf("%s: %d failed\n", Failures == 0 ? "passed" : "FAILED", Failures);
  return Failures;
}
