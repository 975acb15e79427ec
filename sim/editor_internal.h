#pragma once
// What the simulated editor's own files share: its window classes, the layout of its frame and
// small helpers. Tests include sim/sim_editor.h only.

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "sim/sim_editor.h"

namespace sim::detail {

constexpr wchar_t FrameClass[] = L"BrinkwatcherSimFrame";
constexpr wchar_t ViewClass[] = L"BrinkwatcherSimView";
constexpr wchar_t ContainerClass[] = L"BrinkwatcherSimContainer";
constexpr int RowHeight = 16;
constexpr int StatusHeight = 24;
constexpr int32_t PageColumns = 80;

inline Editor* EditorOf(HWND window) {
  return reinterpret_cast<Editor*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

inline int32_t Clamp64(int64_t value, int64_t low, int64_t high) {
  return static_cast<int32_t>(std::max(low, std::min(value, high)));
}

}  // namespace sim::detail
