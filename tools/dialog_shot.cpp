// Opens the properties dialog over the simulated editor and holds it still for a screenshot.
// Once the dialog has painted, its screen rectangle is written to dialog-shot.rect next to the
// program ("x y width height"); the dialog is closed when dialog-shot.done appears there, or after
// a minute. scripts/capture-dialog.sh drives it.

#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/sim_editor.h"

namespace {

HWND Frame = nullptr;
ULONGLONG Deadline = 0;
int PaintedTicks = 0;
bool RectWritten = false;

std::wstring Beside(const wchar_t* name) {
  return sim::ProgramDirectory() + name;
}

BOOL CALLBACK MatchDialog(HWND window, LPARAM found) {
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  if (GetWindow(window, GW_OWNER) != Frame || std::wstring(name) != L"#32770") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

void WriteRect(HWND dialog) {
  RECT r{};
  GetWindowRect(dialog, &r);
  FILE* file = _wfopen(Beside(L"dialog-shot.rect.tmp").c_str(), L"w");
  if (file == nullptr) return;
  fprintf(file, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  fclose(file);
  // Renamed when complete, so the script never reads half a line.
  MoveFileExW(Beside(L"dialog-shot.rect.tmp").c_str(), Beside(L"dialog-shot.rect").c_str(),
              MOVEFILE_REPLACE_EXISTING);
}

// Runs inside the dialog's modal loop.
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) return;
  if (GetTickCount64() > Deadline ||
      GetFileAttributesW(Beside(L"dialog-shot.done").c_str()) != INVALID_FILE_ATTRIBUTES) {
    EndDialog(dialog, IDCANCEL);
    return;
  }
  // A few quiet ticks after the first paint, so that every control has drawn itself.
  RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  if (!RectWritten && ++PaintedTicks == 5) {
    WriteRect(dialog);
    RectWritten = true;
  }
}

}  // namespace

int wmain() {
  DeleteFileW(Beside(L"dialog-shot.rect").c_str());
  sim::InitCommonControlsLikeEditor();
  sim::EditorOptions options;
  options.x = 40;
  options.y = 20;
  sim::Editor editor(options);
  Frame = editor.frame();
  if (!editor.LoadPlugin(Beside(L"Brinkwatcher.dll"))) {
    fprintf(stderr, "cannot load Brinkwatcher.dll next to the program\n");
    return 1;
  }
  editor.doc().caret = {0, 12};
  editor.Settle();
  Deadline = GetTickCount64() + 60000;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, Tick);
  const INT_PTR result = editor.plugin().OnCommand(editor.view());
  KillTimer(nullptr, timer);
  return result == IDCANCEL && RectWritten ? 0 : 1;
}
