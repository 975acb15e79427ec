// A seeded random sweep over the host's answers and the settings. Whatever the editor answers, a
// caret move must return and cost at most nine messages, and a repaint must follow the next idle
// event exactly when the view was read back more than one line away from where it was. Inside a
// document large enough the view must move just far enough to leave the caret within the kept
// distances, unless the document's start or end stops it.

#include <algorithm>
#include <climits>
#include <ostream>
#include <random>

#include "tests/support/plugin_test_support.h"

using testing_support::Describe;

namespace {

// A period of 1 ms is raised by the system to its shortest one. A timer of our own, due well
// after that, tells when the plug-in's timer has had its turn.
constexpr uint32_t Delay = 1;
constexpr UINT SentinelMs = 20;

enum class SetAnswer { Obey, Ignore, ClampToRange, Anywhere, NearRequest, DropColumn, Unfilled };

struct Case {
  int32_t up = 2, down = 2;
  uint32_t version = 14600;
  int32_t hidden = 0;
  int32_t lines = 1000, page = 30, first = 0, caret = 0;
  int32_t scrollX = 0, maxScrollX = 0, caretX = 0;
  SetAnswer answer = SetAnswer::Obey;
  int32_t low = 0, high = 0;  // what the hostile host does with a request
};

std::ostream& operator<<(std::ostream& out, const Case& c) {
  return out << "case: up " << c.up << ", down " << c.down << ", version " << c.version
             << ", hidden " << c.hidden << ", lines " << c.lines << ", page " << c.page
             << ", first " << c.first << ", caret " << c.caret << ", scroll.x " << c.scrollX
             << ", maxScrollX " << c.maxScrollX << ", caret.x " << c.caretX << ", answer "
             << static_cast<int>(c.answer) << " (" << c.low << ", " << c.high << ")\n";
}

class Random {
 public:
  explicit Random(uint32_t seed) : rng_(seed) {}
  bool OneIn(uint32_t n) { return rng_() % n == 0; }
  int32_t In(int32_t low, int32_t high) {
    const uint64_t span = static_cast<uint64_t>(int64_t{high} - low) + 1;
    return static_cast<int32_t>(low + static_cast<int64_t>(rng_() % span));
  }
  // Anywhere in the 32-bit range, its edges and the values near zero often.
  int32_t Any() {
    static const int32_t edges[] = {INT_MIN, INT_MIN + 1, INT_MIN + 2, -2,          -1,     0,
                                    1,       2,           INT_MAX - 2, INT_MAX - 1, INT_MAX};
    switch (rng_() % 3) {
      case 0:
        return edges[rng_() % std::size(edges)];
      case 1:
        return static_cast<int32_t>(rng_());
      default:
        return In(-300, 300);
    }
  }
  uint32_t Version() {
    const uint32_t versions[] = {0, 14599, 14600, 0xFFFFFFFFu, static_cast<uint32_t>(rng_())};
    return versions[rng_() % 5];
  }

 private:
  std::mt19937 rng_;
};

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
  bool Move(const Case& c) {
    editor.SendEvents(EventKillFocus);  // drops a jump left by the case before
    editor.SetOverride(nullptr);
    testing_support::StoreSettings(editor, c.up, c.down, false, Delay);
    auto& d = editor.doc();
    d = {c.lines,   c.page,  {c.caretX, c.caret}, {c.scrollX, c.first}, c.maxScrollX,
         c.version, c.hidden};
    editor.SendEvents(EventReloadSettings);
    if (c.answer != SetAnswer::Obey) editor.SetOverride(Hostile(c));
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
      const Case c = make(random);
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

  // A host that answers the set, or leaves one query's point unfilled, as it pleases.
  sim::HostOverride Hostile(const Case& c) {
    sim::Document& d = editor.doc();
    return [c, &d](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
      auto* point = reinterpret_cast<ViewPoint*>(lParam);
      result = 0;
      if (c.answer == SetAnswer::Unfilled) {
        const UINT queries[] = {HostGetPageSize, HostGetCaretPos, HostGetScrollPos};
        return message == queries[static_cast<uint32_t>(c.low) % 3];
      }
      if (message != HostSetScrollPos) return false;
      ViewPoint to = *point;
      if (c.answer == SetAnswer::Ignore) to = d.scroll;
      if (c.answer == SetAnswer::ClampToRange) to.y = std::clamp(to.y, c.low, c.high);
      if (c.answer == SetAnswer::Anywhere) to.y = c.low;
      if (c.answer == SetAnswer::NearRequest) {
        to.y = static_cast<int32_t>(std::clamp<int64_t>(int64_t{to.y} + c.low, INT_MIN, INT_MAX));
      }
      if (c.answer == SetAnswer::DropColumn) to.x = c.low;
      d.scroll = to;
      return true;
    };
  }

  sim::Editor editor;
};

// Any value for every answer and setting; the simulated editor clamps as it does.
Case Extreme(Random& r) {
  Case c{r.Any(), r.Any(), r.Version(), r.Any(), r.Any(), r.Any(),
         r.Any(), r.Any(), r.Any(),     r.Any(), r.Any()};
  return c;
}

TEST_F(Sweep, SaneDocumentsKeepTheCaretWithinTheDistances) {
  int bounded = 0;
  RunCases(
      20240611, 3000, 30,
      [](Random& r) {
        Case c;
        c.page = r.OneIn(8) ? r.In(1, 3) : r.In(1, 200);
        c.lines = c.page + (r.OneIn(10) ? r.In(0, 3) : r.In(0, 5000));
        const int32_t last = c.lines - c.page;
        c.first = r.OneIn(8) ? 0 : r.OneIn(7) ? last : r.In(0, last);
        // Mostly near the page, where the distances decide; sometimes anywhere.
        c.caret = r.OneIn(4) ? r.In(0, c.lines - 1)
                             : std::clamp(c.first + r.In(-12, c.page + 12), 0, c.lines - 1);
        c.up = r.OneIn(6) ? r.In(-5, 80) : r.In(0, 20);
        c.down = r.OneIn(6) ? r.In(-5, 80) : r.In(0, 20);
        c.version = r.Version();
        c.hidden = r.OneIn(3) ? r.In(-3, 3) : 0;
        c.maxScrollX = r.In(0, 100);
        c.scrollX = r.In(0, c.maxScrollX);
        c.caretX = r.In(0, 300);
        return c;
      },
      [&](const Case& c) {
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
  RunCases(7, 3000, 40, Extreme, [](const Case&) {});
}

TEST_F(Sweep, HostileScrollAnswers) {
  RunCases(
      99, 3000, 40,
      [](Random& r) {
        Case c = Extreme(r);
        c.answer = static_cast<SetAnswer>(r.In(1, 6));
        c.low = c.answer == SetAnswer::NearRequest ? r.In(-3, 3) : r.Any();
        c.high = r.Any();
        if (c.answer == SetAnswer::ClampToRange && c.low > c.high) std::swap(c.low, c.high);
        return c;
      },
      [](const Case&) {});
}

}  // namespace
