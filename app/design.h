#pragma once
// How the window's parts lay out their controls: a control's place in design units, and its text.
#include <string>

#include "app/controls.h"

inline void Place(TControl& control, TControl* parent, int left, int top, int width, int height, int tabOrder = -1) {
  control.Parent = parent;
  control.Left = left;
  control.Top = top;
  control.Width = width;
  control.Height = height;
  control.TabOrder = tabOrder;
}

inline void Text(TControl& control, const std::string& caption, bool wordWrap = true) {
  control.SetCaption(caption);
  control.WordWrap = wordWrap;
}

// What the pages' controls do in a larger window: grow both ways, widen, keep under their page's
// text, or keep to the page's bottom.
inline constexpr unsigned kGrows = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;
inline constexpr unsigned kWidens = kAnchorLeft | kAnchorTop | kAnchorRight;
inline constexpr unsigned kUnder = kAnchorLeft | kAnchorRight | kAnchorBottom;
inline constexpr unsigned kBelow = kAnchorLeft | kAnchorBottom;
