#pragma once
// Points one function a loaded module imports at a replacement, and back: how the benchmark
// counts the plug-in's allocations, how the soak owns its timers and repaints, and how the tests
// catch what the plug-in hands to the window system. Only that module's calls go through the
// replacement; everyone else still calls the real function.

#include <windows.h>

namespace testing_support {

struct ImportHook {
  void** slot = nullptr;     // the module's import address slot; null when not imported
  void* original = nullptr;  // what the slot held: the real function
  void* replacement = nullptr;
  bool hooked() const { return slot != nullptr; }
};

// Hooks `dll`'s `name` (imported by name; the DLL's name in any case) in `module`. Returns a
// hook that is not hooked() when the module does not import it or its slot cannot be written.
ImportHook HookImport(HMODULE module, const char* dll, const char* name, void* replacement);

// Puts the real function back into the slot, if the hook holds one.
void Unhook(ImportHook& hook);

// Calls the function in the hook's slot, as the module would: the replacement while hooked.
template <typename Function>
Function SlotFunction(const ImportHook& hook) {
  return reinterpret_cast<Function>(*hook.slot);
}

}  // namespace testing_support
