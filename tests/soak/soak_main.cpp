// A seeded soak of the plug-in in the simulated editor: caret moves under host answers of the
// sweep's three families, arm and cancel events, timer expiries, settings reloads with refused,
// short and out-of-range profile answers, views destroyed between arm and expiry, and the DLL
// unloaded and loaded again while its timer is armed. After every step it checks what must
// always hold, against a model of the redraw state.
//
//   brinkwatcher-soak.exe [STEPS] [--seed S] [--dll PATH] [--control] [--samples FILE]
//   brinkwatcher-soak.exe --dialog ROUNDS [--dll PATH] [--control] [--samples FILE]
//
// --samples writes what stays behind, one line per sample, for a picture of the run. --dialog
// opens and closes the properties dialog instead, confirming, cancelling and refusing in turn.
//
// The plug-in's thread timers and repaints go through hooks at its import table: a timer is only
// recorded, and expires when a step says so, so a million steps need no waiting. The default DLL
// is the checking build (checked/Brinkwatcher.dll beside the program).

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "tests/soak/dialog_rounds.h"
#include "tests/soak/resource_watch.h"
#include "tests/support/fault_kind.h"
#include "tests/support/host_families.h"

namespace {

using testing_support::HostCase;
using testing_support::Random;

// Where a run stands, for a report when the plug-in faults: an undefined-behaviour trap of the
// checking build, the stack protector, or a stray access.
uint64_t CurrentStep = 0;
uint32_t RunSeed = 0;
#if defined(_WIN64)
const char* const Arch = "x86_64";
#else
const char* const Arch = "i686";
#endif

LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
  const std::string kind = testing_support::DescribeFault(fault->ExceptionRecord->ExceptionCode,
                                                          fault->ExceptionRecord->ExceptionAddress);
  std::printf(
      "FAILED at step %llu: %s\n  reproduce: scripts/run-soak.sh %llu --seed %u --arch %s\n"
      "%s: %llu passed, 1 failed\n",
      static_cast<unsigned long long>(CurrentStep), kind.c_str(),
      static_cast<unsigned long long>(CurrentStep), RunSeed, Arch, Arch,
      static_cast<unsigned long long>(CurrentStep > 0 ? CurrentStep - 1 : 0));
  std::fflush(stdout);
  ExitProcess(3);
}

// ---- What the plug-in asks of the window system, seen at its import table

struct Timer {
  UINT_PTR id;
  UINT period;
  TIMERPROC proc;
};

std::vector<Timer> Timers;  // live window-less timers of this (the only) thread
UINT_PTR NextTimerId = 1;
// Counted, not kept: a list of every repaint would itself grow over a long run.
uint64_t Repaints = 0;         // invalidations of a whole window, background kept
HWND LastRepainted = nullptr;  // the window of the last of them
int BadRepaints = 0;           // invalidations of another kind
int WindowTimers = 0;          // timers asked for a window, which the plug-in never does

UINT_PTR WINAPI HookedSetTimer(HWND window, UINT_PTR, UINT period, TIMERPROC proc) {
  if (window != nullptr) {
    ++WindowTimers;
    return 0;
  }
  Timers.push_back({NextTimerId, period, proc});
  return NextTimerId++;
}

BOOL WINAPI HookedKillTimer(HWND window, UINT_PTR id) {
  for (auto t = Timers.begin(); window == nullptr && t != Timers.end(); ++t) {
    if (t->id != id) continue;
    Timers.erase(t);
    return TRUE;
  }
  return FALSE;
}

BOOL WINAPI HookedInvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (rect == nullptr && !erase) {
    ++Repaints;
    LastRepainted = window;
  } else {
    ++BadRepaints;
  }
  return TRUE;
}

// The plug-in module's live heap blocks, counted at its imports of the C runtime's allocation
// functions, as the benchmark counts its allocations. Only blocks made through the hooks are
// tracked: the runtime's start-up allocates before the hooks are in place.
std::unordered_set<void*> LiveBlocks;
void* RealMalloc;
void* RealCalloc;
void* RealRealloc;
void* RealFree;

void* __cdecl CountedMalloc(size_t n) {
  void* block = reinterpret_cast<void*(__cdecl*)(size_t)>(RealMalloc)(n);
  if (block != nullptr) LiveBlocks.insert(block);
  return block;
}
void* __cdecl CountedCalloc(size_t count, size_t n) {
  void* block = reinterpret_cast<void*(__cdecl*)(size_t, size_t)>(RealCalloc)(count, n);
  if (block != nullptr) LiveBlocks.insert(block);
  return block;
}
void* __cdecl CountedRealloc(void* old, size_t n) {
  const bool tracked = old == nullptr || LiveBlocks.erase(old) != 0;
  void* block = reinterpret_cast<void*(__cdecl*)(void*, size_t)>(RealRealloc)(old, n);
  if (block == nullptr && n != 0 && old != nullptr && tracked) LiveBlocks.insert(old);  // kept
  if (block != nullptr && tracked) LiveBlocks.insert(block);
  return block;
}
void __cdecl CountedFree(void* block) {
  LiveBlocks.erase(block);
  reinterpret_cast<void(__cdecl*)(void*)>(RealFree)(block);
}

// Points the module's imports of these USER32 and C runtime functions at the hooks. Returns how
// many of the USER32 ones it found.
int HookImports(HMODULE module) {
  struct Hook {
    const char* dll;
    const char* name;
    void* to;
    void** real;
  } const hooks[] = {
      {"user32.dll", "SetTimer", reinterpret_cast<void*>(&HookedSetTimer), nullptr},
      {"user32.dll", "KillTimer", reinterpret_cast<void*>(&HookedKillTimer), nullptr},
      {"user32.dll", "InvalidateRect", reinterpret_cast<void*>(&HookedInvalidateRect), nullptr},
      {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountedMalloc), &RealMalloc},
      {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountedCalloc), &RealCalloc},
      {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountedRealloc), &RealRealloc},
      {"msvcrt.dll", "free", reinterpret_cast<void*>(&CountedFree), &RealFree}};
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int found = 0;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       imports.VirtualAddress != 0 && d->Name != 0; ++d) {
    const char* dll = reinterpret_cast<const char*>(base + d->Name);
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; d->OriginalFirstThunk != 0 && names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const char*>(
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      for (const Hook& hook : hooks) {
        if (_stricmp(dll, hook.dll) != 0 || std::strcmp(name, hook.name) != 0) continue;
        if (hook.real != nullptr) *hook.real = reinterpret_cast<void*>(slots->u1.Function);
        DWORD protect = 0;
        VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &protect);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook.to);
        VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protect, &protect);
        if (hook.real == nullptr) ++found;
      }
    }
  }
  return found;
}

// ---- The soak

// What the redraw state must be, from the events sent and the moves the host answered.
struct Model {
  bool pending = false;  // a jump since the last arm or cancel
  bool armed = false;    // a timer must be running
  HWND armedView = nullptr;
  bool armedViewAlive = false;
};

enum class Step {
  CaretMove,
  MoveAndArm,
  Arm,
  Cancel,
  ArmAndCancel,
  Expiry,
  Reload,
  NewView,
  ReloadDll,
};

class Soak {
 public:
  // With `control`, the same seeded steps without the plug-in: a stand-in DLL is loaded and freed
  // where the plug-in would be, and each caret move makes the host calls of a move itself. What
  // grows then is the host's, Wine's or the emulator's.
  Soak(std::wstring dll, uint32_t seed, bool control)
      : dll_(std::move(dll)), random_(seed), control_(control) {}

  // Runs `steps` steps; returns the number of the first failing one, or 0.
  uint64_t Run(uint64_t steps) {
    if (!Load()) return Fail(0, "cannot load the DLL (or the stand-in) or find its imports");
    const ULONGLONG start = GetTickCount64();
    ULONGLONG lastReport = start;
    ULONGLONG stretchStart = start;
    for (uint64_t step = 1; step <= steps; ++step) {
      CurrentStep = step;
      if (!Play(step)) return step;
      DrainMessages();
      if (step % SampleEvery == 0) {
        samples_.push_back(
            soak::SampleResources(step, Timers.size(), static_cast<int64_t>(LiveBlocks.size())));
      }
      if (step % RateStretch == 0) {
        const ULONGLONG now = GetTickCount64();
        stretchMs_.push_back(now - stretchStart);
        stretchStart = now;
      }
      if (step % 1024 == 0 && GetTickCount64() - lastReport >= 2000) {
        lastReport = GetTickCount64();
        const double seconds = static_cast<double>(lastReport - start) / 1000.0;
        std::printf("  %llu steps, %.0f steps/s\n", static_cast<unsigned long long>(step),
                    static_cast<double>(step) / seconds);
        std::fflush(stdout);
      }
    }
    Unload();
    if (!Timers.empty()) return Fail(steps, "a timer is left after the DLL was unloaded");
    return 0;
  }

  const std::string& failure() const { return failure_; }
  const std::vector<soak::ResourceSample>& samples() const { return samples_; }
  // Milliseconds taken by each stretch of RateStretch steps, in order.
  const std::vector<ULONGLONG>& stretchMs() const { return stretchMs_; }

  static constexpr uint64_t SampleEvery = 10000;
  static constexpr uint64_t WarmUp = 10000;
  static constexpr uint64_t RateStretch = 100000;

  // How often each outcome came up, so that a run shows it tried them all.
  struct Tally {
    uint64_t moves = 0, jumps = 0, timersArmed = 0, repaints = 0, quietExpiries = 0, reloads = 0,
             newViews = 0, dllReloads = 0;
  };
  const Tally& tally() const { return tally_; }

 private:
  bool Load() {
    if (control_) {
      module_ = LoadLibraryW((sim::ProgramDirectory() + L"soak-stand-in.dll").c_str());
      if (module_ == nullptr) return false;
      NewEditor();
      return true;
    }
    module_ = LoadLibraryW(dll_.c_str());
    if (module_ == nullptr || HookImports(module_) != 3) return false;
    NewEditor();
    return true;
  }

  void Unload() {
    editor_.reset();  // releases its own reference to the module
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }

  // A fresh editor window: the old view is gone, and a timer armed for it must not repaint.
  void NewEditor() {
    sim::EditorOptions options;
    options.visible = false;
    editor_.reset();
    model_.armedViewAlive = false;
    editor_ = std::make_unique<sim::Editor>(options);
    StoreSettings(2, 2, 0, 50);
    if (!control_) editor_->LoadPlugin(dll_);
  }

  void StoreSettings(uint32_t up, uint32_t down, uint32_t mouseCancel, uint32_t delay) {
    auto& store = editor_->profile();
    store[{HostPluginProfileKey, L"Brinkwatcher", L"brinkwatcherUp"}] = up;
    store[{HostPluginProfileKey, L"Brinkwatcher", L"brinkwatcherDown"}] = down;
    store[{HostPluginProfileKey, L"Brinkwatcher", L"mouseCancel"}] = mouseCancel;
    store[{HostPluginProfileKey, L"Brinkwatcher", L"redrawDelay"}] = delay;
  }

  // What an editor's message loop does between two events. Without it, what the window system
  // queues for the thread (Wine's notes of created and destroyed windows among them) piles up,
  // and every later call that looks at the queue, GetAsyncKeyState included, gets slower.
  static void DrainMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  bool Fail(uint64_t step, const std::string& what) {
    std::ostringstream out;
    out << "step " << step << ": " << what;
    failure_ = out.str();
    return false;
  }

  Step Pick() {
    const uint32_t roll = random_.Next() % 1000;
    if (roll < 560) return Step::CaretMove;
    if (roll < 640) return Step::MoveAndArm;
    if (roll < 760) return Step::Arm;
    if (roll < 820) return Step::Cancel;
    if (roll < 840) return Step::ArmAndCancel;
    if (roll < 940) return Step::Expiry;
    if (roll < 990) return Step::Reload;
    if (roll < 995) return Step::NewView;
    return Step::ReloadDll;
  }

  bool Play(uint64_t step) {
    const Step kind = Pick();
    const uint64_t repaintsBefore = Repaints;
    bool ok = true;
    switch (kind) {
      case Step::CaretMove:
        ok = CaretMove(step, EventCaretMoved);
        break;
      case Step::MoveAndArm:
        ok = CaretMove(step, EventCaretMoved | EventArmRedraw);
        break;
      case Step::Arm:
        editor_->SendEvents(EventArmRedraw);
        Armed();
        break;
      case Step::Cancel:
        editor_->SendEvents(random_.OneIn(2) ? EventKillFocus : EventCancelRedrawOther);
        Cancelled();
        break;
      case Step::ArmAndCancel:
        editor_->SendEvents(EventArmRedraw | EventCancelRedraw);
        Armed();
        Cancelled();
        break;
      case Step::Expiry:
        return Expire(step);
      case Step::Reload:
        ok = Reload(step);
        break;
      case Step::NewView:
        ++tally_.newViews;
        NewEditor();  // the new editor's reload changes no redraw state
        break;
      case Step::ReloadDll:
        ++tally_.dllReloads;
        Unload();
        if (!Timers.empty()) return Fail(step, "a timer outlived the DLL's unload");
        model_ = {};
        if (!Load()) return Fail(step, "cannot load the DLL again");
        break;
    }
    if (!ok) return false;
    if (Repaints != repaintsBefore) return Fail(step, "a repaint without a timer's expiry");
    return CheckTimers(step);
  }

  void Armed() {
    if (!model_.pending) return;
    ++tally_.timersArmed;
    model_.pending = false;
    model_.armed = true;
    model_.armedView = editor_->view();
    model_.armedViewAlive = true;
  }

  void Cancelled() {
    model_.pending = false;
    model_.armed = false;
  }

  bool CheckTimers(uint64_t step) {
    if (WindowTimers != 0) return Fail(step, "a timer was asked for a window");
    if (BadRepaints != 0)
      return Fail(step, "a repaint of part of the view, or with its background");
    if (Timers.size() > 1) return Fail(step, "more than one redraw timer on the thread");
    if (Timers.size() != (model_.armed ? 1u : 0u)) {
      return Fail(step, model_.armed ? "no timer after an armed jump" : "a timer nobody armed");
    }
    if (!Timers.empty() && (Timers[0].period < 1 || Timers[0].period > 1000)) {
      return Fail(step, "a timer period of " + std::to_string(Timers[0].period) + " ms");
    }
    return true;
  }

  // One caret move on a case of one of the three families; true when what must hold held.
  bool CaretMove(uint64_t step, UINT events) {
    const uint32_t family = random_.Next() % 3;
    const HostCase c = family == 0   ? testing_support::SaneCase(random_)
                       : family == 1 ? testing_support::ExtremeCase(random_)
                                     : testing_support::HostileCase(random_);
    testing_support::PlaceCase(*editor_, c);
    editor_->SetOverride(testing_support::HostileAnswers(*editor_, c));
    editor_->ClearCalls();
    if (control_) {
      // The queries of a move inside the page, the plug-in's most common kind.
      QueryCaretPos(editor_->view());
      QueryPageSize(editor_->view());
      QueryScrollPos(editor_->view());
      QueryHiddenLines(editor_->view());
    }
    editor_->SendEvents(events);
    editor_->SetOverride(nullptr);

    const auto& calls = editor_->calls();
    std::ostringstream describe;
    describe << c;
    if (calls.size() > 9) {
      return Fail(step,
                  std::to_string(calls.size()) + " messages for one caret move; " + describe.str());
    }
    bool jumped = false;
    for (size_t i = 0; i < calls.size(); ++i) {
      if (calls[i].code != HostSetScrollPos) continue;
      if (i == 0 || i + 1 >= calls.size() || calls[i - 1].code != HostGetScrollPos ||
          calls[i + 1].code != HostGetScrollPos) {
        return Fail(step,
                    "a scroll set without a position query before and after it; " + describe.str());
      }
      // Positions wrap at 32 bits, as the editor's signed 32-bit lines do.
      const auto moved = static_cast<int32_t>(static_cast<uint32_t>(calls[i + 1].out.y) -
                                              static_cast<uint32_t>(calls[i - 1].out.y));
      jumped = moved > 1 || moved < -1;
    }
    ++tally_.moves;
    if (jumped) {
      ++tally_.jumps;
      model_.pending = true;
    }
    if (events & EventArmRedraw) Armed();
    return true;
  }

  // The thread's timer, if any, fires now.
  bool Expire(uint64_t step) {
    if (Timers.empty()) return CheckTimers(step);
    const Timer timer = Timers[0];
    const uint64_t before = Repaints;
    timer.proc(nullptr, WM_TIMER, timer.id, GetTickCount());
    const bool expected = !model_.pending && model_.armedViewAlive;
    model_.armed = false;
    const uint64_t repaints = Repaints - before;
    ++(repaints != 0 ? tally_.repaints : tally_.quietExpiries);
    if (repaints != (expected ? 1u : 0u)) {
      return Fail(step, std::to_string(repaints) + " repaints at the expiry, " +
                            (expected ? "one wanted" : "none wanted") +
                            (model_.pending ? " (a later jump is pending)" : "") +
                            (model_.armedViewAlive ? "" : " (the view is gone)"));
    }
    if (repaints == 1 && LastRepainted != model_.armedView) {
      return Fail(step, "the repaint went to another window");
    }
    return CheckTimers(step);
  }

  // A settings reload whose profile answers may be refused, short or out of range.
  bool Reload(uint64_t step) {
    StoreSettings(static_cast<uint32_t>(random_.Any()), static_cast<uint32_t>(random_.Any()),
                  random_.OneIn(2) ? 0u : static_cast<uint32_t>(random_.Any()),
                  random_.OneIn(3) ? 0u : static_cast<uint32_t>(random_.Any()));
    const uint32_t refused = random_.Next() & 15;  // which of the four reads fail
    const uint32_t how = random_.Next();
    int read = 0;
    editor_->SetOverride([&](UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
      if (message != HostProfileRead) return false;
      const int index = read++;
      if ((refused & (1u << index)) == 0) return false;
      auto* record = reinterpret_cast<ProfileValueRecord*>(lParam);
      const uint32_t kind = (how >> (index * 2)) & 3;
      *static_cast<uint32_t*>(record->data) = how;  // garbage the plug-in must not take
      if (kind == 0) {
        result = 1;  // refused, size untouched
      } else {
        *record->readSize = kind == 1 ? 2 : kind == 2 ? 0 : 8;  // short, empty or too long
        result = kind == 3 ? 0 : static_cast<LRESULT>(how & 1);
      }
      return true;
    });
    editor_->SendEvents(EventReloadSettings);
    editor_->SetOverride(nullptr);
    if (read != 4 && !control_) {
      return Fail(step, "a reload read " + std::to_string(read) + " values, not 4");
    }
    ++tally_.reloads;
    return true;
  }

  std::wstring dll_;
  Random random_;
  bool control_ = false;
  HMODULE module_ = nullptr;
  std::unique_ptr<sim::Editor> editor_;
  Model model_;
  Tally tally_;
  std::string failure_;
  std::vector<soak::ResourceSample> samples_;
  std::vector<ULONGLONG> stretchMs_;
};

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

// One line per sample: step, windows, GDI objects, handles, private bytes, timers, heap blocks.
bool WriteSamples(const std::wstring& path, const std::vector<soak::ResourceSample>& samples) {
  FILE* out = _wfopen(path.c_str(), L"w");
  if (out == nullptr) return false;
  std::fprintf(out, "step windows gdi handles private_bytes timers heap_blocks\n");
  for (const auto& s : samples) {
    std::fprintf(out, "%llu %lu %lu %lu %llu %llu %lld\n", static_cast<unsigned long long>(s.step),
                 static_cast<unsigned long>(s.userObjects),
                 static_cast<unsigned long>(s.gdiObjects), static_cast<unsigned long>(s.handles),
                 static_cast<unsigned long long>(s.privateBytes),
                 static_cast<unsigned long long>(s.timers), static_cast<long long>(s.liveBlocks));
  }
  return std::fclose(out) == 0;
}

// The properties dialog, `rounds` times in one editor, or with `control` the same windows shown
// by a dialog procedure that is not the plug-in's. The counts are sampled before the first
// opening, after a warm-up of the first openings (which load the common controls, the dialog
// font and the message box) and every 1000 rounds; none may grow beyond its margin after the
// warm-up.
int RunDialogSoak(const std::wstring& dll, uint64_t rounds, const std::wstring& samplesPath,
                  bool control) {
  constexpr uint64_t WarmUpRounds = 10;
  const char* const arch = Arch;
  std::printf(
      "dialog %s: %llu openings, %s\n", arch, static_cast<unsigned long long>(rounds),
      control ? "control run: the same dialog without the plug-in's code" : Narrow(dll).c_str());
  std::fflush(stdout);
  HMODULE module = control ? LoadLibraryExW(dll.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE)
                           : LoadLibraryW(dll.c_str());
  if (module == nullptr || (!control && HookImports(module) != 3)) {
    std::printf("FAILED: cannot load the DLL or find its imports\n");
    return 1;
  }
  const ULONGLONG start = GetTickCount64();
  std::vector<soak::ResourceSample> samples;
  std::string failure;
  soak::DialogRoundsResult result;
  {
    sim::EditorOptions options;
    options.visible = false;
    sim::Editor editor(options);
    if (!control && !editor.LoadPlugin(dll)) {
      std::printf("FAILED: the editor cannot load the DLL\n");
      return 1;
    }
    const auto sample = [&](uint64_t round) {
      samples.push_back(
          soak::SampleResources(round, Timers.size(), static_cast<int64_t>(LiveBlocks.size())));
    };
    const auto open = [&]() -> LRESULT {
      if (control) return soak::OpenControlDialog(module, editor.view());
      return editor.plugin().PlugInProc(editor.view(), QueryShowProperties, 0, 0);
    };
    sample(0);
    result = soak::PlayDialogRounds(editor.view(), open, rounds, [&](uint64_t round) {
      // Every OK saves the delay the round entered.
      const auto stored =
          editor.profile().find({HostPluginProfileKey, L"Brinkwatcher", L"redrawDelay"});
      if (!control && round % 3 == 0 &&
          (stored == editor.profile().end() || stored->second != 10 + round % 990)) {
        failure = "OK did not save the delay entered";
        return false;
      }
      // The editor's record of host messages is the test's, not the session's: kept, its
      // growth would be counted against the plug-in.
      editor.ClearCalls();
      if (round == WarmUpRounds || round % 1000 == 0 || round == rounds) {
        sample(round);
        const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
        std::printf("  %llu openings, %.0f ms each\n", static_cast<unsigned long long>(round),
                    seconds * 1000.0 / static_cast<double>(round));
        std::fflush(stdout);
      }
      return true;
    });
  }
  FreeLibrary(module);
  if (failure.empty() && result.failure != nullptr) failure = result.failure;
  if (!samplesPath.empty() && !WriteSamples(samplesPath, samples)) {
    failure = "cannot write the samples";
  }
  const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
  std::printf("  %llu confirmed, %llu cancelled, %llu non-numbers refused and then cancelled\n",
              static_cast<unsigned long long>(result.confirmed),
              static_cast<unsigned long long>(result.cancelled),
              static_cast<unsigned long long>(result.refused));
  if (!samples.empty()) {
    std::printf("  before the first opening: %lu windows, %lu handles, %llu private bytes\n",
                static_cast<unsigned long>(samples[0].userObjects),
                static_cast<unsigned long>(samples[0].handles),
                static_cast<unsigned long long>(samples[0].privateBytes));
  }
  std::vector<std::string> grown;
  const auto table = soak::ResourceTable(samples, WarmUpRounds, grown);
  std::printf("What stays behind, after %llu openings of warm-up and every 1000 after:\n",
              static_cast<unsigned long long>(WarmUpRounds));
  for (const auto& line : table) std::printf("%s\n", line.c_str());
  // A control's growth is the window system's: shown, not judged.
  for (const auto& what : grown) {
    if (control) {
      std::printf("  %s (without the plug-in's code)\n", what.c_str());
    } else {
      failure += (failure.empty() ? "" : "; ") + what;
    }
  }
  if (!failure.empty()) {
    std::printf("FAILED after %llu openings: %s\n%s: dialog failed\n",
                static_cast<unsigned long long>(result.rounds), failure.c_str(), arch);
    return 1;
  }
  std::printf("%s: %llu openings in %.1f s, %s\n", arch,
              static_cast<unsigned long long>(result.rounds), seconds,
              grown.empty() ? "nothing grew" : "some counts grew (the window system's)");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  uint64_t steps = 1000000;
  uint32_t seed = 1;
  bool control = false;
  uint64_t dialogRounds = 0;
  std::wstring samplesPath;
  std::wstring dll = sim::ProgramDirectory() + L"checked\\Brinkwatcher.dll";
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--seed" && i + 1 < argc) {
      seed = static_cast<uint32_t>(wcstoul(argv[++i], nullptr, 10));
    } else if (arg == L"--control") {
      control = true;
    } else if (arg == L"--dialog" && i + 1 < argc) {
      dialogRounds = wcstoull(argv[++i], nullptr, 10);
    } else if (arg == L"--samples" && i + 1 < argc) {
      samplesPath = argv[++i];
    } else if (arg == L"--dll" && i + 1 < argc) {
      dll = argv[++i];
    } else {
      steps = wcstoull(argv[i], nullptr, 10);
    }
  }
  const char* const arch = Arch;
  RunSeed = seed;
  SetUnhandledExceptionFilter(ReportFault);
  if (dialogRounds != 0) return RunDialogSoak(dll, dialogRounds, samplesPath, control);
  std::printf("soak %s: %llu steps, seed %u, %s\n", arch, static_cast<unsigned long long>(steps),
              seed, control ? "control run: a stand-in DLL, no plug-in" : Narrow(dll).c_str());
  std::fflush(stdout);
  const ULONGLONG start = GetTickCount64();
  Soak soak(dll, seed, control);
  const uint64_t failed = soak.Run(steps);
  const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
  if (failed != 0 || !soak.failure().empty()) {
    std::printf("FAILED at %s\n  reproduce: scripts/run-soak.sh %llu --seed %u --arch %s\n",
                soak.failure().c_str(), static_cast<unsigned long long>(failed), seed, arch);
    std::printf("%s: %llu passed, 1 failed\n", arch,
                static_cast<unsigned long long>(failed > 0 ? failed - 1 : 0));
    return 1;
  }
  const auto& t = soak.tally();
  std::printf(
      "  %llu caret moves (%llu jumps), %llu timers armed, %llu expiries repainting and "
      "%llu quiet, %llu reloads, %llu new views, %llu DLL reloads\n",
      static_cast<unsigned long long>(t.moves), static_cast<unsigned long long>(t.jumps),
      static_cast<unsigned long long>(t.timersArmed), static_cast<unsigned long long>(t.repaints),
      static_cast<unsigned long long>(t.quietExpiries), static_cast<unsigned long long>(t.reloads),
      static_cast<unsigned long long>(t.newViews), static_cast<unsigned long long>(t.dllReloads));
  std::vector<std::string> grown;
  const auto table = soak::ResourceTable(soak.samples(), Soak::WarmUp, grown);
  if (!table.empty()) {
    std::printf("What stays behind, sampled every %llu steps after %llu of warm-up:\n",
                static_cast<unsigned long long>(Soak::SampleEvery),
                static_cast<unsigned long long>(Soak::WarmUp));
    for (const auto& line : table) std::printf("%s\n", line.c_str());
  }
  if (!samplesPath.empty() && !WriteSamples(samplesPath, soak.samples())) {
    std::printf("FAILED: cannot write %s\n%s: samples not written\n", Narrow(samplesPath).c_str(),
                arch);
    return 1;
  }
  const auto& stretches = soak.stretchMs();
  if (stretches.size() >= 2) {
    const auto rate = [](ULONGLONG ms) {
      return static_cast<double>(Soak::RateStretch) * 1000.0 / static_cast<double>(ms ? ms : 1);
    };
    // Every stretch, so that a trend can be told from the spread of the machine's own speed.
    std::string each;
    for (const ULONGLONG ms : stretches) each += " " + std::to_string(std::lround(rate(ms)));
    std::printf("  steps/s of each %llu steps:%s\n",
                static_cast<unsigned long long>(Soak::RateStretch), each.c_str());
    std::printf("%s: %.0f steps/s over the first %llu steps, %.0f over the last\n", arch,
                rate(stretches.front()), static_cast<unsigned long long>(Soak::RateStretch),
                rate(stretches.back()));
  }
  if (!grown.empty()) {
    for (const auto& what : grown) std::printf("FAILED: %s\n", what.c_str());
    std::printf(
        "  reproduce: scripts/run-soak.sh %llu --seed %u --arch %s\n%s: %llu passed, 1 failed\n",
        static_cast<unsigned long long>(steps), seed, arch, arch,
        static_cast<unsigned long long>(steps - 1));
    return 1;
  }
  std::printf("%s: %llu steps in %.1f s, %.0f steps/s\n", arch,
              static_cast<unsigned long long>(steps), seconds,
              static_cast<double>(steps) / (seconds > 0 ? seconds : 1));
  std::printf("%s: %llu passed, 0 failed\n", arch, static_cast<unsigned long long>(steps));
  return 0;
}
