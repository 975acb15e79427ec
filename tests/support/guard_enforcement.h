#pragma once
// Control Flow Guard turned on for one loaded module the way Windows does it: the module's check
// pointer (and on x86_64 its dispatch pointer) is pointed at a checker, which ends the process at
// once, naming the target, when an indirect call would reach an address inside the module that
// its guard table does not list. Addresses outside the module pass, as they do on Windows for
// modules built without the guard.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "tests/support/pe_image.h"

namespace testing_support {

// The loaded module's load configuration, its pointers relocated; null when it does not reach
// the guard fields.
const LoadConfiguration* LoadedLoadConfig(HMODULE module);

// The module's guard table as RVAs, read from the loaded image's load configuration; empty when
// it has none.
std::vector<uint32_t> LoadedGuardTable(HMODULE module);

// Whether `address` may be the target of an indirect call under the module's guard.
bool IsAllowedTarget(HMODULE module, const void* address);

// Points the module's check and dispatch pointers at the enforcing checker. False when the
// module has no load configuration with them.
bool EnforceGuard(HMODULE module);

// Checks a call target as the enforcing checker does: returns when it is allowed, and ends the
// process otherwise. For the calls the window system and the editor make into the module, which
// the system's own checker would check at the call.
void CheckCallTarget(const void* target);

// Targets the checker has let through so far.
uint64_t GuardChecks();

}  // namespace testing_support
