#include "app/window_layout_win.h"

#include <algorithm>

#include "app/main_window.h"

void WindowLayout::ReadDpi() {
  // The program draws itself at the screen's resolution (its manifest says so), so the design's
  // places and sizes grow with it as its fonts do.
  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;
}

void WindowLayout::Resize(int width, int height) {
  const SIZE design = DesignClientSize();
  grown_ = SIZE{std::max<LONG>(0, width - design.cx), std::max<LONG>(0, height - design.cy)};
  pagesGrown_ = grown_.cy / 2;
}

RECT WindowLayout::Scaled(RECT design) const {
  return RECT{MulDiv(design.left, dpi_, 96), MulDiv(design.top, dpi_, 96), MulDiv(design.right, dpi_, 96),
              MulDiv(design.bottom, dpi_, 96)};
}

SIZE WindowLayout::DesignClientSize() const {
  const RECT client = Scaled(RECT{0, 0, form_.design.width, form_.design.height});
  return SIZE{client.right, client.bottom};
}

RECT WindowLayout::Placed(const TControl& control) const {
  RECT place = Scaled(RECT{control.Left, control.Top, control.Left + control.Width, control.Top + control.Height});
  // How much larger than its design the control's parent is: the window, a page, or the panel at
  // its bottom, which grows with the window's width. The height the window adds is shared between
  // the list and the pages under it: what lies above the pages takes the list's part.
  int dx = 0, dy = 0;
  const TControl& pages = form_.pageControl;
  if (&control == &pages) {
    place.top += grown_.cy - pagesGrown_;
    dx = grown_.cx;
    dy = grown_.cy;
  } else if (!control.Parent) {
    dx = grown_.cx;
    dy = control.Top + control.Height <= pages.Top ? grown_.cy - pagesGrown_ : grown_.cy;
  } else if (control.Parent->Kind() == ControlKind::kPanel) {
    dx = grown_.cx;
  } else if (control.Parent->Kind() == ControlKind::kTabSheet) {
    dx = grown_.cx;
    dy = pagesGrown_;
  }
  const unsigned anchors = control.Anchors;
  if (anchors & kAnchorRight) {
    place.right += dx;
    if (!(anchors & kAnchorLeft)) place.left += dx;
  }
  if (anchors & kAnchorBottom) {
    place.bottom += dy;
    if (!(anchors & kAnchorTop)) place.top += dy;
  }
  return place;
}
