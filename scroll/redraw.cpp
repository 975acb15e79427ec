#include "scroll/redraw.h"

#include <cstdint>

#include "settings/settings.h"

namespace {
struct RedrawState {
  bool pending;
  UINT_PTR timerId;
  HWND view;
};

// Each thread's state lives in three system TLS slots. The system zeroes a new slot in every
// thread, including threads that were running before the DLL was loaded, and reading or writing
// a slot never allocates (the compiler's thread_local goes through emulated TLS, which allocates
// on a thread's first use).
enum RedrawSlot { SlotPending, SlotTimerId, SlotView, SlotCount };
DWORD slots[SlotCount] = {TLS_OUT_OF_INDEXES, TLS_OUT_OF_INDEXES, TLS_OUT_OF_INDEXES};

bool HaveSlots() {
  for (DWORD slot : slots) {
    if (slot == TLS_OUT_OF_INDEXES) return false;
  }
  return true;
}

// Without slots (the process ran out of them) the thread always looks idle: no repaint.
RedrawState LoadState() {
  if (!HaveSlots()) return {};
  return {TlsGetValue(slots[SlotPending]) != nullptr,
          reinterpret_cast<UINT_PTR>(TlsGetValue(slots[SlotTimerId])),
          static_cast<HWND>(TlsGetValue(slots[SlotView]))};
}

void StoreState(const RedrawState& state) {
  if (!HaveSlots()) return;
  TlsSetValue(slots[SlotPending], reinterpret_cast<void*>(static_cast<uintptr_t>(state.pending)));
  TlsSetValue(slots[SlotTimerId], reinterpret_cast<void*>(state.timerId));
  TlsSetValue(slots[SlotView], state.view);
}

constexpr UINT_PTR RequestedTimerId = 1;

void KillRunningTimer(RedrawState& state) {
  if (state.timerId != 0) {
    KillTimer(nullptr, state.timerId);
    state.timerId = 0;
  }
}
}  // namespace

void AllocateRedrawState() {
  for (DWORD& slot : slots) slot = TlsAlloc();
}

void ReleaseRedrawState() {
  RedrawState state = LoadState();
  KillRunningTimer(state);
  for (DWORD& slot : slots) {
    if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
    slot = TLS_OUT_OF_INDEXES;
  }
}

void MarkRedrawPending() {
  RedrawState state = LoadState();
  state.pending = true;
  StoreState(state);
}

void ArmRedraw(HWND view) {
  RedrawState state = LoadState();
  if (!state.pending) return;
  state.pending = false;
  // The old identifier is not cleared here: SetTimer's result replaces it below.
  if (state.timerId != 0) KillTimer(nullptr, state.timerId);
  state.view = view;
  state.timerId = SetTimer(nullptr, RequestedTimerId, Settings.redrawDelay, RedrawTimerProc);
  StoreState(state);
}

void CancelRedraw() {
  RedrawState state = LoadState();
  state.pending = false;
  KillRunningTimer(state);
  StoreState(state);
}

void CALLBACK RedrawTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  RedrawState state = LoadState();
  // One-shot: the system timer would otherwise repeat.
  KillRunningTimer(state);
  StoreState(state);
  if (!state.pending && IsWindow(state.view)) InvalidateRect(state.view, nullptr, FALSE);
}
