#pragma once
// Helpers shared by the tests: where the built DLL is, message-sequence tables, real mouse
// buttons, and the calling-convention probe.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_editor.h"

namespace testing_support {

// The Brinkwatcher.dll built next to the test programs.
std::wstring PluginPath();

// A private copy of the DLL under a new file name: LoadLibraryW then maps a separate module
// with its own fresh process-wide state, as if the editor had just started.
std::wstring FreshPluginCopy();

// One expected host message: its code, and for points the y (and x) sent or answered.
struct Expected {
  UINT code;
  int32_t y = 0;  // in for SetScrollPos/SetCaretPos, out for the queries; ignored for others
  int32_t x = 0;
  bool checkPoint = false;
};
inline Expected Msg(UINT code) {
  return {code, 0, 0, false};
}
inline Expected Msg(UINT code, int32_t x, int32_t y) {
  return {code, y, x, true};
}

// Renders recorded calls, one per line, for failure messages.
std::string Describe(const std::vector<sim::HostCall>& calls);
std::string Describe(const std::vector<Expected>& expected);

// Compares the recorded sequence with the table; prints both when they differ.
::testing::AssertionResult SameSequence(const std::vector<sim::HostCall>& calls,
                                        const std::vector<Expected>& expected);

// Stores the four settings in the editor's profile the way the editor's store would hold them.
void StoreSettings(sim::Editor& editor, int32_t up, int32_t down, bool mouseCancel,
                   uint32_t redrawDelay);
// The value stored under `name` in the plug-in's section, if any.
bool StoredValue(sim::Editor& editor, const wchar_t* name, uint32_t& value);

// Presses or releases a real mouse button through the system's input queue (SendInput).
void SetMouseButton(UINT vk, bool down);

// Makes the simulated editor's view ignore WM_KILLFOCUS, so that it never reports focus loss:
// windows of other test programs take the focus at any moment, and the cancel event the editor
// sends then would drop a repaint the test waits for. Such tests send their cancel events
// themselves.
void IgnoreFocusLoss(sim::Editor& editor);

// The keyboard repeat speed as the system reports it, 0 (slowest) to 31.
UINT KeyboardSpeed();
// The default redraw delay in milliseconds for a keyboard repeat speed.
uint32_t DefaultDelayFor(UINT speed);

#if defined(__i386__)
// Calls a __stdcall function with 32-bit arguments and returns how far the stack pointer moved
// (0 when the callee removed its arguments). 32-bit x86 only: x64 has one calling convention.
int32_t StackDrift(const void* function, std::vector<uint32_t> args);
#endif

}  // namespace testing_support
