#include "settings/properties_dialog.h"

#include <commctrl.h>

#include <cstdint>
#include <iterator>

#include "host/resource_text.h"
#include "res/resource_ids.h"
#include "settings/settings.h"

namespace {
constexpr int MaxLineCount = 20;
// The dialog's user slot: index 8 on 32-bit Windows, 16 on 64-bit, pointer-wide on both.
constexpr int ViewSlot = DWLP_USER;

int32_t LimitLineCount(int32_t count) {
  return count < 0 ? 0 : count > MaxLineCount ? MaxLineCount : count;
}

// 0 to 99 as decimal text, so that the DLL carries no formatting library.
void WriteTwoDigitNumber(int number, wchar_t (&text)[3]) {
  wchar_t* next = text;
  if (number >= 10) *next++ = static_cast<wchar_t>(L'0' + number / 10);
  *next++ = static_cast<wchar_t>(L'0' + number % 10);
  *next = L'\0';
}

void FillLineCountCombos(HWND dialog) {
  SendDlgItemMessageW(dialog, IDC_UP_LINES, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageW(dialog, IDC_DOWN_LINES, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i <= MaxLineCount; ++i) {
    wchar_t item[3];
    WriteTwoDigitNumber(i, item);
    SendDlgItemMessageW(dialog, IDC_UP_LINES, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendDlgItemMessageW(dialog, IDC_DOWN_LINES, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
}

void InitDialog(HWND dialog, HWND view) {
  SetWindowLongPtrW(dialog, ViewSlot, reinterpret_cast<LONG_PTR>(view));
  SetWindowTextW(dialog, LoadResourceString(IDS_PLUGIN_NAME).text);
  SetDlgItemTextW(dialog, IDC_NOTE, LoadResourceString(IDS_DIALOG_NOTE).text);

  FillLineCountCombos(dialog);
  SendDlgItemMessageW(dialog, IDC_UP_LINES, CB_SETCURSEL,
                      static_cast<WPARAM>(LimitLineCount(gSettings.brinkwatcherUp)), 0);
  SendDlgItemMessageW(dialog, IDC_DOWN_LINES, CB_SETCURSEL,
                      static_cast<WPARAM>(LimitLineCount(gSettings.brinkwatcherDown)), 0);
  if (gSettings.mouseCancel) CheckDlgButton(dialog, IDC_MOUSE_CANCEL, BST_CHECKED);

  const uint32_t delay = gSettings.redrawDelay;
  SendDlgItemMessageW(dialog, IDC_DELAY_SPIN, UDM_SETRANGE32, MinRedrawDelay, MaxRedrawDelay);
  SendDlgItemMessageW(dialog, IDC_DELAY_SPIN, UDM_SETPOS32, 0, static_cast<LPARAM>(delay));
  SendDlgItemMessageW(dialog, IDC_DELAY, EM_LIMITTEXT, 4, 0);
  SetDlgItemInt(dialog, IDC_DELAY, delay, FALSE);
}

// The delay field as an unsigned number, as Windows reads one: digits after any spaces, no sign.
// Wine's GetDlgItemInt takes a sign even when asked for an unsigned number, so "-5" would come
// back as 4294967291 and be saved as 1000; a text whose first character after the spaces is not
// a digit is therefore no number here, on any host.
UINT ReadDelayField(HWND dialog, BOOL* isNumber) {
  wchar_t text[64] = {};
  SendDlgItemMessageW(dialog, IDC_DELAY, WM_GETTEXT, std::size(text),
                      reinterpret_cast<LPARAM>(text));
  const wchar_t* first = text;
  while (*first == L' ') ++first;
  if (*first < L'0' || *first > L'9') {
    if (isNumber != nullptr) *isNumber = FALSE;
    return 0;
  }
  return GetDlgItemInt(dialog, IDC_DELAY, isNumber, FALSE);
}

// The arrows step the number in the field to the next multiple of ten; the up-down control's own
// position is never read.
BOOL StepDelay(HWND dialog, int delta) {
  if (delta == 0) return FALSE;
  const int32_t current = static_cast<int32_t>(ReadDelayField(dialog, nullptr));
  const int32_t step = delta > 0 ? static_cast<int32_t>(static_cast<uint32_t>(current) + 10u) / 10
                                 : static_cast<int32_t>(static_cast<uint32_t>(current) - 1u) / 10;
  int64_t value = static_cast<int64_t>(step) * 10;
  value = value < MinRedrawDelay ? MinRedrawDelay : value > MaxRedrawDelay ? MaxRedrawDelay : value;
  SetDlgItemInt(dialog, IDC_DELAY, static_cast<UINT>(value), FALSE);
  return TRUE;
}

void TakeLineCount(HWND dialog, int comboId, std::atomic<int32_t>& field) {
  const LRESULT selected = SendDlgItemMessageW(dialog, comboId, CB_GETCURSEL, 0, 0);
  if (selected != CB_ERR) field = LimitLineCount(static_cast<int32_t>(selected));
}

void ConfirmDialog(HWND dialog) {
  BOOL isNumber = FALSE;
  const UINT entered = ReadDelayField(dialog, &isNumber);
  if (!isNumber) {
    MessageBoxW(dialog, LoadResourceString(IDS_DELAY_NOT_A_NUMBER).text, nullptr, MB_ICONERROR);
    return;
  }

  TakeLineCount(dialog, IDC_UP_LINES, gSettings.brinkwatcherUp);
  TakeLineCount(dialog, IDC_DOWN_LINES, gSettings.brinkwatcherDown);
  gSettings.mouseCancel = IsDlgButtonChecked(dialog, IDC_MOUSE_CANCEL) == BST_CHECKED;

  // A delay left at the keyboard default stays non-custom, so it keeps following the keyboard.
  const uint32_t delay = LimitRedrawDelay(entered);
  if (delay != gSettings.redrawDelay || gSettings.redrawDelayCustom) {
    gSettings.redrawDelay = delay;
    gSettings.redrawDelayCustom = true;
  }

  SaveSettings(reinterpret_cast<HWND>(GetWindowLongPtrW(dialog, ViewSlot)));
  EndDialog(dialog, IDOK);
}

void RestoreDefaultDelay(HWND dialog) {
  const uint32_t delay = DefaultRedrawDelay();
  SendDlgItemMessageW(dialog, IDC_DELAY_SPIN, UDM_SETPOS32, 0, static_cast<LPARAM>(delay));
  SetDlgItemInt(dialog, IDC_DELAY, delay, FALSE);
  SetFocus(GetDlgItem(dialog, IDC_DELAY));
}

BOOL OnCommand(HWND dialog, WPARAM wParam) {
  if (HIWORD(wParam) != 0) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      ConfirmDialog(dialog);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case IDC_RESTORE_DEFAULT:
      RestoreDefaultDelay(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL OnNotify(HWND dialog, LPARAM lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header == nullptr || header->code != static_cast<UINT>(UDN_DELTAPOS)) return FALSE;
  if (!StepDelay(dialog, reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta)) return FALSE;
  // The up-down control is told 0: it moves its own position by a step as well, which nothing
  // reads; the arrows act on the number in the field alone.
  SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
  return TRUE;
}
}  // namespace

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the dialog procedure Windows calls.
INT_PTR CALLBACK PropertiesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitDialog(dialog, reinterpret_cast<HWND>(lParam));
      return FALSE;  // no initial keyboard focus
    case WM_NOTIFY:
      return OnNotify(dialog, lParam);
    case WM_COMMAND:
      return OnCommand(dialog, wParam);
    default:
      return FALSE;
  }
}
