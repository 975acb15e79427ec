#pragma once
// The timed scenes: where the caret lands and what the plug-in must do about it, and the time of
// its event call next to the same host calls made directly, without the plug-in.

#include <iterator>
#include <vector>

#include "sim/sim_editor.h"

namespace bench {

constexpr int32_t ScenePage = 30;
constexpr int32_t FirstLine = 100;

struct Scene {
  const char* name;
  int32_t rows[2];  // caret rows within the page, alternated move by move
  int32_t scrollX;
  int32_t maxScrollX;
  int32_t caretX;
  bool scrolls;      // the plug-in must move the view
  bool resetsCaret;  // ... and set the caret again because the column was dropped
};

extern const Scene Scenes[3];
constexpr size_t SceneCount = std::size(Scenes);

// One recorded host message, ready to be sent again without the plug-in.
struct Replay {
  UINT code;
  WPARAM wParam;
  bool pointIn;   // a set: the recorded point is sent
  bool hasPoint;  // a query: a zeroed point is filled
  ViewPoint in;
};

struct FirstMoves {
  std::vector<Replay> sequences[SceneCount][2];  // the messages of each scene's two moves
  long long allocations = 0;                     // counted over all of them
  bool pathsTaken = true;                        // every scene took the path it is named after
};

// The first moves on this thread, cold: two per scene. They also keep the exact sequences that
// the bare arm of the timing sends again.
FirstMoves PlayFirstMoves(sim::Editor& editor);

// Prints the median time per event call of every scene beside the bare host calls, and their
// ratio, from `rounds` rounds of `perRound` calls per arm.
void TimeScenes(sim::Editor& editor, const FirstMoves& first, int perRound, int rounds);

}  // namespace bench
