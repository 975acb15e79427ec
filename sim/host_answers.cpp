// The host's answers to the plug-in's messages, and the record of every one received.
#include "sim/sim_editor.h"

#include "sim/editor_internal.h"

#include <cstring>
#include <string>

namespace sim {

using namespace detail;

LRESULT Editor::AnswerView(UINT message, WPARAM wParam, LPARAM lParam) {
  auto* point = reinterpret_cast<ViewPoint*>(lParam);
  HostCall call{message, wParam, false, {}, {}, {}, 0, 0};
  LRESULT result = 0;
  const bool pointSent = message == HostSetScrollPos || message == HostSetCaretPos;
  if (point != nullptr && pointSent) call.in = *point;  // before an answer may overwrite it
  if (override_ && override_(message, wParam, lParam, result)) {
    if (point != nullptr && message != HostGetVersion && message != HostGetInfo) call.out = *point;
    call.result = result;
    if (recording_) calls_.push_back(call);
    return result;
  }
  switch (message) {
    case HostGetCaretPos:
      if (point) *point = doc_.caret;
      break;
    case HostGetPageSize:
      if (point) *point = {PageColumns, doc_.page};
      break;
    case HostGetScrollPos:
      if (point) *point = doc_.scroll;
      break;
    case HostSetCaretPos:
      if (point) {
        doc_.caret = {std::max(point->x, 0),
                      Clamp64(point->y, 0, std::max<int64_t>(0, int64_t{doc_.lines} - 1))};
        // Setting the caret brings it into view, horizontally too.
        SetScroll({std::min(doc_.scroll.x, doc_.caret.x),
                   ScrollToShow(doc_.caret.y, doc_.scroll.y, doc_.page)});
        InvalidateRect(view_, nullptr, TRUE);
      }
      break;
    case HostSetScrollPos:
      if (point) SetScroll(*point);
      break;
    case HostGetVersion:
      result = static_cast<LRESULT>(doc_.version);
      break;
    case HostGetInfo:
      result = wParam == HostInfoLineOffset ? doc_.hiddenLines : 0;
      break;
  }
  if (point != nullptr && message != HostSetCaretPos && message != HostSetScrollPos &&
      message != HostGetVersion && message != HostGetInfo) {
    call.out = *point;
  }
  call.result = result;
  if (recording_) calls_.push_back(call);
  return result;
}

namespace {

template <class T>
T FieldAt(LPARAM record, size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const char*>(record) + offset, sizeof value);
  return value;
}

// Checks a profile record as the editor reads it, by offset, not through the plug-in's own
// declaration: eight 4-byte fields for the 32-bit editor; for the 64-bit one the two texts, the
// data pointer and the size field are 8 bytes wide, at their natural alignment. Notes the section
// and the data's value as sent on the way; returns what is wrong, or empty.
std::string CheckProfileRecord(UINT message, LPARAM lParam, HostCall& call) {
  if (lParam == 0) return "no record";
  constexpr bool wide = sizeof(void*) == 8;
  constexpr size_t sectionAt = 8, nameAt = wide ? 16 : 12, typeAt = wide ? 24 : 16,
                   dataAt = wide ? 32 : 20, sizeAt = wide ? 40 : 24, lastAt = wide ? 48 : 28;
  const auto* section = FieldAt<const wchar_t*>(lParam, sectionAt);
  const auto* data = FieldAt<const uint32_t*>(lParam, dataAt);
  const auto sizeField = FieldAt<uintptr_t>(lParam, sizeAt);
  if (section != nullptr) call.section = section;
  if (data != nullptr) call.preset = *data;
  std::string fault;
  const auto check = [&](bool holds, const char* what) {
    if (!holds) fault += (fault.empty() ? "" : ", ") + std::string(what);
  };
  check(FieldAt<uint32_t>(lParam, 0) == (wide ? 56u : 32u), "record size");
  check(FieldAt<uint32_t>(lParam, 4) == 0x7FFFFF30u, "key selector");
  check(section != nullptr, "section");
  check(FieldAt<const wchar_t*>(lParam, nameAt) != nullptr, "value name");
  check(FieldAt<uint32_t>(lParam, typeAt) == 4u, "value type");
  check(data != nullptr, "data buffer");
  if (message == HostProfileRead) {
    const auto* size = reinterpret_cast<const uint32_t*>(sizeField);
    check(size != nullptr && *size == 4u, "size preset");
  } else {
    check(sizeField == 4u, "size");
  }
  check(FieldAt<uint32_t>(lParam, lastAt) == 0u, "last field");
  return fault;
}

}  // namespace

LRESULT Editor::AnswerProfile(UINT message, WPARAM wParam, LPARAM lParam) {
  auto* record = reinterpret_cast<ProfileValueRecord*>(lParam);
  HostCall call{message, wParam, true, {}, {}, {}, 0, 1};
  if (record != nullptr && record->valueName != nullptr) call.valueName = record->valueName;
  call.recordFault = CheckProfileRecord(message, lParam, call);
  LRESULT result = 1;
  if (override_ && override_(message, wParam, lParam, result)) {
    if (record && record->data && result == 0) call.value = *static_cast<uint32_t*>(record->data);
  } else if (record != nullptr && record->recordSize == sizeof(ProfileValueRecord) &&
             record->valueName != nullptr && record->data != nullptr &&
             record->valueType == HostProfileTypeDword) {
    const ProfileKey key{record->keySelector, record->section ? record->section : L"",
                         record->valueName};
    auto* data = static_cast<uint32_t*>(record->data);
    if (message == HostProfileWrite && record->writeSize == sizeof(uint32_t)) {
      profile_[key] = call.value = *data;
      result = 0;
    } else if (message == HostProfileRead && record->readSize != nullptr &&
               *record->readSize >= sizeof(uint32_t)) {
      auto found = profile_.find(key);
      if (found != profile_.end()) {
        *data = call.value = found->second;
        *record->readSize = sizeof(uint32_t);
        result = 0;
      }
    }
  }
  call.result = result;
  if (recording_) calls_.push_back(call);
  return result;
}

// A profile message that reached a window other than the frame: recorded, and answered as that
// window answers a message it does not know.
LRESULT Editor::RecordMisdirected(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HostCall call{message, wParam, false, {}, {}, {}, 0, 0};
  call.misdirected = true;
  const auto* record = reinterpret_cast<const ProfileValueRecord*>(lParam);
  if (record != nullptr && record->valueName != nullptr) call.valueName = record->valueName;
  call.result = DefWindowProcW(window, message, wParam, lParam);
  if (recording_) calls_.push_back(call);
  return call.result;
}

const wchar_t* HostMessageName(UINT code) {
  switch (code) {
    case HostGetCaretPos:
      return L"GetCaretPos";
    case HostGetPageSize:
      return L"GetPageSize";
    case HostGetScrollPos:
      return L"GetScrollPos";
    case HostSetCaretPos:
      return L"SetCaretPos";
    case HostSetScrollPos:
      return L"SetScrollPos";
    case HostGetVersion:
      return L"GetVersion";
    case HostGetInfo:
      return L"GetInfo";
    case HostProfileWrite:
      return L"ProfileWrite";
    case HostProfileRead:
      return L"ProfileRead";
    default:
      return L"?";
  }
}
}  // namespace sim
