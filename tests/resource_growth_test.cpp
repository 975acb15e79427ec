// The soak's growth judge, on hand-made samples: a count that grows by one more than its margin
// after the warm-up is reported by name, one that grows by exactly its margin is not, and growth
// during the warm-up, or with too few samples to judge, is never reported.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/soak/resource_watch.h"

namespace {

using soak::ResourceSample;

struct Growth {
  const char* name;                           // the count, as the table names it
  int64_t margin;                             // what it may grow by
  void (*grow)(ResourceSample&, int64_t by);  // adds `by` to it
};

void PrintTo(const Growth& growth, std::ostream* out) {
  *out << growth.name;
}

const Growth growths[] = {
    {"USER objects (windows)", 16, [](ResourceSample& s, int64_t by) { s.userObjects += by; }},
    {"GDI objects", 16, [](ResourceSample& s, int64_t by) { s.gdiObjects += by; }},
    {"kernel handles", 32, [](ResourceSample& s, int64_t by) { s.handles += by; }},
    {"private bytes", 4194304, [](ResourceSample& s, int64_t by) { s.privateBytes += by; }},
    {"plug-in timers", 1, [](ResourceSample& s, int64_t by) { s.timers += by; }},
    {"plug-in heap blocks", 8, [](ResourceSample& s, int64_t by) { s.liveBlocks += by; }},
};

// Samples at steps 1000 ... 5000, the count growing by `total` from the first sample at or after
// step 2000 (the warm-up) to the last, and by `early` before it.
std::vector<ResourceSample> Samples(const Growth& g, int64_t total, int64_t early = 0) {
  std::vector<ResourceSample> samples;
  for (uint64_t step = 1000; step <= 5000; step += 1000) {
    ResourceSample s{step, 50, 40, 100, 8 << 20, 0, 10};
    if (step >= 2000) g.grow(s, early + total * static_cast<int64_t>(step - 2000) / 3000);
    samples.push_back(s);
  }
  return samples;
}

class GrowthJudge : public ::testing::TestWithParam<Growth> {};

TEST_P(GrowthJudge, ReportsOneMoreThanTheMarginAndNotTheMarginItself) {
  const Growth& g = GetParam();
  struct Row {
    const char* what;
    int64_t total;
    int64_t early;
    bool reported;
  } const rows[] = {
      {"by the margin", g.margin, 0, false},
      {"by one more", g.margin + 1, 0, true},
      {"by far more", 100 * g.margin, 0, true},
      {"only during the warm-up", 0, 100 * g.margin, false},
  };
  for (const Row& row : rows) {
    std::vector<std::string> grown;
    const auto table = soak::ResourceTable(Samples(g, row.total, row.early), 2000, grown);
    EXPECT_EQ(table.size(), 7u) << row.what;
    const std::string expected = std::string(g.name) + " grew";
    if (row.reported) {
      ASSERT_EQ(grown.size(), 1u) << row.what;
      EXPECT_EQ(grown[0].rfind(expected, 0), 0u) << row.what << ": " << grown[0];
    } else {
      EXPECT_TRUE(grown.empty()) << row.what << ": " << (grown.empty() ? "" : grown[0]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, GrowthJudge, ::testing::ValuesIn(growths), [](const auto& info) {
  std::string name;
  for (char c : std::string(info.param.name)) {
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  }
  return name;
});

// One sample after the warm-up cannot show growth: the judge says nothing rather than "nothing
// grew".
TEST(GrowthJudgeSamples, FewerThanTwoAfterTheWarmUpAreNotJudged) {
  std::vector<ResourceSample> samples = Samples(growths[5], 1000);
  std::vector<std::string> grown;
  EXPECT_TRUE(soak::ResourceTable(samples, 5000, grown).empty());
  EXPECT_TRUE(soak::ResourceTable(samples, 6000, grown).empty());
  EXPECT_FALSE(soak::ResourceTable(samples, 4000, grown).empty());
  EXPECT_EQ(grown.size(), 1u);
}

}  // namespace
