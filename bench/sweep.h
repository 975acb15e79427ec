#pragma once
// The sweep: caret moves of every kind, as the editor leaves the view before telling the plug-in,
// with the host messages of each move counted.

#include <cstddef>

#include "sim/sim_editor.h"

namespace bench {

enum MoveKind { InsidePage, TopEdge, BottomEdge, Jump, AtLineZero, AtDocumentEnd, KindCount };

extern const char* const KindNames[KindCount];

constexpr int32_t SweepPage = 30;
constexpr int32_t SweepLines = 1000;

struct SweepResult {
  int moves[KindCount] = {};
  size_t fewest[KindCount] = {};
  size_t most[KindCount] = {};
  long long messages[KindCount] = {};
  long long histogram[16] = {};  // moves by message count
  long long allocations = 0;
  int total = 0;
};

// `movesPerKind` moves of every kind, the same seeded moves on every run; the allocations are
// those the counter saw meanwhile.
SweepResult Sweep(sim::Editor& editor, int movesPerKind);

}  // namespace bench
