#include "bench/allocation_counter.h"

#include <cstdlib>
#include <iterator>

#include "tests/support/import_hook.h"

namespace bench {

namespace {

using testing_support::ImportHook;

long long Count = 0;

enum Entry {
  Malloc,
  Calloc,
  Realloc,
  AlignedMalloc,
  Strdup,
  Wcsdup,
  HeapAllocEntry,
  HeapReAllocEntry,
  LocalAllocEntry,
  GlobalAllocEntry,
  VirtualAllocEntry,
  EntryCount
};

ImportHook Hooks[EntryCount];

// The real function behind a hooked entry.
template <typename Function>
Function Real(Entry entry) {
  return reinterpret_cast<Function>(Hooks[entry].original);
}

void* __cdecl CountedMalloc(size_t n) {
  ++Count;
  return Real<void*(__cdecl*)(size_t)>(Malloc)(n);
}
void* __cdecl CountedCalloc(size_t count, size_t n) {
  ++Count;
  return Real<void*(__cdecl*)(size_t, size_t)>(Calloc)(count, n);
}
void* __cdecl CountedRealloc(void* block, size_t n) {
  ++Count;
  return Real<void*(__cdecl*)(void*, size_t)>(Realloc)(block, n);
}
void* __cdecl CountedAlignedMalloc(size_t n, size_t alignment) {
  ++Count;
  return Real<void*(__cdecl*)(size_t, size_t)>(AlignedMalloc)(n, alignment);
}
char* __cdecl CountedStrdup(const char* text) {
  ++Count;
  return Real<char*(__cdecl*)(const char*)>(Strdup)(text);
}
wchar_t* __cdecl CountedWcsdup(const wchar_t* text) {
  ++Count;
  return Real<wchar_t*(__cdecl*)(const wchar_t*)>(Wcsdup)(text);
}
LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T n) {
  ++Count;
  return Real<LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T)>(HeapAllocEntry)(heap, flags, n);
}
LPVOID WINAPI CountedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T n) {
  ++Count;
  return Real<LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T)>(HeapReAllocEntry)(heap, flags, block,
                                                                                n);
}
HLOCAL WINAPI CountedLocalAlloc(UINT flags, SIZE_T n) {
  ++Count;
  return Real<HLOCAL(WINAPI*)(UINT, SIZE_T)>(LocalAllocEntry)(flags, n);
}
HGLOBAL WINAPI CountedGlobalAlloc(UINT flags, SIZE_T n) {
  ++Count;
  return Real<HGLOBAL(WINAPI*)(UINT, SIZE_T)>(GlobalAllocEntry)(flags, n);
}
LPVOID WINAPI CountedVirtualAlloc(LPVOID address, SIZE_T n, DWORD type, DWORD protect) {
  ++Count;
  return Real<LPVOID(WINAPI*)(LPVOID, SIZE_T, DWORD, DWORD)>(VirtualAllocEntry)(address, n, type,
                                                                                protect);
}

struct Wrapper {
  const char* dll;
  const char* name;
  void* counted;
};

const Wrapper Wrappers[EntryCount] = {
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountedMalloc)},
    {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountedCalloc)},
    {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountedRealloc)},
    {"msvcrt.dll", "_aligned_malloc", reinterpret_cast<void*>(&CountedAlignedMalloc)},
    {"msvcrt.dll", "_strdup", reinterpret_cast<void*>(&CountedStrdup)},
    {"msvcrt.dll", "_wcsdup", reinterpret_cast<void*>(&CountedWcsdup)},
    {"kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(&CountedHeapAlloc)},
    {"kernel32.dll", "HeapReAlloc", reinterpret_cast<void*>(&CountedHeapReAlloc)},
    {"kernel32.dll", "LocalAlloc", reinterpret_cast<void*>(&CountedLocalAlloc)},
    {"kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&CountedGlobalAlloc)},
    {"kernel32.dll", "VirtualAlloc", reinterpret_cast<void*>(&CountedVirtualAlloc)},
};

}  // namespace

long long Allocations() {
  return Count;
}

CountedImports CountAllocations(HMODULE module) {
  CountedImports result;
  for (int i = 0; i < EntryCount; ++i) {
    const Wrapper& w = Wrappers[i];
    Hooks[i] = testing_support::HookImport(module, w.dll, w.name, w.counted);
    (Hooks[i].hooked() ? result.watched : result.absent) += std::string(" ") + w.name;
    result.hooked += Hooks[i].hooked() ? 1 : 0;
  }
  return result;
}

long long AllocationsOfOneCallThroughTheModule() {
  if (!Hooks[Calloc].hooked()) return -1;
  const long long before = Count;
  std::free(testing_support::SlotFunction<void*(__cdecl*)(size_t, size_t)>(Hooks[Calloc])(1, 16));
  return Count - before;
}

}  // namespace bench
