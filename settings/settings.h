#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

// The process-wide settings. Each field is atomic: the reload handler, the dialog and
// scroll-ahead may run on different editor threads, and no field may ever be seen torn.
struct PluginSettings {
  std::atomic<int32_t> brinkwatcherUp{2};
  std::atomic<int32_t> brinkwatcherDown{2};
  std::atomic<bool> mouseCancel{true};
  std::atomic<uint32_t> redrawDelay{0};  // 0 until the first reload or dialog OK
  std::atomic<bool> redrawDelayCustom{false};
};
static_assert(std::atomic<int32_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

extern PluginSettings gSettings;
extern std::atomic<bool> gHostVersionAtLeast14600;

constexpr uint32_t MinRedrawDelay = 1;
constexpr uint32_t MaxRedrawDelay = 1000;

inline uint32_t LimitRedrawDelay(uint32_t delay) {
  return delay < MinRedrawDelay ? MinRedrawDelay : delay > MaxRedrawDelay ? MaxRedrawDelay : delay;
}

// Reads the four values from the editor's profile on the frame of `view`.
void LoadSettings(HWND view);
// Writes the record to the profile; the delay only when it is the user's own.
void SaveSettings(HWND view);
// 1.2 times the keyboard repeat interval plus 10 ms, in whole tens of milliseconds.
uint32_t DefaultRedrawDelay();
