#pragma once
// What the editor sends the plug-in: the event bits of OnEvents and the PlugInProc query codes.
// The plug-in, the simulated editor and the tests all take them from here.

#include <windows.h>

enum EditorEvent : UINT {
  EventCaretMoved = 0x20,
  EventReloadSettings = 0x400,
  EventKillFocus = 0x800,
  EventCancelRedrawOther = 0x20000,
  // The editor's idle moment after handled input: arms a pending repaint.
  EventArmRedraw = 0x200000,
};
// Either bit drops a pending or armed repaint.
constexpr UINT EventCancelRedraw = EventKillFocus | EventCancelRedrawOther;

enum PlugInQuery : UINT {
  QueryFirst = 0x900,
  QueryShowProperties = 0x901,
  QueryName = 0x903,
  QueryVersion = 0x905,
  QueryMaskColor = 0x909,
  QueryInfo = 0x90A,
};
