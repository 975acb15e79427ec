// Scroll-ahead over the real DLL: how far the view moves for each caret row, the exact messages
// of one caret move, and the host's answers at their extremes.

#include <climits>

#include "tests/support/plugin_fixture.h"

using testing_support::ExpectSequence;
using testing_support::Msg;

namespace {

struct ScrollCase {
  const char* name;
  int32_t page;
  int32_t first;
  int32_t row;  // caret row within the page
  int32_t up;
  int32_t down;
  int32_t expectedFirst;  // where the view ends up; equal to `first` when nothing is set
  bool expectSet;
};

const ScrollCase scrollCases[] = {
    {"Page30Row1MovesUpOne", 30, 100, 1, 2, 2, 99, true},
    {"Page30Row2Stays", 30, 100, 2, 2, 2, 100, false},
    {"Page30Row27Stays", 30, 100, 27, 2, 2, 100, false},
    {"Page30Row28MovesDownOne", 30, 100, 28, 2, 2, 101, true},
    {"Page30Row29MovesDownTwo", 30, 100, 29, 2, 2, 102, true},
    {"Page30AbovePageBringsToRow2", 30, 100, -5, 2, 2, 93, true},
    {"Page30BelowPageBringsToRow27", 30, 100, 35, 2, 2, 108, true},
    {"FirstLine0Row0CannotMoveUp", 30, 0, 0, 2, 2, 0, false},
    {"FirstLine1Row0ClampedToLine0", 30, 1, 0, 2, 2, 0, true},
    {"Page3Row0", 3, 50, 0, 2, 2, 49, true},
    {"Page3Row1", 3, 50, 1, 2, 2, 50, false},
    {"Page3Row2", 3, 50, 2, 2, 2, 51, true},
    {"Page1InsideNeverScrolls", 1, 50, 0, 2, 2, 50, false},
    {"Page1AboveComesBack", 1, 50, -3, 2, 2, 47, true},
    {"Page2Row0Stays", 2, 50, 0, 2, 2, 50, false},
    {"Page2Row1Stays", 2, 50, 1, 2, 2, 50, false},
    {"Page2BelowComesBack", 2, 50, 5, 2, 2, 54, true},
    {"Up20CappedAtThird", 30, 100, 5, 20, 2, 95, true},
    {"Down50CappedAtThird", 30, 100, 20, 2, 50, 101, true},
    {"NegativeUpLetsCaretReachEdge", 30, 100, 0, -3, 2, 100, false},
    {"NegativeUpAbovePage", 30, 100, -5, -3, 2, 98, true},
    {"NegativeDownAtLastRow", 30, 100, 29, 2, -1, 100, false},
    {"NegativeDownBelowPage", 30, 100, 32, 2, -1, 102, true},
};

class ScrollTable : public PluginFixture, public ::testing::WithParamInterface<ScrollCase> {};

TEST_P(ScrollTable, MovesTheViewByTheDelta) {
  const ScrollCase& c = GetParam();
  testing_support::StoreSettings(editor, c.up, c.down, false, 50);
  Load();
  Place(c.page, c.first, c.first + c.row);
  CaretMoved();

  std::vector<testing_support::Row> expected = {
      Msg(HostGetInfo),
      Msg(HostGetPageSize, 80, c.page),
      Msg(HostGetCaretPos, 0, c.first + c.row),
      Msg(HostGetScrollPos, 0, c.first),
  };
  const bool delta = c.expectSet || c.expectedFirst != c.first || (c.first == 0 && c.row == 0);
  if (delta) expected.push_back(Msg(HostGetScrollPos, 0, c.first));
  if (c.expectSet) {
    expected.push_back(Msg(HostSetScrollPos));
    expected.push_back(Msg(HostGetScrollPos, 0, c.expectedFirst));
  }
  EXPECT_TRUE(ExpectSequence(editor.calls(), expected));
  EXPECT_EQ(editor.doc().scroll.y, c.expectedFirst);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScrollTable, ::testing::ValuesIn(scrollCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A host that leaves a queried point unfilled: the plug-in computes with zeros, never with
// what its stack held, from a view at the top with the caret on its first line.

struct UnfilledCase {
  const char* name;
  UINT query;             // left unfilled
  int32_t expectedFirst;  // the first line shown after the move
};

const UnfilledCase unfilledCases[] = {
    {"PageSize", 0x808, 1},  // a page of no lines: the caret's own line lies below it
    {"CaretPos", 0x806, 0},
    {"ScrollPos", 0x809, 0},
};

class UnfilledTable : public PluginFixture, public ::testing::WithParamInterface<UnfilledCase> {};

// Leaves a pattern where the plug-in's frames will lie, so that a point it did not zero arrives
// holding it.
__attribute__((noinline)) void FillStackBelow() {
  volatile unsigned char junk[16384];
  for (auto& b : junk) b = 0xA5;
}

TEST_P(UnfilledTable, ComputesWithZerosAndArmsNoRepaint) {
  Load();
  Place(30, 0, 0);
  std::vector<ViewPoint> arrived;
  editor.SetOverride([&](UINT message, WPARAM, LPARAM lParam, LRESULT&) {
    if (message != GetParam().query) return false;
    arrived.push_back(*reinterpret_cast<ViewPoint*>(lParam));
    return true;  // answered, the point left as it came
  });
  FillStackBelow();
  editor.SendEvents(EventCaretMoved | EventArmRedraw);
  ASSERT_FALSE(arrived.empty());
  for (const ViewPoint& p : arrived) {
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
  }
  EXPECT_EQ(editor.doc().scroll.y, GetParam().expectedFirst);
  EXPECT_FALSE(editor.PumpUntil([&] { return editor.fullRepaints() > 0; }, 300));
}

INSTANTIATE_TEST_SUITE_P(Rows, UnfilledTable, ::testing::ValuesIn(unfilledCases),
                         [](const auto& info) { return std::string(info.param.name); });
using ScrollAhead = PluginFixture;

TEST_F(ScrollAhead, RequestsTheTargetLineKeepingTheColumn) {
  Load();
  Place(30, 100, 129);
  editor.doc().maxScrollX = 40;
  editor.doc().scroll.x = 7;
  CaretMoved();
  EXPECT_TRUE(ExpectSequence(editor.calls(),
                             {Msg(HostGetInfo), Msg(HostGetPageSize), Msg(HostGetCaretPos),
                              Msg(HostGetScrollPos), Msg(HostGetScrollPos, 7, 100),
                              Msg(HostSetScrollPos, 7, 102), Msg(HostGetScrollPos, 7, 102)}));
}

// The host scrolls as far as it allows; the plug-in reads back where it really went.
TEST_F(ScrollAhead, ReadsBackTheClampedPosition) {
  Load();
  Place(30, 169, 169 + 29, 200);  // the last possible first line is 170
  CaretMoved();
  EXPECT_TRUE(ExpectSequence(
      editor.calls(),
      {Msg(HostGetInfo), Msg(HostGetPageSize), Msg(HostGetCaretPos), Msg(HostGetScrollPos),
       Msg(HostGetScrollPos), Msg(HostSetScrollPos, 0, 171), Msg(HostGetScrollPos, 0, 170)}));
}

// When scrolling drops the horizontal offset, the caret is set again where it is: nine messages,
// the most one caret move may cost.
TEST_F(ScrollAhead, HorizontalDropResetsTheCaret) {
  Load();
  Place(30, 100, 129);
  editor.doc().maxScrollX = 10;
  editor.doc().scroll.x = 25;  // beyond the range: the next scroll request clamps it to 10
  editor.doc().caret.x = 31;
  CaretMoved();
  EXPECT_TRUE(ExpectSequence(editor.calls(),
                             {Msg(HostGetInfo), Msg(HostGetPageSize), Msg(HostGetCaretPos),
                              Msg(HostGetScrollPos), Msg(HostGetScrollPos, 25, 100),
                              Msg(HostSetScrollPos, 25, 102), Msg(HostGetScrollPos, 10, 102),
                              Msg(HostGetCaretPos, 31, 129), Msg(HostSetCaretPos, 31, 129)}));
  ASSERT_EQ(editor.calls().size(), 9u);
  EXPECT_EQ(editor.calls()[8].wParam, 0x10000u);
}

TEST_F(ScrollAhead, HorizontalGainLeavesTheCaret) {
  Load();
  Place(30, 100, 129);
  editor.doc().maxScrollX = 40;
  editor.SetOverride([](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    static int scrollReads = 0;
    if (message != HostGetScrollPos) return false;
    *reinterpret_cast<ViewPoint*>(lParam) = {++scrollReads < 3 ? 5 : 9, 100};
    result = 0;
    return true;
  });
  CaretMoved();
  for (const auto& call : editor.calls()) EXPECT_NE(call.code, HostSetCaretPos);
}

struct VersionCase {
  const char* name;
  uint32_t version;
  bool sendsInfo;
};

class VersionTable : public PluginFixture, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTable, InfoQueryOnlyFromVersion14600) {
  editor.doc().version = GetParam().version;
  Load();
  Place(30, 100, 101);
  editor.doc().hiddenLines = -1;  // subtracted from the row: row 1 becomes row 2
  CaretMoved();
  ASSERT_FALSE(editor.calls().empty());
  EXPECT_EQ(editor.calls().front().code == HostGetInfo, GetParam().sendsInfo);
  if (GetParam().sendsInfo) {
    EXPECT_EQ(editor.calls().front().wParam, 333u);
  }
  EXPECT_EQ(editor.doc().scroll.y, GetParam().sendsInfo ? 100 : 99);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTable,
                         ::testing::Values(VersionCase{"V14599", 14599, false},
                                           VersionCase{"V14600", 14600, true},
                                           VersionCase{"TopBitSet", 0x80000000u, true},
                                           VersionCase{"Zero", 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The host's answers are untrusted: extreme values must not crash, and nothing may overflow.
// Each row protects a property; its expected move is kept for parity with the 32-bit arithmetic
// the plug-in has always done (every sum and difference wrapping at 32 bits), so that a change of
// that arithmetic shows as a change of behaviour, not only as a crash.
struct ExtremeCase {
  const char* name;
  int32_t page;
  int32_t caret;
  int32_t first;
  int32_t hidden;
  bool expectSet;
  int32_t setY;
};

const ExtremeCase extremeCases[] = {
    // The largest page and caret: the keep stays the setting, not a third of the page, and the
    // view moves a few lines, not by billions.
    {"MaxPageMaxCaret", INT_MAX, INT_MAX, 0, 0, true, 3},
    // The most negative page: half and third negative, so the caret counts as below the middle and
    // the move is the wrapped one, not a crash or a trap.
    {"MinPage", INT_MIN, 0, 0, 0, true, 1431655767},
    // A small negative page: the same rule, with a move of ordinary size.
    {"NegativePage", -30, 5, 0, 0, true, 26},
    // A caret at the most negative line: a wrapped move that comes out negative means no move.
    {"CaretAtMin", 30, INT_MIN, 0, 0, false, 0},
    // A first line at the largest value: the same.
    {"FirstLineAtMax", 30, 0, INT_MAX, 0, false, 0},
    // The most negative hidden-line offset: the move wraps positive, the target goes below the
    // first line and is raised to it, and a view already there does not move.
    {"HiddenLinesAtMin", 30, 10, 0, INT_MIN, false, 0},
};

class ExtremeTable : public PluginFixture, public ::testing::WithParamInterface<ExtremeCase> {};

TEST_P(ExtremeTable, WrapsWithoutCrashing) {
  const ExtremeCase& c = GetParam();
  Load();
  editor.SetOverride([c](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    auto* point = reinterpret_cast<ViewPoint*>(lParam);
    result = 0;
    switch (message) {
      case HostGetInfo:
        result = c.hidden;
        return true;
      case HostGetPageSize:
        *point = {80, c.page};
        return true;
      case HostGetCaretPos:
        *point = {0, c.caret};
        return true;
      case HostGetScrollPos:
        *point = {0, c.first};
        return true;
      default:
        return false;
    }
  });
  CaretMoved();
  ASSERT_LE(editor.calls().size(), 9u);
  bool set = false;
  for (const auto& call : editor.calls()) {
    if (call.code != HostSetScrollPos) continue;
    set = true;
    EXPECT_EQ(call.in.y, c.setY);
  }
  EXPECT_EQ(set, c.expectSet) << testing_support::Describe(editor.calls());
}

INSTANTIATE_TEST_SUITE_P(Answers, ExtremeTable, ::testing::ValuesIn(extremeCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
