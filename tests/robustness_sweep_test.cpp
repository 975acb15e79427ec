// A seeded random sweep over the host's answers and the settings. Whatever the editor answers, a
// caret move must return and cost at most nine messages, and a repaint must follow the next idle
// event exactly when the view was read back more than one line away from where it was. Inside a
// document large enough the view must move just far enough to leave the caret within the kept
// distances, unless the document's start or end stops it.

#include <algorithm>
#include <climits>
#include <ostream>
#include <random>

#include "tests/support/host_families.h"
#include "tests/support/plugin_test_support.h"

using testing_support::Describe;

namespace {

// A period of 1 ms is raised by the system to its shortest one. A timer of our own, due well
// after that, tells when the plug-in's timer has had its turn.
constexpr uint32_t Delay = 1;
constexpr UINT SentinelMs = 20;

using testing_support::ExtremeCase;
using testing_support::HostCase;
using testing_support::Random;

sim::EditorOptions BelowTheOtherTests() {
  sim::EditorOptions options;
  options.y = 600;
  options.height = 400;
  return options;
}

class Sweep : public ::testing::Test {
 protected:
  Sweep() : editor(BelowTheOtherTests()) {}

  void SetUp() override {
    testing_support::IgnoreFocusLoss(editor);
    testing_support::StoreSettings(editor, 2, 2, false, Delay);
    ASSERT_TRUE(editor.LoadPlugin(testing_support::PluginPath())) << "cannot load the DLL";
    editor.Settle();
  }

  // Sets the case up, reports one caret move and checks the message count. Returns whether the
  // view was read back more than one line away from the position answered before the set.
  bool Move(const HostCase& c) {
    editor.SendEvents(EventKillFocus);  // drops a jump left by the case before
    editor.SetOverride(nullptr);
    testing_support::StoreSettings(editor, c.up, c.down, false, Delay);
    testing_support::PlaceCase(editor, c);
    editor.SendEvents(EventReloadSettings);
    editor.SetOverride(testing_support::HostileAnswers(editor, c));
    editor.ClearCalls();
    editor.SendEvents(EventCaretMoved);

    const auto& calls = editor.calls();
    EXPECT_LE(calls.size(), 9u) << c << Describe(calls);
    bool jumped = false;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].code != HostSetScrollPos) continue;
      const bool readBack = i > 0 && i + 1 < calls.size() &&
                            calls[i - 1].code == HostGetScrollPos &&
                            calls[i + 1].code == HostGetScrollPos;
      EXPECT_TRUE(readBack) << "a set without a position before and after it\n"
                            << c << Describe(calls);
      if (readBack) {
        const int64_t moved = int64_t{calls[i + 1].out.y} - calls[i - 1].out.y;
        jumped = moved > 1 || moved < -1;
      }
    }
    return jumped;
  }

  // Sends the idle event and pumps until our own later timer has fired: by then the plug-in's
  // timer has fired too, and the repaint it asked for is done, painting going before timers.
  int RepaintsAfterIdle() {
    const int before = editor.fullRepaints();
    editor.SendEvents(EventArmRedraw);
    const UINT_PTR sentinel = SetTimer(nullptr, 0, SentinelMs, nullptr);
    if (sentinel == 0) return -1;
    for (MSG msg; GetMessageW(&msg, nullptr, 0, 0) > 0;) {
      if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == sentinel) break;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    KillTimer(nullptr, sentinel);
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
    return editor.fullRepaints() - before;
  }

  // Runs `count` cases; every `checkEvery`-th also waits for the deferred repaint.
  template <typename Make, typename Check>
  void RunCases(uint32_t seed, int count, int checkEvery, Make make, Check check) {
    Random random(seed);
    int jumps = 0, still = 0;
    for (int i = 0; i < count && !HasFailure(); ++i) {
      const HostCase c = make(random);
      const bool jumped = Move(c);
      check(c);
      if (i % checkEvery != 0) continue;
      EXPECT_EQ(RepaintsAfterIdle(), jumped ? 1 : 0)
          << "case " << i << (jumped ? ": a jump" : ": no jump") << ", full repaints after idle\n"
          << c << Describe(editor.calls());
      ++(jumped ? jumps : still);
    }
    // The checked subset must hold both outcomes, or the repaint property was not tried.
    if (HasFailure()) return;
    EXPECT_GE(jumps, 10);
    EXPECT_GE(still, 10);
  }

  sim::Editor editor;
};

TEST_F(Sweep, SaneDocumentsKeepTheCaretWithinTheDistances) {
  int bounded = 0;
  RunCases(20240611, 3000, 30, testing_support::SaneCase, [&](const HostCase& c) {
    // Each distance is the setting, but at most a third of the page. The view must move
    // no further than it takes to bring the caret row within them, and only the
    // document's ends may stop it short.
    const int64_t third = c.page / 3;
    const int64_t above = std::min<int64_t>(c.up, third);
    const int64_t below = std::min<int64_t>(c.down, third);
    const int64_t extra = c.version >= 14600 ? c.hidden : 0;
    const int64_t before = int64_t{c.caret} - c.first - extra;
    const int64_t wanted = c.first + before - std::clamp(before, above, c.page - 1 - below);
    const sim::Document& d = editor.doc();
    EXPECT_EQ(d.scroll.y, std::clamp<int64_t>(wanted, 0, c.lines - c.page))
        << "first line after the move\n"
        << c << Describe(editor.calls());
    if (d.scroll.y == 0 || d.scroll.y == c.lines - c.page) return;  // at the document's end
    ++bounded;
    const int64_t row = int64_t{d.caret.y} - d.scroll.y - extra;
    EXPECT_GE(row, above) << "caret row after the move\n" << c << Describe(editor.calls());
    EXPECT_LE(row, c.page - 1 - below) << "caret row after the move\n"
                                       << c << Describe(editor.calls());
  });
  if (HasFailure()) return;
  EXPECT_GE(bounded, 1000) << "too few cases away from the document's ends";
}

TEST_F(Sweep, ExtremeAnswersAndSettings) {
  RunCases(7, 3000, 40, ExtremeCase, [](const HostCase&) {});
}

TEST_F(Sweep, HostileScrollAnswers) {
  RunCases(99, 3000, 40, testing_support::HostileCase, [](const HostCase&) {});
}

}  // namespace
