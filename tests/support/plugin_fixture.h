#pragma once
// A simulated editor with the real plug-in loaded and known settings, for tests.

#include "tests/support/plugin_test_support.h"

class PluginFixture : public ::testing::Test {
 protected:
  // Settings every test starts from unless it stores others before Load(): the defaults, with
  // the mouse-button option off so that buttons pressed by other tests cannot interfere.
  void SetUp() override { testing_support::StoreSettings(editor, 2, 2, false, 50); }

  void Load(const std::wstring& path = testing_support::PluginPath()) {
    ASSERT_TRUE(editor.LoadPlugin(path)) << "cannot load the DLL";
    ASSERT_NE(editor.plugin().OnEvents, nullptr);
    editor.Settle();
    editor.ClearCalls();
  }

  // Places the view and caret without telling the plug-in.
  void Place(int32_t page, int32_t first, int32_t caretLine, int32_t lines = 1000) {
    auto& d = editor.doc();
    d.lines = lines;
    d.page = page;
    d.scroll = {0, first};
    d.caret = {0, caretLine};
  }

  void CaretMoved() { editor.SendEvents(EventCaretMoved); }

  sim::Editor editor;
};
