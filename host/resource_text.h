#pragma once
#include <windows.h>

#include <string>

// The module instance, stored by DllMain at process attach.
extern HINSTANCE ModuleInstance;

// String `id` of the module's string table; empty when it is missing.
std::wstring LoadResourceString(UINT id);

// Copies string `id` with its NUL into `buffer` (`capacity` characters) when it fits, else leaves
// an empty string there; never writes past `capacity`. Returns the length plus one.
UINT CopyResourceText(UINT id, UINT capacity, wchar_t* buffer);
