#pragma once
// The steps of the soak: caret moves under host answers of the sweep's three families, arm and
// cancel events, timer expiries, settings reloads with refused, short and out-of-range profile
// answers, views destroyed between arm and expiry, and the DLL unloaded and loaded again while
// its timer is armed. After every step it checks what must always hold, against a model of the
// redraw state, and every StepSampleEvery steps it samples what stays behind.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/soak/resource_watch.h"

namespace soak {

// Several samples after the warm-up even in the suite's slice, so that growth can be judged there.
constexpr uint64_t StepSampleEvery = 1000;
constexpr uint64_t StepWarmUp = 2000;
constexpr uint64_t StepRateStretch = 100000;

// How often each outcome came up, so that a run shows it tried them all.
struct StepTally {
  uint64_t moves = 0, jumps = 0, timersArmed = 0, repaints = 0, quietExpiries = 0, reloads = 0,
           newViews = 0, dllReloads = 0;
};

struct StepSoakReport {
  uint64_t failedStep = 0;  // the first failing step, or 0
  std::string failure;      // what failed, or empty
  std::vector<ResourceSample> samples;
  std::vector<ULONGLONG> stretchMs;  // milliseconds taken by each stretch of StepRateStretch steps
  StepTally tally;
};

// Plays `steps` seeded steps with the DLL, or with `control` the same steps with a stand-in DLL
// loaded and freed where the plug-in would be, each caret move making the host calls of a move
// itself: what grows then is the host's, Wine's or the emulator's.
StepSoakReport RunStepSoak(const std::wstring& dll, uint32_t seed, bool control, uint64_t steps);

}  // namespace soak
