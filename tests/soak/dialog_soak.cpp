#include "tests/soak/dialog_soak.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "host/plugin_interface.h"
#include "sim/sim_editor.h"
#include "tests/soak/dialog_rounds.h"
#include "tests/soak/fault_report.h"
#include "tests/soak/plugin_imports.h"
#include "tests/soak/resource_watch.h"
#include "tests/soak/samples_file.h"
#include "tests/support/allocation_watch.h"

namespace soak {

int RunDialogSoak(const std::wstring& dll, uint64_t rounds, const std::wstring& samplesPath,
                  bool control) {
  constexpr uint64_t WarmUpRounds = 10;
  const char* const arch = Arch;
  std::printf("dialog %s: %llu openings, %s\n", arch, static_cast<unsigned long long>(rounds),
              control ? "control run: the same dialog without the plug-in's code"
                      : ConsoleText(dll).c_str());
  std::fflush(stdout);
  HMODULE module = control ? LoadLibraryExW(dll.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE)
                           : LoadLibraryW(dll.c_str());
  if (module == nullptr || (!control && !HookPluginImports(module))) {
    std::printf("FAILED: cannot load the DLL or find its imports\n");
    return 1;
  }
  const ULONGLONG start = GetTickCount64();
  std::vector<ResourceSample> samples;
  std::string failure;
  DialogRoundsResult result;
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
          SampleResources(round, Activity().timers.size(), testing_support::LiveBlocks()));
    };
    const auto open = [&]() -> LRESULT {
      if (control) return OpenControlDialog(module, editor.view());
      return editor.plugin().PlugInProc(editor.view(), QueryShowProperties, 0, 0);
    };
    sample(0);
    result = PlayDialogRounds(editor.view(), open, rounds, [&](uint64_t round) {
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
  std::vector<std::string> grown;
  const auto table = ResourceTable(samples, WarmUpRounds, grown);
  if (!samplesPath.empty() && !table.empty() && !WriteSamples(samplesPath, samples)) {
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
  if (table.empty()) {
    std::printf(
        "  too few openings to chart or to judge growth: %llu of warm-up and one more "
        "sample need %llu\n",
        static_cast<unsigned long long>(WarmUpRounds),
        static_cast<unsigned long long>(WarmUpRounds + 1));
  } else {
    std::printf("What stays behind, after %llu openings of warm-up and every 1000 after:\n",
                static_cast<unsigned long long>(WarmUpRounds));
  }
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

}  // namespace soak
