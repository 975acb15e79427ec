#include "scroll/redraw.h"

#include <atomic>
#include <cstdint>

#include "settings/settings.h"

// GCC for MinGW implements thread_local with emulated TLS, which allocates on a thread's first use.
#if !defined(__clang__)
#error "build the plug-in with Clang and LLD (see cmake/): its thread_local must be native TLS"
#endif

namespace {
struct RedrawState {
  bool pending;
  UINT_PTR timerId;
  HWND view;
};

// Each thread's own state, zero until its first use. The build's compiler and linker give
// thread_local the module's implicit TLS, which the loader sets up for every thread, so nothing is
// allocated on a thread's first jump.
thread_local RedrawState tRedrawState = {};

constexpr UINT_PTR RequestedTimerId = 1;

// A window-less timer can only be killed by the thread that made it, and the unload runs on one
// thread. The editor loads and unloads its plug-ins on its main thread; a timer armed on any other
// editor thread would outlive the unload and call into code that is gone. So the first time that
// happens, the module pins itself for the rest of the process: an unload then leaves it mapped and
// that timer's callback runs as usual. With one editor thread nothing is pinned, and an unload
// kills the timer and unmaps the module as before.
DWORD gLoaderThread = 0;
std::atomic<bool> gModulePinned{false};

void KeepModuleForOtherThreads() {
  if (GetCurrentThreadId() == gLoaderThread || gModulePinned.exchange(true)) return;
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&RedrawTimerProc), &self);
}

void KillRunningTimer(RedrawState& state) {
  if (state.timerId != 0) {
    KillTimer(nullptr, state.timerId);
    state.timerId = 0;
  }
}
}  // namespace

void NoteLoaderThread() {
  gLoaderThread = GetCurrentThreadId();
}

void StopRedrawTimerAtUnload() {
  KillRunningTimer(tRedrawState);
}

void MarkRedrawPending() {
  tRedrawState.pending = true;
}

void ArmRedraw(HWND view) {
  RedrawState& state = tRedrawState;
  if (!state.pending) return;
  state.pending = false;
  // The old identifier is not cleared here: SetTimer's result replaces it below.
  if (state.timerId != 0) KillTimer(nullptr, state.timerId);
  state.view = view;
  KeepModuleForOtherThreads();
  state.timerId = SetTimer(nullptr, RequestedTimerId, gSettings.redrawDelay, RedrawTimerProc);
}

void CancelRedraw() {
  tRedrawState.pending = false;
  KillRunningTimer(tRedrawState);
}

void CALLBACK RedrawTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  RedrawState& state = tRedrawState;
  // One-shot: the system timer would otherwise repeat.
  KillRunningTimer(state);
  if (!state.pending && IsWindow(state.view)) InvalidateRect(state.view, nullptr, FALSE);
}
