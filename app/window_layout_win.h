#pragma once
// Where the main window's controls go: the design's places (laid out for 96 dots per inch) at the
// screen's resolution, moved or grown with the edges of their parents that they keep to as the
// window grows. The height the window adds is shared between the list and the pages under it.
#include <windows.h>

#include "app/controls.h"

class MainWindow;

class WindowLayout {
 public:
  explicit WindowLayout(const MainWindow& form) : form_(form) {}

  void ReadDpi();
  int Dpi() const { return dpi_; }
  // The window's client area is now `width` by `height`.
  void Resize(int width, int height);
  // A rectangle of the window's design at the screen's resolution.
  RECT Scaled(RECT design) const;
  SIZE DesignClientSize() const;
  // Where a control is now.
  RECT Placed(const TControl& control) const;

 private:
  const MainWindow& form_;
  int dpi_ = 96;
  // How much larger than its design the window's client area is.
  SIZE grown_{0, 0};
  // Of the height grown_ adds, the part the pages take; the list above them takes the rest.
  LONG pagesGrown_ = 0;
};
