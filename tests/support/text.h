#pragma once
// Small text helpers for failure messages, one of each for every test.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace testing_support {

// UTF-8 of a wide text, so that Japanese texts print as themselves.
inline std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// "0x1A2B".
inline std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace testing_support
