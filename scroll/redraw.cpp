#include "scroll/redraw.h"

#include "settings/settings.h"

namespace {
struct RedrawState {
  bool pending;
  UINT_PTR timerId;
  HWND view;
};

// Implicit (loader-allocated) thread-local storage: the object lives in the module's .tls
// template, and each thread gets a zero-filled copy, found through the thread's TLS array and
// the module's TLS index. The compiler's own thread_local would go through emulated TLS, which
// allocates on a thread's first use.
extern "C" ULONG _tls_index;
extern "C" char _tls_start;
__attribute__((section(".tls$redraw"))) RedrawState redrawStateTemplate = {};

RedrawState& ThreadRedrawState() {
  void** tlsArray;
  // The thread's TLS array: TEB.ThreadLocalStoragePointer, at fs:0x2C on 32-bit Windows.
  asm("movl %%fs:0x2C, %0" : "=r"(tlsArray));
  char* block = static_cast<char*>(tlsArray[_tls_index]);
  const auto offset = reinterpret_cast<char*>(&redrawStateTemplate) - &_tls_start;
  return *reinterpret_cast<RedrawState*>(block + offset);
}

constexpr UINT_PTR RequestedTimerId = 1;
}  // namespace

void MarkRedrawPending() {
  ThreadRedrawState().pending = true;
}

void ArmRedraw(HWND view) {
  RedrawState& state = ThreadRedrawState();
  if (!state.pending) return;
  state.pending = false;
  if (state.timerId != 0) KillTimer(nullptr, state.timerId);
  state.view = view;
  state.timerId = SetTimer(nullptr, RequestedTimerId, Settings.redrawDelay, RedrawTimerProc);
}

void CancelRedraw() {
  RedrawState& state = ThreadRedrawState();
  state.pending = false;
  if (state.timerId != 0) {
    KillTimer(nullptr, state.timerId);
    state.timerId = 0;
  }
}

void CALLBACK RedrawTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  RedrawState& state = ThreadRedrawState();
  // One-shot: the system timer would otherwise repeat.
  if (state.timerId != 0) {
    KillTimer(nullptr, state.timerId);
    state.timerId = 0;
  }
  if (!state.pending && IsWindow(state.view)) InvalidateRect(state.view, nullptr, FALSE);
}

void StopRedrawTimerAtUnload() {
  RedrawState& state = ThreadRedrawState();
  if (state.timerId != 0) {
    KillTimer(nullptr, state.timerId);
    state.timerId = 0;
  }
}
