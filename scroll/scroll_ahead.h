#pragma once
#include <windows.h>

#include <cstdint>

// Lines the view must move after a caret move: positive moves it up (the first visible line
// decreases), negative down, 0 leaves it.
int32_t ComputeScrollDelta(HWND view);

// One complete scroll-ahead after a caret move, on the editor's calling thread.
void ApplyScrollAhead(HWND view);
