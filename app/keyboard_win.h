#pragma once
// The main window's keyboard, as in a dialog: Tab and Shift+Tab walk the controls, Ctrl+Tab turns
// the pages, Enter presses the focused or default button; and the window's own keys: Ctrl+F and F3
// to the filter box, Escape there to clear it, Ctrl+B to select the Broken Link entries, Ctrl+C in
// the list to copy the command.
#include <windows.h>

#include <vector>

#include "app/controls.h"

class MainWindowWin32;

class KeyboardNavigation {
 public:
  explicit KeyboardNavigation(MainWindowWin32& owner) : owner_(owner) {}

  // The handling of a queued key message of the window; true when it used the message up.
  bool Handle(MSG& message);

 private:
  bool Accelerator(MSG& message);
  // The Tab order: every control that takes the focus now, in the order the Tab key visits them.
  std::vector<HWND> TabOrder();
  void CollectTabOrder(const TControl* parent, std::vector<HWND>* order);
  void MoveFocus(bool backwards);
  void TurnPage(bool backwards);

  MainWindowWin32& owner_;
};
