#include "tests/support/stack_walk.h"

#if defined(_WIN64)

#include <cstdio>

namespace testing_support {

namespace {

// "Brinkwatcher.dll+0x13B3" for an address in a module, the bare address elsewhere.
std::string Where(DWORD64 address) {
  HMODULE module = nullptr;
  char text[MAX_PATH + 32];
  if (GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<const wchar_t*>(address), &module)) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
      if (*c == '\\' || *c == '/') name = c + 1;
    }
    std::snprintf(text, sizeof text, "%s+0x%llX", name,
                  static_cast<unsigned long long>(address - reinterpret_cast<DWORD64>(module)));
  } else {
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(address));
  }
  return text;
}

}  // namespace

__attribute__((noinline)) StackWalk WalkToRegisterProbe() {
  StackWalk walk;
  CONTEXT context{};
  RtlCaptureContext(&context);
  const auto target = reinterpret_cast<DWORD64>(RegisterProbeReturn);
  for (int frame = 0; frame < 512; ++frame) {
    if (context.Rip == target) {
      walk.arrived = true;
      walk.stackPointer = context.Rsp;
      return walk;
    }
    walk.frames += (frame == 0 ? "" : " ") + Where(context.Rip);
    DWORD64 base = 0;
    PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
    if (entry == nullptr) {
      // The innermost frame is this function's own, which has an entry: no frame met here can
      // be a leaf.
      walk.stopped = "no function entry at " + Where(context.Rip);
      return walk;
    }
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, entry, &context, &handlerData,
                     &establisher, nullptr);
    if (context.Rip == 0) {
      walk.stopped = "the stack's end";
      return walk;
    }
  }
  walk.stopped = "512 frames";
  return walk;
}

}  // namespace testing_support

#endif
