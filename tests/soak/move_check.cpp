#include "tests/soak/move_check.h"

#include <cstdint>

namespace soak {

std::string CheckCaretMoveCalls(const std::vector<sim::HostCall>& calls, bool& jumped) {
  jumped = false;
  if (calls.size() > 9) return std::to_string(calls.size()) + " messages for one caret move";
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].code != HostSetScrollPos) continue;
    if (i == 0 || i + 1 >= calls.size() || calls[i - 1].code != HostGetScrollPos ||
        calls[i + 1].code != HostGetScrollPos) {
      return "a scroll set without a position query before and after it";
    }
    // Positions wrap at 32 bits, as the editor's signed 32-bit lines do.
    const auto moved = static_cast<int32_t>(static_cast<uint32_t>(calls[i + 1].out.y) -
                                            static_cast<uint32_t>(calls[i - 1].out.y));
    jumped = moved > 1 || moved < -1;
  }
  return {};
}

}  // namespace soak
