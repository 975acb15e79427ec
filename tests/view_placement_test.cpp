// Views anywhere in the window tree, as editors with tabs and split panes place them: the profile
// lives on the frame at the end of the view's parent chain, and no window between them answers a
// host message. Settings read at load and saved by the dialog's OK must reach that frame only.

#include "res/resource_ids.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/plugin_test_support.h"

namespace {

struct Placement {
  const char* name;
  int containers;
  bool parentless;
};

class ViewPlacement : public ::testing::TestWithParam<Placement> {
 protected:
  ViewPlacement() : editor(Options()) {}

  static sim::EditorOptions Options() {
    sim::EditorOptions options;
    options.containers = GetParam().containers;
    options.parentlessView = GetParam().parentless;
    return options;
  }

  // Every profile message the editor received, misdirected ones included.
  std::vector<sim::HostCall> ProfileCalls() {
    std::vector<sim::HostCall> out;
    for (const auto& call : editor.calls()) {
      if (call.code == HostProfileRead || call.code == HostProfileWrite) out.push_back(call);
    }
    return out;
  }

  sim::Editor editor;
};

TEST_P(ViewPlacement, TheViewSitsWhereAsked) {
  HWND top = editor.view();
  int steps = 0;
  while (HWND parent = GetParent(top)) {
    top = parent;
    ++steps;
  }
  EXPECT_EQ(top, editor.frame());
  EXPECT_EQ(steps, GetParam().parentless ? 0 : GetParam().containers + 1);
}

// Seven lines kept below the caret, as stored: a caret on row 25 of a 30-line page moves the view
// 3 lines down. The settings the plug-in has without the stored ones keep 2 lines: no move.
TEST_P(ViewPlacement, StoredSettingsAreReadFromTheFrame) {
  testing_support::StoreSettings(editor, 7, 7, false, 50);
  ASSERT_TRUE(editor.LoadPlugin(testing_support::PluginPath()));
  const auto reads = ProfileCalls();
  EXPECT_EQ(reads.size(), 4u);
  for (const auto& call : reads) {
    EXPECT_FALSE(call.misdirected) << "a read reached a window between view and frame";
    EXPECT_TRUE(call.toFrame);
    EXPECT_EQ(call.result, 0) << "the frame did not find the stored value";
  }
  auto& d = editor.doc();
  d.lines = 1000;
  d.page = 30;
  d.scroll = {0, 100};
  d.caret = {0, 125};
  editor.ClearCalls();
  editor.SendEvents(EventCaretMoved);
  EXPECT_EQ(editor.doc().scroll.y, 103);
}

TEST_P(ViewPlacement, OkInTheDialogSavesToTheFrame) {
  sim::InitCommonControlsLikeEditor();
  testing_support::StoreSettings(editor, 2, 2, false, 50);
  ASSERT_TRUE(editor.LoadPlugin(testing_support::PluginPath()));
  editor.ClearCalls();
  testing_support::DialogDriver driver;
  const auto pickSix = [](HWND dialog) {
    SendDlgItemMessageW(dialog, IDC_UP_LINES, CB_SETCURSEL, 6, 0);
    return true;
  };
  const INT_PTR shown = driver.Run(
      GetAncestor(editor.view(), GA_ROOT), {pickSix, testing_support::Click(IDOK)}, [this] {
        return static_cast<INT_PTR>(
            editor.plugin().PlugInProc(editor.view(), QueryShowProperties, 0, 0));
      });
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(driver.playedAll());
  const auto writes = ProfileCalls();
  EXPECT_EQ(writes.size(), 4u) << "up, down, mouse cancel and the stored custom delay";
  for (const auto& call : writes) {
    EXPECT_FALSE(call.misdirected) << "a write reached a window between view and frame";
    EXPECT_TRUE(call.toFrame);
  }
  uint32_t up = 0;
  ASSERT_TRUE(testing_support::StoredValue(editor, L"brinkwatcherUp", up));
  EXPECT_EQ(up, 6u);
}

INSTANTIATE_TEST_SUITE_P(Views, ViewPlacement,
                         ::testing::Values(Placement{"TwoContainersDeep", 2, false},
                                           Placement{"Parentless", 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
