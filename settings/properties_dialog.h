#pragma once
#include <windows.h>

// The modal properties dialog (resource IDD_PROPERTIES); the creation parameter is the view.
INT_PTR CALLBACK PropertiesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
