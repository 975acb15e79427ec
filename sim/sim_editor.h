#pragma once
// A simulated EmEditor: a frame window with a view window in a real message loop. It loads
// the plug-in DLL as the editor does, answers the host messages from a small document model and
// a profile store, records every host message it receives, and sends the editor's events.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "host/host_messages.h"
#include "host/plugin_interface.h"

namespace sim {

struct Document {
  int32_t lines = 200;
  int32_t page = 30;  // lines the view shows
  ViewPoint caret{0, 0};
  ViewPoint scroll{0, 0};
  int32_t maxScrollX = 0;    // the horizontal scroll range: x is clamped to 0 ... maxScrollX
  uint32_t version = 14600;  // answer to HostGetVersion
  int32_t hiddenLines = 0;   // answer to HostGetInfo 333
};

// One host message as the simulated editor received it.
struct HostCall {
  UINT code;
  WPARAM wParam;
  bool toFrame;
  ViewPoint in;            // the point as sent (for points passed in)
  ViewPoint out;           // the point as answered (for points passed out)
  std::wstring valueName;  // profile messages
  uint32_t value;          // profile value written, or answered on a read
  LRESULT result;
  bool misdirected = false;  // a profile message that reached a window other than the frame
  // Profile messages: the section named, the data buffer's value as sent (a read's preset), and
  // what is wrong with the record as the editor reads it; empty when nothing is.
  std::wstring section = {};
  uint32_t preset = 0;
  std::string recordFault = {};
};

// A profile store keyed by (key selector, section, value name), holding 4-byte values.
struct ProfileKey {
  uint32_t selector;
  std::wstring section;
  std::wstring name;
  bool operator<(const ProfileKey& o) const {
    return std::tie(selector, section, name) < std::tie(o.selector, o.section, o.name);
  }
};
using ProfileStore = std::map<ProfileKey, uint32_t>;

// A test's hook into the answers: return true to answer `message` with `result` instead.
using HostOverride =
    std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)>;

// The seven exports, called as the editor calls them.
struct PluginExports {
  void(WINAPI* OnEvents)(HWND, UINT, LPARAM) = nullptr;
  INT_PTR(WINAPI* OnCommand)(HWND) = nullptr;
  BOOL(WINAPI* QueryStatus)(HWND, BOOL*) = nullptr;
  UINT(WINAPI* GetMenuTextID)() = nullptr;
  UINT(WINAPI* GetStatusMessageID)() = nullptr;
  UINT(WINAPI* GetBitmapID)() = nullptr;
  LRESULT(WINAPI* PlugInProc)(HWND, UINT, WPARAM, LPARAM) = nullptr;
};

struct EditorOptions {
  int x = 0;
  int y = 0;
  int width = 640;
  int height = 560;
  bool visible = true;
  const wchar_t* title = L"Brinkwatcher - simulated editor";
  // Shows the plug-in as the editor does: a "Plug-ins" menu, a toolbar button in the status
  // area and the status text while the button is hovered. Off by default, so that tests keep
  // the plain window.
  bool pluginUi = false;
  // Where the view sits, as in editors with tabs or split panes: `containers` windows below the
  // frame, each answering no host message; or, with `parentlessView`, with no parent at all: the
  // view is then its own frame (and has no status strip or plug-in menu).
  int containers = 0;
  bool parentlessView = false;
};

// Command ids of the "Plug-ins" menu.
enum PluginMenuCommand : WORD {
  MenuPluginCommand = 40001,     // the plug-in's menu text: OnCommand
  MenuPluginProperties = 40002,  // "Properties...": PlugInProc QueryShowProperties
  MenuAboutPlugins = 40003,      // lists the plug-in by name and version text
};

class Editor {
 public:
  explicit Editor(const EditorOptions& options = {});
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  HWND frame() const { return frame_; }
  HWND view() const { return view_; }
  // The windows between the frame and the view, outermost first.
  const std::vector<HWND>& containers() const { return containers_; }

  // Loads the DLL with LoadLibraryW and resolves the exports; sends the reload event once.
  bool LoadPlugin(const std::wstring& path, bool sendReload = true);
  // Uses a DLL that another editor thread has loaded, without a reference of its own: an editor's
  // windows on several threads share one plug-in. Sends no event.
  bool AdoptPlugin(HMODULE module);
  void UnloadPlugin();
  HMODULE module() const { return module_; }
  const PluginExports& plugin() const { return exports_; }

  // Sends events to the plug-in (nothing when no plug-in is loaded).
  void SendEvents(UINT events);

  // What the editor does for a key: moves the caret, scrolls it into view, reports the move.
  void PressKey(UINT vk, bool ctrl = false);
  // The same for a click on a row of the page.
  void ClickRow(int32_t row);
  // Moves the caret as the editor would, without any event.
  void MoveCaretTo(int32_t line);

  // Pumps messages until `ms` have passed; after handled input, sends the idle event once the
  // queue is empty, as the editor does.
  void Pump(DWORD ms);
  // Pumps until `done` holds or `ms` have passed; true if it held.
  bool PumpUntil(const std::function<bool()>& done, DWORD ms);

  Document& doc() { return doc_; }
  ProfileStore& profile() { return profile_; }
  std::vector<HostCall>& calls() { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Recording is on by default; a benchmark turns it off so that the recorder's growth does not
  // dominate the cost of the messages it times.
  void SetRecording(bool on) { recording_ = on; }
  void SetOverride(HostOverride hook) { override_ = std::move(hook); }

  // Full repaints of the view: the whole client area, background not erased.
  int fullRepaints() const { return fullRepaints_; }
  int paints() const { return paints_; }
  // Pumps until the window system has stopped painting the new windows, then zeroes the counts,
  // so that only later repaints are counted.
  void Settle();

  // Draws the frame's client area as it stands, the view and the status strip, into `dc` (for
  // pictures; the window itself is not touched).
  void DrawClient(HDC dc) const;

  // What the editor shows for the loaded plug-in (empty without options.pluginUi).
  const std::wstring& pluginMenuText() const { return menuText_; }
  const std::wstring& pluginStatusText() const { return statusText_; }
  const std::wstring& pluginAbout() const { return aboutText_; }
  // The toolbar button, in frame client coordinates; while it is hovered the status area shows
  // the plug-in's status text.
  RECT ToolbarButton() const;
  bool toolbarButtonHovered() const { return buttonHovered_; }

  // Keeps the profile in a text file between runs.
  bool LoadProfileFile(const std::wstring& path);
  bool SaveProfileFile(const std::wstring& path) const;

  // The first line the editor itself would show for `caret` starting from `scroll`.
  static int32_t ScrollToShow(int32_t caret, int32_t scroll, int32_t page);

 private:
  static LRESULT CALLBACK FrameProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK ViewProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK ContainerProc(HWND, UINT, WPARAM, LPARAM);
  bool ResolveExports();
  LRESULT RecordMisdirected(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT AnswerView(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT AnswerProfile(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void DrawView(HDC dc, const RECT& client) const;
  void DrawStatus(HDC dc, const RECT& frameClient) const;
  void SetScroll(ViewPoint target);
  void CaretMoved();
  void ShowPlugin();
  void HidePlugin();
  bool FrameUi(UINT message, WPARAM wParam, LPARAM lParam);
  void PaintToolbarButton(HDC dc) const;
  void InvalidateStatus();

  HWND frame_ = nullptr;
  HWND view_ = nullptr;
  std::vector<HWND> containers_;
  HMODULE module_ = nullptr;
  bool moduleOwned_ = false;  // false when adopted from another editor thread
  PluginExports exports_;
  Document doc_;
  ProfileStore profile_;
  std::vector<HostCall> calls_;
  HostOverride override_;
  int fullRepaints_ = 0;
  int paints_ = 0;
  bool eraseRequested_ = false;
  bool inputHandled_ = false;
  bool recording_ = true;
  HMENU pluginsMenu_ = nullptr;  // null without options.pluginUi
  HBITMAP toolbarBitmap_ = nullptr;
  COLORREF maskColor_ = 0;
  std::wstring menuText_, statusText_, aboutText_;
  bool buttonHovered_ = false;
};

// Registers the common controls the way the editor does at start (the up-down class included).
void InitCommonControlsLikeEditor();

// The directory of the running program, with a trailing backslash.
std::wstring ProgramDirectory();

const wchar_t* HostMessageName(UINT code);

}  // namespace sim
