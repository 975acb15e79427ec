#pragma once
// The three families of host answers that the robustness sweep and the soak draw from: sane
// documents, answers and settings anywhere in the 32-bit range, and hostile hosts that answer a
// scroll request as they please. Seeded, so that a case is reproduced from its seed.

#include <cstdint>
#include <ostream>
#include <random>

#include "sim/sim_editor.h"

namespace testing_support {

enum class SetAnswer { Obey, Ignore, ClampToRange, Anywhere, NearRequest, DropColumn, Unfilled };

struct HostCase {
  int32_t up = 2, down = 2;
  uint32_t version = 14600;
  int32_t hidden = 0;
  int32_t lines = 1000, page = 30, first = 0, caret = 0;
  int32_t scrollX = 0, maxScrollX = 0, caretX = 0;
  SetAnswer answer = SetAnswer::Obey;
  int32_t low = 0, high = 0;  // what the hostile host does with a request
};

std::ostream& operator<<(std::ostream& out, const HostCase& c);

class Random {
 public:
  explicit Random(uint32_t seed) : rng_(seed) {}
  uint32_t Next() { return rng_(); }
  bool OneIn(uint32_t n) { return rng_() % n == 0; }
  int32_t In(int32_t low, int32_t high);
  // Anywhere in the 32-bit range, its edges and the values near zero often.
  int32_t Any();
  uint32_t Version();

 private:
  std::mt19937 rng_;
};

// A document of sane size with the caret mostly near the page, settings mostly 0 to 20.
HostCase SaneCase(Random& r);
// Any value for every answer and setting; the simulated editor clamps as it does.
HostCase ExtremeCase(Random& r);
// An extreme case whose host does not simply obey a scroll request.
HostCase HostileCase(Random& r);

// Lays the case's document into the editor (settings are the caller's).
void PlaceCase(sim::Editor& editor, const HostCase& c);

// A host that answers the set, or leaves one query's point unfilled, as the case says; null for
// a host that obeys.
sim::HostOverride HostileAnswers(sim::Editor& editor, const HostCase& c);

}  // namespace testing_support
