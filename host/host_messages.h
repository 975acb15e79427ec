#pragma once
// The editor's message interface: every code and record the plug-in exchanges with the host.
// Nothing else in the plug-in spells a message number.

#include <windows.h>

#include <cstddef>
#include <cstdint>

// A position, size or scroll offset in the editor's view coordinates: x a column, y a line.
struct ViewPoint {
  int32_t x;
  int32_t y;
};
static_assert(sizeof(ViewPoint) == 8);

enum HostMessage : UINT {
  HostGetCaretPos = 0x806,
  HostGetPageSize = 0x808,
  HostGetScrollPos = 0x809,
  HostSetCaretPos = 0x812,
  HostSetScrollPos = 0x813,
  HostGetVersion = 0x828,
  HostGetInfo = 0x83A,
  HostProfileWrite = 0x855,
  HostProfileRead = 0x856,
};

constexpr uint32_t HostPluginProfileKey = 0x7FFFFF30;
constexpr uint32_t HostProfileTypeDword = 4;  // REG_DWORD
constexpr WPARAM HostSetCaretPosFlags = 0x10000;
constexpr WPARAM HostInfoLineOffset = 333;

// One profile value, read (in/out) or written. The size field is a pointer to the byte count on
// a read and the count itself on a write. The 64-bit editor takes the same declaration at natural
// width: pointers and the size field are 8 bytes there.
struct ProfileValueRecord {
  uint32_t recordSize;
  uint32_t keySelector;
  const wchar_t* section;
  const wchar_t* valueName;
  uint32_t valueType;
  void* data;
  union {
    uint32_t* readSize;
    uintptr_t writeSize;
  };
  uint32_t reserved;
};
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8);
constexpr bool RecordIs64Bit = sizeof(void*) == 8;
static_assert(sizeof(ProfileValueRecord) == (RecordIs64Bit ? 56 : 32));
static_assert(offsetof(ProfileValueRecord, recordSize) == 0);
static_assert(offsetof(ProfileValueRecord, keySelector) == 4);
static_assert(offsetof(ProfileValueRecord, section) == 8);
static_assert(offsetof(ProfileValueRecord, valueName) == (RecordIs64Bit ? 16 : 12));
static_assert(offsetof(ProfileValueRecord, valueType) == (RecordIs64Bit ? 24 : 16));
static_assert(offsetof(ProfileValueRecord, data) == (RecordIs64Bit ? 32 : 20));
static_assert(offsetof(ProfileValueRecord, readSize) == (RecordIs64Bit ? 40 : 24));
static_assert(offsetof(ProfileValueRecord, writeSize) == (RecordIs64Bit ? 40 : 24));
static_assert(offsetof(ProfileValueRecord, reserved) == (RecordIs64Bit ? 48 : 28));

// Out points are zeroed first so that a host which leaves one unfilled yields zeros, not stack
// garbage.
inline ViewPoint QueryViewPoint(HWND view, HostMessage code) {
  ViewPoint point{};
  SendMessageW(view, code, 0, reinterpret_cast<LPARAM>(&point));
  return point;
}

inline ViewPoint QueryPageSize(HWND view) {
  return QueryViewPoint(view, HostGetPageSize);
}
inline ViewPoint QueryCaretPos(HWND view) {
  return QueryViewPoint(view, HostGetCaretPos);
}
inline ViewPoint QueryScrollPos(HWND view) {
  return QueryViewPoint(view, HostGetScrollPos);
}

// Asks the host to scroll to `target`, then reads back into the same point where it really went.
inline void SetScrollPosAndReadBack(HWND view, ViewPoint& target) {
  SendMessageW(view, HostSetScrollPos, 0, reinterpret_cast<LPARAM>(&target));
  SendMessageW(view, HostGetScrollPos, 0, reinterpret_cast<LPARAM>(&target));
}

inline void PlaceCaret(HWND view, ViewPoint caret) {
  SendMessageW(view, HostSetCaretPos, HostSetCaretPosFlags, reinterpret_cast<LPARAM>(&caret));
}

// The version is the result's low 32 bits, whatever the width of the result.
inline uint32_t QueryHostVersion(HWND view) {
  return static_cast<uint32_t>(SendMessageW(view, HostGetVersion, 0, 0));
}

// A signed line offset that the host wants subtracted from the caret row.
inline int32_t QueryHiddenLines(HWND view) {
  return static_cast<int32_t>(SendMessageW(view, HostGetInfo, HostInfoLineOffset, 0));
}

inline LRESULT SendProfileRecord(HWND frame, HostMessage code, ProfileValueRecord& record) {
  return SendMessageW(frame, code, 0, reinterpret_cast<LPARAM>(&record));
}
