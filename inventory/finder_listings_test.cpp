#include <gtest/gtest.h>

#include <string>

#include "inventory/file_tests.h"
#include "inventory/finder_listings.h"
#include "platform/memory/memory_files.h"

namespace {

enum class Ask { kFile, kFolder, kSearch, kPattern };

// Every question gets the file system's own answer; the questions about names in folders already
// read, or below a folder that is not there, are answered without asking it.
TEST(FolderListingsTest, AnswersAsTheFileSystemDoesAndAsksOnlyWhereAListingCannotTell) {
  platform::MemoryFileSystem files;
  const std::string app = "C:\\Program Files\\Vendor\\App One";
  for (const std::string& file : {app + "\\uninst.exe", app + "\\readme.txt", app + "\\sub\\x.dll",
                                  std::string("C:\\Program Files\\Vendor\\Tool.exe"), std::string("C:\\WINDOWS\\system32\\x.exe"),
                                  std::string("C:\\Odd\\f\xc4\xb1le.txt"), std::string("C:\\Odd\\sub\\y.txt"),
                                  std::string("C:\\Data\\file.dat")})
    files.AddFile(file);
  files.SetShortName("C:\\Program Files", "PROGRA~1");
  files.SetShortName(app, "APPONE~1");
  FolderListings listings({"C:\\WINDOWS"});
  // Questions further down read the folders on their way: C:\, Program Files, Vendor, App One,
  // Odd; and the Windows folder is never read.
  for (const char* deeper : {"C:\\Program Files\\Vendor\\App One\\sub\\gone.exe", "C:\\Odd\\sub\\gone.txt",
                             "C:\\WINDOWS\\system32\\gone.exe"})
    listings.FileTest(files, deeper);

  const struct {
    Ask ask;
    std::string text, name;  // name: the directory search's
    bool expected, asked;
  } cases[] = {
      {Ask::kFile, app + "\\uninst.exe", "", true, false},
      {Ask::kFile, "c:\\program files\\VENDOR\\app one\\UNINST.EXE", "", true, false},
      {Ask::kFile, "C:\\PROGRA~1\\Vendor\\appone~1\\uninst.exe", "", true, false},
      {Ask::kFile, app, "", false, false},  // a folder
      {Ask::kFile, "C:\\Program Files\\Vendor\\Tool.exe\\x.exe", "", false, false},  // below a file
      {Ask::kFile, "C:\\Program Files\\Gone\\App\\uninst.exe", "", false, false},
      {Ask::kFile, app + "\\gone.exe", "", false, false},
      {Ask::kFolder, app, "", true, false},
      {Ask::kFolder, "C:\\Program Files\\Vendor\\Tool.exe", "", false, false},
      {Ask::kFolder, "C:\\Program Files\\Gone", "", false, false},
      {Ask::kSearch, app, "readme.txt", true, false},
      {Ask::kSearch, app, "readme", false, false},
      {Ask::kSearch, "C:\\Program Files\\Vendor", "App One", true, false},  // folders count
      {Ask::kSearch, "C:\\Program Files\\Gone", "x.exe", false, false},
      {Ask::kPattern, app + "\\readme.*", "", true, false},
      {Ask::kPattern, app + "\\uninst.exe.*", "", true, false},
      {Ask::kPattern, app + "\\unin.*", "", false, false},
      {Ask::kPattern, "C:\\Program Files\\Vendor\\App.*", "", false, false},
      {Ask::kPattern, "C:\\Program Files\\Vendor\\APPONE~1.*", "", true, false},
      {Ask::kPattern, "C:\\Program Files\\Gone\\x.*", "", false, false},
      {Ask::kPattern, "C:\\Program Files\\Vendor\\Tool.exe\\x.*", "", false, false},
      // Asked: the Windows folder, device names, a trailing dot, "..", relative and network paths,
      // a name outside ASCII not listed letter for letter, a listing with a dotless i, a folder not
      // read yet, a pattern with wildcards of its own.
      {Ask::kFile, "C:\\WINDOWS\\system32\\x.exe", "", true, true},
      {Ask::kFolder, "C:\\windows\\SYSTEM32", "", true, true},
      {Ask::kFile, app + "\\nul.txt", "", false, true},
      {Ask::kFile, app + "\\uninst.exe.", "", true, true},
      {Ask::kFile, app + "\\..\\Tool.exe", "", true, true},
      {Ask::kFile, "Program Files\\Vendor\\Tool.exe", "", true, true},  // in the current folder, C:
      {Ask::kFile, "\\\\server\\share\\x.exe", "", false, true},
      {Ask::kFile, app + "\\\xc3\x9cn\xc3\xaf.exe", "", false, true},
      {Ask::kFile, "C:\\Odd\\FILE.TXT", "", false, true},
      {Ask::kFile, "C:\\Odd\\f\xc4\xb1le.txt", "", true, false},  // letter for letter
      {Ask::kFile, "C:\\Data\\file.dat", "", true, true},
      {Ask::kPattern, app + "\\*.exe", "", true, true},
      // A pattern search reads its folder, which then answers.
      {Ask::kPattern, "C:\\Data\\file.*", "", true, true},
      {Ask::kFile, "C:\\Data\\file.dat", "", true, false},
      {Ask::kSearch, "C:\\Data", "file", false, false},
  };
  for (const auto& c : cases) {
    files.ResetCalls();
    bool answer = false, plain = false;
    switch (c.ask) {
      case Ask::kFile: answer = listings.FileTest(files, c.text), plain = FileTest(files, c.text); break;
      case Ask::kFolder: answer = listings.FolderTest(files, c.text), plain = FolderTest(files, c.text); break;
      case Ask::kSearch:
        answer = listings.DirectorySearch(files, c.text, c.name), plain = DirectorySearch(files, c.text, c.name);
        break;
      case Ask::kPattern: answer = listings.PatternSearch(files, c.text), plain = PatternSearch(files, c.text); break;
    }
    EXPECT_EQ(answer, plain) << c.text << " " << c.name;
    EXPECT_EQ(answer, c.expected) << c.text << " " << c.name;
    // The plain question is one query.
    EXPECT_EQ(files.Calls().Queries() > 1, c.asked) << c.text << " " << c.name;
  }
}

}  // namespace
