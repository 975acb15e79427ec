// What one caret move costs the editor with the plug-in loaded: the host messages it sends, the
// heap allocations it makes, and the time of an event call next to the bare host calls it cannot
// avoid. Exits non-zero when a move sends more than nine messages or allocates.
//
// The parts: the DLL's size and imports (module_report), the sweep of every kind of move (sweep)
// and the timed scenes (timed_scenes); the allocations are counted at the module's import table
// (tests/support/allocation_watch).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>

#include "tests/support/allocation_watch.h"
#include "bench/module_report.h"
#include "bench/sweep.h"
#include "bench/timed_scenes.h"
#include "host/host_messages.h"
#include "host/plugin_interface.h"
#include "sim/sim_editor.h"

namespace {

constexpr size_t MaxMessagesPerMove = 9;

// The defaults, with the mouse-button option on: three button reads per move.
void StoreSettings(sim::Editor& editor) {
  const auto key = [](const wchar_t* name) {
    return sim::ProfileKey{HostPluginProfileKey, L"Brinkwatcher", name};
  };
  editor.profile()[key(L"brinkwatcherUp")] = 2;
  editor.profile()[key(L"brinkwatcherDown")] = 2;
  editor.profile()[key(L"mouseCancel")] = 1;
  editor.profile()[key(L"redrawDelay")] = 50;
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
  const testing_support::WatchedImports counted =
      testing_support::WatchAllocations(editor.module());
  int status = 0;

  std::printf("Brinkwatcher: the cost of one caret move (OnEvents 0x20)\n\n");
  bench::PrintModule(editor.module(), dll);

  // The first moves on this thread, cold, which also keep the sequences the timing sends again.
  const bench::FirstMoves first = bench::PlayFirstMoves(editor);
  if (!first.pathsTaken) status = 2;

  // Messages: every kind of move, many times over.
  constexpr int MovesPerKind = 2000;
  const bench::SweepResult sweep = bench::Sweep(editor, MovesPerKind);
  std::printf("\nMessages per caret move (%d moves: page %d of %d lines, 2 lines kept each way)\n",
              sweep.total, bench::SweepPage, bench::SweepLines);
  std::printf("  %-38s %6s %6s %6s %6s\n", "kind of move", "moves", "fewest", "mean", "most");
  size_t most = 0;
  for (int k = 0; k < bench::KindCount; ++k) {
    std::printf("  %-38s %6d %6u %6.2f %6u\n", bench::KindNames[k], sweep.moves[k],
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
  std::printf("\nAllocations by the plug-in module (%d import entries counted)\n", counted.hooked);
  std::printf("  counted:%s\n  not imported:%s\n",
              counted.watched.empty() ? " -" : counted.watched.c_str(),
              counted.absent.empty() ? " -" : counted.absent.c_str());
  std::printf("  %-38s %9.3f  (%lld in %d moves)\n", "per caret move",
              static_cast<double>(sweep.allocations) / sweep.total, sweep.allocations, sweep.total);
  std::printf("  %-38s %9lld  (the thread's first %u moves)\n", "first moves on the thread, cold",
              first.allocations, static_cast<unsigned>(2 * bench::SceneCount));
  if (sweep.allocations > 0 || first.allocations > 0) status = 1;
  // A zero proves something only if the counter sees calls made through the module's own slots.
  const long long sanity = testing_support::AllocationsOfOneCallThroughTheModule();
  if (sanity >= 0) {
    std::printf("  %-38s %9lld  (sanity: the counter sees the module's slots)\n",
                "one call through the module's calloc", sanity);
    if (sanity != 1) {
      std::fprintf(stderr, "the allocation counter missed a call: its zero would prove nothing\n");
      status = status ? status : 2;
    }
  }

  // Time: the plug-in's event call next to the same host calls made directly. The arms take
  // turns in short rounds and each round gives one ratio, so that the window system's slow
  // swings, which dwarf the plug-in's own work, fall on both arms of a pair alike.
  bench::TimeScenes(editor, first, perRound, Rounds);

  std::printf("\n%s\n", status == 0 ? "OK: at most nine messages and no allocation per caret move"
                                    : "FAILED");
  std::fflush(stdout);
  return status;
}
