#pragma once
// The All Entries page: every entry key of the last scan, those the main list leaves out too, with
// the selected line's display name and command under the list and the button that removes it.
#include <vector>

#include "app/controls.h"

class MainWindow;

class AllEntriesPage {
 public:
  explicit AllEntriesPage(MainWindow& window) : window_(window) {}

  TTabSheet sheet{"allEntriesSheet"};
  TLabel help{"allEntriesHelp"};
  TListBox keys{"entryKeys", true};
  TButton deleteButton{"deleteKeyButton"};
  TLabel detail{"entryKeyDetail"};

  void Build();
  void AddControls(std::vector<TControl*>* controls);
  // A line for each entry of the last scan.
  void Fill();
  // The line under the list: the selected line's display name and command.
  void OnKeyClick();
  void OnDeleteKey();

 private:
  MainWindow& window_;
};
