#pragma once
// The Finder page: the selected entry's command, a box for the path of a file to look for, and the
// panel that says whether it exists.
#include <string>
#include <vector>

#include "app/controls.h"

class MainWindow;

// The folder with one backslash at its end (none added to an empty one).
std::string CheckPath(const std::string& text);

class FinderPage {
 public:
  explicit FinderPage(MainWindow& window) : window_(window) {}

  TTabSheet sheet{"finderSheet"};
  TLabel intro{"finderIntro"}, commandCaption{"finderCommandCaption"};
  TEdit command{"finderCommand"};
  TButton pasteButton{"pasteButton"};
  TEdit path{"finderPath"};
  TButton findButton{"findButton"};
  TPanel result{"findResult"};
  // The path Find looked for, when the typed text's variables made it another.
  TLabel lookedFor{"lookedForLabel"};
  // The Windows and system folders, ending in a backslash, set by the window's start.
  std::string winDir, sysDir;

  void Build();
  void AddControls(std::vector<TControl*>* controls);
  void OnPaste();
  void OnFind();
  // The answer goes when the path or the command changes.
  void ClearResult();
  // Test in Finder: the page shows the command and looks for the file that decided its status at
  // once; without one, the whole command is selected for the user to cut.
  void Test(const std::string& commandText, const std::string& checkedFile);

 private:
  MainWindow& window_;
};
