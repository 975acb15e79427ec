// OnEvents as the editor calls it: which bits do what, in which order, and what happens with
// input the editor should never send.

#include "tests/support/plugin_fixture.h"

using testing_support::ExpectSequence;
using testing_support::Msg;

namespace {

using EventDispatch = PluginFixture;

struct IgnoredCase {
  const char* name;
  UINT events;
};

class IgnoredEvents : public PluginFixture, public ::testing::WithParamInterface<IgnoredCase> {};

TEST_P(IgnoredEvents, SendNothing) {
  Load();
  Place(30, 100, 129);  // a caret move here would scroll
  editor.SendEvents(GetParam().events);
  EXPECT_TRUE(ExpectSequence(editor.calls(), {}));
  EXPECT_EQ(editor.doc().scroll.y, 100);
}

INSTANTIATE_TEST_SUITE_P(Bits, IgnoredEvents,
                         ::testing::Values(IgnoredCase{"None", 0}, IgnoredCase{"Bit0", 0x1},
                                           IgnoredCase{"Bit4", 0x10}, IgnoredCase{"Bit6", 0x40},
                                           IgnoredCase{"Bit10Neighbours", 0x200 | 0x1000},
                                           IgnoredCase{"HighBits", 0xFF000000u},
                                           IgnoredCase{"ArmWithoutJump", 0x200000},
                                           IgnoredCase{"CancelBits", 0x800 | 0x20000}),
                         [](const auto& info) { return std::string(info.param.name); });

// Reload first, then scroll with the settings just read.
TEST_F(EventDispatch, ReloadAndCaretMoveInOneCall) {
  Load();
  testing_support::StoreSettings(editor, 5, 2, false, 50);
  Place(30, 100, 103);  // row 3: stays with 2 lines kept above, moves with 5
  editor.SendEvents(0x420);
  EXPECT_TRUE(ExpectSequence(
      editor.calls(),
      {Msg(HostGetVersion), Msg(HostProfileRead), Msg(HostProfileRead), Msg(HostProfileRead),
       Msg(HostProfileRead), Msg(HostGetInfo), Msg(HostGetPageSize), Msg(HostGetCaretPos),
       Msg(HostGetScrollPos), Msg(HostGetScrollPos), Msg(HostSetScrollPos, 0, 98),
       Msg(HostGetScrollPos, 0, 98)}));
  const wchar_t* names[] = {L"brinkwatcherUp", L"brinkwatcherDown", L"mouseCancel", L"redrawDelay"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(editor.calls()[1 + i].toFrame);
    EXPECT_EQ(editor.calls()[1 + i].wParam, 0u);
    EXPECT_EQ(editor.calls()[1 + i].valueName, names[i]);
  }
}

// The version is read again on every reload, before the settings.
TEST_F(EventDispatch, VersionFlagFollowsEveryReload) {
  Load();
  Place(30, 100, 110);
  const struct {
    uint32_t version;
    bool info;
  } steps[] = {{14600, true}, {14599, false}, {0xFFFFFFFFu, true}, {0, false}};
  for (const auto& step : steps) {
    editor.doc().version = step.version;
    editor.SendEvents(EventReloadSettings);
    editor.ClearCalls();
    CaretMoved();
    ASSERT_FALSE(editor.calls().empty());
    EXPECT_EQ(editor.calls().front().code == HostGetInfo, step.info) << step.version;
  }
}

#if defined(_WIN64)
// The 64-bit editor answers the version at pointer width: only the low 32 bits are the version.
TEST_F(EventDispatch, VersionIsTheResultsLow32Bits) {
  Load();
  Place(30, 100, 110);
  const struct {
    uint64_t answer;
    bool info;
  } steps[] = {{0x100003908u, true},
               {0xFFFFFFFF00003907u, false},
               {0x100000000u, false},
               {0x80000000FFFFFFFFu, true}};
  for (const auto& step : steps) {
    editor.SetOverride([&](UINT message, WPARAM, LPARAM, LRESULT& result) {
      if (message != HostGetVersion) return false;
      result = static_cast<LRESULT>(step.answer);
      return true;
    });
    editor.SendEvents(EventReloadSettings);
    editor.ClearCalls();
    CaretMoved();
    ASSERT_FALSE(editor.calls().empty());
    EXPECT_EQ(editor.calls().front().code == HostGetInfo, step.info) << std::hex << step.answer;
  }
}
#endif

#if defined(__i386__)  // only 32-bit x86 has __stdcall
// The editor calls with __stdcall: the plug-in must remove its own three arguments.
TEST_F(EventDispatch, OnEventsKeepsTheCallersStack) {
  Load();
  Place(30, 100, 129);
  const auto view = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(editor.view()));
  for (UINT events : {0u, 0x20u, 0x400u, 0x200000u, 0x800u}) {
    EXPECT_EQ(testing_support::StackDrift(reinterpret_cast<const void*>(editor.plugin().OnEvents),
                                          {view, events, 0}),
              0)
        << std::hex << events;
  }
}
#endif

// Before any reload: built-in settings (2 lines each side), version flag off, delay 0.
TEST_F(EventDispatch, CaretMoveBeforeAnythingElse) {
  ASSERT_TRUE(editor.LoadPlugin(testing_support::FreshPluginCopy(), false));
  editor.Settle();
  testing_support::IgnoreFocusLoss(editor);  // a focus loss would cancel the repaint
  Place(30, 100, 129);
  editor.ClearCalls();
  CaretMoved();
  EXPECT_TRUE(ExpectSequence(
      editor.calls(),
      {Msg(HostGetPageSize), Msg(HostGetCaretPos), Msg(HostGetScrollPos), Msg(HostGetScrollPos),
       Msg(HostSetScrollPos, 0, 102), Msg(HostGetScrollPos, 0, 102)}));
  editor.SendEvents(EventArmRedraw);
  EXPECT_TRUE(editor.PumpUntil([&] { return editor.fullRepaints() == 1; }, 2000));
}

struct BadViewCase {
  const char* name;
  uintptr_t handle;
};

class BadView : public PluginFixture, public ::testing::WithParamInterface<BadViewCase> {};

// No window answers: every query comes back as zeros, and nothing may crash.
TEST_P(BadView, EveryEventSurvives) {
  Load();
  const HWND bogus = reinterpret_cast<HWND>(GetParam().handle);
  editor.plugin().OnEvents(bogus, 0x400 | 0x20 | 0x200000, 0);
  editor.plugin().OnEvents(bogus, 0x20, 0);
  editor.plugin().OnEvents(bogus, 0x200000, 0);
  editor.Pump(100);
  editor.plugin().OnEvents(bogus, 0x800 | 0x20000, 0);
  EXPECT_TRUE(ExpectSequence(editor.calls(), {}));
  EXPECT_EQ(editor.fullRepaints(), 0);
}

INSTANTIATE_TEST_SUITE_P(Handles, BadView,
                         ::testing::Values(BadViewCase{"Null", 0}, BadViewCase{"Garbage", 0x1234},
                                           BadViewCase{"AllOnes", ~uintptr_t{0}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EventDispatch, DestroyedViewSurvives) {
  Load();
  const HWND view = editor.view();
  DestroyWindow(view);
  editor.plugin().OnEvents(view, 0x400 | 0x20 | 0x200000, 0);
  editor.Pump(100);
  editor.plugin().OnEvents(view, 0x800, 0);
  EXPECT_TRUE(ExpectSequence(editor.calls(), {}));
}

}  // namespace

namespace {

struct ThreadRun {
  HANDLE started;
  HANDLE loaded;
  std::wstring path;
  bool ran = false;
  int repaints = -1;
  int32_t first = -1;
};

// Waits until the DLL is mapped, then jumps and arms on its own editor and message loop.
DWORD WINAPI JumpOnOwnThread(void* parameter) {
  auto* run = static_cast<ThreadRun*>(parameter);
  SetEvent(run->started);
  WaitForSingleObject(run->loaded, 10000);
  sim::Editor editor;
  testing_support::IgnoreFocusLoss(editor);  // a focus loss would cancel the repaint
  testing_support::StoreSettings(editor, 2, 2, false, 50);
  if (!editor.LoadPlugin(run->path)) return 1;
  editor.Settle();
  editor.doc().page = 30;
  editor.doc().scroll = {0, 100};
  editor.doc().caret = {0, 129};
  editor.SendEvents(EventCaretMoved | EventArmRedraw);
  run->ran = true;
  editor.PumpUntil([&] { return editor.fullRepaints() > 0; }, 2000);
  editor.Pump(200);
  run->repaints = editor.fullRepaints();
  run->first = editor.doc().scroll.y;
  return 0;
}

// A thread that already ran when the editor loaded the DLL gets its own redraw state too.
TEST(EventDispatchThreads, ThreadStartedBeforeLoadHasItsOwnState) {
  ThreadRun run{CreateEventW(nullptr, TRUE, FALSE, nullptr),
                CreateEventW(nullptr, TRUE, FALSE, nullptr), testing_support::FreshPluginCopy()};
  HANDLE thread = CreateThread(nullptr, 0, JumpOnOwnThread, &run, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  // The thread runs before the DLL is mapped.
  ASSERT_EQ(WaitForSingleObject(run.started, 10000), WAIT_OBJECT_0);
  HMODULE module = LoadLibraryW(run.path.c_str());
  ASSERT_NE(module, nullptr);
  SetEvent(run.loaded);
  ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
  EXPECT_TRUE(run.ran);
  EXPECT_EQ(run.first, 102);
  EXPECT_EQ(run.repaints, 1);
  CloseHandle(thread);
  CloseHandle(run.started);
  CloseHandle(run.loaded);
  FreeLibrary(module);
}

}  // namespace
