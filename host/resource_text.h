#pragma once
#include <windows.h>

// The module instance, stored by DllMain at process attach.
extern HINSTANCE gModuleInstance;

// The longest of the plug-in's texts is under 100 characters; the identity tests hold every one
// of them below this.
constexpr int ResourceTextCapacity = 256;

// A string resource held by value, NUL-terminated: the plug-in's texts are short, and a value
// needs no heap, so neither a settings reload nor the dialog allocates; 512 bytes of the editor's
// stack.
struct ResourceString {
  wchar_t text[ResourceTextCapacity];
};

// String `id` of the module's string table; empty when it is missing.
ResourceString LoadResourceString(UINT id);

// Copies string `id` with its NUL into `buffer` (`capacity` characters) when it fits, else leaves
// an empty string there; never writes past `capacity`. Returns the length plus one.
UINT CopyResourceText(UINT id, UINT capacity, wchar_t* buffer);
