#pragma once
// One vocabulary for the host messages a test expects: a row per message (its code, the window
// it must reach, which of its fields to compare, and whether it may be absent), and one comparer
// that names the first row that differs and prints both sequences. The simulated editor checks
// each profile record's fields as it records it (HostCall::recordFault).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_editor.h"

namespace testing_support {

// The window a row's message must have reached.
enum class To { Either, View, Frame };

// What of a message to compare besides its code and window.
enum Compare : unsigned {
  ComparePoint = 1,   // the point sent (scroll and caret sets) or answered (queries)
  CompareWParam = 2,  // its wParam
  CompareName = 4,    // a profile value's name
  CompareValue = 8,   // a profile value written, or answered on a read
};

struct Row {
  UINT code;
  To to = To::Either;
  unsigned compare = 0;
  WPARAM wParam = 0;
  ViewPoint point{};
  std::wstring name = {};
  uint32_t value = 0;
  bool optional = false;  // may be absent; if present, must match
};

// A message of `code`, at whichever window.
inline Row Msg(UINT code) {
  return {code};
}
// ... with its point.
inline Row Msg(UINT code, int32_t x, int32_t y) {
  return {code, To::Either, ComparePoint, 0, {x, y}};
}
// A message of `code` and `wParam` at the view.
inline Row AtView(UINT code, WPARAM wParam) {
  return {code, To::View, CompareWParam, wParam};
}
// A message of `code` and `wParam` at the frame.
inline Row AtFrame(UINT code, WPARAM wParam) {
  return {code, To::Frame, CompareWParam, wParam};
}
// A profile read of `name` at the frame.
inline Row ReadOf(const wchar_t* name) {
  return {HostProfileRead, To::Frame, CompareName, 0, {}, name};
}
// A profile write of `value` under `name` at the frame.
inline Row WriteOf(const wchar_t* name, uint32_t value) {
  return {HostProfileWrite, To::Frame, CompareName | CompareValue, 0, {}, name, value};
}
inline Row Optional(Row row) {
  row.optional = true;
  return row;
}

// The recorded messages against the rows, in order; an optional row may be skipped. Every
// profile record must also have passed the recorder's checks.
::testing::AssertionResult ExpectSequence(const std::vector<sim::HostCall>& recorded,
                                          const std::vector<Row>& rows,
                                          const std::string& context = "");

// One line per message, for failure messages.
std::string Describe(const std::vector<sim::HostCall>& calls);
std::string Describe(const std::vector<Row>& rows);

}  // namespace testing_support
