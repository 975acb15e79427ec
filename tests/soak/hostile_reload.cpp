#include "tests/soak/hostile_reload.h"

namespace soak {

sim::HostOverride HostileProfileReads(uint32_t refused, uint32_t how, int& read) {
  return [refused, how, &read](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message != HostProfileRead) return false;
    const int index = read++;
    if ((refused & (1u << index)) == 0) return false;
    auto* record = reinterpret_cast<ProfileValueRecord*>(lParam);
    const uint32_t kind = (how >> (index * 2)) & 3;
    *static_cast<uint32_t*>(record->data) = how;  // garbage the plug-in must not take
    if (kind == 0) {
      result = 1;  // refused, size untouched
    } else {
      *record->readSize = kind == 1 ? 2 : kind == 2 ? 0 : 8;  // short, empty or too long
      result = kind == 3 ? 0 : static_cast<LRESULT>(how & 1);
    }
    return true;
  };
}

}  // namespace soak
