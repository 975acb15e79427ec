// The properties dialog over the real DLL, driven as a person would: it is found while it runs
// inside its own modal loop, typed into, clicked and confirmed or cancelled, and what it did to
// the settings is read from the profile writes that the simulated editor recorded.

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "res/resource_ids.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/plugin_fixture.h"

namespace {

const wchar_t NotANumberText[] = L"遅延時間を半角の数字で設定してください。";
const wchar_t NoteText[] =
    L"スクロールを開始する行数は、実際には、表示されている行数の３分の１までになります。\r\n"
    L"下方向は、ウィンドウサイズや水平スクロールバーの設定等、複数の要因により、２行程度ずれること"
    L"が"
    L"あります。";

uint32_t KeyboardDefaultDelay() {
  return testing_support::DefaultDelayFor(testing_support::KeyboardSpeed());
}

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return text;
}

using testing_support::Click;
using testing_support::FindOwnedDialog;
using testing_support::Look;
using Step = testing_support::DialogStep;

// ---- What a person does

// Selects the whole delay field and types `keys` into it, one character at a time ('\b' erases).
Step Type(std::wstring keys) {
  return [keys](HWND dialog) {
    HWND field = GetDlgItem(dialog, IDC_DELAY);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    for (wchar_t key : keys) SendMessageW(field, WM_CHAR, key, 1);
    return true;
  };
}

// Pastes over the field's text, the way a clipboard bypasses the digits-only filter.
Step Paste(std::wstring text) {
  return [text](HWND dialog) {
    SetDlgItemTextW(dialog, IDC_DELAY, text.c_str());
    return true;
  };
}

// A click on the upper or lower arrow of the up-down control.
Step ClickArrow(bool up) {
  return [up](HWND dialog) {
    HWND arrows = GetDlgItem(dialog, IDC_DELAY_SPIN);
    RECT client{};
    GetClientRect(arrows, &client);
    const LPARAM at = MAKELPARAM(client.right / 2, up ? client.bottom / 4 : client.bottom * 3 / 4);
    PostMessageW(arrows, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(arrows, WM_LBUTTONUP, 0, at);
    return true;
  };
}

// Picks item `index` of a combo box with the mouse: the selection and its notification.
Step Pick(int combo, int index) {
  return [combo, index](HWND dialog) {
    HWND box = GetDlgItem(dialog, combo);
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(box));
    return true;
  };
}

// Focuses `control` and presses `vk` on it, through the dialog's own message loop.
Step Press(int control, UINT vk) {
  return [control, vk](HWND dialog) {
    HWND target = GetDlgItem(dialog, control);
    SetFocus(target);
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
    return true;
  };
}

struct ErrorBox {
  bool seen = false;
  std::wstring text;
  std::wstring caption;
  bool errorIcon = false;
  bool dialogStillShown = false;
};

bool ShowsErrorIcon(HWND box) {
  const HICON error = LoadIconW(nullptr, IDI_ERROR);
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
    if (reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == error) return true;
  }
  return false;
}

// Waits for the message box over the dialog, reads it and dismisses it with its OK button.
Step DismissErrorBox(ErrorBox& seen) {
  return [&seen](HWND dialog) {
    HWND box = FindOwnedDialog(dialog);
    if (box == nullptr) return false;
    seen.seen = true;
    seen.text = TextOf(GetDlgItem(box, 0xFFFF));
    seen.caption = TextOf(box);
    seen.errorIcon = ShowsErrorIcon(box);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return true;
  };
}

// Waits until no message box is left over the dialog.
Step UntilErrorBoxGone(ErrorBox& seen) {
  return [&seen](HWND dialog) {
    if (FindOwnedDialog(dialog) != nullptr) return false;
    seen.dialogStillShown = IsWindowVisible(dialog) != FALSE;
    return true;
  };
}

// ---- What the dialog shows

std::wstring FieldText(HWND dialog) {
  return TextOf(GetDlgItem(dialog, IDC_DELAY));
}

using Shown = testing_support::DialogShows;

Step Observe(Shown& shown) {
  return Look([&shown](HWND dialog) { shown = testing_support::ReadDialog(dialog); });
}

// ---- What reached the editor

// The dialog may only write, and only these, in this order, each record complete.
using Writes = std::vector<testing_support::Row>;
using testing_support::WriteOf;

::testing::AssertionResult Recorded(sim::Editor& editor, const Writes& writes) {
  return testing_support::ExpectSequence(editor.calls(), writes);
}

// The whole profile store, for comparing before and after.
std::vector<std::pair<std::wstring, uint32_t>> Profile(sim::Editor& editor) {
  std::vector<std::pair<std::wstring, uint32_t>> out;
  for (const auto& [key, value] : editor.profile()) {
    out.emplace_back(std::to_wstring(key.selector) + L"/" + key.section + L"/" + key.name, value);
  }
  return out;
}

Writes ThreeWrites(int32_t up, int32_t down, bool mouseCancel) {
  return {WriteOf(L"brinkwatcherUp", static_cast<uint32_t>(up)),
          WriteOf(L"brinkwatcherDown", static_cast<uint32_t>(down)),
          WriteOf(L"mouseCancel", mouseCancel ? 1 : 0)};
}

Writes FourWrites(int32_t up, int32_t down, bool mouseCancel, uint32_t delay) {
  Writes writes = ThreeWrites(up, down, mouseCancel);
  writes.push_back(WriteOf(L"redrawDelay", delay));
  return writes;
}

class DialogFixture : public PluginFixture {
 protected:
  void SetUp() override {
    sim::InitCommonControlsLikeEditor();
    PluginFixture::SetUp();
  }

  // Opens the dialog as the editor's command does and plays `steps` at it.
  INT_PTR OpenByCommand(std::vector<Step> steps) {
    return driver.Run(Frame(), std::move(steps),
                      [this] { return editor.plugin().OnCommand(editor.view()); });
  }

  INT_PTR OpenByQuery(std::vector<Step> steps) {
    return driver.Run(Frame(), std::move(steps), [this] {
      return static_cast<INT_PTR>(
          editor.plugin().PlugInProc(editor.view(), QueryShowProperties, 0, 0));
    });
  }

  void ExpectPlayedThrough() {
    EXPECT_NE(driver.dialog(), nullptr) << "the dialog never showed";
    EXPECT_TRUE(driver.playedAll()) << "the dialog closed before every step was played";
    EXPECT_FALSE(driver.timedOut()) << "the dialog was still open at the deadline";
  }

  // A popup cannot be owned by a child window: the system makes the view's frame the owner.
  HWND Frame() { return GetAncestor(editor.view(), GA_ROOT); }

  testing_support::DialogDriver driver;
};

// ---- The delay field and its arrows, confirmed with OK

enum class Arrow { None, Up, Down };

struct DelayCase {
  const char* name;
  const wchar_t* keys;  // typed over the whole field
  Arrow arrow;
  const wchar_t* shown;  // the field just before OK
  uint32_t stored;       // the custom delay written on OK
  bool pasted = false;   // `keys` pasted over the field instead, past the digits-only filter
};

const DelayCase delayCases[] = {
    {"ZeroBecomesOne", L"0", Arrow::None, L"0", 1},
    {"FourNinesLimitedTo1000", L"9999", Arrow::None, L"9999", 1000},
    {"FifthDigitRefused", L"12345", Arrow::None, L"1234", 1000},
    {"LettersRefusedWhileTyping", L"2x5y0", Arrow::None, L"250", 250},
    {"MinusRefusedWhileTyping", L"-5", Arrow::None, L"5", 5},
    {"PlainValueKept", L"777", Arrow::None, L"777", 777},
    {"EmptyUpShowsTen", L"\b", Arrow::Up, L"10", 10},
    {"EmptyDownShowsOne", L"\b", Arrow::Down, L"1", 1},
    {"OneDownStaysOne", L"1", Arrow::Down, L"1", 1},
    {"TenDownLandsOnOne", L"10", Arrow::Down, L"1", 1},
    {"ElevenDownShowsTen", L"11", Arrow::Down, L"10", 10},
    {"SixtyThreeUpShowsSeventy", L"63", Arrow::Up, L"70", 70},
    {"SeventyUpShowsEighty", L"70", Arrow::Up, L"80", 80},
    {"SeventyDownShowsSixty", L"70", Arrow::Down, L"60", 60},
    {"ThousandDownShows990", L"1000", Arrow::Down, L"990", 990},
    {"ThousandUpStaysThousand", L"1000", Arrow::Up, L"1000", 1000},
    {"FourNinesUpShowsThousand", L"9999", Arrow::Up, L"1000", 1000},
    {"PastedLeadingSpacesSkipped", L" 250", Arrow::None, L" 250", 250, true},
};

class DialogDelay : public DialogFixture, public ::testing::WithParamInterface<DelayCase> {};

// Starts from the keyboard-speed default, so every row also shows the delay turning custom.
TEST_P(DialogDelay, FieldThenOkStoresCustomDelay) {
  const DelayCase& c = GetParam();
  ASSERT_NE(c.stored, KeyboardDefaultDelay()) << "the row would not make the delay custom";
  testing_support::StoreSettings(editor, 3, 4, false, 0);
  Load();

  std::wstring beforeOk;
  std::vector<Step> steps = {c.pasted ? Paste(c.keys) : Type(c.keys)};
  if (c.arrow != Arrow::None) steps.push_back(ClickArrow(c.arrow == Arrow::Up));
  steps.push_back(Look([&](HWND dialog) { beforeOk = FieldText(dialog); }));
  steps.push_back(Click(IDOK));
  EXPECT_EQ(OpenByCommand(steps), IDOK);
  ExpectPlayedThrough();

  EXPECT_EQ(beforeOk, c.shown);
  EXPECT_TRUE(Recorded(editor, FourWrites(3, 4, false, c.stored)));
}

INSTANTIATE_TEST_SUITE_P(Rows, DialogDelay, ::testing::ValuesIn(delayCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The dialog answers its opening with FALSE: it sets no keyboard focus of its own, and the system
// sets none at creation either (what activation does then is the system's).
using DialogFocus = DialogFixture;

TEST_F(DialogFocus, OpeningAsksTheSystemForNoFocus) {
  Load();
  INT_PTR answer = -1;
  EXPECT_EQ(OpenByCommand({Look([&](HWND d) {
                             const auto proc =
                                 reinterpret_cast<DLGPROC>(GetWindowLongPtrW(d, DWLP_DLGPROC));
                             answer = proc(d, WM_INITDIALOG,
                                           reinterpret_cast<WPARAM>(GetDlgItem(d, IDC_UP_LINES)),
                                           reinterpret_cast<LPARAM>(editor.view()));
                           }),
                           Click(IDCANCEL)}),
            IDCANCEL);
  ExpectPlayedThrough();
  EXPECT_EQ(answer, FALSE);
}

// Two clicks on the same arrow step twice: the arrows act on the number in the field each time.
using DialogArrows = DialogFixture;

TEST_F(DialogArrows, TwoClicksStepTwice) {
  Load();
  std::wstring afterUps, afterDowns;
  EXPECT_EQ(OpenByCommand({Type(L"47"), ClickArrow(true), ClickArrow(true),
                           Look([&](HWND d) { afterUps = FieldText(d); }), ClickArrow(false),
                           ClickArrow(false), ClickArrow(false),
                           Look([&](HWND d) { afterDowns = FieldText(d); }), Click(IDCANCEL)}),
            IDCANCEL);
  ExpectPlayedThrough();
  EXPECT_EQ(afterUps, L"60");
  EXPECT_EQ(afterDowns, L"30");
  EXPECT_TRUE(editor.calls().empty());
}

// ---- What the dialog shows when it opens

struct OpeningCase {
  const char* name;
  int32_t up, down;
  bool mouseCancel;
  uint32_t delay;  // in the profile; 0 for the keyboard default
  LRESULT shownUp, shownDown;
};

const OpeningCase openingCases[] = {
    {"Defaults", 2, 2, true, 0, 2, 2},
    {"MouseOptionOff", 2, 2, false, 300, 2, 2},
    {"Up35SelectsTwenty", 35, 5, true, 1000, 20, 5},
    {"NegativeDownSelectsZero", 0, -3, false, 1, 0, 0},
    {"BothAtTwenty", 20, 20, true, 999, 20, 20},
};

class DialogOpening : public DialogFixture, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(DialogOpening, ShowsTheSettings) {
  const OpeningCase& c = GetParam();
  testing_support::StoreSettings(editor, c.up, c.down, c.mouseCancel, c.delay);
  Load();
  Shown shown;
  EXPECT_EQ(OpenByCommand({Observe(shown), Click(IDCANCEL)}), IDCANCEL);
  ExpectPlayedThrough();

  const uint32_t delay = c.delay != 0 ? c.delay : KeyboardDefaultDelay();
  EXPECT_EQ(shown.up, c.shownUp);
  EXPECT_EQ(shown.down, c.shownDown);
  EXPECT_EQ(shown.mouseCancel, c.mouseCancel);
  EXPECT_EQ(shown.delayText, std::to_wstring(delay));
  EXPECT_EQ(shown.arrowsPosition, static_cast<LRESULT>(delay));
  EXPECT_TRUE(editor.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DialogOpening, ::testing::ValuesIn(openingCases),
                         [](const auto& info) { return std::string(info.param.name); });

using DialogLook = DialogFixture;

TEST_F(DialogLook, CaptionNoteAndChoices) {
  Load();
  std::wstring caption, note;
  std::vector<std::wstring> upItems, downItems;
  LRESULT limit = 0;
  HWND buddy = nullptr, field = nullptr;
  int low = 0, high = 0;
  LONG_PTR viewSlot = 0;
  bool frameEnabled = true;
  EXPECT_EQ(OpenByCommand({Look([&](HWND dialog) {
                             caption = TextOf(dialog);
                             note = TextOf(GetDlgItem(dialog, IDC_NOTE));
                             for (int combo : {IDC_UP_LINES, IDC_DOWN_LINES}) {
                               auto& items = combo == IDC_UP_LINES ? upItems : downItems;
                               const LRESULT count =
                                   SendDlgItemMessageW(dialog, combo, CB_GETCOUNT, 0, 0);
                               for (LRESULT i = 0; i < count; ++i) {
                                 wchar_t item[64] = L"";
                                 SendDlgItemMessageW(dialog, combo, CB_GETLBTEXT,
                                                     static_cast<WPARAM>(i),
                                                     reinterpret_cast<LPARAM>(item));
                                 items.push_back(item);
                               }
                             }
                             limit = SendDlgItemMessageW(dialog, IDC_DELAY, EM_GETLIMITTEXT, 0, 0);
                             SendDlgItemMessageW(dialog, IDC_DELAY_SPIN, UDM_GETRANGE32,
                                                 reinterpret_cast<WPARAM>(&low),
                                                 reinterpret_cast<LPARAM>(&high));
                             buddy = reinterpret_cast<HWND>(
                                 SendDlgItemMessageW(dialog, IDC_DELAY_SPIN, UDM_GETBUDDY, 0, 0));
                             field = GetDlgItem(dialog, IDC_DELAY);
                             viewSlot = GetWindowLongPtrW(dialog, DWLP_USER);
                             frameEnabled = IsWindowEnabled(editor.frame()) != FALSE;
                           }),
                           Click(IDCANCEL)}),
            IDCANCEL);
  ExpectPlayedThrough();

  EXPECT_EQ(caption, L"Brinkwatcher");
  EXPECT_EQ(note, NoteText);
  std::vector<std::wstring> numbers;
  for (int i = 0; i <= 20; ++i) numbers.push_back(std::to_wstring(i));
  EXPECT_EQ(upItems, numbers);
  EXPECT_EQ(downItems, numbers);
  EXPECT_EQ(limit, 4);
  EXPECT_EQ(low, 1);
  EXPECT_EQ(high, 1000);
  EXPECT_NE(field, nullptr);
  EXPECT_EQ(buddy, field);
  EXPECT_EQ(reinterpret_cast<HWND>(viewSlot), editor.view());
  EXPECT_FALSE(frameEnabled) << "a modal dialog disables the editor while it runs";
  EXPECT_TRUE(IsWindowEnabled(editor.frame()));
}

// The note is string 107 of the module, shown unchanged.
TEST_F(DialogLook, NoteIsString107) {
  Load();
  wchar_t text[4096] = L"";
  ASSERT_GT(LoadStringW(editor.module(), 107, text, 4096), 0);
  std::wstring note;
  OpenByCommand({Look([&](HWND d) { note = TextOf(GetDlgItem(d, IDC_NOTE)); }), Click(IDCANCEL)});
  ExpectPlayedThrough();
  EXPECT_EQ(note, text);
}

// ---- How the dialog is opened and what it answers

struct OpenerCase {
  const char* name;
  bool byQuery;  // PlugInProc 0x901 rather than OnCommand
  int button;
  INT_PTR result;
};

const OpenerCase openerCases[] = {
    {"CommandOk", false, IDOK, IDOK},
    {"CommandCancel", false, IDCANCEL, IDCANCEL},
    {"QueryOk", true, IDOK, 1},
    {"QueryCancel", true, IDCANCEL, 1},
};

class DialogOpener : public DialogFixture, public ::testing::WithParamInterface<OpenerCase> {};

TEST_P(DialogOpener, ReturnsWhatTheEditorSees) {
  const OpenerCase& c = GetParam();
  Load();
  std::vector<Step> steps = {Pick(IDC_UP_LINES, 9), Click(c.button)};
  EXPECT_EQ(c.byQuery ? OpenByQuery(steps) : OpenByCommand(steps), c.result);
  ExpectPlayedThrough();
  EXPECT_TRUE(Recorded(editor, c.button == IDOK ? FourWrites(9, 2, false, 50) : Writes{}));
}

INSTANTIATE_TEST_SUITE_P(Rows, DialogOpener, ::testing::ValuesIn(openerCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Confirming and cancelling

using DialogSettings = DialogFixture;

TEST_F(DialogSettings, StoredUp35ConfirmedStoresTwenty) {
  testing_support::StoreSettings(editor, 35, 2, false, 50);
  Load();
  EXPECT_EQ(OpenByCommand({Click(IDOK)}), IDOK);
  ExpectPlayedThrough();
  EXPECT_TRUE(Recorded(editor, FourWrites(20, 2, false, 50)));
  uint32_t up = 0;
  EXPECT_TRUE(testing_support::StoredValue(editor, L"brinkwatcherUp", up));
  EXPECT_EQ(up, 20u);
}

// The Enter key on the delay field presses the default button; the keyboard default stays
// non-custom, so the delay is not written, now or at the next OK.
TEST_F(DialogSettings, UnchangedEnterWithKeyboardDefaultWritesThree) {
  testing_support::StoreSettings(editor, 2, 2, true, 0);
  Load();
  std::wstring shown;
  EXPECT_EQ(
      OpenByCommand({Look([&](HWND d) { shown = FieldText(d); }), Press(IDC_DELAY, VK_RETURN)}),
      IDOK);
  ExpectPlayedThrough();
  EXPECT_EQ(shown, std::to_wstring(KeyboardDefaultDelay()));
  EXPECT_TRUE(Recorded(editor, ThreeWrites(2, 2, true)));

  editor.ClearCalls();
  EXPECT_EQ(OpenByCommand({Click(IDOK)}), IDOK);
  EXPECT_TRUE(Recorded(editor, ThreeWrites(2, 2, true)));
  uint32_t delay = 0;
  EXPECT_TRUE(testing_support::StoredValue(editor, L"redrawDelay", delay));
  EXPECT_EQ(delay, 0u) << "the profile's delay was rewritten";
}

// Typing the keyboard default over itself changes nothing: still not custom.
TEST_F(DialogSettings, RetypedKeyboardDefaultStaysNonCustom) {
  testing_support::StoreSettings(editor, 2, 2, false, 0);
  Load();
  EXPECT_EQ(OpenByCommand({Type(std::to_wstring(KeyboardDefaultDelay())), Click(IDOK)}), IDOK);
  ExpectPlayedThrough();
  EXPECT_TRUE(Recorded(editor, ThreeWrites(2, 2, false)));
}

// Before any settings reload the record holds its built-in values and a delay of 0.
TEST_F(DialogSettings, OkBeforeAnyReloadStoresCustomOne) {
  ASSERT_TRUE(editor.LoadPlugin(testing_support::FreshPluginCopy(), false));
  editor.Settle();
  editor.ClearCalls();
  std::wstring shown;
  EXPECT_EQ(OpenByCommand({Look([&](HWND d) { shown = FieldText(d); }), Click(IDOK)}), IDOK);
  ExpectPlayedThrough();
  EXPECT_EQ(shown, L"0");
  EXPECT_TRUE(Recorded(editor, FourWrites(2, 2, true, 1)));
}

TEST_F(DialogSettings, ChangesEverythingThenOk) {
  testing_support::StoreSettings(editor, 2, 2, false, 0);
  Load();
  EXPECT_EQ(
      OpenByCommand({Press(IDC_UP_LINES, VK_DOWN), Press(IDC_UP_LINES, VK_DOWN),
                     Pick(IDC_DOWN_LINES, 7), Click(IDC_MOUSE_CANCEL), Type(L"250"), Click(IDOK)}),
      IDOK);
  ExpectPlayedThrough();
  EXPECT_TRUE(Recorded(editor, FourWrites(4, 7, true, 250)));

  // The record now holds the new values: the next opening shows them.
  editor.ClearCalls();
  Shown shown;
  OpenByCommand({Observe(shown), Click(IDCANCEL)});
  EXPECT_EQ(shown.up, 4);
  EXPECT_EQ(shown.down, 7);
  EXPECT_TRUE(shown.mouseCancel);
  EXPECT_EQ(shown.delayText, L"250");
  EXPECT_TRUE(editor.calls().empty());
}

TEST_F(DialogSettings, CancelAfterChangingEverythingChangesNothing) {
  testing_support::StoreSettings(editor, 3, 4, false, 300);
  Load();
  const std::vector<std::pair<std::wstring, uint32_t>> before = Profile(editor);
  EXPECT_EQ(OpenByCommand({Press(IDC_UP_LINES, VK_DOWN), Pick(IDC_DOWN_LINES, 12),
                           Click(IDC_MOUSE_CANCEL), Type(L"777"), ClickArrow(true),
                           Click(IDC_RESTORE_DEFAULT), Click(IDCANCEL)}),
            IDCANCEL);
  ExpectPlayedThrough();
  EXPECT_TRUE(editor.calls().empty()) << testing_support::Describe(editor.calls());
  EXPECT_EQ(Profile(editor), before);

  // The record kept the old values: the next opening shows them, and OK writes them back.
  Shown shown;
  EXPECT_EQ(OpenByCommand({Observe(shown), Click(IDOK)}), IDOK);
  EXPECT_EQ(shown.up, 3);
  EXPECT_EQ(shown.down, 4);
  EXPECT_FALSE(shown.mouseCancel);
  EXPECT_EQ(shown.delayText, L"300");
  EXPECT_TRUE(Recorded(editor, FourWrites(3, 4, false, 300)));
}

// ---- A delay that is not a number

struct NotANumberCase {
  const char* name;
  const wchar_t* pasted;
};

class DialogNotANumber : public DialogFixture,
                         public ::testing::WithParamInterface<NotANumberCase> {};

TEST_P(DialogNotANumber, OkShowsErrorAndKeepsDialog) {
  testing_support::StoreSettings(editor, 3, 4, false, 300);
  Load();
  ErrorBox box;
  EXPECT_EQ(OpenByCommand({Pick(IDC_UP_LINES, 11), Paste(GetParam().pasted), Click(IDOK),
                           DismissErrorBox(box), UntilErrorBoxGone(box), Click(IDCANCEL)}),
            IDCANCEL);
  ExpectPlayedThrough();
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.text, NotANumberText);
  EXPECT_EQ(box.caption, L"Error") << "a null caption shows the system's default title";
  EXPECT_TRUE(box.errorIcon);
  EXPECT_TRUE(box.dialogStillShown);
  EXPECT_TRUE(editor.calls().empty()) << testing_support::Describe(editor.calls());

  // Nothing changed: the refused OK did not take the new line count either.
  Shown shown;
  OpenByCommand({Observe(shown), Click(IDCANCEL)});
  EXPECT_EQ(shown.up, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DialogNotANumber,
    ::testing::Values(NotANumberCase{"Letters", L"abc"}, NotANumberCase{"Empty", L""},
                      NotANumberCase{"LetterThenDigits", L"a12"},
                      NotANumberCase{"SpacesOnly", L"   "}, NotANumberCase{"Negative", L"-5"},
                      NotANumberCase{"NegativeFourDigits", L"-999"},
                      NotANumberCase{"NegativeZero", L"-0"}, NotANumberCase{"Plus", L"+5"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The restore-default button

struct RestoreCase {
  const char* name;
  uint32_t stored;  // 0: the keyboard default, not custom
  bool custom;      // whether OK writes the delay
};

class DialogRestoreDefault : public DialogFixture,
                             public ::testing::WithParamInterface<RestoreCase> {};

// The button shows the keyboard default and focuses the field; once custom, always custom.
TEST_P(DialogRestoreDefault, ShowsKeyboardDefault) {
  const RestoreCase& c = GetParam();
  testing_support::StoreSettings(editor, 2, 2, false, c.stored);
  Load();
  std::wstring shown;
  LRESULT position = 0;
  bool fieldFocused = false;
  testing_support::FocusRequests focus;
  EXPECT_EQ(OpenByCommand({Type(L"777"), Look([&](HWND) { focus.Clear(); }),
                           Click(IDC_RESTORE_DEFAULT), Look([&](HWND d) {
                             shown = FieldText(d);
                             position = SendDlgItemMessageW(d, IDC_DELAY_SPIN, UDM_GETPOS32, 0, 0);
                             fieldFocused = focus.last() == GetDlgItem(d, IDC_DELAY);
                           }),
                           Click(IDOK)}),
            IDOK);
  ExpectPlayedThrough();
  const uint32_t delay = KeyboardDefaultDelay();
  EXPECT_EQ(shown, std::to_wstring(delay));
  EXPECT_EQ(position, static_cast<LRESULT>(delay));
  EXPECT_TRUE(fieldFocused);
  EXPECT_TRUE(
      Recorded(editor, c.custom ? FourWrites(2, 2, false, delay) : ThreeWrites(2, 2, false)));
}

INSTANTIATE_TEST_SUITE_P(Rows, DialogRestoreDefault,
                         ::testing::Values(RestoreCase{"AfterCustomStaysCustom", 300, true},
                                           RestoreCase{"AfterKeyboardDefaultStaysNonCustom", 0,
                                                       false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The user slot

using DialogUserSlot = DialogFixture;

// The dialog keeps the view in its user slot, pointer-wide (index 8 on 32-bit Windows, 16 on
// 64-bit), and saves through the view it finds there at OK.
TEST_F(DialogUserSlot, SavesThroughTheViewInItsSlot) {
  Load();
  sim::Editor other;
  constexpr int UserSlot = sizeof(void*) == 8 ? 16 : 8;
  LONG_PTR stored = 0;
  EXPECT_EQ(OpenByCommand({Look([&](HWND d) {
                             stored = GetWindowLongPtrW(d, UserSlot);
                             SetWindowLongPtrW(d, UserSlot,
                                               reinterpret_cast<LONG_PTR>(other.view()));
                           }),
                           Click(IDOK)}),
            IDOK);
  ExpectPlayedThrough();
  EXPECT_EQ(reinterpret_cast<HWND>(stored), editor.view());
  EXPECT_TRUE(editor.calls().empty()) << "saved to the editor whose view left the slot";
  EXPECT_TRUE(Recorded(other, FourWrites(2, 2, false, 50)));
}

// ---- The host's message codes, as the editor knows them

// The plug-in and the simulated editor take the codes from one header, so a wrong number there
// passes every test that drives through it. Here every code the plug-in sends in a session (a
// reload, a caret move that scrolls and resets the caret, the dialog confirmed) is held against
// the editor's own numbers, written out.
using HostCodes = DialogFixture;

TEST_F(HostCodes, EveryCodeSentIsTheEditorsNumber) {
  Load();
  Place(30, 100, 129);
  editor.doc().maxScrollX = 10;
  editor.doc().scroll.x = 25;  // the scroll drops the column, so the caret is set again
  editor.doc().caret.x = 31;
  editor.ClearCalls();
  editor.SendEvents(0x400);
  editor.SendEvents(0x20);
  EXPECT_EQ(OpenByCommand({Click(IDOK)}), IDOK);

  using testing_support::AtFrame;
  using testing_support::AtView;
  EXPECT_TRUE(testing_support::ExpectSequence(
      editor.calls(),
      {
          // The settings reload: the host's version, then four profile reads at the frame.
          AtView(0x828, 0),
          AtFrame(0x856, 0),
          AtFrame(0x856, 0),
          AtFrame(0x856, 0),
          AtFrame(0x856, 0),
          // The caret move: hidden lines (information 333), page, caret, scroll position twice,
          // the scroll and its read-back, then the caret placed again with flag 0x10000.
          AtView(0x83A, 333),
          AtView(0x808, 0),
          AtView(0x806, 0),
          AtView(0x809, 0),
          AtView(0x809, 0),
          AtView(0x813, 0),
          AtView(0x809, 0),
          AtView(0x806, 0),
          AtView(0x812, 0x10000),
          // OK: four profile writes at the frame.
          AtFrame(0x855, 0),
          AtFrame(0x855, 0),
          AtFrame(0x855, 0),
          AtFrame(0x855, 0),
      },
      "every code the plug-in sent, as the editor's own numbers"));
}

}  // namespace
