#include "bench/sweep.h"

#include <algorithm>
#include <iterator>
#include <random>

#include "tests/support/allocation_watch.h"
#include "host/plugin_interface.h"

namespace bench {

const char* const KindNames[KindCount] = {
    "inside the page",        "at the top edge", "at the bottom edge",
    "jump (editor scrolled)", "at line 0",       "at the document's end",
};

namespace {

// Places one move of `kind` (page 30, two lines kept each way); a quarter of the moves also leave
// the column beyond a shrunk horizontal range, which costs the caret messages as well.
void PlaceSweepMove(sim::Editor& editor, MoveKind kind, std::mt19937& random) {
  const auto pick = [&random](int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
  };
  sim::Document& d = editor.doc();
  d.lines = SweepLines;
  d.page = SweepPage;
  const int32_t lastFirst = SweepLines - SweepPage;
  int32_t first = 0;
  int32_t caret = 0;
  switch (kind) {
    case InsidePage:
      first = pick(0, lastFirst);
      caret = first + pick(2, SweepPage - 3);
      break;
    case TopEdge:
      first = pick(2, lastFirst);
      caret = first + pick(0, 1);
      break;
    case BottomEdge:
      first = pick(0, lastFirst - 2);
      caret = first + pick(SweepPage - 2, SweepPage - 1);
      break;
    case Jump:
      // Page keys, Ctrl+Home/End, a search: the editor has already scrolled the caret into view.
      caret = pick(0, SweepLines - 1);
      first = std::min(sim::Editor::ScrollToShow(caret, pick(0, lastFirst), SweepPage), lastFirst);
      break;
    case AtLineZero:
      first = 0;
      caret = pick(0, 2);
      break;
    case AtDocumentEnd:
      first = lastFirst;
      caret = SweepLines - 1 - pick(0, 2);
      break;
    case KindCount:
      break;
  }
  const bool columnDropped = pick(0, 3) == 0;
  d.maxScrollX = columnDropped ? 10 : 0;
  d.scroll = {columnDropped ? 25 : 0, first};
  d.caret = {columnDropped ? 31 : 0, caret};
}

}  // namespace

SweepResult Sweep(sim::Editor& editor, int movesPerKind) {
  SweepResult result;
  std::mt19937 random(20261208);
  const auto onEvents = editor.plugin().OnEvents;
  const long long allocationsBefore = testing_support::AllocationCalls();
  for (int move = 0; move < movesPerKind; ++move) {
    for (int k = 0; k < KindCount; ++k) {
      PlaceSweepMove(editor, static_cast<MoveKind>(k), random);
      editor.ClearCalls();
      onEvents(editor.view(), EventCaretMoved, 0);
      const size_t count = editor.calls().size();
      result.fewest[k] = result.moves[k] == 0 ? count : std::min(result.fewest[k], count);
      result.most[k] = std::max(result.most[k], count);
      result.messages[k] += static_cast<long long>(count);
      ++result.moves[k];
      ++result.histogram[std::min<size_t>(count, std::size(result.histogram) - 1)];
      ++result.total;
    }
    if (move % 256 == 255) editor.Pump(0);  // the deferred repaints come due between batches
  }
  result.allocations = testing_support::AllocationCalls() - allocationsBefore;
  return result;
}

}  // namespace bench
