// What one caret move costs the editor with the plug-in loaded: the host messages it sends, the
// heap allocations it makes, and the time of an event call next to the bare host calls it cannot
// avoid. Exits non-zero when a move sends more than nine messages or allocates.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "host/host_messages.h"
#include "sim/sim_editor.h"

namespace {

constexpr size_t MaxMessagesPerMove = 9;
constexpr int32_t Page = 30;
constexpr int32_t FirstLine = 100;

// ---- Allocations counted at the plug-in's import address table

// Every allocation the plug-in module makes itself passes through one of these imports; the
// wrappers count and forward to the original entry.
long long Allocations = 0;

using MallocFn = void*(__cdecl*)(size_t);
using CallocFn = void*(__cdecl*)(size_t, size_t);
using ReallocFn = void*(__cdecl*)(void*, size_t);
using AlignedMallocFn = void*(__cdecl*)(size_t, size_t);
using StrdupFn = char*(__cdecl*)(const char*);
using WcsdupFn = wchar_t*(__cdecl*)(const wchar_t*);
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
using LocalAllocFn = HLOCAL(WINAPI*)(UINT, SIZE_T);
using GlobalAllocFn = HGLOBAL(WINAPI*)(UINT, SIZE_T);
using VirtualAllocFn = LPVOID(WINAPI*)(LPVOID, SIZE_T, DWORD, DWORD);

void* RealMalloc;
void* RealCalloc;
void* RealRealloc;
void* RealAlignedMalloc;
void* RealStrdup;
void* RealWcsdup;
void* RealHeapAlloc;
void* RealHeapReAlloc;
void* RealLocalAlloc;
void* RealGlobalAlloc;
void* RealVirtualAlloc;

template <typename Fn>
Fn Real(void* entry) {
  return reinterpret_cast<Fn>(entry);
}

void* __cdecl CountedMalloc(size_t n) {
  ++Allocations;
  return Real<MallocFn>(RealMalloc)(n);
}
void* __cdecl CountedCalloc(size_t count, size_t n) {
  ++Allocations;
  return Real<CallocFn>(RealCalloc)(count, n);
}
void* __cdecl CountedRealloc(void* block, size_t n) {
  ++Allocations;
  return Real<ReallocFn>(RealRealloc)(block, n);
}
void* __cdecl CountedAlignedMalloc(size_t n, size_t alignment) {
  ++Allocations;
  return Real<AlignedMallocFn>(RealAlignedMalloc)(n, alignment);
}
char* __cdecl CountedStrdup(const char* text) {
  ++Allocations;
  return Real<StrdupFn>(RealStrdup)(text);
}
wchar_t* __cdecl CountedWcsdup(const wchar_t* text) {
  ++Allocations;
  return Real<WcsdupFn>(RealWcsdup)(text);
}
LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T n) {
  ++Allocations;
  return Real<HeapAllocFn>(RealHeapAlloc)(heap, flags, n);
}
LPVOID WINAPI CountedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T n) {
  ++Allocations;
  return Real<HeapReAllocFn>(RealHeapReAlloc)(heap, flags, block, n);
}
HLOCAL WINAPI CountedLocalAlloc(UINT flags, SIZE_T n) {
  ++Allocations;
  return Real<LocalAllocFn>(RealLocalAlloc)(flags, n);
}
HGLOBAL WINAPI CountedGlobalAlloc(UINT flags, SIZE_T n) {
  ++Allocations;
  return Real<GlobalAllocFn>(RealGlobalAlloc)(flags, n);
}
LPVOID WINAPI CountedVirtualAlloc(LPVOID address, SIZE_T n, DWORD type, DWORD protect) {
  ++Allocations;
  return Real<VirtualAllocFn>(RealVirtualAlloc)(address, n, type, protect);
}

struct ImportHook {
  const char* dll;
  const char* name;
  void* wrapper;
  void** original;
  bool patched;
  ULONG_PTR* slot;  // the module's import slot, once patched
};

ImportHook Hooks[] = {
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountedMalloc), &RealMalloc, false, nullptr},
    {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountedCalloc), &RealCalloc, false, nullptr},
    {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountedRealloc), &RealRealloc, false,
     nullptr},
    {"msvcrt.dll", "_aligned_malloc", reinterpret_cast<void*>(&CountedAlignedMalloc),
     &RealAlignedMalloc, false, nullptr},
    {"msvcrt.dll", "_strdup", reinterpret_cast<void*>(&CountedStrdup), &RealStrdup, false, nullptr},
    {"msvcrt.dll", "_wcsdup", reinterpret_cast<void*>(&CountedWcsdup), &RealWcsdup, false, nullptr},
    {"kernel32.dll", "HeapAlloc", reinterpret_cast<void*>(&CountedHeapAlloc), &RealHeapAlloc, false,
     nullptr},
    {"kernel32.dll", "HeapReAlloc", reinterpret_cast<void*>(&CountedHeapReAlloc), &RealHeapReAlloc,
     false, nullptr},
    {"kernel32.dll", "LocalAlloc", reinterpret_cast<void*>(&CountedLocalAlloc), &RealLocalAlloc,
     false, nullptr},
    {"kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&CountedGlobalAlloc), &RealGlobalAlloc,
     false, nullptr},
    {"kernel32.dll", "VirtualAlloc", reinterpret_cast<void*>(&CountedVirtualAlloc),
     &RealVirtualAlloc, false, nullptr},
};

// Walks the loaded module's import directory and points every listed allocation import at its
// counting wrapper. Returns how many entries were patched.
int PatchAllocationImports(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return 0;
  int patched = 0;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name != 0; ++d) {
    const char* dll = reinterpret_cast<const char*>(base + d->Name);
    // Without the lookup table the names are lost once the loader has bound the slots.
    if (d->OriginalFirstThunk == 0) continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      const char* name = reinterpret_cast<const char*>(byName->Name);
      for (ImportHook& hook : Hooks) {
        if (_stricmp(dll, hook.dll) != 0 || std::strcmp(name, hook.name) != 0) continue;
        DWORD protect = 0;
        if (!VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE,
                            &protect)) {
          continue;
        }
        *hook.original = reinterpret_cast<void*>(slots->u1.Function);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook.wrapper);
        VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protect, &protect);
        FlushInstructionCache(GetCurrentProcess(), &slots->u1.Function, sizeof(slots->u1.Function));
        hook.patched = true;
        hook.slot = reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
        ++patched;
      }
    }
  }
  return patched;
}

// ---- The DLL itself: size and what it imports

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// Prints the loaded module's sections and its imports, DLL by DLL, read from its own headers.
void PrintModule(HMODULE module, const std::wstring& path) {
  auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const uint64_t size = FileSize(path);
  std::printf("The DLL: %llu bytes (%.1f KiB)\n  sections:", static_cast<unsigned long long>(size),
              static_cast<double>(size) / 1024.0);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    std::printf(" %.8s %lu", reinterpret_cast<const char*>(section->Name),
                static_cast<unsigned long>(section->Misc.VirtualSize));
  }
  std::printf("\n");
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name != 0; ++d) {
    std::string names;
    int count = 0;
    if (d->OriginalFirstThunk != 0) {
      for (auto* n = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
           n->u1.AddressOfData != 0; ++n, ++count) {
        if (IMAGE_SNAP_BY_ORDINAL(n->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + n->u1.AddressOfData);
        names += std::string(" ") + reinterpret_cast<const char*>(byName->Name);
      }
    }
    // Wrapped, so that the list reads on a page.
    std::string line = "  imports " + std::string(reinterpret_cast<const char*>(base + d->Name)) +
                       " (" + std::to_string(count) + "):";
    size_t from = 0;
    while (from < names.size()) {
      const size_t next = names.find(' ', from + 1);
      const std::string word = names.substr(from, next == std::string::npos ? next : next - from);
      if (line.size() + word.size() > 98) {
        std::printf("%s\n", line.c_str());
        line = "     ";
      }
      line += word;
      from = next == std::string::npos ? names.size() : next;
    }
    std::printf("%s\n", line.c_str());
  }
}

// ---- The sweep: caret moves of every kind, as the editor leaves the view before telling

enum MoveKind { InsidePage, TopEdge, BottomEdge, Jump, AtLineZero, AtDocumentEnd, KindCount };

const char* const KindNames[KindCount] = {
    "inside the page",        "at the top edge", "at the bottom edge",
    "jump (editor scrolled)", "at line 0",       "at the document's end",
};

constexpr int32_t SweepLines = 1000;

// Places one move of `kind` (page 30, two lines kept each way); a quarter of the moves also leave
// the column beyond a shrunk horizontal range, which costs the caret messages as well.
void PlaceSweepMove(sim::Editor& editor, MoveKind kind, std::mt19937& random) {
  const auto pick = [&random](int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
  };
  sim::Document& d = editor.doc();
  d.lines = SweepLines;
  d.page = Page;
  const int32_t lastFirst = SweepLines - Page;
  int32_t first = 0;
  int32_t caret = 0;
  switch (kind) {
    case InsidePage:
      first = pick(0, lastFirst);
      caret = first + pick(2, Page - 3);
      break;
    case TopEdge:
      first = pick(2, lastFirst);
      caret = first + pick(0, 1);
      break;
    case BottomEdge:
      first = pick(0, lastFirst - 2);
      caret = first + pick(Page - 2, Page - 1);
      break;
    case Jump:
      // Page keys, Ctrl+Home/End, a search: the editor has already scrolled the caret into view.
      caret = pick(0, SweepLines - 1);
      first = std::min(sim::Editor::ScrollToShow(caret, pick(0, lastFirst), Page), lastFirst);
      break;
    case AtLineZero:
      first = 0;
      caret = pick(0, 2);
      break;
    case AtDocumentEnd:
      first = lastFirst;
      caret = SweepLines - 1 - pick(0, 2);
      break;
    case KindCount:
      break;
  }
  const bool columnDropped = pick(0, 3) == 0;
  d.maxScrollX = columnDropped ? 10 : 0;
  d.scroll = {columnDropped ? 25 : 0, first};
  d.caret = {columnDropped ? 31 : 0, caret};
}

struct SweepResult {
  int moves[KindCount] = {};
  size_t fewest[KindCount] = {};
  size_t most[KindCount] = {};
  long long messages[KindCount] = {};
  long long histogram[16] = {};  // moves by message count
  long long allocations = 0;
  int total = 0;
};

SweepResult Sweep(sim::Editor& editor, int movesPerKind) {
  SweepResult result;
  std::mt19937 random(20261208);
  const auto onEvents = editor.plugin().OnEvents;
  const long long allocationsBefore = Allocations;
  for (int move = 0; move < movesPerKind; ++move) {
    for (int k = 0; k < KindCount; ++k) {
      PlaceSweepMove(editor, static_cast<MoveKind>(k), random);
      editor.ClearCalls();
      onEvents(editor.view(), EventCaretMoved, 0);
      const size_t count = editor.calls().size();
      result.fewest[k] = result.moves[k] == 0 ? count : std::min(result.fewest[k], count);
      result.most[k] = std::max(result.most[k], count);
      result.messages[k] += static_cast<long long>(count);
      ++result.moves[k];
      ++result.histogram[std::min<size_t>(count, std::size(result.histogram) - 1)];
      ++result.total;
    }
    if (move % 256 == 255) editor.Pump(0);  // the deferred repaints come due between batches
  }
  result.allocations = Allocations - allocationsBefore;
  return result;
}

// ---- Scenes: where the caret lands, and what the plug-in must do about it

struct Scene {
  const char* name;
  int32_t rows[2];  // caret rows within the page, alternated move by move
  int32_t scrollX;
  int32_t maxScrollX;
  int32_t caretX;
  bool scrolls;      // the plug-in must move the view
  bool resetsCaret;  // ... and set the caret again because the column was dropped
};

const Scene Scenes[] = {
    {"steady (rows 10/20, no scroll)", {10, 20}, 0, 0, 0, false, false},
    {"one-line scroll (rows 28/1)", {28, 1}, 0, 0, 0, true, false},
    {"worst (rows 29/0, column dropped)", {29, 0}, 25, 10, 31, true, true},
};

// Puts the document where the scene starts, without telling the plug-in.
void Place(sim::Editor& editor, const Scene& scene, int move) {
  sim::Document& d = editor.doc();
  d.lines = 1000;
  d.page = Page;
  d.maxScrollX = scene.maxScrollX;
  d.scroll = {scene.scrollX, FirstLine};
  d.caret = {scene.caretX, FirstLine + scene.rows[move & 1]};
}

void StoreSettings(sim::Editor& editor) {
  const auto key = [](const wchar_t* name) {
    return sim::ProfileKey{HostPluginProfileKey, L"Brinkwatcher", name};
  };
  editor.profile()[key(L"brinkwatcherUp")] = 2;
  editor.profile()[key(L"brinkwatcherDown")] = 2;
  editor.profile()[key(L"mouseCancel")] = 1;  // the default: three button reads per move
  editor.profile()[key(L"redrawDelay")] = 50;
}

// One recorded host message, ready to be sent again without the plug-in.
struct Replay {
  UINT code;
  WPARAM wParam;
  bool pointIn;   // a set: the recorded point is sent
  bool hasPoint;  // a query: a zeroed point is filled
  ViewPoint in;
};

std::vector<Replay> ToReplay(const std::vector<sim::HostCall>& calls) {
  std::vector<Replay> out;
  for (const auto& call : calls) {
    const bool set = call.code == HostSetScrollPos || call.code == HostSetCaretPos;
    const bool query = call.code == HostGetCaretPos || call.code == HostGetPageSize ||
                       call.code == HostGetScrollPos;
    out.push_back({call.code, call.wParam, set, query, call.in});
  }
  return out;
}

// The host calls of one caret move made directly: the three mouse-button reads, then the same
// messages with the same codes and points.
void SendBare(HWND view, const std::vector<Replay>& sequence) {
  volatile SHORT buttons = 0;
  buttons = static_cast<SHORT>(buttons | GetAsyncKeyState(VK_LBUTTON));
  buttons = static_cast<SHORT>(buttons | GetAsyncKeyState(VK_RBUTTON));
  buttons = static_cast<SHORT>(buttons | GetAsyncKeyState(VK_MBUTTON));
  for (const Replay& r : sequence) {
    ViewPoint point = r.pointIn ? r.in : ViewPoint{};
    const LPARAM lParam = r.pointIn || r.hasPoint ? reinterpret_cast<LPARAM>(&point) : 0;
    SendMessageW(view, r.code, r.wParam, lParam);
  }
}

double Seconds(LONGLONG ticks) {
  static LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  return static_cast<double>(ticks) / static_cast<double>(frequency);
}

LONGLONG Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Has(const std::vector<sim::HostCall>& calls, UINT code) {
  return std::any_of(calls.begin(), calls.end(), [code](const auto& c) { return c.code == code; });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int iterations = 200000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::wcscmp(argv[i], L"--iterations") == 0) iterations = std::max(_wtoi(argv[i + 1]), 200);
  }
  constexpr int Rounds = 200;
  const int perRound = iterations / Rounds;

  sim::Editor editor;
  StoreSettings(editor);
  const std::wstring dll = sim::ProgramDirectory() + L"Brinkwatcher.dll";
  if (!editor.LoadPlugin(dll) || editor.plugin().OnEvents == nullptr) {
    std::fprintf(stderr, "cannot load %ls\n", dll.c_str());
    return 2;
  }
  editor.Settle();
  // Patched before the first caret move, so that a thread's first-use costs show up too.
  const int patched = PatchAllocationImports(editor.module());
  const HWND view = editor.view();
  const auto onEvents = editor.plugin().OnEvents;
  int status = 0;

  std::printf("Brinkwatcher: the cost of one caret move (OnEvents 0x20)\n\n");
  PrintModule(editor.module(), dll);

  // The first moves on this thread, cold, which also keep the exact sequences that the bare arm
  // of the timing sends again.
  std::vector<Replay> sequences[std::size(Scenes)][2];
  const long long beforeFirstMoves = Allocations;
  for (size_t s = 0; s < std::size(Scenes); ++s) {
    const Scene& scene = Scenes[s];
    for (int move = 0; move < 2; ++move) {
      Place(editor, scene, move);
      editor.ClearCalls();
      onEvents(view, EventCaretMoved, 0);
      const auto& calls = editor.calls();
      sequences[s][move] = ToReplay(calls);
      // The scene must really take the path it is named after, or its timing means nothing.
      if (calls.empty() || Has(calls, HostSetScrollPos) != scene.scrolls ||
          Has(calls, HostSetCaretPos) != scene.resetsCaret) {
        std::fprintf(stderr, "scene \"%s\", row %d: not the expected path (%u messages)\n",
                     scene.name, scene.rows[move], static_cast<unsigned>(calls.size()));
        status = 2;
      }
    }
  }
  const long long firstMoveAllocations = Allocations - beforeFirstMoves;

  // Messages: every kind of move, many times over.
  constexpr int MovesPerKind = 2000;
  const SweepResult sweep = Sweep(editor, MovesPerKind);
  std::printf("\nMessages per caret move (%d moves: page %d of %d lines, 2 lines kept each way)\n",
              sweep.total, Page, SweepLines);
  std::printf("  %-38s %6s %6s %6s %6s\n", "kind of move", "moves", "fewest", "mean", "most");
  size_t most = 0;
  for (int k = 0; k < KindCount; ++k) {
    std::printf("  %-38s %6d %6u %6.2f %6u\n", KindNames[k], sweep.moves[k],
                static_cast<unsigned>(sweep.fewest[k]),
                static_cast<double>(sweep.messages[k]) / sweep.moves[k],
                static_cast<unsigned>(sweep.most[k]));
    most = std::max(most, sweep.most[k]);
  }
  std::printf("  distribution:\n");
  for (size_t n = 0; n < std::size(sweep.histogram); ++n) {
    if (sweep.histogram[n] == 0) continue;
    const int bar = static_cast<int>((sweep.histogram[n] * 40 + sweep.total - 1) / sweep.total);
    std::printf("  %4u messages %6lld moves  %s%s\n", static_cast<unsigned>(n), sweep.histogram[n],
                std::string(static_cast<size_t>(bar), '#').c_str(),
                n > MaxMessagesPerMove ? "  OVER THE LIMIT" : "");
  }
  if (most > MaxMessagesPerMove) status = 1;
  editor.SetRecording(false);
  editor.ClearCalls();

  // Allocations: every allocation import of the module counted, over the whole sweep.
  std::string watched;
  std::string absent;
  for (const ImportHook& hook : Hooks)
    (hook.patched ? watched : absent) += std::string(" ") + hook.name;
  std::printf("\nAllocations by the plug-in module (%d import entries counted)\n", patched);
  std::printf("  counted:%s\n  not imported:%s\n", watched.empty() ? " -" : watched.c_str(),
              absent.empty() ? " -" : absent.c_str());
  std::printf("  %-38s %9.3f  (%lld in %d moves)\n", "per caret move",
              static_cast<double>(sweep.allocations) / sweep.total, sweep.allocations, sweep.total);
  std::printf("  %-38s %9lld  (the thread's first %u moves)\n", "first moves on the thread, cold",
              firstMoveAllocations, static_cast<unsigned>(2 * std::size(Scenes)));
  if (sweep.allocations > 0 || firstMoveAllocations > 0) status = 1;
  // A zero proves something only if the counter sees calls made through the module's own slots.
  for (const ImportHook& hook : Hooks) {
    if (!hook.patched || std::strcmp(hook.name, "calloc") != 0) continue;
    const long long before = Allocations;
    std::free(reinterpret_cast<CallocFn>(*hook.slot)(1, 16));
    std::printf("  %-38s %9lld  (sanity: the counter sees the module's slots)\n",
                "one call through the module's calloc", Allocations - before);
    if (Allocations - before != 1) {
      std::fprintf(stderr, "the allocation counter missed a call: its zero would prove nothing\n");
      status = status ? status : 2;
    }
  }

  // Time: the plug-in's event call next to the same host calls made directly. The arms take
  // turns in short rounds and each round gives one ratio, so that the window system's slow
  // swings, which dwarf the plug-in's own work, fall on both arms of a pair alike.
  std::printf(
      "\nTime per event call, page %d, first line %d (%d calls per arm in %d rounds; "
      "medians)\n",
      Page, FirstLine, perRound * Rounds, Rounds);
  std::printf("  %-38s %9s %9s %7s\n", "scene", "plug-in", "bare", "ratio");
  for (size_t s = 0; s < std::size(Scenes); ++s) {
    const Scene& scene = Scenes[s];
    std::vector<double> plugin;
    std::vector<double> bare;
    for (int round = 0; round < Rounds; ++round) {
      for (int arm = 0; arm < 2; ++arm) {
        const bool pluginArm = (arm == 0) == (round % 2 == 0);
        // Each arm starts from a painted view: what the window system charges for invalidating
        // depends on what is already invalid.
        editor.Pump(1);
        const LONGLONG start = Now();
        if (pluginArm) {
          for (int move = 0; move < perRound; ++move) {
            Place(editor, scene, move);
            onEvents(view, EventCaretMoved, 0);
          }
        } else {
          for (int move = 0; move < perRound; ++move) {
            Place(editor, scene, move);
            SendBare(view, sequences[s][move & 1]);
          }
        }
        const double ns = Seconds(Now() - start) * 1e9 / perRound;
        (pluginArm ? plugin : bare).push_back(ns);
      }
    }
    std::vector<double> ratios;
    for (int round = 0; round < Rounds; ++round) ratios.push_back(plugin[round] / bare[round]);
    std::printf("  %-38s %6.0f ns %6.0f ns %7.3f\n", scene.name, Median(plugin), Median(bare),
                Median(ratios));
  }

  std::printf("\n%s\n", status == 0 ? "OK: at most nine messages and no allocation per caret move"
                                    : "FAILED");
  std::fflush(stdout);
  return status;
}
