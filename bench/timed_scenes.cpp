#include "bench/timed_scenes.h"

#include <algorithm>
#include <cstdio>

#include "tests/support/allocation_watch.h"
#include "host/plugin_interface.h"

namespace bench {

const Scene Scenes[] = {
    {"steady (rows 10/20, no scroll)", {10, 20}, 0, 0, 0, false, false},
    {"one-line scroll (rows 28/1)", {28, 1}, 0, 0, 0, true, false},
    {"worst (rows 29/0, column dropped)", {29, 0}, 25, 10, 31, true, true},
};

namespace {

// Puts the document where the scene starts, without telling the plug-in.
void Place(sim::Editor& editor, const Scene& scene, int move) {
  sim::Document& d = editor.doc();
  d.lines = 1000;
  d.page = ScenePage;
  d.maxScrollX = scene.maxScrollX;
  d.scroll = {scene.scrollX, FirstLine};
  d.caret = {scene.caretX, FirstLine + scene.rows[move & 1]};
}

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

FirstMoves PlayFirstMoves(sim::Editor& editor) {
  FirstMoves first;
  const HWND view = editor.view();
  const auto onEvents = editor.plugin().OnEvents;
  const long long before = testing_support::AllocationCalls();
  for (size_t s = 0; s < SceneCount; ++s) {
    const Scene& scene = Scenes[s];
    for (int move = 0; move < 2; ++move) {
      Place(editor, scene, move);
      editor.ClearCalls();
      onEvents(view, EventCaretMoved, 0);
      const auto& calls = editor.calls();
      first.sequences[s][move] = ToReplay(calls);
      // The scene must really take the path it is named after, or its timing means nothing.
      if (calls.empty() || Has(calls, HostSetScrollPos) != scene.scrolls ||
          Has(calls, HostSetCaretPos) != scene.resetsCaret) {
        std::fprintf(stderr, "scene \"%s\", row %d: not the expected path (%u messages)\n",
                     scene.name, scene.rows[move], static_cast<unsigned>(calls.size()));
        first.pathsTaken = false;
      }
    }
  }

  first.allocations = testing_support::AllocationCalls() - before;
  return first;
}

void TimeScenes(sim::Editor& editor, const FirstMoves& first, int perRound, int rounds) {
  const HWND view = editor.view();
  const auto onEvents = editor.plugin().OnEvents;
  // Time: the plug-in's event call next to the same host calls made directly. The arms take
  // turns in short rounds and each round gives one ratio, so that the window system's slow
  // swings, which dwarf the plug-in's own work, fall on both arms of a pair alike.
  std::printf(
      "\nTime per event call, page %d, first line %d (%d calls per arm in %d rounds; "
      "medians)\n",
      ScenePage, FirstLine, perRound * rounds, rounds);
  std::printf("  %-38s %9s %9s %7s\n", "scene", "plug-in", "bare", "ratio");
  for (size_t s = 0; s < SceneCount; ++s) {
    const Scene& scene = Scenes[s];
    std::vector<double> plugin;
    std::vector<double> bare;
    for (int round = 0; round < rounds; ++round) {
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
            SendBare(view, first.sequences[s][move & 1]);
          }
        }
        const double ns = Seconds(Now() - start) * 1e9 / perRound;
        (pluginArm ? plugin : bare).push_back(ns);
      }
    }
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round) ratios.push_back(plugin[round] / bare[round]);
    std::printf("  %-38s %6.0f ns %6.0f ns %7.3f\n", scene.name, Median(plugin), Median(bare),
                Median(ratios));
  }
}

}  // namespace bench
