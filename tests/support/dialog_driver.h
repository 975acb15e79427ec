#pragma once
// Works a modal dialog from inside its own modal loop, as a person would: a thread timer, which
// every modal loop on this thread dispatches, finds the dialog once it shows and plays steps at it.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// The dialog-class window of this thread owned by `owner`, shown or not; null if there is none.
HWND FindOwnedDialog(HWND owner);

// One thing done at the running dialog. It returns false to be tried again at the next tick,
// while it waits for something to appear.
using DialogStep = std::function<bool(HWND dialog)>;

// Posts a click to the dialog's button `id`, to be handled by the dialog's own message loop.
DialogStep Click(int id);

// Looks at the dialog without changing it.
DialogStep Look(std::function<void(HWND dialog)> look);

// Presses button `id` at once, as its click notifies the dialog.
void Press(HWND dialog, int id);

// What the properties dialog shows: the two line counts' selected items, the mouse-button box,
// the delay field as text and as a number, and the arrows' own position.
struct DialogShows {
  LRESULT up = CB_ERR;
  LRESULT down = CB_ERR;
  bool mouseCancel = false;
  std::wstring delayText;
  UINT delay = 0;
  BOOL delayIsNumber = FALSE;
  LRESULT arrowsPosition = -2;
};
DialogShows ReadDialog(HWND dialog);

// Records the window that each SetFocus call on this thread asks for, granted or not: whether the
// system grants it also depends on which program holds the foreground, which other test programs
// running at the same time change at any moment.
class FocusRequests {
 public:
  FocusRequests();
  ~FocusRequests();
  FocusRequests(const FocusRequests&) = delete;
  FocusRequests& operator=(const FocusRequests&) = delete;

  HWND last() const { return last_; }
  void Clear() { last_ = nullptr; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);

  HHOOK hook_ = nullptr;
  HWND last_ = nullptr;
};

class DialogDriver {
 public:
  // The end code of a dialog still open at the deadline, so that its caller sees the failure too.
  static constexpr INT_PTR TimedOutResult = 0x5717;

  DialogDriver() = default;
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // Calls `open` and plays `steps`, one per tick, at the first visible dialog owned by `owner`
  // (by any window when null) that shows meanwhile. The last step should close it; a dialog still
  // open 30 seconds on is closed, with any box over it. Returns what `open` returned.
  INT_PTR Run(HWND owner, std::vector<DialogStep> steps, const std::function<INT_PTR()>& open);

  // The dialog of the last run; null if none showed.
  HWND dialog() const { return dialog_; }
  bool playedAll() const { return next_ == steps_.size(); }
  bool timedOut() const { return timedOut_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);

  HWND owner_ = nullptr;
  std::vector<DialogStep> steps_;
  size_t next_ = 0;
  HWND dialog_ = nullptr;
  bool busy_ = false;
  bool timedOut_ = false;
  ULONGLONG deadline_ = 0;
};

}  // namespace testing_support
