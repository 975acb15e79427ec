#pragma once
// The DLL as the editor gets it: its size on disk, its sections and what it imports, read from the
// loaded module's own headers.

#include <windows.h>

#include <string>

namespace bench {

// Prints the file's size, the module's sections and its imports, DLL by DLL.
void PrintModule(HMODULE module, const std::wstring& path);

}  // namespace bench
