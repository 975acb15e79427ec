#include "tests/support/host_rows.h"

#include <sstream>

#include "tests/support/text.h"

namespace testing_support {

namespace {

bool HasPoint(UINT code) {
  return code == HostGetCaretPos || code == HostGetPageSize || code == HostGetScrollPos ||
         code == HostSetCaretPos || code == HostSetScrollPos;
}

ViewPoint PointOf(const sim::HostCall& call) {
  return call.code == HostSetCaretPos || call.code == HostSetScrollPos ? call.in : call.out;
}

std::string Line(UINT code, To to, bool point, ViewPoint p, bool wParam, WPARAM w,
                 const std::wstring& name, bool value, uint32_t v) {
  std::ostringstream out;
  out << Utf8(sim::HostMessageName(code)) << " " << Hex(code);
  if (to != To::Either) out << (to == To::Frame ? " at the frame" : " at the view");
  if (point) out << " (" << p.x << ", " << p.y << ")";
  if (wParam) out << " wParam " << w;
  if (!name.empty()) out << " " << Utf8(name);
  if (value) out << "=" << v;
  return out.str();
}

std::string LineOf(const sim::HostCall& c) {
  const bool profile = c.code == HostProfileRead || c.code == HostProfileWrite;
  std::string line = Line(c.code, c.toFrame ? To::Frame : To::View, HasPoint(c.code), PointOf(c),
                          c.wParam != 0, c.wParam, c.valueName, profile, c.value);
  if (!c.recordFault.empty()) line += " [" + c.recordFault + "]";
  return line;
}

std::string LineOf(const Row& r) {
  return Line(r.code, r.to, (r.compare & ComparePoint) != 0, r.point,
              (r.compare & CompareWParam) != 0, r.wParam, r.name, (r.compare & CompareValue) != 0,
              r.value) +
         (r.optional ? " (optional)" : "");
}

// Why `call` does not match `row`; empty when it does.
std::string Mismatch(const sim::HostCall& call, const Row& row) {
  if (call.code != row.code) return "another message";
  if (row.to != To::Either && (row.to == To::Frame) != call.toFrame) return "another window";
  if ((row.compare & ComparePoint) != 0) {
    const ViewPoint p = PointOf(call);
    if (p.x != row.point.x || p.y != row.point.y) return "another point";
  }
  if ((row.compare & CompareWParam) != 0 && call.wParam != row.wParam) return "another wParam";
  if ((row.compare & CompareName) != 0 && call.valueName != row.name) return "another name";
  if ((row.compare & CompareValue) != 0 && call.value != row.value) return "another value";
  if (!call.recordFault.empty()) return "a faulty record: " + call.recordFault;
  return "";
}

}  // namespace

std::string Describe(const std::vector<sim::HostCall>& calls) {
  std::string out;
  for (const auto& call : calls) out += "  " + LineOf(call) + "\n";
  return out;
}

std::string Describe(const std::vector<Row>& rows) {
  std::string out;
  for (const auto& row : rows) out += "  " + LineOf(row) + "\n";
  return out;
}

::testing::AssertionResult ExpectSequence(const std::vector<sim::HostCall>& recorded,
                                          const std::vector<Row>& rows,
                                          const std::string& context) {
  size_t at = 0;
  std::string first;
  for (size_t r = 0; r < rows.size() && first.empty(); ++r) {
    const std::string why =
        at < recorded.size() ? Mismatch(recorded[at], rows[r]) : std::string("nothing more sent");
    if (why.empty()) {
      ++at;
    } else if (!rows[r].optional) {
      first = "row " + std::to_string(r + 1) + " (" + LineOf(rows[r]) + "): " + why;
    }
  }
  if (first.empty() && at < recorded.size()) {
    first = "message " + std::to_string(at + 1) + " (" + LineOf(recorded[at]) + ") beyond the rows";
  }
  if (first.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << (context.empty() ? "" : context + "\n") << "first difference: " << first << "\n"
         << "expected " << rows.size() << " rows:\n"
         << Describe(rows) << "received " << recorded.size() << " messages:\n"
         << Describe(recorded);
}

}  // namespace testing_support
