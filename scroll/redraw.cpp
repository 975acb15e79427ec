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
extern "C" char _tls_end;
__attribute__((section(".tls$BRINK"))) RedrawState redrawStateTemplate = {};

// The calling thread's copy; null where there is none (a thread without a TLS block, or a build
// whose linker left the template outside the block), and such a thread simply never repaints.
RedrawState* ThreadRedrawState() {
  const auto start = reinterpret_cast<uintptr_t>(&_tls_start);
  const auto end = reinterpret_cast<uintptr_t>(&_tls_end);
  const auto where = reinterpret_cast<uintptr_t>(&redrawStateTemplate);
  if (where < start || where + sizeof(RedrawState) > end) return nullptr;
  void** tlsArray;
  // TEB.ThreadLocalStoragePointer, at fs:0x2C on 32-bit Windows.
  asm("movl %%fs:0x2C, %0" : "=r"(tlsArray));
  if (tlsArray == nullptr || tlsArray[_tls_index] == nullptr) return nullptr;
  return reinterpret_cast<RedrawState*>(static_cast<char*>(tlsArray[_tls_index]) + (where - start));
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
  if (RedrawState* state = ThreadRedrawState()) KillRunningTimer(*state);
}

void MarkRedrawPending() {
  if (RedrawState* state = ThreadRedrawState()) state->pending = true;
}

void ArmRedraw(HWND view) {
  RedrawState* found = ThreadRedrawState();
  if (found == nullptr || !found->pending) return;
  RedrawState& state = *found;
  state.pending = false;
  // The old identifier is not cleared here: SetTimer's result replaces it below.
  if (state.timerId != 0) KillTimer(nullptr, state.timerId);
  state.view = view;
  state.timerId = SetTimer(nullptr, RequestedTimerId, Settings.redrawDelay, RedrawTimerProc);
}

void CancelRedraw() {
  RedrawState* state = ThreadRedrawState();
  if (state == nullptr) return;
  state->pending = false;
  KillRunningTimer(*state);
}

void CALLBACK RedrawTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  RedrawState* state = ThreadRedrawState();
  if (state == nullptr) return;
  // One-shot: the system timer would otherwise repeat.
  KillRunningTimer(*state);
  if (!state->pending && IsWindow(state->view)) InvalidateRect(state->view, nullptr, FALSE);
}
