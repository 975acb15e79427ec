#include "scroll/redraw.h"

#include "settings/settings.h"

namespace {
struct RedrawState {
  bool pending;
  UINT_PTR timerId;
  HWND view;
};

// Each thread's own state, zero until the thread first touches it. The language's thread_local
// is used rather than the loader's TLS directory: a DLL loaded at run time must also serve
// threads that were already running, which the loader's per-module TLS does not reliably cover
// everywhere (Wine).
thread_local RedrawState threadRedrawState = {};

RedrawState& ThreadRedrawState() {
  return threadRedrawState;
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
