// A seeded soak of the plug-in in the simulated editor, and of its properties dialog.
//
//   brinkwatcher-soak.exe [STEPS] [--seed S] [--dll PATH] [--control] [--samples FILE]
//   brinkwatcher-soak.exe --dialog ROUNDS [--dll PATH] [--control] [--samples FILE]
//
// --samples writes what stays behind, one line per sample, for a picture of the run. --dialog
// opens and closes the properties dialog instead, confirming, cancelling and refusing in turn.
// The default DLL is the checking build (checked/Brinkwatcher.dll beside the program).
//
// The parts: the steps and their checks (step_soak, move_check, hostile_reload), the plug-in's
// timers, repaints and heap blocks seen at its import table (plugin_imports), what stays behind
// (resource_watch, samples_file), the dialog's rounds (dialog_soak, dialog_rounds) and the report
// of a fault (fault_report).

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/sim_editor.h"
#include "tests/soak/dialog_soak.h"
#include "tests/soak/fault_report.h"
#include "tests/soak/resource_watch.h"
#include "tests/soak/samples_file.h"
#include "tests/soak/step_soak.h"

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
  const char* const arch = soak::Arch;
  soak::ReportFaults(seed);
  if (dialogRounds != 0) return soak::RunDialogSoak(dll, dialogRounds, samplesPath, control);
  std::printf("soak %s: %llu steps, seed %u, %s\n", arch, static_cast<unsigned long long>(steps),
              seed,
              control ? "control run: a stand-in DLL, no plug-in" : soak::ConsoleText(dll).c_str());
  std::fflush(stdout);
  const ULONGLONG start = GetTickCount64();
  const soak::StepSoakReport run = soak::RunStepSoak(dll, seed, control, steps);
  const uint64_t failed = run.failedStep;
  const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
  if (failed != 0 || !run.failure.empty()) {
    std::printf("FAILED at %s\n  reproduce: scripts/run-soak.sh %llu --seed %u --arch %s\n",
                run.failure.c_str(), static_cast<unsigned long long>(failed), seed, arch);
    std::printf("%s: %llu passed, 1 failed\n", arch,
                static_cast<unsigned long long>(failed > 0 ? failed - 1 : 0));
    return 1;
  }
  const auto& t = run.tally;
  std::printf(
      "  %llu caret moves (%llu jumps), %llu timers armed, %llu expiries repainting and "
      "%llu quiet, %llu reloads, %llu new views, %llu DLL reloads\n",
      static_cast<unsigned long long>(t.moves), static_cast<unsigned long long>(t.jumps),
      static_cast<unsigned long long>(t.timersArmed), static_cast<unsigned long long>(t.repaints),
      static_cast<unsigned long long>(t.quietExpiries), static_cast<unsigned long long>(t.reloads),
      static_cast<unsigned long long>(t.newViews), static_cast<unsigned long long>(t.dllReloads));
  std::vector<std::string> grown;
  const auto table = soak::ResourceTable(run.samples, soak::StepWarmUp, grown);
  if (!table.empty()) {
    std::printf("What stays behind, sampled every %llu steps after %llu of warm-up:\n",
                static_cast<unsigned long long>(soak::StepSampleEvery),
                static_cast<unsigned long long>(soak::StepWarmUp));
    for (const auto& line : table) std::printf("%s\n", line.c_str());
  } else {
    std::printf(
        "  too few steps to chart or to judge growth: %llu of warm-up and two samples "
        "%llu apart need %llu\n",
        static_cast<unsigned long long>(soak::StepWarmUp),
        static_cast<unsigned long long>(soak::StepSampleEvery),
        static_cast<unsigned long long>(soak::StepWarmUp + soak::StepSampleEvery));
  }
  if (!samplesPath.empty() && !table.empty() && !soak::WriteSamples(samplesPath, run.samples)) {
    std::printf("FAILED: cannot write %s\n%s: samples not written\n",
                soak::ConsoleText(samplesPath).c_str(), arch);
    return 1;
  }
  const auto& stretches = run.stretchMs;
  if (stretches.size() >= 2) {
    const auto rate = [](ULONGLONG ms) {
      return static_cast<double>(soak::StepRateStretch) * 1000.0 / static_cast<double>(ms ? ms : 1);
    };
    // Every stretch, so that a trend can be told from the spread of the machine's own speed.
    std::string each;
    for (const ULONGLONG ms : stretches) each += " " + std::to_string(std::lround(rate(ms)));
    std::printf("  steps/s of each %llu steps:%s\n",
                static_cast<unsigned long long>(soak::StepRateStretch), each.c_str());
    std::printf("%s: %.0f steps/s over the first %llu steps, %.0f over the last\n", arch,
                rate(stretches.front()), static_cast<unsigned long long>(soak::StepRateStretch),
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
