// Settings persistence over the real DLL: the exact profile records of a reload and of a save,
// what each stored value turns into (seen through scroll-ahead, the redraw timer and the
// properties dialog), refused reads, the keyboard-speed default and the simulated editor's
// profile file.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "res/resource_ids.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/plugin_test_support.h"

using testing_support::ExpectSequence;
using testing_support::Msg;
using testing_support::PluginPath;
using testing_support::ReadOf;
using testing_support::StoredValue;
using testing_support::Utf8;
using testing_support::WriteOf;

namespace {

constexpr const wchar_t* Section = L"Brinkwatcher";
constexpr const wchar_t* UpName = L"brinkwatcherUp";
constexpr const wchar_t* DownName = L"brinkwatcherDown";
constexpr const wchar_t* MouseCancelName = L"mouseCancel";
constexpr const wchar_t* DelayName = L"redrawDelay";

// What the properties dialog showed just before a button closed it, whether it showed at all, and
// what the command returned (the dialog's end code).
struct Shown : testing_support::DialogShows {
  bool found = false;
  INT_PTR result = 0;
};

// Bits naming the four values, in the order they are read and written.
enum Value : unsigned { Up = 1, Down = 2, MouseCancel = 4, Delay = 8, All = 15 };

using testing_support::DefaultDelayFor;
using testing_support::KeyboardSpeed;

int32_t LimitToCombo(int32_t count) {
  return std::clamp(count, 0, 20);
}

std::string Describe(const sim::ProfileStore& store) {
  std::string out;
  for (const auto& [key, value] : store) {
    char selector[16];
    snprintf(selector, sizeof selector, "0x%08X", key.selector);
    out += "  " + std::string(selector) + " " + Utf8(key.section) + " " + Utf8(key.name) + " = " +
           std::to_string(value) + "\n";
  }
  return out;
}

// The same keys with the same values, key by key.
::testing::AssertionResult SameStore(const sim::ProfileStore& actual,
                                     const sim::ProfileStore& expected) {
  bool same = actual.size() == expected.size();
  for (auto a = actual.begin(), e = expected.begin(); same && a != actual.end(); ++a, ++e) {
    same = !(a->first < e->first) && !(e->first < a->first) && a->second == e->second;
  }
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected:\n"
                                       << Describe(expected) << "found:\n"
                                       << Describe(actual);
}

// How the host answers the reads it refuses: `result` with the size set to `size` and the data
// buffer overwritten, so that a plug-in that takes the value anyway is caught.
struct Refusal {
  unsigned values = 0;
  LRESULT result = 1;
  uint32_t size = 4;
  uint32_t garbage = 99;
};

const wchar_t* const Names[] = {UpName, DownName, MouseCancelName, DelayName};

unsigned BitOf(const std::wstring& name) {
  for (unsigned i = 0; i < 4; ++i) {
    if (name == Names[i]) return 1u << i;
  }
  return 0;
}

class SettingsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::InitCommonControlsLikeEditor();
    editor.SetOverride([this](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
      return Host(message, lParam, result);
    });
  }

  void Store(const wchar_t* name, uint32_t value) {
    editor.profile()[{HostPluginProfileKey, Section, name}] = value;
  }

  // Loads the DLL without the editor's first reload, so that the test decides when it comes.
  void LoadWithoutReload(const std::wstring& path = PluginPath()) {
    ASSERT_TRUE(editor.LoadPlugin(path, false)) << "cannot load the DLL";
    ASSERT_NE(editor.plugin().OnEvents, nullptr);
    editor.Settle();
  }

  void Reload() {
    editor.ClearCalls();
    editor.SendEvents(EventReloadSettings);
  }

  // How far the view moves (positive: down) after the caret lands on `row` of a page of `page`
  // lines, first visible line 1000.
  int32_t MoveForRow(int32_t page, int32_t row) {
    constexpr int32_t first = 1000;
    auto& d = editor.doc();
    d.lines = 100000;
    d.page = page;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    for (;;) {
      d.scroll = {0, first};
      d.caret = {0, first + row};
      editor.ClearCalls();
      editor.SendEvents(EventCaretMoved);
      // Nothing at all is asked while a mouse button is down and the option is on: a button of
      // some other program; try again once it is released.
      if (!editor.calls().empty() || GetTickCount64() > deadline) break;
      editor.Pump(50);
    }
    editor.SendEvents(EventKillFocus);  // no deferred repaint left behind
    return editor.doc().scroll.y - first;
  }

  // Lines the plug-in keeps visible above the caret: the caret 5 lines above the page comes back
  // to that many lines below the top.
  int32_t KeptAbove(int32_t page) { return -MoveForRow(page, -5) - 5; }
  // The same below the caret, from 5 lines below the page.
  int32_t KeptBelow(int32_t page) { return MoveForRow(page, page + 4) - 5; }

  // The profile writes recorded since the last reload or dialog.
  size_t WriteCount() {
    return static_cast<size_t>(
        std::count_if(editor.calls().begin(), editor.calls().end(),
                      [](const sim::HostCall& call) { return call.code == HostProfileWrite; }));
  }

  // Opens the properties dialog through the export OnCommand and, once it shows, does `work` on it
  // from inside its modal loop and presses the button that `work` returns. Returns the command's
  // result (the end code), and whether the dialog was found.
  INT_PTR OpenAndWork(const std::function<int(HWND dialog)>& work, bool& found) {
    testing_support::DialogDriver driver;
    const INT_PTR result = driver.Run(GetAncestor(editor.view(), GA_ROOT), {[&](HWND dialog) {
                                        testing_support::Press(dialog, work(dialog));
                                        return true;
                                      }},
                                      [this] { return editor.plugin().OnCommand(editor.view()); });
    EXPECT_FALSE(driver.timedOut()) << "the dialog was still open at the deadline";
    found = driver.dialog() != nullptr && driver.playedAll();
    return result;
  }

  // Opens the dialog, notes what it shows and presses `button`; records only what follows.
  Shown Dialog(int button) {
    editor.ClearCalls();
    Shown shown;
    bool found = false;
    const INT_PTR result = OpenAndWork(
        [&](HWND dialog) {
          static_cast<testing_support::DialogShows&>(shown) = testing_support::ReadDialog(dialog);
          return button;
        },
        found);
    shown.found = found;
    shown.result = result;
    return shown;
  }

  sim::Editor editor;
  Refusal refusal;

 private:
  // Refuses the reads the test names: the data buffer overwritten, the size and the result as set.
  bool Host(UINT message, LPARAM lParam, LRESULT& result) {
    auto* record = reinterpret_cast<ProfileValueRecord*>(lParam);
    if (message != HostProfileRead || record == nullptr || record->valueName == nullptr ||
        (refusal.values & BitOf(record->valueName)) == 0) {
      return false;
    }
    *static_cast<uint32_t*>(record->data) = refusal.garbage;
    *record->readSize = refusal.size;
    result = refusal.result;
    return true;
  }
};

// The messages of one reload: the version, then a read of each value at the frame.
std::vector<testing_support::Row> ReloadRows() {
  return {Msg(HostGetVersion), ReadOf(UpName), ReadOf(DownName), ReadOf(MouseCancelName),
          ReadOf(DelayName)};
}

// ---------------------------------------------------------------------------------------------
// The records of one reload: the version first, then one read per value, each a complete record
// addressed to the frame, its buffer preset to what the plug-in holds.

struct PresetCase {
  const char* name;
  bool loadFirst;  // a reload of up -3, down 50, mouseCancel 0, delay 300 comes first
  uint32_t presets[4];
};

class SettingsReadRecords : public SettingsFixture,
                            public ::testing::WithParamInterface<PresetCase> {};

TEST_P(SettingsReadRecords, FourCompleteReadsToTheFrame) {
  const PresetCase& c = GetParam();
  LoadWithoutReload();
  if (c.loadFirst) {
    Store(UpName, static_cast<uint32_t>(-3));
    Store(DownName, 50);
    Store(MouseCancelName, 0);
    Store(DelayName, 300);
    Reload();
    editor.profile().clear();
  }
  Reload();

  // Every record complete (the recorder checks its fields by offset), at the frame, in order.
  ASSERT_TRUE(ExpectSequence(editor.calls(), ReloadRows()));
  for (size_t i = 0; i < 4; ++i) {
    const sim::HostCall& read = editor.calls()[i + 1];
    EXPECT_EQ(read.section, L"Brinkwatcher") << Utf8(Names[i]);
    EXPECT_EQ(read.preset, c.presets[i]) << Utf8(Names[i]) << ": the data buffer's preset";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Presets, SettingsReadRecords,
    ::testing::Values(PresetCase{"BuiltInDefaults", false, {2, 2, 1, 0}},
                      PresetCase{"AfterAReload", true, {static_cast<uint32_t>(-3), 50, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// What each stored value loads as. Line counts are seen through scroll-ahead on pages of 300
// and 30 lines (the distance kept is bounded by a third of the page); the mouse-button option
// and the delay through the dialog, which shows them; custom or not through what OK writes.

struct LoadCase {
  const char* name;
  std::optional<uint32_t> storedUp, storedDown, storedMouseCancel, storedDelay;
  int32_t up;
  int32_t down;
  bool mouseCancel;
  uint32_t delay;  // 0: the keyboard-speed default
  bool custom;
};

constexpr std::nullopt_t none = std::nullopt;
constexpr uint32_t Minus3 = static_cast<uint32_t>(-3);

const LoadCase loadCases[] = {
    {"EmptyProfile", none, none, none, none, 2, 2, true, 0, false},
    {"AllStored", 4, 6, 0, 300, 4, 6, false, 300, true},
    {"DelayAbove1000", none, none, none, 5000, 2, 2, true, 1000, true},
    {"Delay1001", none, none, none, 1001, 2, 2, true, 1000, true},
    {"Delay1000", none, none, none, 1000, 2, 2, true, 1000, true},
    {"Delay1", none, none, none, 1, 2, 2, true, 1, true},
    {"DelayAllBitsSet", none, none, none, 0xFFFFFFFFu, 2, 2, true, 1000, true},
    {"DelayTopBitSet", none, none, none, 0x80000001u, 2, 2, true, 1000, true},
    {"DelayZeroMeansDefault", none, none, none, 0, 2, 2, true, 0, false},
    {"Up50AsStored", 50, none, none, none, 50, 2, true, 0, false},
    {"UpMinus3AsStored", Minus3, none, none, none, -3, 2, true, 0, false},
    {"Down50AsStored", none, 50, none, none, 2, 50, true, 0, false},
    {"DownMinus3AsStored", none, Minus3, none, none, 2, -3, true, 0, false},
    {"UpZero", 0, none, none, none, 0, 2, true, 0, false},
    {"MouseCancel7IsTrue", none, none, 7, none, 2, 2, true, 0, false},
    {"MouseCancelZeroIsFalse", none, none, 0, none, 2, 2, false, 0, false},
    {"MouseCancelTopBitIsTrue", none, none, 0x80000000u, none, 2, 2, true, 0, false},
};

class SettingsLoad : public SettingsFixture, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoad, StoredValuesTakeEffect) {
  const LoadCase& c = GetParam();
  if (c.storedUp) Store(UpName, *c.storedUp);
  if (c.storedDown) Store(DownName, *c.storedDown);
  if (c.storedMouseCancel) Store(MouseCancelName, *c.storedMouseCancel);
  if (c.storedDelay) Store(DelayName, *c.storedDelay);
  const sim::ProfileStore before = editor.profile();
  LoadWithoutReload();
  Reload();
  const uint32_t delay = c.delay != 0 ? c.delay : DefaultDelayFor(KeyboardSpeed());

  EXPECT_TRUE(ExpectSequence(editor.calls(), ReloadRows(), "a reload reads, and writes nothing"));
  EXPECT_TRUE(SameStore(editor.profile(), before));

  EXPECT_EQ(KeptAbove(300), std::min(c.up, 100)) << "up as loaded";
  EXPECT_EQ(KeptAbove(30), std::min(c.up, 10)) << "up bounded by a third of the page";
  EXPECT_EQ(KeptBelow(300), std::min(c.down, 100)) << "down as loaded";
  EXPECT_EQ(KeptBelow(30), std::min(c.down, 10)) << "down bounded by a third of the page";

  const Shown shown = Dialog(IDOK);
  ASSERT_TRUE(shown.found) << "the dialog did not show";
  EXPECT_EQ(shown.result, IDOK);
  EXPECT_EQ(shown.delay, delay);
  EXPECT_EQ(shown.mouseCancel, c.mouseCancel);
  EXPECT_EQ(shown.up, LimitToCombo(c.up));
  EXPECT_EQ(shown.down, LimitToCombo(c.down));

  // OK with nothing changed: the line counts come back through the lists, the delay only when it
  // is custom.
  std::vector<testing_support::Row> writes = {
      WriteOf(UpName, static_cast<uint32_t>(LimitToCombo(c.up))),
      WriteOf(DownName, static_cast<uint32_t>(LimitToCombo(c.down))),
      WriteOf(MouseCancelName, c.mouseCancel ? 1u : 0u)};
  if (c.custom) writes.push_back(WriteOf(DelayName, delay));
  EXPECT_TRUE(ExpectSequence(editor.calls(), writes));
}

INSTANTIATE_TEST_SUITE_P(Stored, SettingsLoad, ::testing::ValuesIn(loadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The records of a save: after OK, one complete write per value to the frame, in a fixed order,
// the delay only when it is the user's own.

struct SaveCase {
  const char* name;
  std::optional<uint32_t> storedDelay;
  std::vector<std::pair<const wchar_t*, uint32_t>> writes;
};

class SettingsSaveRecords : public SettingsFixture,
                            public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SettingsSaveRecords, OneCompleteWritePerValue) {
  const SaveCase& c = GetParam();
  Store(UpName, 5);
  Store(DownName, 7);
  Store(MouseCancelName, 7);
  if (c.storedDelay) Store(DelayName, *c.storedDelay);
  LoadWithoutReload();
  Reload();

  const Shown shown = Dialog(IDOK);
  ASSERT_TRUE(shown.found) << "the dialog did not show";
  std::vector<testing_support::Row> writes;
  for (const auto& [name, value] : c.writes) writes.push_back(WriteOf(name, value));
  ASSERT_TRUE(ExpectSequence(editor.calls(), writes));
  for (size_t i = 0; i < c.writes.size(); ++i) {
    EXPECT_EQ(editor.calls()[i].section, L"Brinkwatcher") << Utf8(c.writes[i].first);
    uint32_t stored = 0;
    EXPECT_TRUE(StoredValue(editor, c.writes[i].first, stored));
    EXPECT_EQ(stored, c.writes[i].second) << Utf8(c.writes[i].first);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Delays, SettingsSaveRecords,
    ::testing::Values(
        SaveCase{
            "DefaultDelayNotWritten", none, {{UpName, 5}, {DownName, 7}, {MouseCancelName, 1}}},
        SaveCase{"CustomDelayWrittenLast",
                 250,
                 {{UpName, 5}, {DownName, 7}, {MouseCancelName, 1}, {DelayName, 250}}},
        SaveCase{"LimitedDelayWrittenLimited",
                 0xFFFFFFFFu,
                 {{UpName, 5}, {DownName, 7}, {MouseCancelName, 1}, {DelayName, 1000}}}),
    [](const auto& info) { return std::string(info.param.name); });

using SettingsSave = SettingsFixture;

TEST_F(SettingsSave, CancelWritesNothing) {
  Store(UpName, 5);
  Store(DelayName, 250);
  LoadWithoutReload();
  Reload();
  const sim::ProfileStore before = editor.profile();
  const Shown shown = Dialog(IDCANCEL);
  ASSERT_TRUE(shown.found);
  EXPECT_EQ(shown.result, IDCANCEL);
  EXPECT_TRUE(ExpectSequence(editor.calls(), {}));
  EXPECT_TRUE(SameStore(editor.profile(), before));
}

// ---------------------------------------------------------------------------------------------
// Reads that the host refuses or answers with another size leave a field as it was; a delay
// that cannot be read falls back to the keyboard default and stops being custom. A first reload
// loads 7, 9, off, 300; the profile then changes to 11, 12, on, 400 and the second reload refuses
// some of the reads.

struct RefusalCase {
  const char* name;
  bool loadFirst;
  Refusal refusal;
};

const RefusalCase refusalCases[] = {
    {"UpRefused", true, {Up, 1, 4, 99}},
    {"DownRefusedMinus1", true, {Down, -1, 4, 99}},
    {"MouseCancelRefused", true, {MouseCancel, 1, 4, 1}},
    {"DelayRefused", true, {Delay, 1, 4, 500}},
    {"UpTwoBytes", true, {Up, 0, 2, 99}},
    {"DownEightBytes", true, {Down, 0, 8, 99}},
    {"MouseCancelNoBytes", true, {MouseCancel, 0, 0, 1}},
    {"DelayTwoBytes", true, {Delay, 0, 2, 500}},
    {"AllRefused", true, {All, 1, 4, 99}},
    {"AllThreeBytes", true, {All, 0, 3, 99}},
    {"AllRefusedBeforeAnyLoad", false, {All, 1, 4, 0}},
    {"NothingRefused", true, {0, 1, 4, 99}},
};

class SettingsRefusedRead : public SettingsFixture,
                            public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SettingsRefusedRead, FieldKeepsItsValue) {
  const RefusalCase& c = GetParam();
  LoadWithoutReload();
  int32_t up = 2;
  int32_t down = 2;
  bool mouseCancel = true;
  if (c.loadFirst) {
    Store(UpName, 7);
    Store(DownName, 9);
    Store(MouseCancelName, 0);
    Store(DelayName, 300);
    Reload();
    up = 7;
    down = 9;
    mouseCancel = false;
  }
  Store(UpName, 11);
  Store(DownName, 12);
  Store(MouseCancelName, 1);
  Store(DelayName, 400);
  refusal = c.refusal;
  Reload();
  refusal = {};

  const unsigned refused = c.refusal.values;
  if (!(refused & Up)) up = 11;
  if (!(refused & Down)) down = 12;
  if (!(refused & MouseCancel)) mouseCancel = true;
  const bool custom = (refused & Delay) == 0;
  const uint32_t delay = custom ? 400 : DefaultDelayFor(KeyboardSpeed());

  EXPECT_TRUE(ExpectSequence(editor.calls(), ReloadRows()));
  EXPECT_EQ(KeptAbove(300), up);
  EXPECT_EQ(KeptBelow(300), down);
  const Shown shown = Dialog(IDOK);
  ASSERT_TRUE(shown.found) << "the dialog did not show";
  EXPECT_EQ(shown.mouseCancel, mouseCancel);
  EXPECT_EQ(shown.delay, delay);
  EXPECT_EQ(WriteCount(), custom ? 4u : 3u) << "custom delay";
}

INSTANTIATE_TEST_SUITE_P(Reads, SettingsRefusedRead, ::testing::ValuesIn(refusalCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The loaded delay is the period of the deferred repaint: told apart only coarsely (a short
// delay against a second), with margins for a busy machine.

struct PeriodCase {
  const char* name;
  std::optional<uint32_t> storedDelay;
  bool second;  // true: the repaint comes about a second after the idle event
};

class SettingsRedrawPeriod : public SettingsFixture,
                             public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(SettingsRedrawPeriod, RepaintComesAfterTheLoadedDelay) {
  const PeriodCase& c = GetParam();
  Store(UpName, 2);
  Store(DownName, 2);
  Store(MouseCancelName, 0);
  if (c.storedDelay) Store(DelayName, *c.storedDelay);
  LoadWithoutReload();
  Reload();
  const uint32_t stored = c.storedDelay.value_or(0);
  const uint32_t expectedDelay =
      stored != 0 ? std::min(stored, 1000u) : DefaultDelayFor(KeyboardSpeed());
  ASSERT_EQ(c.second, expectedDelay == 1000);

  // Another program's window taking the focus would cancel the repaint.
  testing_support::IgnoreFocusLoss(editor);
  auto& d = editor.doc();
  d.lines = 1000;
  d.page = 30;
  d.scroll = {0, 100};
  d.caret = {0, 135};
  editor.Settle();
  editor.SendEvents(EventCaretMoved);
  ASSERT_GT(d.scroll.y, 101) << "no jump to repaint after";
  const ULONGLONG armed = GetTickCount64();
  editor.SendEvents(EventArmRedraw);
  const bool repainted = editor.PumpUntil([&] { return editor.fullRepaints() > 0; }, 5000);
  const ULONGLONG elapsed = GetTickCount64() - armed;
  ASSERT_TRUE(repainted) << "no repaint";
  if (c.second) {
    EXPECT_GE(elapsed, 900u);
  } else {
    EXPECT_LT(elapsed, expectedDelay + 500u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Delays, SettingsRedrawPeriod,
    ::testing::Values(PeriodCase{"Stored50", 50, false}, PeriodCase{"Stored1000", 1000, true},
                      PeriodCase{"StoredAllBitsSetIsASecond", 0xFFFFFFFFu, true},
                      PeriodCase{"Stored5000IsASecond", 5000, true},
                      PeriodCase{"NoneIsKeyboardDefault", none, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The keyboard-speed default for every speed, set for real and read back from the dialog after
// each reload. The original speed is put back whatever happens.

class KeyboardSpeedGuard {
 public:
  KeyboardSpeedGuard() : original_(KeyboardSpeed()) {}
  ~KeyboardSpeedGuard() { Set(original_); }
  static bool Set(UINT speed) {
    return SystemParametersInfoW(SPI_SETKEYBOARDSPEED, speed, nullptr, 0) != FALSE;
  }

 private:
  UINT original_;
};

using SettingsKeyboardSpeed = SettingsFixture;

// Initialises the running dialog afresh, as at its opening, and reads the delay it then shows.
UINT DelayShownAtInit(HWND dialog, HWND view) {
  SendMessageW(dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(view));
  const testing_support::DialogShows shown = testing_support::ReadDialog(dialog);
  return shown.delayIsNumber ? shown.delay : 0;
}

// Every dialog costs about two seconds under Wine without a window manager (hiding it waits for
// one), so the 32 speeds share one dialog: after each reload it is initialised again and shows
// the delay just loaded; the restore-default button shows the default computed there and then.
TEST_F(SettingsKeyboardSpeed, DefaultDelayForEverySpeed) {
  KeyboardSpeedGuard guard;
  LoadWithoutReload();
  bool found = false;
  OpenAndWork(
      [&](HWND dialog) {
        for (UINT speed = 0; speed < 32; ++speed) {
          SCOPED_TRACE("keyboard speed " + std::to_string(speed));
          if (!KeyboardSpeedGuard::Set(speed) || KeyboardSpeed() != speed) {
            ADD_FAILURE() << "the keyboard speed cannot be set";
            break;
          }
          editor.SendEvents(EventReloadSettings);
          EXPECT_EQ(DelayShownAtInit(dialog, editor.view()), DefaultDelayFor(speed))
              << "loaded at the reload";
          testing_support::Press(dialog, IDC_RESTORE_DEFAULT);
          EXPECT_EQ(testing_support::ReadDialog(dialog).delay, DefaultDelayFor(speed))
              << "restore-default button";
        }
        return IDCANCEL;
      },
      found);
  ASSERT_TRUE(found) << "the dialog did not show";

  // The default is taken at the reload: a later change of speed alone changes nothing, also in a
  // dialog opened afresh.
  ASSERT_TRUE(KeyboardSpeedGuard::Set(0));
  EXPECT_EQ(Dialog(IDCANCEL).delay, DefaultDelayFor(31));
  Reload();
  EXPECT_EQ(Dialog(IDCANCEL).delay, DefaultDelayFor(0));
}

// A custom delay does not follow the keyboard.
TEST_F(SettingsKeyboardSpeed, CustomDelayIgnoresTheSpeed) {
  KeyboardSpeedGuard guard;
  Store(DelayName, 333);
  LoadWithoutReload();
  bool found = false;
  OpenAndWork(
      [&](HWND dialog) {
        for (UINT speed : {0u, 31u}) {
          EXPECT_TRUE(KeyboardSpeedGuard::Set(speed));
          editor.SendEvents(EventReloadSettings);
          EXPECT_EQ(DelayShownAtInit(dialog, editor.view()), 333u) << "keyboard speed " << speed;
        }
        return IDCANCEL;
      },
      found);
  EXPECT_TRUE(found) << "the dialog did not show";
}

// ---------------------------------------------------------------------------------------------
// The simulated editor's profile file keeps the store between runs, and what the dialog saved
// takes effect in the next editor.

std::wstring TempProfilePath(const wchar_t* tag) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"brinkwatcher-settings-" + tag + L"-" +
         std::to_wstring(GetCurrentProcessId()) + L".txt";
}

sim::EditorOptions Hidden() {
  sim::EditorOptions options;
  options.visible = false;
  return options;
}

using SettingsProfileFile = SettingsFixture;

TEST_F(SettingsProfileFile, RoundTripKeepsEveryValue) {
  const std::wstring path = TempProfilePath(L"roundtrip");
  sim::Editor first(Hidden());
  first.profile()[{HostPluginProfileKey, Section, UpName}] = Minus3;
  first.profile()[{HostPluginProfileKey, Section, DownName}] = 0;
  first.profile()[{HostPluginProfileKey, Section, MouseCancelName}] = 7;
  first.profile()[{HostPluginProfileKey, Section, DelayName}] = 0xFFFFFFFFu;
  first.profile()[{0x7FFFFF31, Section, UpName}] = 1;
  first.profile()[{HostPluginProfileKey, L"設定 section", L"値"}] = 42;
  ASSERT_TRUE(first.SaveProfileFile(path));

  sim::Editor second(Hidden());
  ASSERT_TRUE(second.LoadProfileFile(path));
  DeleteFileW(path.c_str());
  EXPECT_TRUE(SameStore(second.profile(), first.profile()));
}

TEST_F(SettingsProfileFile, MissingFileLoadsNothing) {
  sim::Editor other(Hidden());
  EXPECT_FALSE(other.LoadProfileFile(TempProfilePath(L"missing")));
  EXPECT_TRUE(other.profile().empty());
}

TEST_F(SettingsProfileFile, SavedSettingsTakeEffectInTheNextEditor) {
  const std::wstring path = TempProfilePath(L"restart");
  Store(UpName, 4);
  Store(DownName, 5);
  Store(MouseCancelName, 0);
  Store(DelayName, 250);
  LoadWithoutReload();
  Reload();
  editor.profile().clear();
  ASSERT_TRUE(Dialog(IDOK).found);
  ASSERT_EQ(WriteCount(), 4u);
  ASSERT_TRUE(editor.SaveProfileFile(path));

  // A fresh module, so that nothing carries over in memory: only the file does.
  sim::Editor next(Hidden());
  ASSERT_TRUE(next.LoadProfileFile(path));
  DeleteFileW(path.c_str());
  ASSERT_TRUE(next.LoadPlugin(testing_support::FreshPluginCopy()));
  auto& d = next.doc();
  d.lines = 100000;
  d.page = 300;
  d.scroll = {0, 1000};
  d.caret = {0, 1000 + 304};
  next.SendEvents(EventCaretMoved);
  EXPECT_EQ(d.scroll.y - 1000, 5 + 5) << "down 5 as saved";
  d.scroll = {0, 1000};
  d.caret = {0, 1000 - 5};
  next.SendEvents(EventCaretMoved);
  EXPECT_EQ(1000 - d.scroll.y, 5 + 4) << "up 4 as saved";
  uint32_t value = 0;
  EXPECT_TRUE(StoredValue(next, DelayName, value));
  EXPECT_EQ(value, 250u);
  EXPECT_TRUE(StoredValue(next, MouseCancelName, value));
  EXPECT_EQ(value, 0u);
}

}  // namespace
