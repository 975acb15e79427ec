#include "scroll/scroll_ahead.h"

#include "host/host_messages.h"
#include "scroll/redraw.h"
#include "settings/settings.h"

namespace {
// The host's answers are untrusted: all arithmetic wraps at 32 bits instead of overflowing.
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

bool AnyMouseButtonDown() {
  for (int button : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON}) {
    if (GetAsyncKeyState(button) & 0x8000) return true;
  }
  return false;
}
}  // namespace

int32_t ComputeScrollDelta(HWND view) {
  const int32_t extra = gHostVersionAtLeast14600 ? QueryHiddenLines(view) : 0;
  const ViewPoint page = QueryPageSize(view);
  const ViewPoint caret = QueryCaretPos(view);
  const ViewPoint scroll = QueryScrollPos(view);

  const int32_t row = WrapSub(WrapSub(caret.y, scroll.y), extra);
  const int32_t height = page.y;
  const int32_t half = height / 2;
  const int32_t third = height / 3;

  if (row < half) {
    const int32_t up = gSettings.brinkwatcherUp;
    const int32_t keep = up < third ? up : third;
    const int32_t delta = WrapSub(keep, row);
    return delta > 0 ? delta : 0;
  }
  const int32_t down = gSettings.brinkwatcherDown;
  const int32_t keep = down < third ? down : third;
  // The caret's own line counts, hence the + 1.
  const int32_t overshoot = WrapSub(WrapAdd(WrapAdd(row, keep), 1), height);
  return overshoot > 0 ? -overshoot : 0;
}

void ApplyScrollAhead(HWND view) {
  if (gSettings.mouseCancel && AnyMouseButtonDown()) return;

  const int32_t delta = ComputeScrollDelta(view);
  if (delta == 0) return;

  const ViewPoint old = QueryScrollPos(view);
  ViewPoint target{old.x, WrapSub(old.y, delta)};
  if (target.y < 0) target.y = 0;
  // Already at the top and asked to go further up.
  if (target.y == old.y) return;

  SetScrollPosAndReadBack(view, target);
  const ViewPoint now = target;

  const int32_t moved = WrapSub(now.y, old.y);
  if (moved > 1 || moved < -1) MarkRedrawPending();

  // The host may drop the horizontal offset when it scrolls; setting the caret to where it
  // already is brings the view back to it.
  if (now.x < old.x) PlaceCaret(view, QueryCaretPos(view));
}
