#include "tests/soak/dialog_rounds.h"

#include <commctrl.h>

#include <string>

#include "host/plugin_interface.h"
#include "res/resource_ids.h"

namespace soak {

namespace {

enum class Round { Confirm, Cancel, RefuseThenCancel };

// What the round in play has done so far. The work is done when the dialog's modal loop runs out
// of messages and tells its owner so (WM_ENTERIDLE): by then the dialog is fully shown, and
// whatever is posted next is handled by that loop, as a person's click would be. The message box
// that refuses a non-number sends no such message; it is answered as it is made, by a click
// posted for its own loop to take.
struct Play {
  Round round = Round::Confirm;
  HWND dialog = nullptr;  // the properties dialog of this round
  int stage = 0;          // 0: nothing done; 1: OK posted at a non-number; 2: box answered
  bool boxSeen = false;
  uint64_t number = 0;
};

Play current;

void Post(HWND window, int id) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

void OnIdle(HWND modal) {
  if (current.dialog == nullptr && GetDlgItem(modal, IDC_DELAY) != nullptr) current.dialog = modal;
  if (modal != current.dialog) return;
  switch (current.round) {
    case Round::Confirm:
      if (current.stage != 0) return;
      current.stage = 1;
      // A new delay and line counts each time, so that every OK has something to save.
      SetDlgItemInt(modal, IDC_DELAY, static_cast<UINT>(10 + current.number % 990), FALSE);
      SendDlgItemMessageW(modal, IDC_UP_LINES, CB_SETCURSEL, current.number % 21, 0);
      Post(modal, IDOK);
      return;
    case Round::Cancel:
      if (current.stage != 0) return;
      current.stage = 1;
      Post(modal, IDCANCEL);
      return;
    case Round::RefuseThenCancel:
      if (current.stage == 0) {
        current.stage = 1;
        SetDlgItemTextW(modal, IDC_DELAY, L"x");
        Post(modal, IDOK);
      } else if (current.stage == 2) {
        current.stage = 3;
        Post(modal, IDCANCEL);
      }
      return;
  }
}

LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND && current.dialog != nullptr && current.stage == 1) {
    const auto* made = reinterpret_cast<const CBT_CREATEWNDW*>(lParam)->lpcs;
    // A top-level window owned by the dialog: the box refusing the non-number. Its only button
    // is OK.
    if ((made->style & WS_CHILD) == 0 && made->hwndParent == current.dialog) {
      current.boxSeen = true;
      current.stage = 2;
      PostMessageW(reinterpret_cast<HWND>(wParam), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The owner's window procedure, seen through the window procedure put in its place. A hook on
// every sent message would see the same, at three round trips to Wine's server per message: half
// of an opening's time.
WNDPROC OwnerProcedure = nullptr;

LRESULT CALLBACK WatchIdle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
    OnIdle(reinterpret_cast<HWND>(lParam));
  }
  return CallWindowProcW(OwnerProcedure, window, message, wParam, lParam);
}

HMODULE ControlModule = nullptr;

std::wstring ModuleText(UINT id) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(ControlModule, id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// The window-system work the plug-in's dialog does at its start, done here: the same texts,
// the same 21 items in each list, the same ranges and limits.
void FillLikeThePlugin(HWND dialog) {
  SetWindowTextW(dialog, ModuleText(IDS_PLUGIN_NAME).c_str());
  SetDlgItemTextW(dialog, IDC_NOTE, ModuleText(IDS_DIALOG_NOTE).c_str());
  for (int list : {IDC_UP_LINES, IDC_DOWN_LINES}) {
    SendDlgItemMessageW(dialog, list, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i <= 20; ++i) {
      SendDlgItemMessageW(dialog, list, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(std::to_wstring(i).c_str()));
    }
    SendDlgItemMessageW(dialog, list, CB_SETCURSEL, 2, 0);
  }
  SendDlgItemMessageW(dialog, IDC_DELAY_SPIN, UDM_SETRANGE32, 1, 1000);
  SendDlgItemMessageW(dialog, IDC_DELAY_SPIN, UDM_SETPOS32, 0, 50);
  SendDlgItemMessageW(dialog, IDC_DELAY, EM_LIMITTEXT, 4, 0);
  SetDlgItemInt(dialog, IDC_DELAY, 50, FALSE);
}

INT_PTR CALLBACK ControlDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    FillLikeThePlugin(dialog);
    return FALSE;
  }
  if (message != WM_COMMAND || HIWORD(wParam) != 0) return FALSE;
  if (LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
  } else if (LOWORD(wParam) == IDOK) {
    BOOL isNumber = FALSE;
    GetDlgItemInt(dialog, IDC_DELAY, &isNumber, FALSE);
    if (!isNumber) {
      MessageBoxW(dialog, ModuleText(IDS_DELAY_NOT_A_NUMBER).c_str(), nullptr, MB_ICONERROR);
      return TRUE;
    }
    EndDialog(dialog, IDOK);
  }
  return TRUE;
}

}  // namespace

LRESULT OpenControlDialog(HMODULE module, HWND view) {
  ControlModule = module;
  return DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_PROPERTIES), view, ControlDialogProc, 0) != -1
             ? 1
             : 0;
}

DialogRoundsResult PlayDialogRounds(HWND view, const std::function<LRESULT()>& open,
                                    uint64_t rounds,
                                    const std::function<bool(uint64_t round)>& after) {
  DialogRoundsResult result;
  // A modal dialog over a child window is owned by its top-level window, which its modal loop
  // tells when it runs out of messages.
  const HWND owner = GetAncestor(view, GA_ROOT);
  OwnerProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchIdle)));
  HHOOK creation = SetWindowsHookExW(WH_CBT, WatchCreation, nullptr, GetCurrentThreadId());
  if (OwnerProcedure == nullptr || creation == nullptr) {
    if (creation != nullptr) UnhookWindowsHookEx(creation);
    if (OwnerProcedure != nullptr) {
      SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerProcedure));
    }
    result.failure = "cannot watch the dialog's modal loop";
    return result;
  }
  for (uint64_t round = 1; round <= rounds; ++round) {
    current = {};
    current.round = static_cast<Round>(round % 3);
    current.number = round;
    // PlugInProc answers 1 once the dialog has run, whichever button closed it.
    if (open() != 1 || current.dialog == nullptr) {
      result.failure = "the dialog did not open";
      break;
    }
    if (IsWindow(current.dialog)) {
      result.failure = "the dialog is still there after it closed";
      break;
    }
    if (current.round == Round::RefuseThenCancel && !current.boxSeen) {
      result.failure = "a non-number was not refused";
      break;
    }
    ++(current.round == Round::Confirm  ? result.confirmed
       : current.round == Round::Cancel ? result.cancelled
                                        : result.refused);
    ++result.rounds;
    if (!after(round)) break;
  }
  UnhookWindowsHookEx(creation);
  SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnerProcedure));
  return result;
}

}  // namespace soak
