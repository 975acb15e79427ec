#include "host/resource_text.h"

#include <cwchar>

HINSTANCE gModuleInstance = nullptr;

namespace {
// Loads into a caller's buffer so that CopyResourceText needs no heap.
int LoadIntoBuffer(UINT id, wchar_t (&text)[ResourceTextCapacity]) {
  int length = LoadStringW(gModuleInstance, id, text, ResourceTextCapacity);
  if (length <= 0) length = 0;
  text[length] = L'\0';
  return length;
}
}  // namespace

ResourceString LoadResourceString(UINT id) {
  ResourceString string;
  LoadIntoBuffer(id, string.text);
  return string;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): id, then the capacity PlugInProc passes.
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
