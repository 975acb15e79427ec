#include "host/resource_text.h"

#include <cwchar>

HINSTANCE ModuleInstance = nullptr;

namespace {
constexpr int ResourceTextCapacity = 4096;

// Loads into a caller's buffer so that CopyResourceText needs no heap.
int LoadIntoBuffer(UINT id, wchar_t (&text)[ResourceTextCapacity]) {
  int length = LoadStringW(ModuleInstance, id, text, ResourceTextCapacity);
  if (length <= 0) length = 0;
  text[length] = L'\0';
  return length;
}
}  // namespace

std::wstring LoadResourceString(UINT id) {
  wchar_t text[ResourceTextCapacity];
  int length = LoadIntoBuffer(id, text);
  return std::wstring(text, static_cast<size_t>(length));
}

UINT CopyResourceText(UINT id, UINT capacity, wchar_t* buffer) {
  wchar_t text[ResourceTextCapacity];
  const UINT needed = static_cast<UINT>(LoadIntoBuffer(id, text)) + 1;
  if (buffer != nullptr && capacity != 0) {
    if (needed <= capacity) {
      wmemcpy(buffer, text, needed);
    } else {
      buffer[0] = L'\0';
    }
  }
  return needed;
}
