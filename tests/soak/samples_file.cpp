#include "tests/soak/samples_file.h"

#include <cstdio>

namespace soak {

bool WriteSamples(const std::wstring& path, const std::vector<ResourceSample>& samples) {
  FILE* out = _wfopen(path.c_str(), L"w");
  if (out == nullptr) return false;
  std::fprintf(out, "step windows gdi handles private_bytes timers heap_blocks\n");
  for (const auto& s : samples) {
    std::fprintf(out, "%llu %lu %lu %lu %llu %llu %lld\n", static_cast<unsigned long long>(s.step),
                 static_cast<unsigned long>(s.userObjects),
                 static_cast<unsigned long>(s.gdiObjects), static_cast<unsigned long>(s.handles),
                 static_cast<unsigned long long>(s.privateBytes),
                 static_cast<unsigned long long>(s.timers), static_cast<long long>(s.liveBlocks));
  }
  return std::fclose(out) == 0;
}

}  // namespace soak
