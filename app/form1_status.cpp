// The window's names for the status check and the file finder, over the inventory's own.
#include "app/form1.h"

Finder TForm1::MakeFinder(FinderMemo* memo) {
  FinderOptions options;
  options.retryUnredirected = RetryUnredirected;
  options.rememberAnswers = RememberFinderAnswers;
  options.memo = memo;
  return Finder(platform_.files, platform_.system, options);
}

void TForm1::CheckUninstall(const std::string& text, int row) {
  // The disk does not change within one check: each question of it is asked once, however often
  // its pieces repeat.
  FinderMemo memo;
  Finder finder = MakeFinder(RememberFinderAnswers ? &memo : nullptr);
  ListView1.SetImageIndex(row, ::CheckUninstall(finder, text));
}

void TForm1::CheckDriveType(const std::string& root, int row) {
  ListView1.SetImageIndex(row, ::CheckDriveType(platform_.files, root));
}

bool TForm1::nFindSpace(const std::string& text) { return MakeFinder().nFindSpace(text); }

bool TForm1::FindSpace(const std::string& text) { return MakeFinder().FindSpace(text); }

bool TForm1::nFileExists(const std::string& text) { return MakeFinder().nFileExists(text); }

int TForm1::GetNonChar(int cut, char c, const std::string& searched, int offset) const {
  return ::GetNonChar(cut, c, searched, offset);
}

std::string TForm1::RemoveSlash(const std::string& text) const { return ::RemoveSlash(text); }

std::uintptr_t TForm1::Disablex64Redirect() {
  std::uintptr_t cell = 0;
  return platform_.system.Wow64DisableRedirection(&cell) ? cell : 0;
}

void TForm1::Revertx64Redirect(std::uintptr_t value) { platform_.system.Wow64RevertRedirection(value); }
