#pragma once
// What the Windows tests of the window share: a TForm1 on Wine's real registry, files and processes
// with a Ui that records, and the main list read and clicked as the user does.
#include <string>

#include "app/form1.h"
#include "tests/wine/wine_test_support.h"

// The window's logic on the real platform, its dialogs recorded instead of shown.
struct WineForm : WinePlatform {
  TForm1 form{platform};
};

// The main list's row of the entry of that key name, -1 when it is not listed.
inline int MainListRow(const TForm1& form, const std::string& keyName) {
  for (int i = 0; i < form.ListView1.Count(); ++i)
    if (form.ListView1.Item(i).SubItems.at(0) == keyName) return i;
  return -1;
}

// Selects the row alone as a click on it does: the list changes its selection, then the window
// hears of it (the boxes and the buttons follow the selection).
inline void ClickRow(TForm1& form, int row) {
  form.ListView1.SelectedFromUser(row);
  form.ListView1.Click();
}
