#include "inventory/finder_page.h"

#include "inventory/file_tests.h"
#include "inventory/finder.h"
#include "platform/redirection.h"

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

AddressAnswer FindAddress(platform::FileSystem& files, platform::System& system, const std::string& winDir,
                          const std::string& sysDir, const std::string& text, bool sixtyFourBit) {
  FinderOptions options;
  options.sixtyFourBit = sixtyFourBit;
  Finder finder(files, system, options);
  AddressAnswer answer{finder.Expanded(text)};
  if (!sixtyFourBit) {
    answer.exists = AddressExists(files, winDir, sysDir, answer.path);
    return answer;
  }
  // The status check looks for a 64-bit program's files in the 64-bit System folder.
  platform::RedirectionOff off(system);
  answer.exists = AddressExists(files, winDir, sysDir, answer.path);
  return answer;
}
