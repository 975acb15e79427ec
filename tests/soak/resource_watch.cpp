#include "tests/soak/resource_watch.h"

#include <winternl.h>

#include <algorithm>
#include <cstdio>

namespace soak {

namespace {

// The process's kernel handles from the system's handle list, where GetProcessHandleCount
// answers 0 (Wine).
DWORD HandlesInSystemList() {
  struct Entry {
    ULONG process;
    BYTE type, flags;
    USHORT handle;
    void* object;
    ACCESS_MASK access;
  };
  using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  static std::vector<unsigned char> buffer(1 << 20);
  ULONG length = 0;
  constexpr int SystemHandleInformation = 16;
  if (query == nullptr || query(SystemHandleInformation, buffer.data(),
                                static_cast<ULONG>(buffer.size()), &length) != 0) {
    return 0;
  }
  const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
  const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
  const DWORD self = GetCurrentProcessId();
  DWORD mine = 0;
  for (ULONG i = 0; i < count; ++i) mine += entries[i].process == self ? 1 : 0;
  return mine;
}

// The process's windows, top-level and children, where GetGuiResources answers 0 (Wine).
struct WindowTally {
  DWORD process;
  DWORD windows;
};

BOOL CALLBACK CountChild(HWND, LPARAM data) {
  ++reinterpret_cast<WindowTally*>(data)->windows;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND top, LPARAM data) {
  auto* tally = reinterpret_cast<WindowTally*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(top, &owner);
  if (owner != tally->process) return TRUE;
  ++tally->windows;
  EnumChildWindows(top, CountChild, data);
  return TRUE;
}

DWORD WindowsOfProcess() {
  WindowTally tally{GetCurrentProcessId(), 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&tally));
  return tally.windows;
}

// The GDI handle table the process environment block points to. A 32-bit process on a 64-bit
// system (WoW64, also under Wine) has it only in its 64-bit block, reached from the 64-bit thread
// block whose address the 32-bit one keeps in its GDI batch count field.
const unsigned char* GdiHandleTable() {
#if defined(_WIN64)
  const auto* peb = reinterpret_cast<const unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  return *reinterpret_cast<const unsigned char* const*>(peb + 0xF8);
#else
  const auto* peb = reinterpret_cast<const unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  const auto* table = *reinterpret_cast<const unsigned char* const*>(peb + 0x94);
  if (table != nullptr) return table;
  const auto* teb = reinterpret_cast<const unsigned char*>(NtCurrentTeb());
  const ULONG teb64 = *reinterpret_cast<const ULONG*>(teb + 0xF70);
  if (teb64 == 0) return nullptr;
  const auto peb64 = *reinterpret_cast<const ULONGLONG*>(static_cast<ULONG_PTR>(teb64) + 0x60);
  const auto table64 = *reinterpret_cast<const ULONGLONG*>(static_cast<ULONG_PTR>(peb64) + 0xF8);
  return reinterpret_cast<const unsigned char*>(static_cast<ULONG_PTR>(table64));
#endif
}

// The process's GDI objects from its GDI handle table, where GetGuiResources answers 0 (Wine).
// Under Wine each entry is 24 bytes on both architectures (its object and user pointers are
// 64-bit fields), with the object's type in the byte at offset 14, 0 for a free entry. Only the
// committed part of the table is read.
DWORD GdiObjectsInHandleTable() {
  constexpr size_t EntrySize = 24, TypeOffset = 14, MaxEntries = 0x10000;
  const unsigned char* table = GdiHandleTable();
  MEMORY_BASIC_INFORMATION region{};
  if (table == nullptr || VirtualQuery(table, &region, sizeof region) != sizeof region ||
      region.State != MEM_COMMIT) {
    return 0;
  }
  const size_t committed = static_cast<size_t>(
      static_cast<const unsigned char*>(region.BaseAddress) + region.RegionSize - table);
  const size_t entries = std::min(MaxEntries, committed / EntrySize);
  DWORD objects = 0;
  for (size_t i = 0; i < entries; ++i) objects += table[i * EntrySize + TypeOffset] != 0 ? 1 : 0;
  return objects;
}

// The committed private memory of the process, from its own view of its address space: what
// Windows counts as private bytes. Wine's counters do not give it: PrivateUsage is 0, and
// PagefileUsage is the anonymous memory of the Unix process, which under qemu-user holds the
// emulator's own (translated code, its heap) and grows with every DLL mapped again, whoever's.
uint64_t CommittedPrivateBytes() {
  uint64_t total = 0;
  const unsigned char* at = nullptr;
  MEMORY_BASIC_INFORMATION region{};
  while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const auto* next = static_cast<const unsigned char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

}  // namespace

ResourceSample SampleResources(uint64_t step, uint64_t timers, int64_t liveBlocks) {
  ResourceSample s;
  s.step = step;
  const HANDLE self = GetCurrentProcess();
  s.userObjects = GetGuiResources(self, GR_USEROBJECTS);
  if (s.userObjects == 0) s.userObjects = WindowsOfProcess();
  s.gdiObjects = GetGuiResources(self, GR_GDIOBJECTS);
  if (s.gdiObjects == 0) s.gdiObjects = GdiObjectsInHandleTable();
  GetProcessHandleCount(self, &s.handles);
  if (s.handles == 0) s.handles = HandlesInSystemList();
  s.privateBytes = CommittedPrivateBytes();
  s.timers = timers;
  s.liveBlocks = liveBlocks;
  return s;
}

std::vector<std::string> ResourceTable(const std::vector<ResourceSample>& samples, uint64_t warmUp,
                                       std::vector<std::string>& grown) {
  struct Count {
    const char* name;
    int64_t (*of)(const ResourceSample&);
    int64_t margin;  // what a count may wander by without a leak: caches, lazily made objects
  };
  static const Count counts[] = {
      {"USER objects (windows)", [](const ResourceSample& s) { return int64_t{s.userObjects}; },
       16},
      {"GDI objects", [](const ResourceSample& s) { return int64_t{s.gdiObjects}; }, 16},
      {"kernel handles", [](const ResourceSample& s) { return int64_t{s.handles}; }, 32},
      {"private bytes",
       [](const ResourceSample& s) { return static_cast<int64_t>(s.privateBytes); }, 4 << 20},
      {"plug-in timers", [](const ResourceSample& s) { return static_cast<int64_t>(s.timers); }, 1},
      {"plug-in heap blocks", [](const ResourceSample& s) { return s.liveBlocks; }, 8},
  };
  std::vector<std::string> lines;
  grown.clear();
  auto first = std::find_if(samples.begin(), samples.end(),
                            [&](const ResourceSample& s) { return s.step >= warmUp; });
  if (samples.end() - first < 2) return lines;
  char line[160];
  std::snprintf(line, sizeof line, "  %-22s %14s %14s %14s %12s", "count (every sample)", "first",
                "last", "highest", "may grow by");
  lines.push_back(line);
  for (const Count& count : counts) {
    const int64_t start = count.of(*first);
    const int64_t last = count.of(samples.back());
    int64_t highest = start;
    for (auto s = first; s != samples.end(); ++s) highest = std::max(highest, count.of(*s));
    const bool grew = highest - start > count.margin;
    std::snprintf(line, sizeof line, "  %-22s %14lld %14lld %14lld %12lld%s", count.name,
                  static_cast<long long>(start), static_cast<long long>(last),
                  static_cast<long long>(highest), static_cast<long long>(count.margin),
                  grew ? "  GREW" : "");
    lines.push_back(line);
    if (grew) {
      std::snprintf(line, sizeof line, "%s grew from %lld to %lld (highest %lld)", count.name,
                    static_cast<long long>(start), static_cast<long long>(last),
                    static_cast<long long>(highest));
      grown.push_back(line);
    }
  }
  return lines;
}

}  // namespace soak
