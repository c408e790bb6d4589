#pragma once
// The line under the list: the outcome of the last command (a notice), then how the status checks
// are going. A click on a notice that names an undo file opens the Backups page at that file.
#include <string>
#include <vector>

#include "app/controls.h"
#include "inventory/inventory.h"

class MainWindow;

class StatusLine {
 public:
  explicit StatusLine(MainWindow& window) : window_(window) {}

  TLabel line{"statusLine"};

  void Build();
  // The outcome of a command, and the undo file it names as where its backup went (empty: none).
  void Notice(const std::string& text, const std::string& undoFile = {});
  // A new scan's line starts without the last command's outcome; the accounts whose lists could
  // not be read are said once, and again only when that changes.
  void StartScan(const std::vector<AccountProblem>& accountsNotRead);
  // The notice with the checks' progress, as the status checks count.
  void ShowProgress();
  void OnClick();

 private:
  std::string WithNotice(const std::string& progress) const;

  MainWindow& window_;
  std::string notice_;
  std::string noticeFile_;
  // The other accounts whose lists the last scan could not read, with why.
  std::string accountsNotRead_;
};
