// The mouse-button option through the real GetAsyncKeyState path: buttons are pressed for real
// with SendInput. The display's button state is global, so this program runs alone.

#include "tests/support/plugin_fixture.h"

using testing_support::ExpectSequence;

namespace {

struct ButtonCase {
  const char* name;
  UINT button;  // 0: none pressed
  bool mouseCancel;
  bool expectScroll;
};

class MouseButton : public PluginFixture, public ::testing::WithParamInterface<ButtonCase> {
 protected:
  void TearDown() override {
    if (GetParam().button != 0) testing_support::SetMouseButton(GetParam().button, false);
  }
};

TEST_P(MouseButton, DecidesWhetherToScroll) {
  const ButtonCase& c = GetParam();
  testing_support::StoreSettings(editor, 2, 2, c.mouseCancel, 50);
  Load();
  // Out of every window, so that the press itself moves no caret.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
  if (c.button != 0) {
    testing_support::SetMouseButton(c.button, true);
    ASSERT_TRUE(GetAsyncKeyState(static_cast<int>(c.button)) & 0x8000) << "button not down";
  }
  Place(30, 100, 129);
  editor.ClearCalls();
  CaretMoved();
  if (c.expectScroll) {
    EXPECT_EQ(editor.doc().scroll.y, 102);
    EXPECT_EQ(editor.calls().size(), 7u) << testing_support::Describe(editor.calls());
  } else {
    EXPECT_TRUE(ExpectSequence(editor.calls(), {}));
    EXPECT_EQ(editor.doc().scroll.y, 100);
  }
}

INSTANTIATE_TEST_SUITE_P(Buttons, MouseButton,
                         ::testing::Values(ButtonCase{"NoButton", 0, true, true},
                                           ButtonCase{"LeftHeld", VK_LBUTTON, true, false},
                                           ButtonCase{"RightHeld", VK_RBUTTON, true, false},
                                           ButtonCase{"MiddleHeld", VK_MBUTTON, true, false},
                                           ButtonCase{"LeftHeldOptionOff", VK_LBUTTON, false, true},
                                           ButtonCase{"RightHeldOptionOff", VK_RBUTTON, false,
                                                      true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
