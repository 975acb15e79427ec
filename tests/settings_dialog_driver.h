#pragma once
// Runs the plug-in's properties dialog as the editor's command does and works it from inside its
// own modal loop: a thread timer finds the running dialog, reads what it shows and presses a
// button, as a user would.

#include <windows.h>

#include <functional>

#include "sim/sim_editor.h"

namespace settings_dialog {

constexpr int DelayEdit = 1021;
constexpr int UpCombo = 1018;
constexpr int DownCombo = 1019;
constexpr int MouseCancelCheck = 1017;

// What the dialog showed just before the button was pressed.
struct Shown {
  bool found = false;
  UINT delay = 0;
  BOOL delayIsNumber = FALSE;
  LRESULT upIndex = CB_ERR;
  LRESULT downIndex = CB_ERR;
  bool mouseCancelChecked = false;
  INT_PTR result = 0;  // what the command returned: the dialog's end code
};

// Reads what the running dialog shows.
inline Shown Read(HWND dialog) {
  Shown shown;
  shown.found = true;
  shown.delay = GetDlgItemInt(dialog, DelayEdit, &shown.delayIsNumber, FALSE);
  shown.upIndex = SendDlgItemMessageW(dialog, UpCombo, CB_GETCURSEL, 0, 0);
  shown.downIndex = SendDlgItemMessageW(dialog, DownCombo, CB_GETCURSEL, 0, 0);
  shown.mouseCancelChecked = IsDlgButtonChecked(dialog, MouseCancelCheck) == BST_CHECKED;
  return shown;
}

inline void Press(HWND dialog, int button) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// Work done on the running dialog; returns the button that closes it.
using Work = std::function<int(HWND dialog)>;

namespace detail {
struct Run {
  HWND view = nullptr;
  Work work;
  UINT_PTR timer = 0;
  bool found = false;
};

inline Run*& Current() {
  static Run* run = nullptr;
  return run;
}

struct FindContext {
  HWND view;
  HWND dialog;
};

// The dialog is owned by the view's top-level window (a child cannot own a popup).
inline BOOL CALLBACK FindDialog(HWND window, LPARAM lParam) {
  auto* context = reinterpret_cast<FindContext*>(lParam);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  const HWND owner = GetWindow(window, GW_OWNER);
  if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window) &&
      (owner == context->view || owner == GetAncestor(context->view, GA_ROOT))) {
    context->dialog = window;
    return FALSE;
  }
  return TRUE;
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  Run* run = Current();
  if (run == nullptr || run->found) return;
  FindContext context{run->view, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&context));
  if (context.dialog == nullptr) return;
  run->found = true;
  KillTimer(nullptr, run->timer);
  run->timer = 0;
  Press(context.dialog, run->work(context.dialog));
}
}  // namespace detail

// Opens the properties dialog through the export OnCommand and, once it runs, does `work` on it
// from inside its modal loop. Returns the command's result (the end code), and whether the
// dialog was found. Needs the common controls registered beforehand.
inline INT_PTR OpenAndWork(sim::Editor& editor, const Work& work, bool& found) {
  detail::Run run;
  run.view = editor.view();
  run.work = work;
  run.timer = SetTimer(nullptr, 0, 20, detail::Tick);
  detail::Current() = &run;
  const INT_PTR result = editor.plugin().OnCommand(editor.view());
  detail::Current() = nullptr;
  if (run.timer != 0) KillTimer(nullptr, run.timer);
  found = run.found;
  return result;
}

// Opens the dialog, reads what it shows and presses `button` (IDOK or IDCANCEL).
inline Shown OpenAndPress(sim::Editor& editor, int button) {
  Shown shown;
  bool found = false;
  const INT_PTR result = OpenAndWork(
      editor,
      [&](HWND dialog) {
        shown = Read(dialog);
        return button;
      },
      found);
  shown.found = found;
  shown.result = result;
  return shown;
}

}  // namespace settings_dialog
