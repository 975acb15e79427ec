// The deferred full repaint over the real DLL, with real timers in a real message loop: the four
// redraw states against every event, the timer period, which moves count as a jump, the
// per-thread state, and an unload while the timer is armed.

#include <atomic>
#include <functional>
#include <thread>

#include "tests/support/plugin_test_support.h"

namespace {

constexpr uint32_t Delay = 50;
// Longest wait for a timer or repaint that must come; it only ends early when it comes.
constexpr DWORD ExpectWithin = 1000;
// Quiet after the last expected message: several periods of a timer of `Delay` that was left
// running, or that should not exist, fit in it even on a busy machine.
constexpr DWORD Quiet = 200;

// The editors of these tests stand right of the place where other test programs put theirs, so
// that windows of tests running at the same time do not cover them.
sim::EditorOptions Placement(int y = 0) {
  sim::EditorOptions options;
  options.x = 640;
  options.y = y;
  options.width = 640;
  options.height = 460;
  return options;
}

using testing_support::IgnoreFocusLoss;

// The calling thread's message loop, as the editor runs it. It counts the timer messages that
// carry no window: the plug-in's redraw timer is the only window-less timer in these programs.
class Loop {
 public:
  // Pumps until `done` holds or `ms` have passed; an event in `wake` also ends a wait.
  bool PumpUntil(const std::function<bool()>& done, DWORD ms, HANDLE wake = nullptr) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
          ++timers_;
          // After an unload the callback would lie in unmapped memory: count, do not call.
          if (!deliverTimers_) continue;
          // Nor one that arrives once the watched module is gone: the plug-in's is the only
          // window-less timer here, and its callback would lie in unmapped memory.
          wchar_t name[MAX_PATH];
          if (module_ != nullptr && GetModuleFileNameW(module_, name, MAX_PATH) == 0) {
            ++strays_;
            continue;
          }
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        if (done()) return true;
      }
      if (done()) return true;
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return false;
      MsgWaitForMultipleObjectsEx(wake != nullptr ? 1 : 0, wake != nullptr ? &wake : nullptr,
                                  static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    }
  }
  void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
  }
  bool WaitFor(HANDLE event, DWORD ms) {
    return PumpUntil([event] { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }, ms, event);
  }
  int timers() const { return timers_; }
  // Watches `module`: a timer message that arrives once it is unloaded is a stray.
  void Watch(HMODULE module) { module_ = module; }
  // Timer messages that arrived after the watched module was unloaded.
  int strays() const { return strays_; }
  void StopDeliveringTimers() { deliverTimers_ = false; }

 private:
  int timers_ = 0;
  int strays_ = 0;
  HMODULE module_ = nullptr;
  bool deliverTimers_ = true;
};

// What arrived while observing: redraw timer messages and full repaints of the view.
struct Seen {
  int timers;
  int repaints;
};

// Pumps until the expected timers and repaints have come since `before` (or ExpectWithin has
// passed), then for Quiet more, so that anything beyond them is seen too.
Seen Watch(sim::Editor& editor, Loop& loop, Seen before, int timers, int repaints) {
  loop.PumpUntil(
      [&] {
        return loop.timers() - before.timers >= timers &&
               editor.fullRepaints() - before.repaints >= repaints;
      },
      ExpectWithin);
  loop.Pump(Quiet);
  return {loop.timers() - before.timers, editor.fullRepaints() - before.repaints};
}

Seen Watch(sim::Editor& editor, Loop& loop, int timers, int repaints) {
  return Watch(editor, loop, {loop.timers(), editor.fullRepaints()}, timers, repaints);
}

// A page of 30 lines from line 100, caret inside, nothing told to the plug-in.
void PlaceView(sim::Editor& editor) {
  auto& d = editor.doc();
  d.lines = 1000;
  d.page = 30;
  d.scroll = {0, 100};
  d.caret = {0, 110};
}

// Reports a caret move that the plug-in must answer by moving the view `lines` lines down (with
// 2 lines kept below the caret, the caret on row 27 + lines of the page).
::testing::AssertionResult MoveViewDown(sim::Editor& editor, int32_t lines) {
  const int32_t before = editor.doc().scroll.y;
  editor.doc().caret.y = before + 27 + lines;
  editor.SendEvents(EventCaretMoved);
  const int32_t moved = editor.doc().scroll.y - before;
  if (moved == lines) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the view moved " << moved << " lines, not " << lines;
}

class RedrawFixture : public ::testing::Test {
 protected:
  RedrawFixture() : editor(Placement()) {}

  void SetUp() override {
    testing_support::StoreSettings(editor, 2, 2, false, Delay);
    IgnoreFocusLoss(editor);
    PlaceView(editor);
  }

  void Load(const std::wstring& path = testing_support::PluginPath(), bool reload = true) {
    ASSERT_TRUE(editor.LoadPlugin(path, reload)) << "cannot load the DLL";
    ASSERT_NE(editor.plugin().OnEvents, nullptr);
    editor.Settle();
  }

  void Jump() { ASSERT_TRUE(MoveViewDown(editor, 2)); }
  void OneLineMove() { ASSERT_TRUE(MoveViewDown(editor, 1)); }
  void Arm() { editor.SendEvents(EventArmRedraw); }
  Seen Observe(int timers, int repaints) { return Watch(editor, loop, timers, repaints); }

  sim::Editor editor;
  Loop loop;
};

// ---- The state table ----

enum class State { Idle, Jumped, Armed, ArmedPending };
enum class Event { Jump, OneLineMove, Arm, CancelOnFocusLoss, CancelOther, ArmWithCancel, Expiry };

struct StateCase {
  const char* name;
  State start;
  Event event;
  int timers;             // redraw timers that fire after the event
  int repaints;           // full repaints after the event
  bool laterArmRepaints;  // whether an arm event after that quiet creates a timer and repaints
};

const StateCase stateCases[] = {
    {"IdleJumpBecomesJumped", State::Idle, Event::Jump, 0, 0, true},
    {"IdleOneLineMoveStaysIdle", State::Idle, Event::OneLineMove, 0, 0, false},
    {"IdleArmCreatesNoTimer", State::Idle, Event::Arm, 0, 0, false},
    {"IdleCancel800StaysIdle", State::Idle, Event::CancelOnFocusLoss, 0, 0, false},
    {"IdleCancel20000StaysIdle", State::Idle, Event::CancelOther, 0, 0, false},
    {"IdleArmWithCancelStaysIdle", State::Idle, Event::ArmWithCancel, 0, 0, false},
    {"JumpedNeverRepaintsWithoutArm", State::Jumped, Event::Expiry, 0, 0, true},
    {"JumpedJumpStaysJumped", State::Jumped, Event::Jump, 0, 0, true},
    {"JumpedOneLineMoveKeepsPending", State::Jumped, Event::OneLineMove, 0, 0, true},
    {"JumpedArmRepaintsOnce", State::Jumped, Event::Arm, 1, 1, false},
    {"JumpedCancel800ThenArmCreatesNoTimer", State::Jumped, Event::CancelOnFocusLoss, 0, 0, false},
    {"JumpedCancel20000ThenArmCreatesNoTimer", State::Jumped, Event::CancelOther, 0, 0, false},
    {"JumpedArmWithCancelInOneCallLeavesNoTimer", State::Jumped, Event::ArmWithCancel, 0, 0, false},
    {"ArmedExpiryRepaintsOnce", State::Armed, Event::Expiry, 1, 1, false},
    {"ArmedJumpSuppressesTheRepaint", State::Armed, Event::Jump, 1, 0, true},
    {"ArmedOneLineMoveStillRepaints", State::Armed, Event::OneLineMove, 1, 1, false},
    {"ArmedSecondArmChangesNothing", State::Armed, Event::Arm, 1, 1, false},
    {"ArmedCancel800KillsTheTimer", State::Armed, Event::CancelOnFocusLoss, 0, 0, false},
    {"ArmedCancel20000KillsTheTimer", State::Armed, Event::CancelOther, 0, 0, false},
    {"ArmedArmWithCancelKillsTheTimer", State::Armed, Event::ArmWithCancel, 0, 0, false},
    {"ArmedPendingExpiryRepaintsNothing", State::ArmedPending, Event::Expiry, 1, 0, true},
    {"ArmedPendingJumpStaysPending", State::ArmedPending, Event::Jump, 1, 0, true},
    {"ArmedPendingOneLineMoveStaysPending", State::ArmedPending, Event::OneLineMove, 1, 0, true},
    {"ArmedPendingArmReplacesTheTimer", State::ArmedPending, Event::Arm, 1, 1, false},
    {"ArmedPendingCancel800KillsTheTimer", State::ArmedPending, Event::CancelOnFocusLoss, 0, 0,
     false},
    {"ArmedPendingCancel20000KillsTheTimer", State::ArmedPending, Event::CancelOther, 0, 0, false},
    {"ArmedPendingArmWithCancelKillsTheTimer", State::ArmedPending, Event::ArmWithCancel, 0, 0,
     false},
};

class RedrawStates : public RedrawFixture, public ::testing::WithParamInterface<StateCase> {
 protected:
  // No message is pumped here, so no timer can fire while the state is being set up.
  void Enter(State state) {
    if (state == State::Idle) return;
    Jump();
    if (state == State::Jumped) return;
    Arm();
    if (state == State::ArmedPending) Jump();
  }

  void Apply(Event event) {
    switch (event) {
      case Event::Jump:
        Jump();
        break;
      case Event::OneLineMove:
        OneLineMove();
        break;
      case Event::Arm:
        Arm();
        break;
      case Event::CancelOnFocusLoss:
        editor.SendEvents(EventKillFocus);
        break;
      case Event::CancelOther:
        editor.SendEvents(EventCancelRedrawOther);
        break;
      case Event::ArmWithCancel:
        editor.SendEvents(EventArmRedraw | EventKillFocus);
        break;
      case Event::Expiry:
        break;  // the quiet below lets a running timer expire
    }
  }
};

TEST_P(RedrawStates, RepaintsAndLaterArm) {
  const StateCase& c = GetParam();
  Load();
  Enter(c.start);
  Apply(c.event);
  const Seen after = Observe(c.timers, c.repaints);
  EXPECT_EQ(after.timers, c.timers) << "redraw timers fired after the event";
  EXPECT_EQ(after.repaints, c.repaints) << "full repaints after the event";

  Arm();
  const int expected = c.laterArmRepaints ? 1 : 0;
  const Seen later = Observe(expected, expected);
  EXPECT_EQ(later.timers, expected) << "redraw timers fired after a later arm";
  EXPECT_EQ(later.repaints, expected) << "full repaints after a later arm";
}

INSTANTIATE_TEST_SUITE_P(Rows, RedrawStates, ::testing::ValuesIn(stateCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- The period ----

struct DelayCase {
  const char* name;
  uint32_t delay;
};

class RedrawDelay : public RedrawFixture, public ::testing::WithParamInterface<DelayCase> {};

// The repaint comes no earlier than the stored delay after the arm event, and only once.
TEST_P(RedrawDelay, RepaintsOnceAfterTheDelay) {
  const uint32_t delay = GetParam().delay;
  testing_support::StoreSettings(editor, 2, 2, false, delay);
  Load();
  Jump();
  LARGE_INTEGER frequency, armed, painted;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&armed);
  Arm();
  ASSERT_TRUE(loop.PumpUntil([&] { return editor.fullRepaints() >= 1; }, delay + ExpectWithin))
      << "no repaint within " << delay + ExpectWithin << " ms";
  QueryPerformanceCounter(&painted);
  const double elapsedMs =
      1000.0 * static_cast<double>(painted.QuadPart - armed.QuadPart) / frequency.QuadPart;
  // A few milliseconds of slack for the clocks of the timer and of the counter.
  EXPECT_GE(elapsedMs, delay - 5.0);
  loop.Pump(Quiet);
  EXPECT_EQ(loop.timers(), 1);
  EXPECT_EQ(editor.fullRepaints(), 1);
}

INSTANTIATE_TEST_SUITE_P(Delays, RedrawDelay,
                         ::testing::Values(DelayCase{"Delay50", 50}, DelayCase{"Delay400", 400}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Which moves leave a jump pending ----

struct MoveCase {
  const char* name;
  int32_t lines;  // of the document
  int32_t first;
  int32_t row;  // caret row within the page of 30
  int32_t expectedFirst;
  bool repaints;
};

const MoveCase moveCases[] = {
    {"DownOneLine", 1000, 100, 28, 101, false},
    {"DownTwoLines", 1000, 100, 29, 102, true},
    {"DownThreeLines", 1000, 100, 30, 103, true},
    {"UpOneLine", 1000, 100, 1, 99, false},
    {"UpTwoLines", 1000, 100, 0, 98, true},
    {"UpThreeLines", 1000, 100, -1, 97, true},
    // 171 requested, the last possible first line is 170.
    {"TwoLineRequestClampedToOneAtTheEnd", 200, 169, 29, 170, false},
    {"ThreeLineRequestClampedToTwoAtTheEnd", 200, 168, 30, 170, true},
    // -1 requested, raised to line 0.
    {"TwoLineRequestClampedToOneAtTheTop", 1000, 1, 0, 0, false},
};

class RedrawAfterMove : public RedrawFixture, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(RedrawAfterMove, ArmRepaintsOnlyAfterAJump) {
  const MoveCase& c = GetParam();
  Load();
  auto& d = editor.doc();
  d.lines = c.lines;
  d.scroll = {0, c.first};
  d.caret = {0, c.first + c.row};
  editor.SendEvents(EventCaretMoved);
  ASSERT_EQ(d.scroll.y, c.expectedFirst);
  Arm();
  const int expected = c.repaints ? 1 : 0;
  const Seen seen = Observe(expected, expected);
  EXPECT_EQ(seen.timers, expected);
  EXPECT_EQ(seen.repaints, expected);
}

INSTANTIATE_TEST_SUITE_P(Moves, RedrawAfterMove, ::testing::ValuesIn(moveCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Single cases ----

using Redraw = RedrawFixture;

// The timer still fires, and is killed, but there is nothing left to paint.
TEST_F(Redraw, ViewDestroyedBeforeExpiry) {
  Load();
  Jump();
  Arm();
  ASSERT_TRUE(DestroyWindow(editor.view()));
  ASSERT_TRUE(loop.PumpUntil([&] { return loop.timers() >= 1; }, ExpectWithin));
  // Checked right after the callback: it has invalidated nothing that is left.
  EXPECT_FALSE(GetUpdateRect(editor.frame(), nullptr, FALSE));
  loop.Pump(Quiet);
  EXPECT_EQ(loop.timers(), 1);
  EXPECT_TRUE(IsWindow(editor.frame()));
}

// Before the first reload the period is 0, which the system raises to its minimum: one repaint,
// long before the delay stored in the profile, which the plug-in has not read yet.
TEST_F(Redraw, ArmBeforeAnySettingsReload) {
  testing_support::StoreSettings(editor, 2, 2, false, 1000);
  Load(testing_support::FreshPluginCopy(), /*reload=*/false);
  // The built-in defaults skip caret moves while a mouse button is down, and a test running at
  // the same time may hold one: try again until the view moves.
  auto& d = editor.doc();
  for (int attempt = 0; attempt < 30 && d.scroll.y == 100; ++attempt) {
    d.caret.y = d.scroll.y + 29;
    editor.SendEvents(EventCaretMoved);
    if (d.scroll.y == 100) loop.Pump(100);
  }
  ASSERT_EQ(d.scroll.y, 102);
  Arm();
  EXPECT_TRUE(loop.PumpUntil([&] { return editor.fullRepaints() >= 1; }, 900))
      << "no repaint before the stored delay of 1000 ms";
  loop.Pump(Quiet);
  EXPECT_EQ(loop.timers(), 1);
  EXPECT_EQ(editor.fullRepaints(), 1);
}

// FreeLibrary with the timer armed: no timer message may arrive afterwards, since its callback
// would be gone with the module.
TEST_F(Redraw, UnloadWhileArmed) {
  Load();
  Jump();
  Arm();
  editor.UnloadPlugin();
  ASSERT_EQ(GetModuleHandleW(L"Brinkwatcher.dll"), nullptr) << "the module is still mapped";
  loop.StopDeliveringTimers();
  loop.Pump(Delay + Quiet);
  EXPECT_EQ(loop.timers(), 0) << "the redraw timer outlived the module";
  EXPECT_EQ(editor.fullRepaints(), 0);
}

// ---- Two editor threads ----

struct ThreadCase {
  const char* name;
  bool firstCancels;
  bool secondCancels;
};

class RedrawThreads : public ::testing::TestWithParam<ThreadCase> {};

// Long enough that the second thread has armed before the first thread's timer expires.
constexpr uint32_t ThreadDelay = 200;

// What one editor thread did and saw.
struct ThreadResult {
  bool loaded = false;
  bool jumped = false;
  Seen seen{-1, -1};
};

void PrepareEditor(sim::Editor& editor) {
  testing_support::StoreSettings(editor, 2, 2, false, ThreadDelay);
  IgnoreFocusLoss(editor);
  PlaceView(editor);
}

// One editor thread's part, on its own view: jump, arm and maybe cancel. Returns the counts
// from before the arm.
Seen JumpAndArm(sim::Editor& editor, Loop& loop, bool cancel, ThreadResult& result) {
  const Seen before{loop.timers(), editor.fullRepaints()};
  result.jumped = static_cast<bool>(MoveViewDown(editor, 2));
  editor.SendEvents(EventArmRedraw);
  if (cancel) editor.SendEvents(EventKillFocus);
  return before;
}

// The second editor thread: its own editor, created here, loads the DLL when told, then jumps,
// arms and maybe cancels once the first thread has armed, and watches its own loop.
void RunSecondEditor(const ThreadCase& c, ThreadResult& result, HANDLE ready, HANDLE load,
                     HANDLE loaded, HANDLE firstArmed, HANDLE armed) {
  sim::Editor own(Placement(470));
  PrepareEditor(own);
  Loop ownLoop;
  SetEvent(ready);
  if (!ownLoop.WaitFor(load, 10000)) return;
  result.loaded = own.LoadPlugin(testing_support::PluginPath());
  own.Settle();
  SetEvent(loaded);
  if (!result.loaded || !ownLoop.WaitFor(firstArmed, 10000)) return;
  const Seen before = JumpAndArm(own, ownLoop, c.secondCancels, result);
  SetEvent(armed);
  const int expected = c.secondCancels ? 0 : 1;
  result.seen = Watch(own, ownLoop, before, expected, expected);
}

// The second editor's thread exists before the DLL is first loaded; both threads have their
// timers armed at the same time before either pumps.
TEST_P(RedrawThreads, EachThreadRepaintsOnlyItsOwnView) {
  const ThreadCase& c = GetParam();
  enum { SecondReady, LoadSecond, SecondLoaded, FirstArmed, SecondArmed, SecondDone, Events };
  HANDLE events[Events];
  for (HANDLE& event : events) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ThreadResult first, second;

  sim::Editor editor(Placement());
  PrepareEditor(editor);
  Loop loop;

  // The thread's windows must be gone before it says it is done, and this thread pumps until
  // then: activation moves between the two threads' windows through sent messages.
  std::thread secondThread([&] {
    RunSecondEditor(c, second, events[SecondReady], events[LoadSecond], events[SecondLoaded],
                    events[FirstArmed], events[SecondArmed]);
    SetEvent(events[SecondDone]);
  });

  // No early return while the thread runs: its waits end by themselves.
  const bool secondStarted = loop.WaitFor(events[SecondReady], 10000);
  first.loaded = editor.LoadPlugin(testing_support::PluginPath());
  editor.Settle();
  SetEvent(events[LoadSecond]);
  const bool secondLoaded = loop.WaitFor(events[SecondLoaded], 10000);
  const Seen before = JumpAndArm(editor, loop, c.firstCancels, first);
  SetEvent(events[FirstArmed]);
  const bool bothArmed = loop.WaitFor(events[SecondArmed], 10000);
  const int expected = c.firstCancels ? 0 : 1;
  first.seen = Watch(editor, loop, before, expected, expected);
  const bool secondFinished = loop.WaitFor(events[SecondDone], 20000);
  secondThread.join();
  for (HANDLE event : events) CloseHandle(event);

  ASSERT_TRUE(secondStarted && secondLoaded && secondFinished);
  ASSERT_TRUE(first.loaded && second.loaded);
  ASSERT_TRUE(bothArmed);
  ASSERT_TRUE(first.jumped && second.jumped);
  EXPECT_EQ(first.seen.timers, expected) << "timers on the first thread";
  EXPECT_EQ(first.seen.repaints, expected) << "repaints of the first view";
  const int secondExpected = c.secondCancels ? 0 : 1;
  EXPECT_EQ(second.seen.timers, secondExpected) << "timers on the second thread";
  EXPECT_EQ(second.seen.repaints, secondExpected) << "repaints of the second view";
}

INSTANTIATE_TEST_SUITE_P(Threads, RedrawThreads,
                         ::testing::Values(ThreadCase{"NeitherCancels", false, false},
                                           ThreadCase{"SecondCancels", false, true},
                                           ThreadCase{"FirstCancels", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Waits for `event` handling only messages other threads send, so that no timer message of this
// thread is taken meanwhile.
bool WaitHandlingSentMessages(HANDLE event, DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    const DWORD woke = MsgWaitForMultipleObjects(
        1, &event, FALSE, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE);
    if (woke == WAIT_OBJECT_0) return true;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// The editor loads and unloads the plug-in on its main thread while a second editor thread, with
// its own view and loop, has its redraw armed: the second thread goes on dispatching its messages
// for several delays. The process must survive, no timer message may carry a callback outside the
// loaded modules, and the second view repaints at most once.
TEST(RedrawUnload, SecondThreadArmedWhenTheMainThreadUnloads) {
  enum { SecondArmed, Unloaded, Events };
  HANDLE events[Events];
  for (HANDLE& event : events) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  sim::Editor editor(Placement());
  PrepareEditor(editor);
  Loop loop;
  const bool loaded = editor.LoadPlugin(testing_support::PluginPath());
  editor.Settle();
  const HMODULE module = editor.module();

  ThreadResult second;
  int strays = -1;
  std::thread secondThread([&] {
    sim::Editor own(Placement(470));
    PrepareEditor(own);
    Loop ownLoop;
    ownLoop.Watch(module);
    second.loaded = own.AdoptPlugin(module);
    own.Settle();
    if (second.loaded) {
      const Seen before = JumpAndArm(own, ownLoop, false, second);
      SetEvent(events[SecondArmed]);
      // Nothing of this thread runs until the module is unloaded: the timer is still pending.
      if (WaitHandlingSentMessages(events[Unloaded], 10000)) {
        ownLoop.Pump(4 * ThreadDelay + Quiet);
        second.seen = {ownLoop.timers() - before.timers, own.fullRepaints() - before.repaints};
      }
    }
    strays = ownLoop.strays();
    SetEvent(events[SecondArmed]);
  });

  const bool armed = loop.WaitFor(events[SecondArmed], 10000);
  editor.UnloadPlugin();
  const bool unmapped = GetModuleHandleW(L"Brinkwatcher.dll") == nullptr;
  SetEvent(events[Unloaded]);
  secondThread.join();
  for (HANDLE event : events) CloseHandle(event);

  ASSERT_TRUE(loaded && second.loaded && armed);
  ASSERT_TRUE(second.jumped);
  EXPECT_EQ(strays, 0) << "timer messages after the module was gone";
  EXPECT_LE(second.seen.repaints, 1) << "repaints of the second view";
  EXPECT_GE(second.seen.repaints, 0) << "the second thread did not watch its loop";
  if (unmapped) EXPECT_EQ(second.seen.timers, 0) << "timers after the module was unmapped";
}

}  // namespace
