// The simulated editor as a program. Without arguments it opens the editor window with the
// plug-in loaded, for a person to try: its "Plug-ins" menu and toolbar button open the
// properties, and "About plug-ins" names it with its version. With --script it plays a scripted
// session twice, with the plug-in and without it, and prints what the view did at every step.
//
// With --pictures DIR the scripted session also draws pictures for the README into DIR (BMP):
// a strip of frames of both editors at the same keystrokes, and the plug-in's toolbar button.
//
//   brinkwatcher-sim [--script [--pictures DIR]] [--profile FILE] [--no-plugin] [--warm-up]
//                    [--hold-desktop READY-FILE]

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "sim/pictures.h"
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

std::wstring OptionValue(int argc, wchar_t** argv, const wchar_t* option,
                         const std::wstring& fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (wcscmp(argv[i], option) == 0) return argv[i + 1];
  }
  return fallback;
}

// ---- Pictures

// The steps of the session the strip shows: the Down presses around the page's bottom edge.
constexpr int FirstStripStep = 27;
constexpr int LastStripStep = 31;
constexpr int StripRows = 14;  // the bottom of the page, where the caret meets the edge

struct StripFrame {
  std::wstring key;
  Canvas without;
  Canvas with;
  ViewState a;
  ViewState b;
};

void DrawFrame(const Canvas& strip, const Canvas& shot, int x, int y, int width, int page,
               const ViewState& state, int kept) {
  constexpr int RowHeight = 16;
  const int height = StripRows * RowHeight;
  BitBlt(strip.dc, x, y, width, height, shot.dc, 0, (page - StripRows) * RowHeight, SRCCOPY);
  const bool atEdge = state.below < kept;
  const COLORREF color = atEdge ? RGB(200, 30, 30) : RGB(30, 140, 60);
  HPEN pen = CreatePen(PS_SOLID, 2, color);
  HGDIOBJ oldPen = SelectObject(strip.dc, pen);
  HGDIOBJ oldBrush = SelectObject(strip.dc, GetStockObject(NULL_BRUSH));
  Rectangle(strip.dc, x - 1, y - 1, x + width + 1, y + height + 1);
  SelectObject(strip.dc, oldBrush);
  SelectObject(strip.dc, oldPen);
  DeleteObject(pen);
  wchar_t text[64];
  swprintf(text, 64, L"%d line%ls below the caret", state.below, state.below == 1 ? L"" : L"s");
  DrawLabel(strip, x, y + height + 4, text, 13, color, atEdge);
}

bool WriteStrip(const std::vector<StripFrame>& frames, int page, int kept,
                const std::wstring& path) {
  constexpr int FrameWidth = 200, FrameHeight = StripRows * 16, Gap = 16, LabelWidth = 160;
  constexpr int Title = 40, Header = 24, Footer = 26;
  const int columns = static_cast<int>(frames.size());
  Canvas strip =
      CreateCanvas(LabelWidth + columns * (FrameWidth + Gap),
                   Title + Header + 2 * (FrameHeight + Footer + Gap), RGB(250, 250, 250));
  wchar_t title[128];
  swprintf(title, 128,
           L"The same Down presses, without and with Brinkwatcher (page %d, %d lines kept below)",
           page, kept);
  DrawLabel(strip, 12, 12, title, 16, RGB(0, 0, 0), true);
  for (int c = 0; c < columns; ++c) {
    const int x = LabelWidth + c * (FrameWidth + Gap);
    DrawLabel(strip, x, Title, frames[c].key, 14, RGB(0, 0, 0), true);
    const int top = Title + Header;
    DrawFrame(strip, frames[c].without, x, top, FrameWidth, page, frames[c].a, kept);
    DrawFrame(strip, frames[c].with, x, top + FrameHeight + Footer + Gap, FrameWidth, page,
              frames[c].b, kept);
  }
  DrawLabel(strip, 12, Title + Header + FrameHeight / 2 - 8, L"without", 15, RGB(0, 0, 0), true);
  DrawLabel(strip, 12, Title + Header + FrameHeight + Footer + Gap + FrameHeight / 2 - 8,
            L"with Brinkwatcher", 15, RGB(0, 0, 0), true);
  const bool saved = SaveCanvas(strip, path);
  DestroyCanvas(strip);
  return saved;
}

// The toolbar button as the editor shows it, hovered so that the status strip carries the
// plug-in's status text, and enlarged above it.
bool WriteToolbarPicture(const std::wstring& profilePath, const std::wstring& path) {
  sim::EditorOptions options;
  options.pluginUi = true;
  options.title = L"Brinkwatcher - toolbar button";
  sim::Editor editor(options);
  editor.LoadProfileFile(profilePath);
  if (!editor.LoadPlugin(sim::ProgramDirectory() + L"Brinkwatcher.dll")) return false;
  editor.Settle();
  const RECT button = editor.ToolbarButton();
  SendMessageW(editor.frame(), WM_MOUSEMOVE, 0, MAKELPARAM(button.left + 8, button.top + 8));
  if (!editor.toolbarButtonHovered()) return false;
  Canvas shot = CaptureClient(editor);

  constexpr int Zoom = 4, Status = 24, Margin = 12;
  const int zoomed = 24 * Zoom;  // the button and a little of the strip around it
  Canvas picture = CreateCanvas(shot.width, Margin + zoomed + Margin + Status, RGB(250, 250, 250));
  SetStretchBltMode(picture.dc, COLORONCOLOR);  // whole pixels, no blending
  StretchBlt(picture.dc, Margin, Margin, zoomed, zoomed, shot.dc, button.left - 4, button.top - 4,
             24, 24, SRCCOPY);
  DrawLabel(picture, Margin + zoomed + 16, Margin + 8, L"The toolbar button (enlarged 4\u00D7)", 14,
            RGB(0, 0, 0), true);
  DrawLabel(picture, Margin + zoomed + 16, Margin + 32,
            L"Hovered, the status strip shows the plug-in's text:", 13);
  BitBlt(picture.dc, 0, Margin + zoomed + Margin, shot.width, Status, shot.dc, 0,
         shot.height - Status, SRCCOPY);
  const bool saved = SaveCanvas(picture, path);
  DestroyCanvas(picture);
  DestroyCanvas(shot);
  return saved;
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

int RunScript(const std::wstring& profilePath, const std::wstring& pictures) {
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

  std::vector<StripFrame> strip;
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
    if (!pictures.empty() && step >= FirstStripStep && step <= LastStripStep) {
      wchar_t key[32];
      swprintf(key, 32, L"Down \u00D7%d", step);
      strip.push_back({key, CaptureClient(plain), CaptureClient(watched), a, b});
    }
  }
  printf("\nfull repaints forced by the plug-in: %d\n", watched.fullRepaints());
  if (pictures.empty()) return 0;

  const int kept = static_cast<int32_t>(ProfileValue(watched, L"brinkwatcherDown", 2));
  const std::wstring stripPath = pictures + L"\\scroll-strip.bmp";
  const std::wstring buttonPath = pictures + L"\\toolbar-button.bmp";
  const bool stripSaved = WriteStrip(strip, d.page, kept, stripPath);
  for (StripFrame& frame : strip) {
    DestroyCanvas(frame.without);
    DestroyCanvas(frame.with);
  }
  const bool buttonSaved = WriteToolbarPicture(profilePath, buttonPath);
  printf("pictures: %s, %s\n", stripSaved ? "scroll-strip.bmp" : "scroll strip FAILED",
         buttonSaved ? "toolbar-button.bmp" : "toolbar button FAILED");
  return stripSaved && buttonSaved ? 0 : 1;
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
  const std::wstring profilePath =
      OptionValue(argc, argv, L"--profile", sim::ProgramDirectory() + L"sim-profile.txt");
  if (HasFlag(argc, argv, L"--script")) {
    return RunScript(profilePath, OptionValue(argc, argv, L"--pictures", L""));
  }
  if (HasFlag(argc, argv, L"--hold-desktop")) {
    // Keeps a hidden window on Wine's desktop until the process is killed: the desktop and its
    // services then stay up for a whole test run instead of stopping and starting again between
    // test programs. The file named after the flag is created once the window exists.
    sim::EditorOptions options;
    options.visible = false;
    sim::Editor editor(options);
    for (int i = 1; i + 1 < argc; ++i) {
      if (std::wstring(argv[i]) != L"--hold-desktop") continue;
      const HANDLE ready = CreateFileW(argv[i + 1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
      if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    }
    for (MSG msg; GetMessageW(&msg, nullptr, 0, 0) > 0;) DispatchMessageW(&msg);
    return 0;
  }
  if (HasFlag(argc, argv, L"--warm-up")) {
    // Starts Wine's desktop services once, so that later programs find them running.
    sim::Editor editor;
    editor.Pump(100);
    return 0;
  }
  return RunInteractive(profilePath, !HasFlag(argc, argv, L"--no-plugin"));
}
