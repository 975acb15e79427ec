// The plug-in's identity over the real DLL: every PlugInProc answer, the text copies, the status
// query, the resource ids, and the built file itself (exports, imports, resources, bitmap) read
// straight from its PE image.

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "host/plugin_interface.h"
#include "res/resource_ids.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/pe_image.h"
#include "tests/support/plugin_fixture.h"

namespace {

// The plug-in, the simulated editor and these tests share one header of codes: a wrong number
// there would pass every test that drives through it, so each is held against the editor's own.
static_assert(EventCaretMoved == 0x20 && EventReloadSettings == 0x400 && EventKillFocus == 0x800 &&
              EventCancelRedrawOther == 0x20000 && EventArmRedraw == 0x200000);
static_assert(QueryShowProperties == 0x901 && QueryName == 0x903 && QueryVersion == 0x905 &&
              QueryMaskColor == 0x909 && QueryInfo == 0x90A);
static_assert(IDC_MOUSE_CANCEL == 1017 && IDC_UP_LINES == 1018 && IDC_DOWN_LINES == 1019 &&
              IDC_DELAY == 1021 && IDC_DELAY_SPIN == 1022 && IDC_RESTORE_DEFAULT == 1023 &&
              IDC_NOTE == 1024 && IDD_PROPERTIES == 105);

using testing_support::Export;
using testing_support::PeImage;
using testing_support::Resource;
using testing_support::Utf8;

// ---- The properties dialog, closed from inside its own modal loop

// Cancels, with its Cancel button, a dialog of this thread that shows while a call runs, whoever
// owns it, and notes its owner and caption.
class DialogCanceller {
 public:
  INT_PTR Run(const std::function<INT_PTR()>& call) {
    return driver_.Run(nullptr, {[this](HWND dialog) {
                         owner_ = GetWindow(dialog, GW_OWNER);
                         wchar_t caption[64] = L"";
                         GetWindowTextW(dialog, caption, 64);
                         caption_ = caption;
                         SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
                         return true;
                       }},
                       call);
  }

  bool pressed() const { return driver_.dialog() != nullptr && driver_.playedAll(); }
  // Cancel did not close it: it was ended at the driver's deadline.
  bool stuck() const { return driver_.timedOut(); }
  HWND owner() const { return owner_; }
  const std::wstring& caption() const { return caption_; }

 private:
  testing_support::DialogDriver driver_;
  HWND owner_ = nullptr;
  std::wstring caption_;
};

class Identity : public PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    sim::InitCommonControlsLikeEditor();  // the dialog needs the up-down class
    Load();
  }
  HWND view() { return editor.view(); }
  const sim::PluginExports& plugin() { return editor.plugin(); }
  std::wstring LoadedString(UINT id) {
    wchar_t text[4096];
    const int n = LoadStringW(editor.module(), id, text, 4096);
    return std::wstring(text, static_cast<size_t>(std::max(n, 0)));
  }
};

// ---- PlugInProc

enum class Answer { Value, NameSize, VersionSize };

struct ProcCase {
  const char* name;
  UINT code;
  WPARAM wParam;
  Answer answer;
  LRESULT value;
  bool opensDialog;
};

const ProcCase procCases[] = {
    {"BelowRange0x8FF", 0x8FF, 0, Answer::Value, 0, false},
    {"First0x900", 0x900, 0, Answer::Value, 1, false},
    {"Properties0x901ShownAndCancelled", 0x901, 0, Answer::Value, 1, true},
    {"Fixed0x902", 0x902, 0, Answer::Value, 0, false},
    {"NameSize0x903", 0x903, 0, Answer::NameSize, 0, false},
    {"Fixed0x904", 0x904, 0, Answer::Value, 0, false},
    {"VersionSize0x905", 0x905, 0, Answer::VersionSize, 0, false},
    {"Fixed0x906", 0x906, 0, Answer::Value, 1, false},
    {"Fixed0x907", 0x907, 0, Answer::Value, 1, false},
    {"Fixed0x908", 0x908, 0, Answer::Value, 0, false},
    {"MaskColor0x909", 0x909, 0, Answer::Value, 0x00FF00FF, false},
    {"InfoItem0x90AItem0", 0x90A, 0, Answer::Value, 0, false},
    {"AboveRange0x90B", 0x90B, 0, Answer::Value, 0, false},
    {"AllBits0xFFFFFFFF", 0xFFFFFFFF, 0, Answer::Value, 0, false},
    {"Zero", 0, 0, Answer::Value, 0, false},
    {"AboveRangeWithWParam0x90B", 0x90B, 2, Answer::Value, 0, false},
};

class IdentityPlugInProc : public Identity, public ::testing::WithParamInterface<ProcCase> {};

TEST_P(IdentityPlugInProc, AnswersTheCode) {
  const ProcCase& c = GetParam();
  LRESULT expected = c.value;
  if (c.answer == Answer::NameSize) expected = static_cast<LRESULT>(wcslen(L"Brinkwatcher") + 1);
  if (c.answer == Answer::VersionSize) {
    const std::wstring version = LoadedString(104);
    ASSERT_EQ(version.rfind(L"Version 1.3.0", 0), 0u);
    expected = static_cast<LRESULT>(version.size() + 1);
  }
  DialogCanceller canceller;
  const LRESULT result =
      canceller.Run([&] { return plugin().PlugInProc(view(), c.code, c.wParam, 0); });
  EXPECT_EQ(result, expected);
  EXPECT_EQ(canceller.pressed(), c.opensDialog);
  EXPECT_FALSE(canceller.stuck()) << "Cancel did not close the dialog";
  // Queries ask the editor nothing; a cancelled dialog saves nothing.
  EXPECT_TRUE(testing_support::ExpectSequence(editor.calls(), {}));
}

INSTANTIATE_TEST_SUITE_P(Codes, IdentityPlugInProc, ::testing::ValuesIn(procCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct InfoCase {
  const char* name;
  WPARAM item;
  LRESULT expected;
};

const InfoCase infoCases[] = {
    {"Item0Unknown", 0, 0}, {"Item1", 1, 1}, {"Item2", 2, 99000}, {"Item3", 3, 7000},
    {"Item4", 4, 1},        {"Item5", 5, 0}, {"Item6", 6, 1},     {"Item7Unknown", 7, 0},
};

class IdentityInfoItems : public Identity, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(IdentityInfoItems, AnswersTheItem) {
  EXPECT_EQ(plugin().PlugInProc(view(), 0x90A, GetParam().item, 0), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Items, IdentityInfoItems, ::testing::ValuesIn(infoCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The properties dialog from PlugInProc is the one OnCommand opens: owned by the editor's
// window, captioned with the plug-in name, and Cancel ends it with 2.
TEST_F(Identity, OnCommandOpensTheDialogOwnedByTheEditor) {
  DialogCanceller canceller;
  const INT_PTR result = canceller.Run([&] { return plugin().OnCommand(view()); });
  ASSERT_TRUE(canceller.pressed()) << "no dialog was shown";
  EXPECT_FALSE(canceller.stuck()) << "Cancel did not close the dialog";
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(canceller.owner(), GetAncestor(view(), GA_ROOT));
  EXPECT_EQ(canceller.caption(), L"Brinkwatcher");
  EXPECT_TRUE(IsWindowEnabled(editor.frame())) << "the owner stays disabled";
  EXPECT_TRUE(testing_support::ExpectSequence(editor.calls(), {}));
}

// ---- Texts copied into the editor's buffer

enum class Room { NullBuffer, Zero, OneShort, Exact, Ample, Above32Bits };

struct CopyCase {
  const char* name;
  UINT code;
  UINT id;                // the string the code copies
  const wchar_t* begins;  // what the text must begin with
  Room room;
};

const CopyCase copyCases[] = {
    {"NameNullBuffer", 0x903, 103, L"Brinkwatcher", Room::NullBuffer},
    {"NameCapacity0", 0x903, 103, L"Brinkwatcher", Room::Zero},
    {"NameOneShort", 0x903, 103, L"Brinkwatcher", Room::OneShort},
    {"NameExactFit", 0x903, 103, L"Brinkwatcher", Room::Exact},
    {"NameAmple", 0x903, 103, L"Brinkwatcher", Room::Ample},
    {"VersionNullBuffer", 0x905, 104, L"Version 1.3.0", Room::NullBuffer},
    {"VersionCapacity0", 0x905, 104, L"Version 1.3.0", Room::Zero},
    {"VersionOneShort", 0x905, 104, L"Version 1.3.0", Room::OneShort},
    {"VersionExactFit", 0x905, 104, L"Version 1.3.0", Room::Exact},
    {"VersionAmple", 0x905, 104, L"Version 1.3.0", Room::Ample},
#if defined(_WIN64)
    // 2^32 + 5: read as 5, the capacity would be too small for either text.
    {"NameCapacityAbove32Bits", 0x903, 103, L"Brinkwatcher", Room::Above32Bits},
    {"VersionCapacityAbove32Bits", 0x905, 104, L"Version 1.3.0", Room::Above32Bits},
#endif
};

class IdentityCopyText : public Identity, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(IdentityCopyText, CopiesOnlyWhatFits) {
  const CopyCase& c = GetParam();
  const std::wstring text = LoadedString(c.id);
  ASSERT_EQ(text.rfind(c.begins, 0), 0u) << Utf8(text);
  const size_t length = text.size();

  constexpr wchar_t Guard = 0xFEFE;
  std::vector<wchar_t> buffer(length + 16, Guard);
  WPARAM capacity = 0;
  switch (c.room) {
    case Room::NullBuffer:
      capacity = length + 1;  // room enough: only the null pointer stops the copy
      break;
    case Room::Zero:
      capacity = 0;
      break;
    case Room::OneShort:
      capacity = length;
      break;
    case Room::Exact:
      capacity = length + 1;
      break;
    case Room::Ample:
      capacity = buffer.size();
      break;
    case Room::Above32Bits:
      capacity = static_cast<WPARAM>((uint64_t{1} << 32) + 5);
      break;
  }
  wchar_t* target = c.room == Room::NullBuffer ? nullptr : buffer.data();
  const LRESULT result =
      plugin().PlugInProc(view(), c.code, capacity, reinterpret_cast<LPARAM>(target));
  EXPECT_EQ(result, static_cast<LRESULT>(length + 1));

  switch (c.room) {
    case Room::NullBuffer:
    case Room::Zero:
      EXPECT_EQ(std::count(buffer.begin(), buffer.end(), Guard),
                static_cast<ptrdiff_t>(buffer.size()))
          << "wrote into a buffer it was not given";
      break;
    case Room::OneShort:
      EXPECT_EQ(buffer[0], L'\0') << "a text that does not fit leaves an empty string";
      EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<ptrdiff_t>(capacity), buffer.end(),
                              [](wchar_t ch) { return ch == Guard; }))
          << "wrote beyond the capacity";
      break;
    case Room::Exact:
    case Room::Ample:
    case Room::Above32Bits:
      EXPECT_EQ(std::wstring(buffer.data()), text);
      EXPECT_EQ(buffer[length], L'\0');
      EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<ptrdiff_t>(length + 1), buffer.end(),
                              [](wchar_t ch) { return ch == Guard; }))
          << "wrote beyond the capacity";
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Buffers, IdentityCopyText, ::testing::ValuesIn(copyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- QueryStatus and the resource ids

struct StatusCase {
  const char* name;
  bool pointer;
  BOOL preset;
};

const StatusCase statusCases[] = {
    {"NullPointer", false, 0},
    {"PresetTrueBecomesUnchecked", true, TRUE},
    {"PresetGarbageBecomesUnchecked", true, static_cast<BOOL>(0xA5A5A5A5)},
};

class IdentityQueryStatus : public Identity, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(IdentityQueryStatus, EnabledAndUnchecked) {
  const StatusCase& c = GetParam();
  constexpr BOOL Guard = static_cast<BOOL>(0x5A5A5A5A);
  BOOL cells[3] = {Guard, c.preset, Guard};
  EXPECT_EQ(plugin().QueryStatus(view(), c.pointer ? &cells[1] : nullptr), TRUE);
  EXPECT_EQ(cells[0], Guard);
  EXPECT_EQ(cells[1], c.pointer ? FALSE : c.preset);
  EXPECT_EQ(cells[2], Guard);
}

INSTANTIATE_TEST_SUITE_P(Pointers, IdentityQueryStatus, ::testing::ValuesIn(statusCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Identity, ResourceIdsNameTheirResources) {
  EXPECT_EQ(plugin().GetMenuTextID(), 101u);
  EXPECT_EQ(plugin().GetStatusMessageID(), 102u);
  EXPECT_EQ(plugin().GetBitmapID(), 102u);
  EXPECT_EQ(LoadedString(plugin().GetMenuTextID()), L"Brinkwatcher");
  const std::wstring status = LoadedString(plugin().GetStatusMessageID());
  EXPECT_EQ(status.substr(status.find(L'\n') + 1), L"Brinkwatcher") << Utf8(status);
  HANDLE bitmap = LoadImageW(editor.module(), MAKEINTRESOURCEW(plugin().GetBitmapID()),
                             IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
  EXPECT_NE(bitmap, nullptr);
  if (bitmap != nullptr) DeleteObject(bitmap);
}

// ---- Calling convention: __stdcall exists on 32-bit x86 only (x64 has one convention)

#if defined(__i386__)

constexpr uint32_t ViewArgument = 0xFEEDF00D;  // replaced by the view window

struct DriftCase {
  const char* name;
  const char* exportName;
  std::vector<uint32_t> args;
  bool opensDialog;
};

const DriftCase driftCases[] = {
    {"OnCommandOneArgument", "OnCommand", {ViewArgument}, true},
    {"QueryStatusTwoArguments", "QueryStatus", {ViewArgument, 0}, false},
    {"OnEventsThreeArguments", "OnEvents", {ViewArgument, 0x20, 0}, false},
    {"GetMenuTextIDNoArgument", "GetMenuTextID", {}, false},
    {"GetStatusMessageIDNoArgument", "GetStatusMessageID", {}, false},
    {"GetBitmapIDNoArgument", "GetBitmapID", {}, false},
    {"PlugInProcFourArguments", "PlugInProc", {ViewArgument, 0x90A, 2, 0}, false},
};

class IdentityStack : public Identity, public ::testing::WithParamInterface<DriftCase> {};

TEST_P(IdentityStack, CalleeRemovesItsArguments) {
  const DriftCase& c = GetParam();
  const void* function =
      reinterpret_cast<const void*>(GetProcAddress(editor.module(), c.exportName));
  ASSERT_NE(function, nullptr);
  std::vector<uint32_t> args = c.args;
  for (uint32_t& a : args) {
    if (a == ViewArgument) a = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(view()));
  }
  DialogCanceller canceller;
  int32_t drift = 0;
  canceller.Run([&] {
    drift = testing_support::StackDrift(function, args);
    return INT_PTR{0};
  });
  EXPECT_EQ(drift, 0);
  EXPECT_EQ(canceller.pressed(), c.opensDialog);
  EXPECT_FALSE(canceller.stuck());
}

INSTANTIATE_TEST_SUITE_P(Exports, IdentityStack, ::testing::ValuesIn(driftCases),
                         [](const auto& info) { return std::string(info.param.name); });
#endif

// ---- The built file

class IdentityImage : public Identity {
 protected:
  PeImage image{testing_support::PluginPath()};
};

TEST_F(IdentityImage, ExportsTheSevenFunctionsByNameAndOrdinal) {
  ASSERT_TRUE(image.valid());
  uint32_t functionCount = 0;
  std::vector<Export> exports = ReadExports(image, functionCount);
  std::sort(exports.begin(), exports.end(),
            [](const Export& a, const Export& b) { return a.ordinal < b.ordinal; });
  const std::vector<std::pair<std::string, uint32_t>> expected = {
      {"OnCommand", 1},          {"QueryStatus", 2}, {"OnEvents", 3},   {"GetMenuTextID", 4},
      {"GetStatusMessageID", 5}, {"GetBitmapID", 6}, {"PlugInProc", 7},
  };
  std::vector<std::pair<std::string, uint32_t>> found;
  for (const auto& e : exports) found.emplace_back(e.name, e.ordinal);
  EXPECT_EQ(found, expected);
  EXPECT_EQ(functionCount, 7u);
  ASSERT_EQ(exports.size(), 7u);

  // One body answers both ids; every other export has its own.
  EXPECT_EQ(exports[4].rva, exports[5].rva);
  std::set<uint32_t> addresses;
  for (const auto& e : exports) addresses.insert(e.rva);
  EXPECT_EQ(addresses.size(), 6u);

  // The loader resolves name and ordinal to the same address the file states.
  const auto base = reinterpret_cast<uintptr_t>(editor.module());
  for (const auto& e : exports) {
    const auto byName =
        reinterpret_cast<uintptr_t>(GetProcAddress(editor.module(), e.name.c_str()));
    const auto byOrdinal = reinterpret_cast<uintptr_t>(
        GetProcAddress(editor.module(), MAKEINTRESOURCEA(static_cast<WORD>(e.ordinal))));
    EXPECT_EQ(byName, base + e.rva) << e.name;
    EXPECT_EQ(byOrdinal, base + e.rva) << e.name;
  }
}

// The editor of each edition loads only its own architecture; the base does not depend on where
// the tree was built.
TEST_F(IdentityImage, BuiltForThisArchitectureAtAFixedBase) {
  ASSERT_TRUE(image.valid());
#if defined(_WIN64)
  EXPECT_EQ(image.machine(), 0x8664) << "x64";
  EXPECT_EQ(image.imageBase(), 0x180000000u);
#else
  EXPECT_EQ(image.machine(), 0x14C) << "i386";
  EXPECT_EQ(image.imageBase(), 0x10000000u);
#endif
}

TEST_F(IdentityImage, ImportsOnlySystemLibraries) {
  ASSERT_TRUE(image.valid());
  const std::vector<std::string> dlls = ReadImportedDlls(image);
  const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "MSVCRT.DLL"};
  for (const auto& dll : dlls) EXPECT_TRUE(allowed.count(dll)) << dll;
  EXPECT_EQ(std::count(dlls.begin(), dlls.end(), "KERNEL32.DLL"), 1);
  EXPECT_EQ(std::count(dlls.begin(), dlls.end(), "USER32.DLL"), 1);
  EXPECT_EQ(image.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u)
      << "nothing may be loaded behind the loader's back";
}

constexpr uint32_t Japanese = 1041;
constexpr uint32_t EnglishUs = 1033;

TEST_F(IdentityImage, CarriesExactlyTheseResources) {
  ASSERT_TRUE(image.valid());
  std::set<std::tuple<uint32_t, uint32_t, uint32_t>> found;
  for (const auto& r : ReadResources(image)) found.emplace(r.type, r.id, r.language);
  const std::set<std::tuple<uint32_t, uint32_t, uint32_t>> expected = {
      {2, 102, Japanese},  // RT_BITMAP: the toolbar picture
      {5, 105, Japanese},  // RT_DIALOG: the properties dialog
      {6, 7, Japanese},    // RT_STRING: the block holding strings 96 ... 111
      {24, 2, EnglishUs},  // RT_MANIFEST
  };
  EXPECT_EQ(found, expected);
  for (const auto& r : found) EXPECT_NE(std::get<0>(r), 16u) << "a version resource";
}

TEST_F(IdentityImage, StringTableHoldsTheTexts) {
  ASSERT_TRUE(image.valid());
  const auto resources = ReadResources(image);
  const Resource* block = FindIn(resources, 6, 101 / 16 + 1);
  ASSERT_NE(block, nullptr);
  const std::vector<std::wstring> strings = StringBlock(*block);
  ASSERT_EQ(strings.size(), 16u);
  const std::wstring name = L"Brinkwatcher";
  const std::vector<std::pair<UINT, std::wstring>> expected = {
      {101, name},
      {102, L"キーボード入力でカーソル移動時、少し早くスクロールさせます。\n" + name},
      {103, name},
      {105, name},
      {106, L"遅延時間を半角の数字で設定してください。"},
      {107,
       L"スクロールを開始する行数は、実際には、表示されている行数の３分の１までになります。\r\n"
       L"下方向は、ウィンドウサイズや水平スクロールバーの設定等、複数の要因により、２行程度ずれるこ"
       L"とがあります。"},
  };
  for (const auto& [id, text] : expected) {
    EXPECT_EQ(strings[id % 16], text) << id << ": " << Utf8(strings[id % 16]);
  }
  EXPECT_EQ(strings[104 % 16].rfind(L"Version 1.3.0", 0), 0u) << Utf8(strings[104 % 16]);
  for (UINT id = 96; id < 112; ++id) {
    if (id < 101 || id > 107) {
      EXPECT_TRUE(strings[id % 16].empty()) << id;
    }
    // The plug-in reads each into 256 characters with the NUL.
    EXPECT_LT(strings[id % 16].size(), 256u) << id;
  }
}

TEST_F(IdentityImage, ManifestAsksForNothingMore) {
  ASSERT_TRUE(image.valid());
  const auto resources = ReadResources(image);
  const Resource* manifest = FindIn(resources, 24, 2);
  ASSERT_NE(manifest, nullptr);
  EXPECT_EQ(manifest->language, EnglishUs);
  const std::string xml(manifest->data.begin(), manifest->data.end());
  EXPECT_NE(xml.find("level=\"asInvoker\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("uiAccess=\"false\""), std::string::npos) << xml;
  EXPECT_EQ(xml.find("dependentAssembly"), std::string::npos) << xml;
}

TEST_F(IdentityImage, ToolbarBitmapIsMaskedOnTopAndRight) {
  ASSERT_TRUE(image.valid());
  const auto resources = ReadResources(image);
  const Resource* bitmap = FindIn(resources, 2, 102);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->language, Japanese);
  ASSERT_GE(bitmap->data.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  memcpy(&header, bitmap->data.data(), sizeof header);
  EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(header.biWidth, 16);
  EXPECT_EQ(std::abs(header.biHeight), 16);
  EXPECT_EQ(header.biPlanes, 1);
  ASSERT_EQ(header.biBitCount, 4);
  ASSERT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  const uint32_t colors = header.biClrUsed ? header.biClrUsed : 16;
  ASSERT_EQ(colors, 16u);

  const uint32_t standard[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                 0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  const size_t stride = 8;  // 16 pixels of 4 bits, already a multiple of 4 bytes
  ASSERT_GE(bitmap->data.size(), header.biSize + 4 * colors + 16 * stride);
  const unsigned char* palette = bitmap->data.data() + header.biSize;
  for (uint32_t i = 0; i < colors; ++i) {
    const uint32_t rgb = palette[4 * i + 2] << 16 | palette[4 * i + 1] << 8 | palette[4 * i];
    EXPECT_EQ(rgb, standard[i]) << "palette index " << i;
  }

  constexpr int Mask = 13;
  const unsigned char* pixels = palette + 4 * colors;
  auto index = [&](int x, int y) {  // y counted from the top
    const int row = header.biHeight > 0 ? 15 - y : y;
    const unsigned char byte = pixels[row * stride + x / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 0x0F;
  };
  std::string wrong;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool edge = y == 0 || x == 15;
      if ((index(x, y) == Mask) != edge) {
        wrong += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
      }
    }
  }
  EXPECT_TRUE(wrong.empty()) << "mask colour where it should not be, or missing: " << wrong;
}

}  // namespace

namespace {

// ---- The editor's view of the plug-in: menu, toolbar button, status text and about entry

class IdentityInEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::InitCommonControlsLikeEditor();
    testing_support::StoreSettings(editor, 2, 2, false, 50);
    ASSERT_TRUE(editor.LoadPlugin(testing_support::PluginPath()));
    editor.Settle();
    editor.ClearCalls();
  }
  static sim::EditorOptions WithPluginUi() {
    sim::EditorOptions options;
    options.pluginUi = true;
    return options;
  }
  std::wstring MenuText(UINT command) {
    HMENU plugins = GetSubMenu(GetMenu(editor.frame()), 0);
    wchar_t text[128] = L"";
    GetMenuStringW(plugins, command, text, 128, MF_BYCOMMAND);
    return text;
  }
  LPARAM ButtonPoint() {
    const RECT b = editor.ToolbarButton();
    return MAKELPARAM((b.left + b.right) / 2, (b.top + b.bottom) / 2);
  }
  sim::Editor editor{WithPluginUi()};
};

TEST_F(IdentityInEditor, ShowsTheTextsFromTheIdentity) {
  EXPECT_EQ(MenuText(sim::MenuPluginCommand), L"Brinkwatcher");
  EXPECT_EQ(editor.pluginStatusText(),
            L"キーボード入力でカーソル移動時、少し早くスクロールさせます。");
  const std::wstring about = editor.pluginAbout();
  EXPECT_EQ(about.rfind(L"Brinkwatcher\r\nVersion 1.3.0", 0), 0u) << Utf8(about);
}

// Hovering the button puts the status text in the status area; leaving it takes it away.
TEST_F(IdentityInEditor, StatusTextWhileTheButtonIsHovered) {
  EXPECT_FALSE(editor.toolbarButtonHovered());
  SendMessageW(editor.frame(), WM_MOUSEMOVE, 0, ButtonPoint());
  EXPECT_TRUE(editor.toolbarButtonHovered());
  SendMessageW(editor.frame(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_FALSE(editor.toolbarButtonHovered());
}

struct EntryCase {
  const char* name;
  UINT message;  // WM_COMMAND with the menu id, or a click on the toolbar button
  WPARAM wParam;
};

const EntryCase entryCases[] = {
    {"MenuTextCallsOnCommand", WM_COMMAND, sim::MenuPluginCommand},
    {"PropertiesCallsPlugInProc901", WM_COMMAND, sim::MenuPluginProperties},
    {"ToolbarButtonClick", WM_LBUTTONUP, 0},
};

class IdentityEditorEntries : public IdentityInEditor,
                              public ::testing::WithParamInterface<EntryCase> {};

TEST_P(IdentityEditorEntries, OpenTheProperties) {
  const EntryCase& c = GetParam();
  DialogCanceller canceller;
  canceller.Run([&] {
    return SendMessageW(editor.frame(), c.message, c.wParam,
                        c.message == WM_COMMAND ? 0 : ButtonPoint());
  });
  EXPECT_TRUE(canceller.pressed()) << "no dialog was shown";
  EXPECT_FALSE(canceller.stuck());
  EXPECT_TRUE(testing_support::ExpectSequence(editor.calls(), {}));
}

INSTANTIATE_TEST_SUITE_P(Entries, IdentityEditorEntries, ::testing::ValuesIn(entryCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
