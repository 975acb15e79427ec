// The simulated editor's windows: the frame, the containers a view may sit in, the view, their
// window procedures, and the message loop.
#include "sim/sim_editor.h"

#include <commctrl.h>

#include "sim/editor_internal.h"

namespace sim {

using namespace detail;

namespace {
void RegisterClasses(WNDPROC frameProc, WNDPROC viewProc, WNDPROC containerProc) {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSW frame{};
  frame.lpfnWndProc = frameProc;
  frame.hInstance = GetModuleHandleW(nullptr);
  frame.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frame.lpszClassName = FrameClass;
  RegisterClassW(&frame);
  WNDCLASSW view{};
  view.lpfnWndProc = viewProc;
  view.hInstance = GetModuleHandleW(nullptr);
  view.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  view.lpszClassName = ViewClass;  // no background brush: the view erases itself
  RegisterClassW(&view);
  WNDCLASSW container{};
  container.lpfnWndProc = containerProc;
  container.hInstance = GetModuleHandleW(nullptr);
  container.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  container.lpszClassName = ContainerClass;
  RegisterClassW(&container);
}

// Keeps the editor in the window's user data from its first message on.
Editor* TakeEditor(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return EditorOf(window);
}
}  // namespace

Editor::Editor(const EditorOptions& options) {
  RegisterClasses(FrameProc, ViewProc, ContainerProc);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (options.parentlessView) {
    view_ = CreateWindowExW(0, ViewClass, options.title, WS_OVERLAPPEDWINDOW, options.x, options.y,
                            options.width, options.height, nullptr, nullptr, instance, this);
    frame_ = view_;
    if (options.visible) ShowWindow(view_, SW_SHOW);
    SetFocus(view_);
    return;
  }
  HMENU menuBar = nullptr;
  if (options.pluginUi) {
    menuBar = CreateMenu();
    pluginsMenu_ = CreatePopupMenu();
    AppendMenuW(menuBar, MF_POPUP, reinterpret_cast<UINT_PTR>(pluginsMenu_), L"&Plug-ins");
    HidePlugin();
  }
  frame_ = CreateWindowExW(0, FrameClass, options.title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           options.x, options.y, options.width, options.height, nullptr, menuBar,
                           instance, this);
  RECT client{};
  GetClientRect(frame_, &client);
  HWND parent = frame_;
  for (int i = 0; i < options.containers; ++i) {
    parent = CreateWindowExW(0, ContainerClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             client.right, client.bottom - StatusHeight, parent, nullptr, instance,
                             this);
    containers_.push_back(parent);
  }
  view_ = CreateWindowExW(0, ViewClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                          client.bottom - StatusHeight, parent, nullptr, instance, this);
  if (options.visible) {
    ShowWindow(frame_, SW_SHOW);
    UpdateWindow(frame_);
  }
  SetFocus(view_);
}

Editor::~Editor() {
  UnloadPlugin();
  if (IsWindow(frame_)) DestroyWindow(frame_);
}

void Editor::Pump(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

bool Editor::PumpUntil(const std::function<bool()>& done, DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return done();
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      if (done()) return true;
    }
    // The editor tells the plug-in once input has been handled and the queue is idle.
    if (inputHandled_) {
      inputHandled_ = false;
      SendEvents(EventArmRedraw);
    }
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

void Editor::Settle() {
  // Done once a short spell passes with no paint and nothing queued: the first paints of new
  // windows, and what the window system sends after them, all come within such a spell.
  constexpr DWORD Spell = 30;
  for (int round = 0; round < 60; ++round) {
    const int seen = paints_;
    Pump(Spell);
    if (paints_ == seen && GetQueueStatus(QS_ALLINPUT) == 0) break;
  }
  fullRepaints_ = 0;
  paints_ = 0;
}

LRESULT CALLBACK Editor::ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Editor* editor = TakeEditor(window, message, lParam);
  if (editor == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case HostProfileRead:
    case HostProfileWrite:
      // Only a view with no parent is the frame the profile lives on.
      if (window == editor->frame_) return editor->AnswerProfile(message, wParam, lParam);
      return editor->RecordMisdirected(window, message, wParam, lParam);
    case HostGetCaretPos:
    case HostGetPageSize:
    case HostGetScrollPos:
    case HostSetCaretPos:
    case HostSetScrollPos:
    case HostGetVersion:
    case HostGetInfo:
      return editor->AnswerView(message, wParam, lParam);
    case WM_ERASEBKGND: {
      editor->eraseRequested_ = true;
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
      return 1;
    }
    case WM_PAINT:
      editor->Paint();
      return 0;
    case WM_KEYDOWN:
      editor->PressKey(static_cast<UINT>(wParam), GetKeyState(VK_CONTROL) < 0);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      editor->ClickRow(static_cast<int16_t>(HIWORD(lParam)) / RowHeight);
      return 0;
    case WM_KILLFOCUS:
      editor->SendEvents(EventKillFocus);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (editor->view_ == window) editor->view_ = nullptr;
      if (editor->frame_ == window) editor->frame_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A window between the frame and the view (a tab or pane holder): it answers no host message,
// and a profile message that reaches it is recorded as misdirected.
LRESULT CALLBACK Editor::ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Editor* editor = TakeEditor(window, message, lParam);
  if (editor == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case HostProfileRead:
    case HostProfileWrite:
      return editor->RecordMisdirected(window, message, wParam, lParam);
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Editor::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Editor* editor = TakeEditor(window, message, lParam);
  if (editor == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (editor->pluginsMenu_ != nullptr && editor->FrameUi(message, wParam, lParam)) return 0;
  switch (message) {
    case HostProfileRead:
    case HostProfileWrite:
      return editor->AnswerProfile(message, wParam, lParam);
    case WM_SETFOCUS:
      if (editor->view_) SetFocus(editor->view_);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT client;
      GetClientRect(window, &client);
      editor->DrawStatus(dc, client);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SIZE: {
      // Every window down to the view fills the area above the status strip.
      const int height = std::max(0, HIWORD(lParam) - StatusHeight);
      for (HWND container : editor->containers_) {
        MoveWindow(container, 0, 0, LOWORD(lParam), height, TRUE);
      }
      if (editor->view_) MoveWindow(editor->view_, 0, 0, LOWORD(lParam), height, TRUE);
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (editor->frame_ == window) editor->frame_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void InitCommonControlsLikeEditor() {
  // Loaded on demand: a program that never calls this never has the common controls (loading
  // the library may register its classes), so tests can run without the up-down class.
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  if (comctl == nullptr) return;
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitFunction>(
      reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  if (init != nullptr) init(&controls);
}

std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, n);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}
}  // namespace sim
