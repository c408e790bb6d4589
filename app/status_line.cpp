#include "app/status_line.h"

#include "app/design.h"
#include "app/main_window.h"

void StatusLine::Build() {
  Place(line, nullptr, 90, 196, 216, 13);
  Text(line, "", false);
  line.Anchors = kUnder;
}

void StatusLine::Notice(const std::string& text, const std::string& undoFile) {
  notice_ = text;
  noticeFile_ = undoFile;
  if (window_.checks.Begun()) ShowProgress();
  else line.SetCaption(notice_);
}

void StatusLine::StartScan(const std::vector<AccountProblem>& accountsNotRead) {
  notice_.clear();
  noticeFile_.clear();
  std::string notRead;
  for (const AccountProblem& problem : accountsNotRead)
    notRead += (notRead.empty() ? "" : "; ") + problem.name + ": " + problem.why;
  if (notRead != accountsNotRead_ && !notRead.empty()) notice_ = "Other accounts' lists not read: " + notRead + ".";
  accountsNotRead_ = notRead;
  line.SetCaption(notice_);
}

void StatusLine::ShowProgress() { line.SetCaption(WithNotice(window_.checks.Progress())); }

std::string StatusLine::WithNotice(const std::string& progress) const {
  return notice_.empty() ? progress : progress.empty() ? notice_ : notice_ + "  " + progress;
}

void StatusLine::OnClick() {
  if (noticeFile_.empty()) return;
  window_.pageControl.SetActivePage(kBackupsPage);
  window_.backups.SelectFile(noticeFile_);
}
