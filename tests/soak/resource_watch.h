#pragma once
// What a long editor session keeps: the process's window-system objects, kernel handles and
// private bytes, the plug-in's live timers and live heap blocks, sampled as the soak goes. After
// a warm-up each may vary within a small margin, but must not grow with the number of steps.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace soak {

struct ResourceSample {
  uint64_t step = 0;
  DWORD userObjects = 0;
  DWORD gdiObjects = 0;
  DWORD handles = 0;
  uint64_t privateBytes = 0;
  uint64_t timers = 0;     // the plug-in's live thread timers
  int64_t liveBlocks = 0;  // the plug-in module's heap blocks not yet freed
};

// The process's counts now, with the plug-in's own two passed in.
ResourceSample SampleResources(uint64_t step, uint64_t timers, int64_t liveBlocks);

// One line per count: its first and last sample after the warm-up, its highest, and the growth
// allowed; "GREW" where the highest exceeds the first by more than that. Empty `grown` when
// nothing grew; otherwise the names with their first and last values. No lines at all when fewer
// than two samples follow the warm-up: too few to judge growth, or to chart.
std::vector<std::string> ResourceTable(const std::vector<ResourceSample>& samples, uint64_t warmUp,
                                       std::vector<std::string>& grown);

}  // namespace soak
