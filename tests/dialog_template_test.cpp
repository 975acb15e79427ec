// The properties dialog's template as the loaded module carries it: the extended dialog header and
// every control, in tab order, with its class, text, styles and box in dialog units.

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/plugin_fixture.h"
#include "tests/support/text.h"

namespace {

constexpr WORD JapaneseLanguage = 1041;
constexpr WORD PropertiesDialog = 105;

// A class or menu reference: an ordinal (atom) or a name.
struct NameOrOrdinal {
  WORD ordinal = 0;  // 0 when a name (or nothing) is given
  std::wstring name;
};

struct Item {
  DWORD helpId = 0;
  DWORD exStyle = 0;
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  DWORD id = 0;
  NameOrOrdinal windowClass;
  NameOrOrdinal title;
  WORD extraCount = 0;
};

struct Template {
  WORD version = 0;
  WORD signature = 0;
  DWORD helpId = 0;
  DWORD exStyle = 0;
  DWORD style = 0;
  WORD itemCount = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  NameOrOrdinal menu;
  NameOrOrdinal windowClass;
  std::wstring title;
  WORD pointSize = 0;
  WORD weight = 0;
  BYTE italic = 0;
  BYTE charset = 0;
  std::wstring typeface;
  std::vector<Item> items;
  bool truncated = false;
};

// Reads a DLGTEMPLATEEX and its DLGITEMTEMPLATEEX records, bounded by the resource's size.
class Reader {
 public:
  Reader(const BYTE* data, size_t size) : base_(data), at_(data), end_(data + size) {}

  template <typename T>
  T Take() {
    T value{};
    if (at_ + sizeof(T) > end_) {
      failed_ = true;
      return value;
    }
    std::memcpy(&value, at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }

  std::wstring String() {
    std::wstring text;
    for (WORD c = Take<WORD>(); c != 0 && !failed_; c = Take<WORD>()) text.push_back(c);
    return text;
  }

  NameOrOrdinal Reference() {
    NameOrOrdinal ref;
    const WORD first = Take<WORD>();
    if (first == 0xFFFF) {
      ref.ordinal = Take<WORD>();
    } else {
      for (WORD c = first; c != 0 && !failed_; c = Take<WORD>()) ref.name.push_back(c);
    }
    return ref;
  }

  void AlignToDword() { at_ = base_ + ((at_ - base_ + 3) & ~3); }
  void Skip(size_t bytes) { at_ += bytes; }
  bool failed() const { return failed_ || at_ > end_; }

 private:
  const BYTE* base_;
  const BYTE* at_;
  const BYTE* end_;
  bool failed_ = false;
};

Template Parse(const BYTE* data, size_t size) {
  Reader r(data, size);
  Template t;
  t.version = r.Take<WORD>();
  t.signature = r.Take<WORD>();
  t.helpId = r.Take<DWORD>();
  t.exStyle = r.Take<DWORD>();
  t.style = r.Take<DWORD>();
  t.itemCount = r.Take<WORD>();
  t.x = r.Take<short>();
  t.y = r.Take<short>();
  t.cx = r.Take<short>();
  t.cy = r.Take<short>();
  t.menu = r.Reference();
  t.windowClass = r.Reference();
  t.title = r.String();
  if (t.style & (DS_SETFONT | DS_SHELLFONT)) {
    t.pointSize = r.Take<WORD>();
    t.weight = r.Take<WORD>();
    t.italic = r.Take<BYTE>();
    t.charset = r.Take<BYTE>();
    t.typeface = r.String();
  }
  for (WORD i = 0; i < t.itemCount && !r.failed(); ++i) {
    r.AlignToDword();
    Item item;
    item.helpId = r.Take<DWORD>();
    item.exStyle = r.Take<DWORD>();
    item.style = r.Take<DWORD>();
    item.x = r.Take<short>();
    item.y = r.Take<short>();
    item.cx = r.Take<short>();
    item.cy = r.Take<short>();
    item.id = r.Take<DWORD>();
    item.windowClass = r.Reference();
    item.title = r.Reference();
    item.extraCount = r.Take<WORD>();
    r.Skip(item.extraCount);
    if (!r.failed()) t.items.push_back(item);
  }
  t.truncated = r.failed();
  return t;
}

constexpr WORD ButtonAtom = 0x0080;
constexpr WORD EditAtom = 0x0081;
constexpr WORD StaticAtom = 0x0082;
constexpr WORD ComboBoxAtom = 0x0085;
constexpr DWORD NoId = 0xFFFFFFFF;  // -1, the id of the labels and group boxes
constexpr DWORD Child = WS_CHILD | WS_VISIBLE;

struct ExpectedItem {
  const char* name;
  DWORD id;
  WORD classAtom;            // 0 when the class is named
  const wchar_t* className;  // for the named class
  const wchar_t* text;
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;
};

// Tab order is item order.
const ExpectedItem expectedItems[] = {
    {"LinesGroup", NoId, ButtonAtom, L"Button", L"スクロールを開始する行数", Child | BS_GROUPBOX, 0,
     6, 6, 306, 66},
    {"UpLabel", NoId, StaticAtom, L"Static", L"上(&U)", Child | SS_LEFT | WS_GROUP, 0, 18, 26, 19,
     8},
    {"UpCombo", 1018, ComboBoxAtom, L"ComboBox", L"",
     Child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 42, 24, 48, 228},
    {"DownLabel", NoId, StaticAtom, L"Static", L"下(&D)", Child | SS_LEFT | WS_GROUP, 0, 18, 50, 19,
     8},
    {"DownCombo", 1019, ComboBoxAtom, L"ComboBox", L"",
     Child | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 42, 48, 48, 228},
    {"AboutLabel", NoId, StaticAtom, L"Static", L"くらい", Child | SS_LEFT | WS_GROUP, 0, 92, 51,
     20, 8},
    {"EmptyLabel", NoId, StaticAtom, L"Static", L"", Child | SS_LEFT, 0, 96, 24, 8, 8},
    {"Note", 1024, EditAtom, L"Edit", L"", Child | ES_MULTILINE | ES_READONLY, WS_EX_STATICEDGE,
     114, 18, 192, 48},
    {"DelayGroup", NoId, ButtonAtom, L"Button", L"再描画時の遅延時間(&R)",
     Child | BS_GROUPBOX | WS_GROUP, 0, 6, 81, 186, 42},
    {"DelayField", 1021, EditAtom, L"Edit", L"",
     Child | WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL, 0, 18, 99, 48, 14},
    {"DelayArrows", 1022, 0, L"msctls_updown32", L"",
     Child | UDS_AUTOBUDDY | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_HOTTRACK | UDS_NOTHOUSANDS, 0, 54,
     99, 11, 14},
    {"MillisecondsLabel", NoId, StaticAtom, L"Static", L"ミリ秒", Child | SS_LEFT | WS_GROUP, 0, 68,
     102, 26, 8},
    {"RestoreDefault", 1023, ButtonAtom, L"Button", L"標準に戻す(&B)",
     Child | BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 100, 99, 84, 14},
    {"MouseCancel", 1017, ButtonAtom, L"Button", L"マウスボタン押下時はスクロールしない(&M)",
     Child | BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP, 0, 204, 78, 108, 20},
    {"Ok", IDOK, ButtonAtom, L"Button", L"OK", Child | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 198, 105,
     54, 18},
    {"Cancel", IDCANCEL, ButtonAtom, L"Button", L"キャンセル", Child | BS_PUSHBUTTON | WS_TABSTOP,
     0, 258, 105, 54, 18},
};

using testing_support::Hex;

// The system classes may be given by atom or by name; names compare without case, as the window
// manager compares them (the resource compiler writes them in capitals).
bool SameClass(const NameOrOrdinal& actual, const ExpectedItem& e) {
  if (actual.ordinal != 0) return actual.ordinal == e.classAtom;
  return _wcsicmp(actual.name.c_str(), e.className) == 0;
}

std::string Describe(const NameOrOrdinal& ref) {
  if (ref.ordinal != 0) return Hex(ref.ordinal);
  return std::string(ref.name.begin(), ref.name.end());
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

class DialogTemplate : public PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    Load();
    HMODULE module = editor.module();
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */,
                                  MAKEINTRESOURCEW(PropertiesDialog), JapaneseLanguage);
    ASSERT_NE(found, nullptr) << "no Japanese dialog 105";
    HGLOBAL loaded = LoadResource(module, found);
    ASSERT_NE(loaded, nullptr);
    const auto* data = static_cast<const BYTE*>(LockResource(loaded));
    ASSERT_NE(data, nullptr);
    parsed = Parse(data, SizeofResource(module, found));
    ASSERT_FALSE(parsed.truncated) << "the template runs past the end of its resource";
  }

  Template parsed;
};

TEST_F(DialogTemplate, OnlyInJapanese) {
  std::vector<WORD> languages;
  EnumResourceLanguagesW(editor.module(), MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(PropertiesDialog),
                         CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::vector<WORD>{JapaneseLanguage});
}

TEST_F(DialogTemplate, Header) {
  EXPECT_EQ(parsed.version, 1);
  EXPECT_EQ(parsed.signature, 0xFFFF) << "not an extended template";
  EXPECT_EQ(parsed.helpId, 0u);
  EXPECT_EQ(Hex(parsed.style),
            Hex(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT));
  EXPECT_EQ(Hex(parsed.exStyle), Hex(0));
  EXPECT_EQ(parsed.itemCount, std::size(expectedItems));
  EXPECT_EQ(parsed.x, 0);
  EXPECT_EQ(parsed.y, 0);
  EXPECT_EQ(parsed.cx, 319);
  EXPECT_EQ(parsed.cy, 129);
  EXPECT_EQ(parsed.menu.ordinal, 0);
  EXPECT_EQ(parsed.menu.name, L"");
  EXPECT_EQ(parsed.windowClass.ordinal, 0);
  EXPECT_EQ(parsed.windowClass.name, L"");
  EXPECT_EQ(parsed.title, L"") << "the caption is set at run time";
  EXPECT_EQ(parsed.pointSize, 8);
  EXPECT_EQ(parsed.weight, FW_NORMAL);
  EXPECT_EQ(parsed.italic, 0);
  EXPECT_EQ(parsed.charset, DEFAULT_CHARSET);
  EXPECT_EQ(parsed.typeface, L"MS Shell Dlg");
}

class DialogTemplateItems : public DialogTemplate, public ::testing::WithParamInterface<size_t> {};

TEST_P(DialogTemplateItems, MatchesTable) {
  const size_t index = GetParam();
  const ExpectedItem& e = expectedItems[index];
  ASSERT_LT(index, parsed.items.size());
  const Item& item = parsed.items[index];
  EXPECT_EQ(item.id, e.id) << "tab position " << index;
  EXPECT_TRUE(SameClass(item.windowClass, e)) << "class " << Describe(item.windowClass);
  EXPECT_EQ(item.title.ordinal, 0);
  EXPECT_EQ(item.title.name, e.text);
  EXPECT_EQ(Hex(item.style), Hex(e.style));
  EXPECT_EQ(Hex(item.exStyle), Hex(e.exStyle));
  EXPECT_EQ(item.helpId, 0u);
  EXPECT_EQ(item.x, e.x);
  EXPECT_EQ(item.y, e.y);
  EXPECT_EQ(item.cx, e.cx);
  EXPECT_EQ(item.cy, e.cy);
  EXPECT_EQ(item.extraCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Controls, DialogTemplateItems,
                         ::testing::Range<size_t>(0, std::size(expectedItems)),
                         [](const auto& info) {
                           return std::string(expectedItems[info.param].name);
                         });

}  // namespace
