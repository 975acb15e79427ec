#include "tests/support/dialog_driver.h"

#include <commctrl.h>

#include <utility>

#include "res/resource_ids.h"

namespace testing_support {
namespace {

struct Search {
  HWND owner;  // null: any
  bool visibleOnly;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  if (lstrcmpW(name, L"#32770") != 0) return TRUE;
  if (search->owner != nullptr && GetWindow(window, GW_OWNER) != search->owner) return TRUE;
  if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindDialog(HWND owner, bool visibleOnly) {
  Search search{owner, visibleOnly, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

DialogDriver* current = nullptr;
FocusRequests* focusRecorder = nullptr;

}  // namespace

HWND FindOwnedDialog(HWND owner) {
  return owner == nullptr ? nullptr : FindDialog(owner, false);
}

DialogStep Click(int id) {
  return [id](HWND dialog) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    return true;
  };
}

DialogStep Look(std::function<void(HWND dialog)> look) {
  return [look = std::move(look)](HWND dialog) {
    look(dialog);
    return true;
  };
}

void Press(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

FocusRequests::FocusRequests() {
  focusRecorder = this;
  hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

FocusRequests::~FocusRequests() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  focusRecorder = nullptr;
}

LRESULT CALLBACK FocusRequests::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_SETFOCUS && focusRecorder != nullptr) {
    focusRecorder->last_ = reinterpret_cast<HWND>(wParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

DialogShows ReadDialog(HWND dialog) {
  DialogShows shown;
  shown.up = SendDlgItemMessageW(dialog, IDC_UP_LINES, CB_GETCURSEL, 0, 0);
  shown.down = SendDlgItemMessageW(dialog, IDC_DOWN_LINES, CB_GETCURSEL, 0, 0);
  shown.mouseCancel = IsDlgButtonChecked(dialog, IDC_MOUSE_CANCEL) == BST_CHECKED;
  wchar_t text[64] = L"";
  GetDlgItemTextW(dialog, IDC_DELAY, text, 64);
  shown.delayText = text;
  shown.delay = GetDlgItemInt(dialog, IDC_DELAY, &shown.delayIsNumber, FALSE);
  shown.arrowsPosition = SendDlgItemMessageW(dialog, IDC_DELAY_SPIN, UDM_GETPOS32, 0, 0);
  return shown;
}

INT_PTR DialogDriver::Run(HWND owner, std::vector<DialogStep> steps,
                          const std::function<INT_PTR()>& open) {
  owner_ = owner;
  steps_ = std::move(steps);
  next_ = 0;
  dialog_ = nullptr;
  timedOut_ = false;
  deadline_ = GetTickCount64() + 30000;
  DialogDriver* outer = current;
  current = this;
  // Undone however `open` ends: an editor's failure may pass through the dialog's modal loop.
  struct Restore {
    UINT_PTR timer;
    DialogDriver* outer;
    ~Restore() {
      KillTimer(nullptr, timer);
      current = outer;
    }
  } restore{SetTimer(nullptr, 0, 20, Tick), outer};
  return open();
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
  DialogDriver* self = current;
  // A step may pump messages itself: it is not entered again meanwhile.
  if (self == nullptr || self->busy_) return;
  if (self->dialog_ == nullptr) self->dialog_ = FindDialog(self->owner_, true);
  if (self->dialog_ == nullptr || !IsWindow(self->dialog_)) return;
  self->busy_ = true;
  if (GetTickCount64() > self->deadline_) {
    self->timedOut_ = true;
    if (HWND box = FindOwnedDialog(self->dialog_)) EndDialog(box, IDOK);
    EndDialog(self->dialog_, TimedOutResult);
  } else if (self->next_ < self->steps_.size() && self->steps_[self->next_](self->dialog_)) {
    ++self->next_;
  }
  self->busy_ = false;
}

}  // namespace testing_support
