#pragma once
// The window's tooltips: one tooltip control, a tool for each control or rectangle with a tip.
#include <windows.h>

#include <string>

class Tooltips {
 public:
  // Made once the window is there, which owns it and takes it down; without it (the system
  // refused), no control has a tip.
  void Create(HWND owner, HINSTANCE instance);
  // A tooltip for a window, or for a rectangle of a container when rect is given.
  void Add(HWND window, HWND container, UINT id, const RECT* rect, const std::string& text);
  // Changes the text of a window's tooltip (one added for the window, not for a rectangle) and
  // takes down what it shows, so that the next tip over it shows the new text.
  void Change(HWND window, HWND container, const std::string& text);

 private:
  HWND window_ = nullptr;
};
