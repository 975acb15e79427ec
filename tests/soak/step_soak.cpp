#include "tests/soak/step_soak.h"

#include <cstdio>
#include <memory>
#include <sstream>

#include "tests/soak/fault_report.h"
#include "tests/soak/hostile_reload.h"
#include "tests/soak/move_check.h"
#include "tests/soak/plugin_imports.h"
#include "tests/soak/redraw_model.h"
#include "tests/support/allocation_watch.h"
#include "tests/support/host_families.h"

namespace soak {

namespace {

using testing_support::HostCase;
using testing_support::Random;

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
      NoteStep(step);
      if (!Play(step)) return step;
      DrainMessages();
      if (step % StepSampleEvery == 0) {
        samples_.push_back(
            SampleResources(step, Activity().timers.size(), testing_support::LiveBlocks()));
      }
      if (step % StepRateStretch == 0) {
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
    if (!Activity().timers.empty())
      return Fail(steps, "a timer is left after the DLL was unloaded");
    return 0;
  }

  const std::string& failure() const { return failure_; }
  const std::vector<ResourceSample>& samples() const { return samples_; }
  const std::vector<ULONGLONG>& stretchMs() const { return stretchMs_; }
  const StepTally& tally() const { return tally_; }

 private:
  bool Load() {
    if (control_) {
      module_ = LoadLibraryW((sim::ProgramDirectory() + L"soak-stand-in.dll").c_str());
      if (module_ == nullptr) return false;
      NewEditor();
      return true;
    }
    module_ = LoadLibraryW(dll_.c_str());
    if (module_ == nullptr || !HookPluginImports(module_)) return false;
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
    const uint64_t repaintsBefore = Activity().repaints;
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
        if (!Activity().timers.empty()) return Fail(step, "a timer outlived the DLL's unload");
        model_ = {};
        if (!Load()) return Fail(step, "cannot load the DLL again");
        break;
    }
    if (!ok) return false;
    if (Activity().repaints != repaintsBefore)
      return Fail(step, "a repaint without a timer's expiry");
    return CheckTimers(step);
  }

  void Armed() {
    if (NoteArmed(model_, editor_->view())) ++tally_.timersArmed;
  }

  void Cancelled() { NoteCancelled(model_); }

  bool CheckTimers(uint64_t step) {
    const std::string wrong = soak::CheckTimers(model_, Activity());
    return wrong.empty() || Fail(step, wrong);
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

    bool jumped = false;
    const std::string wrong = CheckCaretMoveCalls(editor_->calls(), jumped);
    if (!wrong.empty()) {
      std::ostringstream describe;
      describe << c;
      return Fail(step, wrong + "; " + describe.str());
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
    if (Activity().timers.empty()) return CheckTimers(step);
    const Timer timer = Activity().timers[0];
    const uint64_t before = Activity().repaints;
    timer.proc(nullptr, WM_TIMER, timer.id, GetTickCount());
    const uint64_t repaints = Activity().repaints - before;
    ++(repaints != 0 ? tally_.repaints : tally_.quietExpiries);
    const std::string wrong = CheckExpiry(model_, repaints, Activity().lastRepainted);
    if (!wrong.empty()) return Fail(step, wrong);
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
    editor_->SetOverride(HostileProfileReads(refused, how, read));
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
  RedrawModel model_;
  StepTally tally_;
  std::string failure_;
  std::vector<ResourceSample> samples_;
  std::vector<ULONGLONG> stretchMs_;
};

}  // namespace

StepSoakReport RunStepSoak(const std::wstring& dll, uint32_t seed, bool control, uint64_t steps) {
  Soak soak(dll, seed, control);
  StepSoakReport report;
  report.failedStep = soak.Run(steps);
  report.failure = soak.failure();
  report.samples = soak.samples();
  report.stretchMs = soak.stretchMs();
  report.tally = soak.tally();
  return report;
}

}  // namespace soak
