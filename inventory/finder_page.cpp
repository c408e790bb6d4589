#include "inventory/finder_page.h"

#include "inventory/file_tests.h"

bool AddressExists(platform::FileSystem& files, const std::string& winDir, const std::string& sysDir,
                   const std::string& text) {
  // Plain file tests of the text as typed, in the Windows folder and in the System folder.
  const auto winFileExists = [&](const std::string& x) {
    return FileTest(files, x) || FileTest(files, winDir + x) || FileTest(files, sysDir + x);
  };
  if (winFileExists(text)) return true;
  if (FolderTest(files, text)) return true;
  return winFileExists(text + ".exe");
}
