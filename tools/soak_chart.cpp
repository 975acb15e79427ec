// Draws what stays behind over soak runs, one panel per count (steps across, the count up), so
// that a flat line can be seen. Reads the sample files `brinkwatcher-soak.exe --samples` writes.
//   brinkwatcher-soak-chart.exe OUT.bmp NAME=SAMPLES [NAME=SAMPLES ...]
// Up to four runs; a name ending in "control" is drawn dashed.

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
  std::vector<std::vector<double>> rows;  // step, then the counts in the file's order
};

struct Panel {
  const wchar_t* title;
  int column;    // in a sample row
  double scale;  // drawn value = count / scale
  const wchar_t* unit;
};

// The file's columns: step windows gdi handles private_bytes timers heap_blocks. GDI objects are
// left out: Wine does not count them.
const Panel Panels[] = {
    {L"windows", 1, 1, L""},
    {L"kernel handles", 3, 1, L""},
    {L"private bytes", 4, 1 << 20, L" MiB"},
    {L"plug-in timers", 5, 1, L""},
    {L"plug-in heap blocks", 6, 1, L""},
};
const COLORREF Colors[] = {RGB(0, 90, 200), RGB(200, 40, 40), RGB(0, 140, 70), RGB(150, 80, 0)};

bool ReadRun(const std::wstring& argument, Run& run) {
  const size_t equals = argument.find(L'=');
  if (equals == std::wstring::npos) return false;
  run.name = argument.substr(0, equals);
  run.control = run.name.size() >= 7 && run.name.compare(run.name.size() - 7, 7, L"control") == 0;
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

void DrawPanel(const Canvas& canvas, const RECT& box, const Panel& panel,
               const std::vector<Run>& runs, double lastStep) {
  DrawLabel(canvas, box.left, box.top, panel.title, 14, RGB(0, 0, 0), true);
  // The scale starts at 0, so that a flat line looks flat, and leaves room above the highest.
  double highest = 1;
  for (const Run& run : runs) {
    for (const auto& row : run.rows) highest = std::max(highest, row[panel.column] / panel.scale);
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
  DrawLabel(canvas, plot.right - 60, plot.bottom + 2, Number(lastStep) + L" steps", 11);
  for (size_t r = 0; r < runs.size(); ++r) {
    HPEN pen = CreatePen(runs[r].control ? PS_DOT : PS_SOLID, 1, Colors[r % 4]);
    old = SelectObject(canvas.dc, pen);
    bool first = true;
    for (const auto& row : runs[r].rows) {
      const int x = plot.left + static_cast<int>((plot.right - plot.left) * row[0] / lastStep);
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
  double lastStep = 1;
  for (int i = 2; i < argc && runs.size() < 4; ++i) {
    Run run;
    if (!ReadRun(argv[i], run)) {
      std::fwprintf(stderr, L"cannot read samples: %ls\n", argv[i]);
      return 1;
    }
    lastStep = std::max(lastStep, run.rows.back()[0]);
    runs.push_back(std::move(run));
  }
  constexpr int PanelWidth = 330, PanelHeight = 130, Columns = 2;
  Canvas canvas = CreateCanvas(PanelWidth * Columns, PanelHeight * 3, RGB(255, 255, 255));
  int index = 0;
  for (const Panel& panel : Panels) {
    const int x = (index % Columns) * PanelWidth, y = (index / Columns) * PanelHeight;
    DrawPanel(canvas, RECT{x + 6, y + 6, x + PanelWidth - 6, y + PanelHeight - 4}, panel, runs,
              lastStep);
    ++index;
  }
  // The legend fills the last cell.
  const int legendX = PanelWidth + 16, legendY = 2 * PanelHeight + 16;
  for (size_t r = 0; r < runs.size(); ++r) {
    const int y = legendY + static_cast<int>(r) * 22;
    HPEN pen = CreatePen(runs[r].control ? PS_DOT : PS_SOLID, 1, Colors[r % 4]);
    HGDIOBJ old = SelectObject(canvas.dc, pen);
    MoveToEx(canvas.dc, legendX, y + 8, nullptr);
    LineTo(canvas.dc, legendX + 40, y + 8);
    SelectObject(canvas.dc, old);
    DeleteObject(pen);
    DrawLabel(canvas, legendX + 48, y, runs[r].name, 13);
  }
  const bool saved = SaveCanvas(canvas, argv[1]);
  DestroyCanvas(canvas);
  return saved ? 0 : 1;
}
