// The message-sequence judge and the editor's record check, on sequences and records made by
// hand: each must refuse what differs, and name where.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/plugin_fixture.h"

namespace {

using testing_support::ExpectSequence;
using testing_support::Msg;
using testing_support::Optional;
using testing_support::ReadOf;
using testing_support::Row;
using testing_support::WriteOf;

sim::HostCall Call(UINT code, bool toFrame, ViewPoint point = {}, const wchar_t* name = L"",
                   uint32_t value = 0, WPARAM wParam = 0) {
  sim::HostCall call{code, wParam, toFrame, point, point, name, value, 0};
  return call;
}

// A reload, then a caret move that scrolls.
std::vector<sim::HostCall> Recorded() {
  return {Call(0x828, false), Call(0x856, true, {}, L"brinkwatcherUp", 3),
          Call(0x808, false, {80, 30}), Call(0x813, false, {0, 102}),
          Call(0x855, true, {}, L"redrawDelay", 250)};
}

std::vector<Row> Rows() {
  return {Msg(0x828), ReadOf(L"brinkwatcherUp"), Msg(0x808, 80, 30), Msg(0x813, 0, 102),
          WriteOf(L"redrawDelay", 250)};
}

TEST(SequenceJudge, AcceptsTheSameAndSkipsOnlyOptionalRows) {
  EXPECT_TRUE(ExpectSequence(Recorded(), Rows()));
  std::vector<Row> rows = Rows();
  rows.insert(rows.begin() + 2, Optional(Msg(0x83A)));
  EXPECT_TRUE(ExpectSequence(Recorded(), rows)) << "an optional row left out";
}

TEST(SequenceJudge, RefusesEachDifferenceAndNamesIt) {
  struct Case {
    const char* what;
    void (*change)(std::vector<sim::HostCall>&);
    const char* named;
  } const cases[] = {
      {"another code", [](auto& r) { r[0].code = 0x83A; }, "row 1"},
      {"the read at the view", [](auto& r) { r[1].toFrame = false; }, "another window"},
      {"another page answered", [](auto& r) { r[2].out.y = 31; }, "another point"},
      {"another scroll sent", [](auto& r) { r[3].in.x = 1; }, "another point"},
      {"another value name", [](auto& r) { r[1].valueName = L"brinkwatcherDown"; }, "another name"},
      {"another value written", [](auto& r) { r[4].value = 251; }, "another value"},
      {"a faulty record", [](auto& r) { r[4].recordFault = "value type"; }, "value type"},
      {"a message missing", [](auto& r) { r.pop_back(); }, "nothing more sent"},
      {"a message too many", [](auto& r) { r.push_back(Call(0x809, false)); }, "beyond the rows"},
  };
  for (const Case& c : cases) {
    std::vector<sim::HostCall> recorded = Recorded();
    c.change(recorded);
    const ::testing::AssertionResult verdict = ExpectSequence(recorded, Rows());
    EXPECT_FALSE(verdict) << c.what;
    EXPECT_NE(std::string(verdict.message()).find(c.named), std::string::npos)
        << c.what << ": " << verdict.message();
  }
}

// The editor checks every profile record as it records it, by offset, as it reads one.
TEST(ProfileRecordCheck, NamesTheFaultyField) {
  sim::Editor editor;
  uint32_t data = 7;
  uint32_t size = 4;
  const auto send = [&](void (*change)(ProfileValueRecord&)) {
    ProfileValueRecord record{sizeof(ProfileValueRecord),
                              0x7FFFFF30,
                              L"Brinkwatcher",
                              L"brinkwatcherUp",
                              4,
                              &data,
                              {&size},
                              0};
    change(record);
    editor.ClearCalls();
    SendMessageW(editor.frame(), 0x856, 0, reinterpret_cast<LPARAM>(&record));
    return editor.calls().empty() ? std::string("not recorded") : editor.calls()[0].recordFault;
  };
  EXPECT_EQ(send([](ProfileValueRecord&) {}), "");
  EXPECT_EQ(send([](ProfileValueRecord& r) { r.recordSize = 40; }), "record size");
  EXPECT_EQ(send([](ProfileValueRecord& r) { r.keySelector = 0; }), "key selector");
  EXPECT_EQ(send([](ProfileValueRecord& r) { r.valueType = 1; }), "value type");
  EXPECT_EQ(send([](ProfileValueRecord& r) { r.data = nullptr; }), "data buffer");
  EXPECT_EQ(send([](ProfileValueRecord& r) { r.readSize = nullptr; }), "size preset");
  EXPECT_EQ(send([](ProfileValueRecord& r) { r.reserved = 1; }), "last field");
}

}  // namespace
