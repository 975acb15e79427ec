#include "tests/support/allocation_watch.h"

#include <cstdlib>
#include <unordered_set>

#include "tests/support/import_hook.h"

namespace testing_support {

namespace {

long long Calls = 0;
std::unordered_set<const void*>& Live() {
  static std::unordered_set<const void*> live;
  return live;
}

void Made(const void* block) {
  ++Calls;
  if (block != nullptr) Live().insert(block);
}
void GivenBack(const void* block) {
  Live().erase(block);
}
// A block moved or grown: the old one is gone only when a new one came back.
void Moved(const void* old, const void* block) {
  ++Calls;
  if (block == nullptr) return;
  Live().erase(old);
  Live().insert(block);
}

enum Entry {
  Malloc,
  Calloc,
  Realloc,
  Free,
  AlignedMalloc,
  AlignedFree,
  Strdup,
  Wcsdup,
  HeapAllocEntry,
  HeapReAllocEntry,
  HeapFreeEntry,
  LocalAllocEntry,
  LocalReAllocEntry,
  LocalFreeEntry,
  GlobalAllocEntry,
  GlobalReAllocEntry,
  GlobalFreeEntry,
  VirtualAllocEntry,
  VirtualFreeEntry,
  OperatorNew,
  OperatorNewArray,
  OperatorDelete,
  OperatorDeleteArray,
  OperatorDeleteSized,
  EntryCount
};

ImportHook Hooks[EntryCount];
// The real functions, kept from the last module that imported each: a module loaded later that
// does not import one leaves the earlier modules' calls still to forward.
void* Originals[EntryCount];

template <typename Function>
Function Real(Entry entry) {
  return reinterpret_cast<Function>(Originals[entry]);
}

void* __cdecl WatchedMalloc(size_t n) {
  void* block = Real<void*(__cdecl*)(size_t)>(Malloc)(n);
  Made(block);
  return block;
}
void* __cdecl WatchedCalloc(size_t count, size_t n) {
  void* block = Real<void*(__cdecl*)(size_t, size_t)>(Calloc)(count, n);
  Made(block);
  return block;
}
void* __cdecl WatchedRealloc(void* old, size_t n) {
  void* block = Real<void*(__cdecl*)(void*, size_t)>(Realloc)(old, n);
  if (n == 0 && old != nullptr) GivenBack(old);  // realloc(p, 0) frees p
  Moved(old, block);
  return block;
}
void __cdecl WatchedFree(void* block) {
  GivenBack(block);
  Real<void(__cdecl*)(void*)>(Free)(block);
}
void* __cdecl WatchedAlignedMalloc(size_t n, size_t alignment) {
  void* block = Real<void*(__cdecl*)(size_t, size_t)>(AlignedMalloc)(n, alignment);
  Made(block);
  return block;
}
void __cdecl WatchedAlignedFree(void* block) {
  GivenBack(block);
  Real<void(__cdecl*)(void*)>(AlignedFree)(block);
}
char* __cdecl WatchedStrdup(const char* text) {
  char* block = Real<char*(__cdecl*)(const char*)>(Strdup)(text);
  Made(block);
  return block;
}
wchar_t* __cdecl WatchedWcsdup(const wchar_t* text) {
  wchar_t* block = Real<wchar_t*(__cdecl*)(const wchar_t*)>(Wcsdup)(text);
  Made(block);
  return block;
}
LPVOID WINAPI WatchedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T n) {
  LPVOID block = Real<LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T)>(HeapAllocEntry)(heap, flags, n);
  Made(block);
  return block;
}
LPVOID WINAPI WatchedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID old, SIZE_T n) {
  LPVOID block =
      Real<LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T)>(HeapReAllocEntry)(heap, flags, old, n);
  Moved(old, block);
  return block;
}
BOOL WINAPI WatchedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  GivenBack(block);
  return Real<BOOL(WINAPI*)(HANDLE, DWORD, LPVOID)>(HeapFreeEntry)(heap, flags, block);
}
HLOCAL WINAPI WatchedLocalAlloc(UINT flags, SIZE_T n) {
  HLOCAL block = Real<HLOCAL(WINAPI*)(UINT, SIZE_T)>(LocalAllocEntry)(flags, n);
  Made(block);
  return block;
}
HLOCAL WINAPI WatchedLocalReAlloc(HLOCAL old, SIZE_T n, UINT flags) {
  HLOCAL block = Real<HLOCAL(WINAPI*)(HLOCAL, SIZE_T, UINT)>(LocalReAllocEntry)(old, n, flags);
  Moved(old, block);
  return block;
}
HLOCAL WINAPI WatchedLocalFree(HLOCAL block) {
  GivenBack(block);
  return Real<HLOCAL(WINAPI*)(HLOCAL)>(LocalFreeEntry)(block);
}
HGLOBAL WINAPI WatchedGlobalAlloc(UINT flags, SIZE_T n) {
  HGLOBAL block = Real<HGLOBAL(WINAPI*)(UINT, SIZE_T)>(GlobalAllocEntry)(flags, n);
  Made(block);
  return block;
}
HGLOBAL WINAPI WatchedGlobalReAlloc(HGLOBAL old, SIZE_T n, UINT flags) {
  HGLOBAL block = Real<HGLOBAL(WINAPI*)(HGLOBAL, SIZE_T, UINT)>(GlobalReAllocEntry)(old, n, flags);
  Moved(old, block);
  return block;
}
HGLOBAL WINAPI WatchedGlobalFree(HGLOBAL block) {
  GivenBack(block);
  return Real<HGLOBAL(WINAPI*)(HGLOBAL)>(GlobalFreeEntry)(block);
}
LPVOID WINAPI WatchedVirtualAlloc(LPVOID address, SIZE_T n, DWORD type, DWORD protect) {
  LPVOID block = Real<LPVOID(WINAPI*)(LPVOID, SIZE_T, DWORD, DWORD)>(VirtualAllocEntry)(
      address, n, type, protect);
  // Committing pages of a region reserved before adds no block.
  if (address == nullptr || (type & MEM_RESERVE) != 0) {
    Made(block);
  } else {
    ++Calls;
  }
  return block;
}
BOOL WINAPI WatchedVirtualFree(LPVOID address, SIZE_T n, DWORD type) {
  if ((type & MEM_RELEASE) != 0) GivenBack(address);
  return Real<BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD)>(VirtualFreeEntry)(address, n, type);
}
void* WatchedNew(size_t n) {
  void* block = Real<void* (*)(size_t)>(OperatorNew)(n);
  Made(block);
  return block;
}
void* WatchedNewArray(size_t n) {
  void* block = Real<void* (*)(size_t)>(OperatorNewArray)(n);
  Made(block);
  return block;
}
void WatchedDelete(void* block) {
  GivenBack(block);
  Real<void (*)(void*)>(OperatorDelete)(block);
}
void WatchedDeleteArray(void* block) {
  GivenBack(block);
  Real<void (*)(void*)>(OperatorDeleteArray)(block);
}
void WatchedDeleteSized(void* block, size_t n) {
  GivenBack(block);
  Real<void (*)(void*, size_t)>(OperatorDeleteSized)(block, n);
}

struct Wrapper {
  const char* dll;
  const char* name;
  void* watched;
};

// operator new and delete by their mangled names, as a DLL of the C++ runtime would export them.
#if defined(_WIN64)
#define SIZE_CODE "y"
#else
#define SIZE_CODE "j"
#endif
const Wrapper Wrappers[EntryCount] = {
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&WatchedMalloc)},
    {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&WatchedCalloc)},
    {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&WatchedRealloc)},
    {"msvcrt.dll", "free", reinterpret_cast<void*>(&WatchedFree)},
    {"msvcrt.dll", "_aligned_malloc", reinterpret_cast<void*>(&WatchedAlignedMalloc)},
    {"msvcrt.dll", "_aligned_free", reinterpret_cast<void*>(&WatchedAlignedFree)},
    {"msvcrt.dll", "_strdup", reinterpret_cast<void*>(&WatchedStrdup)},
    {"msvcrt.dll", "_wcsdup", reinterpret_cast<void*>(&WatchedWcsdup)},
    {"kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(&WatchedHeapAlloc)},
    {"kernel32.dll", "HeapReAlloc", reinterpret_cast<void*>(&WatchedHeapReAlloc)},
    {"kernel32.dll", "HeapFree", reinterpret_cast<void*>(&WatchedHeapFree)},
    {"kernel32.dll", "LocalAlloc", reinterpret_cast<void*>(&WatchedLocalAlloc)},
    {"kernel32.dll", "LocalReAlloc", reinterpret_cast<void*>(&WatchedLocalReAlloc)},
    {"kernel32.dll", "LocalFree", reinterpret_cast<void*>(&WatchedLocalFree)},
    {"kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&WatchedGlobalAlloc)},
    {"kernel32.dll", "GlobalReAlloc", reinterpret_cast<void*>(&WatchedGlobalReAlloc)},
    {"kernel32.dll", "GlobalFree", reinterpret_cast<void*>(&WatchedGlobalFree)},
    {"kernel32.dll", "VirtualAlloc", reinterpret_cast<void*>(&WatchedVirtualAlloc)},
    {"kernel32.dll", "VirtualFree", reinterpret_cast<void*>(&WatchedVirtualFree)},
    {"libstdc++-6.dll", "_Znw" SIZE_CODE, reinterpret_cast<void*>(&WatchedNew)},
    {"libstdc++-6.dll", "_Zna" SIZE_CODE, reinterpret_cast<void*>(&WatchedNewArray)},
    {"libstdc++-6.dll", "_ZdlPv", reinterpret_cast<void*>(&WatchedDelete)},
    {"libstdc++-6.dll", "_ZdaPv", reinterpret_cast<void*>(&WatchedDeleteArray)},
    {"libstdc++-6.dll", "_ZdlPv" SIZE_CODE, reinterpret_cast<void*>(&WatchedDeleteSized)},
};

}  // namespace

WatchedImports WatchAllocations(HMODULE module) {
  WatchedImports result;
  for (int i = 0; i < EntryCount; ++i) {
    const Wrapper& w = Wrappers[i];
    Hooks[i] = HookImport(module, w.dll, w.name, w.watched);
    if (Hooks[i].hooked()) Originals[i] = Hooks[i].original;
    (Hooks[i].hooked() ? result.watched : result.absent) += std::string(" ") + w.name;
    result.hooked += Hooks[i].hooked() ? 1 : 0;
  }
  return result;
}

long long AllocationCalls() {
  return Calls;
}

long long LiveBlocks() {
  return static_cast<long long>(Live().size());
}

long long AllocationsOfOneCallThroughTheModule() {
  if (!Hooks[Calloc].hooked()) return -1;
  const long long before = Calls;
  void* block = SlotFunction<void*(__cdecl*)(size_t, size_t)>(Hooks[Calloc])(1, 16);
  if (Hooks[Free].hooked()) {
    SlotFunction<void(__cdecl*)(void*)>(Hooks[Free])(block);
  } else {
    std::free(block);
  }
  return Calls - before;
}

}  // namespace testing_support
