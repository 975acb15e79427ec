#pragma once
// x86_64: what an editor sees of the plug-in's frames when a failure passes through them. The
// editor calls an export with known values in its callee-saved registers (register_probe.S), and
// from inside its own window procedures walks its stack the way Windows' exception dispatcher
// does.

#include <windows.h>

#include <cstdint>
#include <string>

#if defined(_WIN64)

extern "C" {
// Calls `call(context)` with `held` in rbx, rbp, rsi, rdi, r12, r13, r14 and r15, and stores
// in `after` what those registers hold when it returns.
void CallHoldingRegisters(void (*call)(void*), void* context, const uint64_t held[8],
                          uint64_t after[8]);
// Where that call returns to, and the stack pointer just before it.
extern const char RegisterProbeReturn[];
extern uint64_t RegisterProbeStackAtCall;
}

namespace testing_support {

struct StackWalk {
  bool arrived = false;  // at RegisterProbeReturn
  uint64_t stackPointer = 0;
  std::string frames;   // "module+0xRVA" of each frame passed, innermost first
  std::string stopped;  // why the walk ended elsewhere
};

// Walks from the caller outward, as the dispatcher does: each frame's function entry looked up
// (RtlLookupFunctionEntry) and unwound (RtlVirtualUnwind), until the probe's return address.
// Only the innermost frame may lack an entry (a leaf); anywhere else the walk stops there.
StackWalk WalkToRegisterProbe();

}  // namespace testing_support

#endif
