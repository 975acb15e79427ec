#include "tests/support/host_families.h"

#include <algorithm>
#include <climits>
#include <iterator>

namespace testing_support {

std::ostream& operator<<(std::ostream& out, const HostCase& c) {
  return out << "case: up " << c.up << ", down " << c.down << ", version " << c.version
             << ", hidden " << c.hidden << ", lines " << c.lines << ", page " << c.page
             << ", first " << c.first << ", caret " << c.caret << ", scroll.x " << c.scrollX
             << ", maxScrollX " << c.maxScrollX << ", caret.x " << c.caretX << ", answer "
             << static_cast<int>(c.answer) << " (" << c.low << ", " << c.high << ")\n";
}

int32_t Random::In(int32_t low, int32_t high) {
  const uint64_t span = static_cast<uint64_t>(int64_t{high} - low) + 1;
  return static_cast<int32_t>(low + static_cast<int64_t>(rng_() % span));
}

int32_t Random::Any() {
  static const int32_t edges[] = {INT_MIN, INT_MIN + 1, INT_MIN + 2, -2,          -1,     0,
                                  1,       2,           INT_MAX - 2, INT_MAX - 1, INT_MAX};
  switch (rng_() % 3) {
    case 0:
      return edges[rng_() % std::size(edges)];
    case 1:
      return static_cast<int32_t>(rng_());
    default:
      return In(-300, 300);
  }
}

uint32_t Random::Version() {
  const uint32_t versions[] = {0, 14599, 14600, 0xFFFFFFFFu, static_cast<uint32_t>(rng_())};
  return versions[rng_() % 5];
}

HostCase SaneCase(Random& r) {
  HostCase c;
  c.page = r.OneIn(8) ? r.In(1, 3) : r.In(1, 200);
  c.lines = c.page + (r.OneIn(10) ? r.In(0, 3) : r.In(0, 5000));
  const int32_t last = c.lines - c.page;
  c.first = r.OneIn(8) ? 0 : r.OneIn(7) ? last : r.In(0, last);
  // Mostly near the page, where the distances decide; sometimes anywhere.
  c.caret = r.OneIn(4) ? r.In(0, c.lines - 1)
                       : std::clamp(c.first + r.In(-12, c.page + 12), 0, c.lines - 1);
  c.up = r.OneIn(6) ? r.In(-5, 80) : r.In(0, 20);
  c.down = r.OneIn(6) ? r.In(-5, 80) : r.In(0, 20);
  c.version = r.Version();
  c.hidden = r.OneIn(3) ? r.In(-3, 3) : 0;
  c.maxScrollX = r.In(0, 100);
  c.scrollX = r.In(0, c.maxScrollX);
  c.caretX = r.In(0, 300);
  return c;
}

HostCase ExtremeCase(Random& r) {
  HostCase c{r.Any(), r.Any(), r.Version(), r.Any(), r.Any(), r.Any(),
             r.Any(), r.Any(), r.Any(),     r.Any(), r.Any()};
  return c;
}

HostCase HostileCase(Random& r) {
  HostCase c = ExtremeCase(r);
  c.answer = static_cast<SetAnswer>(r.In(1, 6));
  c.low = c.answer == SetAnswer::NearRequest ? r.In(-3, 3) : r.Any();
  c.high = r.Any();
  if (c.answer == SetAnswer::ClampToRange && c.low > c.high) std::swap(c.low, c.high);
  return c;
}

void PlaceCase(sim::Editor& editor, const HostCase& c) {
  editor.doc() = {c.lines,   c.page,  {c.caretX, c.caret}, {c.scrollX, c.first}, c.maxScrollX,
                  c.version, c.hidden};
}

sim::HostOverride HostileAnswers(sim::Editor& editor, const HostCase& c) {
  if (c.answer == SetAnswer::Obey) return nullptr;
  sim::Document& d = editor.doc();
  return [c, &d](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    auto* point = reinterpret_cast<ViewPoint*>(lParam);
    result = 0;
    if (c.answer == SetAnswer::Unfilled) {
      const UINT queries[] = {HostGetPageSize, HostGetCaretPos, HostGetScrollPos};
      return message == queries[static_cast<uint32_t>(c.low) % 3];
    }
    if (message != HostSetScrollPos) return false;
    ViewPoint to = *point;
    if (c.answer == SetAnswer::Ignore) to = d.scroll;
    if (c.answer == SetAnswer::ClampToRange) to.y = std::clamp(to.y, c.low, c.high);
    if (c.answer == SetAnswer::Anywhere) to.y = c.low;
    if (c.answer == SetAnswer::NearRequest) {
      to.y = static_cast<int32_t>(std::clamp<int64_t>(int64_t{to.y} + c.low, INT_MIN, INT_MAX));
    }
    if (c.answer == SetAnswer::DropColumn) to.x = c.low;
    d.scroll = to;
    return true;
  };
}

}  // namespace testing_support
