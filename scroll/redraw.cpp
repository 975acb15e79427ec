#include "scroll/redraw.h"

#include <cstdint>

#include "settings/settings.h"

namespace {
struct RedrawState {
  bool pending;
  UINT_PTR timerId;
  HWND view;
};

// Implicit thread-local storage: the object is part of the module's TLS template (between the
// runtime's start and end markers of the .tls section, which the linker orders by name, so the
// suffix must sort between "" and "ZZZ"), and the loader gives every thread a zero-filled copy,
// found through the thread's TLS array and the module's TLS index. Nothing is allocated by the
// plug-in; the compiler's thread_local would go through emulated TLS, which allocates.
extern "C" ULONG _tls_index;
extern "C" char _tls_start;
__attribute__((section(".tls$BRINK"))) RedrawState redrawStateTemplate = {};

RedrawState& ThreadRedrawState() {
  void** tlsArray;
  // TEB.ThreadLocalStoragePointer, at fs:0x2C on 32-bit Windows.
  asm("movl %%fs:0x2C, %0" : "=r"(tlsArray));
  char* block = static_cast<char*>(tlsArray[_tls_index]);
  const auto offset = reinterpret_cast<char*>(&redrawStateTemplate) - &_tls_start;
  return *reinterpret_cast<RedrawState*>(block + offset);
}

constexpr UINT_PTR RequestedTimerId = 1;

void KillRunningTimer(RedrawState& state) {
  if (state.timerId != 0) {
    KillTimer(nullptr, state.timerId);
    state.timerId = 0;
  }
}
}  // namespace

void StopRedrawTimerAtUnload() {
  KillRunningTimer(ThreadRedrawState());
}

void MarkRedrawPending() {
  RedrawState& state = ThreadRedrawState();
  state.pending = true;
}

void ArmRedraw(HWND view) {
  RedrawState& state = ThreadRedrawState();
  if (!state.pending) return;
  state.pending = false;
  // The old identifier is not cleared here: SetTimer's result replaces it below.
  if (state.timerId != 0) KillTimer(nullptr, state.timerId);
  state.view = view;
  state.timerId = SetTimer(nullptr, RequestedTimerId, Settings.redrawDelay, RedrawTimerProc);
}

void CancelRedraw() {
  RedrawState& state = ThreadRedrawState();
  state.pending = false;
  KillRunningTimer(state);
}

void CALLBACK RedrawTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  RedrawState& state = ThreadRedrawState();
  // One-shot: the system timer would otherwise repeat.
  KillRunningTimer(state);
  if (!state.pending && IsWindow(state.view)) InvalidateRect(state.view, nullptr, FALSE);
}
