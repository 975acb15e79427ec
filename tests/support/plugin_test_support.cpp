#include "tests/support/plugin_test_support.h"

#include <atomic>
#include <sstream>

#if defined(__i386__)
extern "C" int32_t StackDriftAfterCall(const void* function, const uint32_t* args, int32_t count);
#endif

namespace testing_support {

std::wstring PluginPath() {
  return sim::ProgramDirectory() + L"Brinkwatcher.dll";
}

std::wstring FreshPluginCopy() {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring copy = std::wstring(temp) + L"Brinkwatcher-fresh-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++) + L".dll";
  CopyFileW(PluginPath().c_str(), copy.c_str(), FALSE);
  return copy;
}

void StoreSettings(sim::Editor& editor, int32_t up, int32_t down, bool mouseCancel,
                   uint32_t redrawDelay) {
  auto& store = editor.profile();
  const auto key = [](const wchar_t* name) {
    return sim::ProfileKey{HostPluginProfileKey, L"Brinkwatcher", name};
  };
  store[key(L"brinkwatcherUp")] = static_cast<uint32_t>(up);
  store[key(L"brinkwatcherDown")] = static_cast<uint32_t>(down);
  store[key(L"mouseCancel")] = mouseCancel ? 1 : 0;
  store[key(L"redrawDelay")] = redrawDelay;
}

bool StoredValue(sim::Editor& editor, const wchar_t* name, uint32_t& value) {
  auto found = editor.profile().find({HostPluginProfileKey, L"Brinkwatcher", name});
  if (found == editor.profile().end()) return false;
  value = found->second;
  return true;
}

void SetMouseButton(UINT vk, bool down) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  switch (vk) {
    case VK_LBUTTON:
      input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
      break;
    case VK_RBUTTON:
      input.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
      break;
    default:
      input.mi.dwFlags = down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
      break;
  }
  SendInput(1, &input, sizeof(input));
  // Let the input reach the system's key state before the caller looks.
  const ULONGLONG deadline = GetTickCount64() + 2000;
  while (((GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0) != down &&
         GetTickCount64() < deadline) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
}

namespace {
// Every simulated view has the same window procedure, so one saved original serves all threads.
std::atomic<WNDPROC> simViewProc{nullptr};

LRESULT CALLBACK ViewWithoutFocusLoss(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KILLFOCUS) return 0;
  return CallWindowProcW(simViewProc.load(), window, message, wParam, lParam);
}
}  // namespace

void IgnoreFocusLoss(sim::Editor& editor) {
  const auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      editor.view(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ViewWithoutFocusLoss)));
  if (previous != &ViewWithoutFocusLoss) simViewProc = previous;
}

UINT KeyboardSpeed() {
  UINT speed = 0;
  SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0);
  return speed;
}

uint32_t DefaultDelayFor(UINT speed) {
  static const uint32_t table[32] = {490, 360, 290, 240, 200, 180, 160, 140, 130, 120, 110,
                                     100, 100, 90,  90,  80,  80,  70,  70,  70,  60,  60,
                                     60,  60,  60,  50,  50,  50,  50,  50,  50,  50};
  return table[speed & 31];
}

#if defined(__i386__)
int32_t StackDrift(const void* function, std::vector<uint32_t> args) {
  return StackDriftAfterCall(function, args.data(), static_cast<int32_t>(args.size()));
}
#endif

}  // namespace testing_support
