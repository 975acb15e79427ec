#pragma once
#include <windows.h>

// The deferred full repaint after a scroll-ahead jump. The state is per thread and the timer is
// a window-less thread timer, so every editor thread arms, cancels and repaints only its own.

// Called by scroll-ahead after a jump of more than one line.
void MarkRedrawPending();
// Starts the one-shot timer if a jump is pending.
void ArmRedraw(HWND view);
// Drops a pending jump and a running timer.
void CancelRedraw();
void CALLBACK RedrawTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
// At load: the thread that loads the module, which the editor also unloads it on.
void NoteLoaderThread();
// At FreeLibrary: kills the calling thread's timer so that no callback runs into unloaded code.
void StopRedrawTimerAtUnload();
