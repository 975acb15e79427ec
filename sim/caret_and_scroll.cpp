// What the editor itself does with the caret and the view: keys, clicks and scrolling.
#include "sim/sim_editor.h"

#include "sim/editor_internal.h"

namespace sim {

using namespace detail;

int32_t Editor::ScrollToShow(int32_t caret, int32_t scroll, int32_t page) {
  if (caret < scroll) return caret;
  if (page > 0 && static_cast<int64_t>(caret) >= static_cast<int64_t>(scroll) + page) {
    return static_cast<int32_t>(static_cast<int64_t>(caret) - page + 1);
  }
  return scroll;
}

void Editor::MoveCaretTo(int32_t line) {
  doc_.caret.y = Clamp64(line, 0, std::max<int64_t>(0, static_cast<int64_t>(doc_.lines) - 1));
  SetScroll({doc_.scroll.x, ScrollToShow(doc_.caret.y, doc_.scroll.y, doc_.page)});
}

void Editor::CaretMoved() {
  InvalidateRect(view_, nullptr, TRUE);
  if (frame_ != view_) InvalidateRect(frame_, nullptr, TRUE);
  SendEvents(EventCaretMoved);
  inputHandled_ = true;
}

void Editor::PressKey(UINT vk, bool ctrl) {
  const int64_t caret = doc_.caret.y;
  switch (vk) {
    case VK_UP:
      MoveCaretTo(static_cast<int32_t>(std::max<int64_t>(caret - 1, 0)));
      break;
    case VK_DOWN:
      MoveCaretTo(static_cast<int32_t>(std::min<int64_t>(caret + 1, INT32_MAX)));
      break;
    case VK_NEXT:
    case VK_PRIOR: {
      // A page key moves the view and the caret by one page together.
      const int64_t step = vk == VK_NEXT ? doc_.page : -static_cast<int64_t>(doc_.page);
      SetScroll({doc_.scroll.x, Clamp64(doc_.scroll.y + step, INT32_MIN, INT32_MAX)});
      MoveCaretTo(Clamp64(caret + step, 0, INT32_MAX));
      break;
    }
    case VK_HOME:
      if (!ctrl) return;
      MoveCaretTo(0);
      break;
    case VK_END:
      if (!ctrl) return;
      MoveCaretTo(doc_.lines - 1);
      break;
    default:
      return;
  }
  CaretMoved();
}

void Editor::ClickRow(int32_t row) {
  MoveCaretTo(static_cast<int32_t>(static_cast<int64_t>(doc_.scroll.y) + row));
  CaretMoved();
}

void Editor::SetScroll(ViewPoint target) {
  const int64_t maxFirst = std::max<int64_t>(0, static_cast<int64_t>(doc_.lines) - doc_.page);
  const ViewPoint clamped{Clamp64(target.x, 0, std::max(doc_.maxScrollX, 0)),
                          Clamp64(target.y, 0, maxFirst)};
  if (clamped.x != doc_.scroll.x || clamped.y != doc_.scroll.y) {
    doc_.scroll = clamped;
    InvalidateRect(view_, nullptr, TRUE);
  }
}
}  // namespace sim
