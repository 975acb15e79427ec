// x86_64: a failure that passes through the plug-in leaves the editor intact. The simulated
// editor calls the export with known values in its callee-saved registers and, while it answers
// the plug-in, either walks its own stack the way Windows' exception dispatcher does, or throws a
// C++ exception that it catches around its call. Both need the plug-in's unwind data: without
// it the walk stops in the plug-in, and the exception arrives with the plug-in's registers.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>

#include "res/resource_ids.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/plugin_fixture.h"
#include "tests/support/stack_walk.h"

namespace {

using testing_support::StackWalk;

// What the editor throws from its window procedure.
struct EditorFailure {};

// The editor's values in rbx, rbp, rsi, rdi, r12, r13, r14 and r15 across its call.
const uint64_t HeldValues[8] = {0x1111111111111B00, 0x2222222222222B01, 0x3333333333333B02,
                                0x4444444444444B03, 0x5555555555555B04, 0x6666666666666B05,
                                0x7777777777777B06, 0x8888888888888B07};
const char* const RegisterNames[8] = {"rbx", "rbp", "rsi", "rdi", "r12", "r13", "r14", "r15"};

// The call the probe makes: the export, inside the editor's handler. Reached only through a
// file-level pointer, so that the catch needs no register the failure may have passed through.
const std::function<void()>* CallToMake = nullptr;
bool Caught = false;

void CallCatching(void* /*unused*/) {
  try {
    (*CallToMake)();
  } catch (const EditorFailure&) {
    Caught = true;
  }
}

// One place where the editor answers the plug-in in the middle of an export's work.
struct Point {
  const char* name;
  UINT message;  // the host message during which the editor walks or throws
  bool dialog;   // reached through the properties dialog's OK; else a caret move that scrolls
};

void PrintTo(const Point& point, std::ostream* out) {
  *out << point.name;
}

const Point points[] = {
    {"CaretMoveThatScrolls", 0x813, false},
    {"DialogOkWritesTheProfile", 0x855, true},
};

class FailurePassingThrough : public PluginFixture, public ::testing::WithParamInterface<Point> {
 protected:
  void SetUp() override {
    sim::InitCommonControlsLikeEditor();
    PluginFixture::SetUp();
    Load();
    // The caret on the page's last line: the move scrolls.
    Place(30, 0, 29);
  }

  // Calls the export through the register probe, with `atPoint` run once when the editor
  // answers the row's message. Returns the registers as they came back.
  void CallExport(const std::function<void()>& atPoint, uint64_t after[8]) {
    bool armed = true;
    editor.SetOverride([&](UINT message, WPARAM, LPARAM, LRESULT&) {
      if (armed && message == GetParam().message) {
        armed = false;
        atPoint();
      }
      return false;
    });
    const std::function<void()> call = [this] {
      if (!GetParam().dialog) {
        editor.plugin().OnEvents(editor.view(), EventCaretMoved, 0);
        return;
      }
      driver.Run(GetAncestor(editor.view(), GA_ROOT), {testing_support::Click(IDOK)},
                 [this] { return editor.plugin().OnCommand(editor.view()); });
    };
    CallToMake = &call;
    Caught = false;
    CallHoldingRegisters(CallCatching, nullptr, HeldValues, after);
    CallToMake = nullptr;
    editor.SetOverride(nullptr);
    EXPECT_FALSE(armed) << "the editor was never asked for message 0x" << std::hex
                        << GetParam().message;
  }

  // A dialog left behind by a failure that ended its modal loop.
  void TearDown() override {
    if (HWND dialog = testing_support::FindOwnedDialog(nullptr)) DestroyWindow(dialog);
    EnableWindow(GetAncestor(editor.view(), GA_ROOT), TRUE);
  }

  testing_support::DialogDriver driver;
};

TEST_P(FailurePassingThrough, AStackWalkArrivesAtTheEditorsCall) {
  StackWalk walk;
  uint64_t after[8] = {};
  CallExport([&] { walk = testing_support::WalkToRegisterProbe(); }, after);
  std::printf("walk: %s\n", walk.frames.c_str());
  ASSERT_TRUE(walk.arrived) << "stopped at " << walk.stopped << "\npassed: " << walk.frames;
  EXPECT_EQ(walk.stackPointer, RegisterProbeStackAtCall);
}

TEST_P(FailurePassingThrough, AnExceptionLeavesTheEditorsRegistersIntact) {
  uint64_t after[8] = {};
  CallExport([] { throw EditorFailure{}; }, after);
  ASSERT_TRUE(Caught) << "the exception never arrived at the editor's handler";
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(after[i], HeldValues[i]) << RegisterNames[i] << " changed";
  }
}

INSTANTIATE_TEST_SUITE_P(Points, FailurePassingThrough, ::testing::ValuesIn(points),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
