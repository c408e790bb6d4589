#pragma once
// What the Windows tests of the window share: a MainWindow on Wine's real registry, files and processes
// with a Ui that records, and the main list read and clicked as the user does.
#include <string>

#include "app/main_window.h"
#include "tests/wine/wine_test_support.h"

// The window's logic on the real platform, its dialogs recorded instead of shown.
struct WineForm : WinePlatform {
  MainWindow form{platform};
};

// The main list's row of the entry of that key name, -1 when it is not listed.
inline int MainListRow(const MainWindow& form, const std::string& keyName) {
  for (int i = 0; i < form.list.entryList.Count(); ++i)
    if (form.list.entryList.Item(i).SubItems.at(0) == keyName) return i;
  return -1;
}

// Selects the row alone as a click on it does: the list changes its selection, then the window
// hears of it (the boxes and the buttons follow the selection).
inline void ClickRow(MainWindow& form, int row) {
  form.list.entryList.SelectedFromUser(row);
  form.list.entryList.Click();
}
