#pragma once
// The window's fonts, brushes and status icons: each made once, at its first use, and freed with
// the window.
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <tuple>

#include "app/controls.h"

class DrawingTools {
 public:
  DrawingTools() = default;
  ~DrawingTools();
  DrawingTools(const DrawingTools&) = delete;
  DrawingTools& operator=(const DrawingTools&) = delete;

  HFONT FontFor(const TFontSpec& design);
  HBRUSH BrushFor(TColor color);
  static COLORREF ColorOf(TColor color);
  // The background colour of a container: the window, a page or a panel.
  static TColor BackgroundOf(const TControl* container);
  // The list's icons, in the order of the status codes, then the clock of a check to come.
  void LoadStatusImages(HINSTANCE instance);
  HIMAGELIST StatusImages() const { return statusImages_; }

 private:
  std::string FontFace(const std::string& wanted);

  std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts_;
  std::map<TColor, HBRUSH> brushes_;
  std::map<std::string, std::string> faces_;
  HIMAGELIST statusImages_ = nullptr;
};
