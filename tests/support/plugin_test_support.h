#pragma once
// Helpers shared by the tests: where the built DLL is, the settings in the editor's profile, real
// mouse buttons, and the calling-convention probe; the message rows come with it (host_rows.h).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_editor.h"
#include "tests/support/host_rows.h"
#include "tests/support/text.h"

namespace testing_support {

// The Brinkwatcher.dll built next to the test programs.
std::wstring PluginPath();

// A private copy of the DLL under a new file name: LoadLibraryW then maps a separate module
// with its own fresh process-wide state, as if the editor had just started.
std::wstring FreshPluginCopy();

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
