// The soak's control run loads and frees this DLL wherever the plug-in's run loads and frees the
// plug-in: what any DLL of this toolchain costs the loader, Wine or an emulator then shows in the
// control too, and only what the plug-in keeps beyond that is the plug-in's.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
