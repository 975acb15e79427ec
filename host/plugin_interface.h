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

// PlugInProc's answers to the queries that need no action, by code from QueryFirst; what each
// value means is the editor's. The codes named above act instead of answering from here.
constexpr LRESULT QueryFixedAnswers[] = {
    1,  // 0x900
    0,  // 0x901: QueryShowProperties
    0,  // 0x902
    0,  // 0x903: QueryName
    0,  // 0x904
    0,  // 0x905: QueryVersion
    1,  // 0x906
    1,  // 0x907
    0,  // 0x908
    0,  // 0x909: QueryMaskColor
    0,  // 0x90A: QueryInfo
};
static_assert(sizeof(QueryFixedAnswers) / sizeof(QueryFixedAnswers[0]) ==
              QueryInfo - QueryFirst + 1);

// QueryInfo's answers by item number (its wParam), 0 to 6; any other item is answered 0.
constexpr LRESULT QueryInfoAnswers[] = {0, 1, 99000, 7000, 1, 0, 1};

// QueryMaskColor's answer: the colour of the toolbar bitmap that the editor draws transparent
// (magenta, as COLORREF 0x00BBGGRR).
constexpr LRESULT QueryMaskColorAnswer = 0x00FF00FF;
