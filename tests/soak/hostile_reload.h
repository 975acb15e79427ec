#pragma once
// A settings reload whose profile answers may be refused, short, empty or too long, with garbage
// in the buffer the plug-in must not take.

#include <cstdint>

#include "sim/sim_editor.h"

namespace soak {

// The editor's answers to the reload's profile reads: bit i of `refused` spoils read i, in the
// way bits 2i and 2i+1 of `how` choose; `read` counts the reads. The rest the editor answers
// as its store holds them.
sim::HostOverride HostileProfileReads(uint32_t refused, uint32_t how, int& read);

}  // namespace soak
