#pragma once
// The samples of a run written out, one line per sample, for the picture of what stays behind.

#include <string>
#include <vector>

#include "tests/soak/resource_watch.h"

namespace soak {

// One line per sample: step, windows, GDI objects, handles, private bytes, timers, heap blocks.
// False when the file cannot be written.
bool WriteSamples(const std::wstring& path, const std::vector<ResourceSample>& samples);

}  // namespace soak
