// The host's answers to the plug-in's messages, and the record of every one received.
#include "sim/sim_editor.h"

#include "sim/editor_internal.h"

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

LRESULT Editor::AnswerProfile(UINT message, WPARAM wParam, LPARAM lParam) {
  auto* record = reinterpret_cast<ProfileValueRecord*>(lParam);
  HostCall call{message, wParam, true, {}, {}, {}, 0, 1};
  if (record != nullptr && record->valueName != nullptr) call.valueName = record->valueName;
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
