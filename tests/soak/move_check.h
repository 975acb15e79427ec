#pragma once
// What the messages of one caret move must look like, whatever the host answered.

#include <string>
#include <vector>

#include "sim/sim_editor.h"

namespace soak {

// Empty when the move sent at most nine messages and every scroll set had a position query
// before and after it; otherwise what was wrong. `jumped` tells whether a scroll moved the view
// by more than one line.
std::string CheckCaretMoveCalls(const std::vector<sim::HostCall>& calls, bool& jumped);

}  // namespace soak
