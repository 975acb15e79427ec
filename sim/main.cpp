// The simulated editor as a program. Without arguments it opens the editor window with the
// plug-in loaded, for a person to try: its "Plug-ins" menu and toolbar button open the
// properties, and "About plug-ins" names it with its version. With --script it plays a scripted
// session twice, with the plug-in and without it, and prints what the view did at every step.
//
//   brinkwatcher-sim [--script] [--profile FILE] [--no-plugin] [--warm-up]

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "sim/sim_editor.h"

namespace {
struct Step {
  const char* name;
  UINT vk;
  bool ctrl;
};

std::vector<Step> ScriptedSession() {
  std::vector<Step> steps;
  for (int i = 0; i < 40; ++i) steps.push_back({"Down", VK_DOWN, false});
  for (int i = 0; i < 40; ++i) steps.push_back({"Up", VK_UP, false});
  steps.push_back({"PageDown", VK_NEXT, false});
  steps.push_back({"Ctrl+End", VK_END, true});
  steps.push_back({"Ctrl+Home", VK_HOME, true});
  return steps;
}

struct ViewState {
  int32_t caret;
  int32_t first;
  int32_t above;
  int32_t below;
};

ViewState Observe(sim::Editor& editor) {
  const sim::Document& d = editor.doc();
  return {d.caret.y, d.scroll.y, d.caret.y - d.scroll.y, d.scroll.y + d.page - 1 - d.caret.y};
}

std::wstring ProfilePathFrom(int argc, wchar_t** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (wcscmp(argv[i], L"--profile") == 0) return argv[i + 1];
  }
  return sim::ProgramDirectory() + L"sim-profile.txt";
}

bool HasFlag(int argc, wchar_t** argv, const wchar_t* flag) {
  for (int i = 1; i < argc; ++i) {
    if (wcscmp(argv[i], flag) == 0) return true;
  }
  return false;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

uint32_t ProfileValue(sim::Editor& editor, const wchar_t* name, uint32_t fallback) {
  auto found = editor.profile().find({HostPluginProfileKey, L"Brinkwatcher", name});
  return found == editor.profile().end() ? fallback : found->second;
}

int RunScript(const std::wstring& profilePath) {
  sim::EditorOptions options;
  options.title = L"Brinkwatcher - without the plug-in";
  sim::Editor plain(options);
  options.title = L"Brinkwatcher - with the plug-in";
  options.x = 640;
  sim::Editor watched(options);
  watched.LoadProfileFile(profilePath);
  if (!watched.LoadPlugin(sim::ProgramDirectory() + L"Brinkwatcher.dll")) {
    fprintf(stderr, "cannot load Brinkwatcher.dll next to the program\n");
    return 1;
  }
  plain.Settle();
  watched.Settle();

  const sim::Document& d = watched.doc();
  printf("Document: %d lines, page %d lines. Profile %s:\n", d.lines, d.page,
         Narrow(profilePath).c_str());
  printf(
      "  brinkwatcherUp %d, brinkwatcherDown %d, mouseCancel %u, redrawDelay %u (0: keyboard "
      "default)\n\n",
      static_cast<int32_t>(ProfileValue(watched, L"brinkwatcherUp", 2)),
      static_cast<int32_t>(ProfileValue(watched, L"brinkwatcherDown", 2)),
      ProfileValue(watched, L"mouseCancel", 1), ProfileValue(watched, L"redrawDelay", 0));
  printf("Lines are counted from 1. above/below: lines visible above and below the caret.\n\n");
  printf("step key       |  without the plug-in          |  with the plug-in\n");
  printf("               | caret first above below       | caret first above below  repaint\n");

  int step = 0;
  for (const Step& s : ScriptedSession()) {
    ++step;
    const int repaintsBefore = watched.fullRepaints();
    plain.PressKey(s.vk, s.ctrl);
    watched.PressKey(s.vk, s.ctrl);
    plain.Pump(5);
    // Long enough for the deferred repaint (at most a second) to come due after the idle event.
    watched.PumpUntil([&] { return watched.fullRepaints() > repaintsBefore; }, 150);
    const ViewState a = Observe(plain);
    const ViewState b = Observe(watched);
    const bool repainted = watched.fullRepaints() > repaintsBefore;
    printf("%4d %-9s | %5d %5d %5d %5d %s | %5d %5d %5d %5d  %s\n", step, s.name, a.caret + 1,
           a.first + 1, a.above, a.below, a.above < 2 || a.below < 2 ? "<-edge" : "      ",
           b.caret + 1, b.first + 1, b.above, b.below, repainted ? "yes (after a jump)" : "");
    fflush(stdout);
  }
  printf("\nfull repaints forced by the plug-in: %d\n", watched.fullRepaints());
  return 0;
}

int RunInteractive(const std::wstring& profilePath, bool withPlugin) {
  sim::EditorOptions options;
  options.pluginUi = true;
  sim::Editor editor(options);
  editor.LoadProfileFile(profilePath);
  if (withPlugin && !editor.LoadPlugin(sim::ProgramDirectory() + L"Brinkwatcher.dll")) {
    MessageBoxW(editor.frame(), L"Brinkwatcher.dll was not found next to the program.", nullptr,
                MB_ICONERROR);
  }
  // The status line counts only the repaints that come after the window first appeared.
  editor.Settle();
  MSG msg;
  while (IsWindow(editor.frame())) {
    editor.PumpUntil([&] { return !IsWindow(editor.frame()); }, 200);
    if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) break;
  }
  editor.SaveProfileFile(profilePath);
  return 0;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  sim::InitCommonControlsLikeEditor();
  const std::wstring profilePath = ProfilePathFrom(argc, argv);
  if (HasFlag(argc, argv, L"--script")) return RunScript(profilePath);
  if (HasFlag(argc, argv, L"--warm-up")) {
    // Starts Wine's desktop services once, so that later programs find them running.
    sim::Editor editor;
    editor.Pump(100);
    return 0;
  }
  return RunInteractive(profilePath, !HasFlag(argc, argv, L"--no-plugin"));
}
