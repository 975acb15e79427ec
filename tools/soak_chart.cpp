// Draws what stays behind over soak runs, one row of panels per count (the count up), with the
// step runs on the left (steps across) and the dialog runs on the right (openings across), so
// that a flat line can be seen. Reads the sample files `brinkwatcher-soak.exe --samples` writes.
//   brinkwatcher-soak-chart.exe OUT.bmp NAME=SAMPLES [NAME=SAMPLES ...]
// Up to eight runs. A name containing "dialog" is a dialog run; one ending in "control" is drawn
// dotted; the architecture in the name (i686 or x86_64) picks the colour. The legend has a band
// of its own above the panels, where no line is drawn.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/pictures.h"

namespace {

struct Run {
  std::wstring name;
  bool control = false;
  bool dialog = false;
  COLORREF color = 0;
  std::vector<std::vector<double>> rows;  // step or opening, then the counts in the file's order
};

struct Panel {
  const wchar_t* title;
  int column;    // in a sample row
  double scale;  // drawn value = count / scale
  const wchar_t* unit;
};

// The file's columns: step windows gdi handles private_bytes timers heap_blocks.
const Panel Panels[] = {
    {L"windows", 1, 1, L""},        {L"GDI objects", 2, 1, L""},
    {L"kernel handles", 3, 1, L""}, {L"private bytes", 4, 1 << 20, L" MiB"},
    {L"plug-in timers", 5, 1, L""}, {L"plug-in heap blocks", 6, 1, L""},
};

COLORREF ColorOf(const std::wstring& name) {
  if (name.find(L"x86_64") != std::wstring::npos) return RGB(200, 40, 40);
  if (name.find(L"i686") != std::wstring::npos) return RGB(0, 90, 200);
  return RGB(0, 140, 70);
}

bool ReadRun(const std::wstring& argument, Run& run) {
  const size_t equals = argument.find(L'=');
  if (equals == std::wstring::npos) return false;
  run.name = argument.substr(0, equals);
  run.control = run.name.size() >= 7 && run.name.compare(run.name.size() - 7, 7, L"control") == 0;
  run.dialog = run.name.find(L"dialog") != std::wstring::npos;
  run.color = ColorOf(run.name);
  FILE* in = _wfopen(argument.substr(equals + 1).c_str(), L"r");
  if (in == nullptr) return false;
  char line[256];
  std::fgets(line, sizeof line, in);  // the header
  while (std::fgets(line, sizeof line, in) != nullptr) {
    std::vector<double> row(7);
    if (std::sscanf(line, "%lf %lf %lf %lf %lf %lf %lf", &row[0], &row[1], &row[2], &row[3],
                    &row[4], &row[5], &row[6]) == 7) {
      run.rows.push_back(row);
    }
  }
  std::fclose(in);
  return !run.rows.empty();
}

std::wstring Number(double value) {
  wchar_t text[32];
  std::swprintf(text, 32, value == static_cast<long long>(value) ? L"%.0f" : L"%.1f", value);
  return text;
}

// One panel: the runs of one kind (`dialog` or steps), `last` their last step or opening.
void DrawPanel(const Canvas& canvas, const RECT& box, const Panel& panel,
               const std::vector<const Run*>& runs, double last, const wchar_t* across) {
  DrawLabel(canvas, box.left, box.top, panel.title, 14, RGB(0, 0, 0), true);
  // The scale starts at 0, so that a flat line looks flat, and leaves room above the highest.
  double highest = 1;
  for (const Run* run : runs) {
    for (const auto& row : run->rows) highest = std::max(highest, row[panel.column] / panel.scale);
  }
  const double top = highest * 1.25;
  const RECT plot{box.left + 44, box.top + 20, box.right - 6, box.bottom - 16};
  HPEN axis = CreatePen(PS_SOLID, 1, RGB(150, 150, 150));
  HGDIOBJ old = SelectObject(canvas.dc, axis);
  MoveToEx(canvas.dc, plot.left, plot.top, nullptr);
  LineTo(canvas.dc, plot.left, plot.bottom);
  LineTo(canvas.dc, plot.right, plot.bottom);
  SelectObject(canvas.dc, old);
  DeleteObject(axis);
  DrawLabel(canvas, box.left, plot.top - 2, Number(top) + panel.unit, 11);
  DrawLabel(canvas, box.left + 30, plot.bottom - 6, L"0", 11);
  DrawLabel(canvas, plot.right - 90, plot.bottom + 2, Number(last) + L" " + across, 11);
  for (const Run* run : runs) {
    HPEN pen = CreatePen(run->control ? PS_DOT : PS_SOLID, 1, run->color);
    old = SelectObject(canvas.dc, pen);
    bool first = true;
    for (const auto& row : run->rows) {
      const int x = plot.left + static_cast<int>((plot.right - plot.left) * row[0] / last);
      const int y = plot.bottom - static_cast<int>((plot.bottom - plot.top) *
                                                   (row[panel.column] / panel.scale) / top);
      if (first) MoveToEx(canvas.dc, x, y, nullptr);
      LineTo(canvas.dc, x, y);
      first = false;
    }
    SelectObject(canvas.dc, old);
    DeleteObject(pen);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: brinkwatcher-soak-chart OUT.bmp NAME=SAMPLES...\n");
    return 2;
  }
  std::vector<Run> runs;
  for (int i = 2; i < argc && runs.size() < 8; ++i) {
    Run run;
    if (!ReadRun(argv[i], run)) {
      std::fwprintf(stderr, L"cannot read samples: %ls\n", argv[i]);
      return 1;
    }
    runs.push_back(std::move(run));
  }
  std::vector<const Run*> kinds[2];  // the step runs, then the dialog runs
  double last[2] = {1, 1};
  for (const Run& run : runs) {
    kinds[run.dialog].push_back(&run);
    last[run.dialog] = std::max(last[run.dialog], run.rows.back()[0]);
  }
  const int columns = kinds[1].empty() ? 1 : 2;
  constexpr int PanelWidth = 360, PanelHeight = 120, LegendHeight = 64;
  const int rowsOfPanels = static_cast<int>(std::size(Panels));
  Canvas canvas = CreateCanvas(PanelWidth * columns, LegendHeight + PanelHeight * rowsOfPanels,
                               RGB(255, 255, 255));

  // The legend: each run's line and name, two columns of entries, above every panel.
  for (size_t r = 0; r < runs.size(); ++r) {
    const int x = 16 + static_cast<int>(r % 4) * (PanelWidth * columns - 16) / 4;
    const int y = 8 + static_cast<int>(r / 4) * 22;
    HPEN pen = CreatePen(runs[r].control ? PS_DOT : PS_SOLID, 1, runs[r].color);
    HGDIOBJ old = SelectObject(canvas.dc, pen);
    MoveToEx(canvas.dc, x, y + 8, nullptr);
    LineTo(canvas.dc, x + 30, y + 8);
    SelectObject(canvas.dc, old);
    DeleteObject(pen);
    DrawLabel(canvas, x + 36, y, runs[r].name, 13);
  }
  HPEN rule = CreatePen(PS_SOLID, 1, RGB(210, 210, 210));
  HGDIOBJ old = SelectObject(canvas.dc, rule);
  MoveToEx(canvas.dc, 0, LegendHeight - 6, nullptr);
  LineTo(canvas.dc, PanelWidth * columns, LegendHeight - 6);
  SelectObject(canvas.dc, old);
  DeleteObject(rule);

  const wchar_t* const across[2] = {L"steps", L"openings"};
  for (int kind = 0; kind < columns; ++kind) {
    int row = 0;
    for (const Panel& panel : Panels) {
      const int x = kind * PanelWidth, y = LegendHeight + row * PanelHeight;
      DrawPanel(canvas, RECT{x + 6, y + 4, x + PanelWidth - 6, y + PanelHeight - 4}, panel,
                kinds[kind], last[kind], across[kind]);
      ++row;
    }
  }
  const bool saved = SaveCanvas(canvas, argv[1]);
  DestroyCanvas(canvas);
  return saved ? 0 : 1;
}
