#include "platform/memory/memory_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {


class MemoryFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddDrive('A', kDriveRemovable);
    fs.AddDrive('D', kDriveCdrom);
    fs.AddFolder("C:\\Program Files\\App");
    fs.AddFile("C:\\Program Files\\App\\Uninst.exe", "MZ");
    fs.AddFile("C:\\App\\readme.txt");
    fs.AddFile("C:\\App\\readme");
    fs.AddFile("C:\\App\\setup.log");
    fs.AddFile("C:\\App\\a.b.exe");
    fs.AddFile("C:\\App\\x.dll");
    fs.AddFile("D:\\setup.exe");
  }

  std::vector<std::string> Found(const std::string& pattern) {
    std::vector<std::string> names;
    FindData data;
    const FindId find = fs.FindFirst(pattern, &data);
    if (find == kInvalidFind) return names;
    do names.push_back(data.name);
    while (fs.FindNext(find, &data));
    fs.FindEnd(find);
    return names;
  }

  MemoryFileSystem fs;
};

TEST_F(MemoryFilesTest, ReadsPathTextsAsThePlatformDoes) {
  fs.SetCurrentDirectory("C:\\App");
  const std::string longName = "C:\\" + std::string(258, 'a');  // 261 characters
  fs.AddFile("C:\\" + std::string(250, 'b'));
  fs.SetShortName("C:\\Program Files", "PROGRA~1");
  struct Case {
    std::string path;
    std::uint32_t expected;
  } cases[] = {
      {"C:\\PROGRAM FILES\\app\\uninst.EXE", kFileAttributeArchive},  // letter case ignored
      {"C:\\App\\x.dll  ", kFileAttributeArchive},                    // trailing blanks dropped
      {"C:\\App\\x.dll..", kFileAttributeArchive},                    // trailing dots dropped
      {"C:\\App.\\x.dll", kFileAttributeArchive},                     // one dot of a folder part
      {"C:\\App \\x.dll", kInvalidFileAttributes},                    // a blank inside stays
      {"C:\\App\\x.dll\\", kInvalidFileAttributes},                   // a file is no folder
      {"C:\\", kFileAttributeDirectory},
      {"x.dll", kFileAttributeArchive},                               // current directory
      {"C:x.dll", kFileAttributeArchive},                             // drive-relative, current drive
      {"C:", kFileAttributeDirectory},                                // the current directory itself
      {"\\App\\x.dll", kFileAttributeArchive},                        // root of the current drive
      {"..\\Program Files\\App\\..\\App\\Uninst.exe", kFileAttributeArchive},
      {"C:\\progra~1\\App\\Uninst.exe", kFileAttributeArchive},      // by the alternate name
      {"D:x.dll", kInvalidFileAttributes},                            // other drive: from its root
      {"Q:\\", kInvalidFileAttributes},                               // drive never added
      {"\\\\server\\share\\x.dll", kInvalidFileAttributes},
      {"C:\\App\\x.dll:stream", kInvalidFileAttributes},
      {"", kInvalidFileAttributes},
      {"C:\\" + std::string(250, 'b'), kFileAttributeArchive},
      {longName, kInvalidFileAttributes},
  };
  for (const Case& c : cases) EXPECT_EQ(fs.Attributes(c.path), c.expected) << c.path;
}

TEST_F(MemoryFilesTest, MatchesPatternsAsFindFirstFileDoes) {
  fs.AddFile("C:\\Long\\Report 2024.html");
  fs.SetShortName("C:\\Long\\Report 2024.html", "REPORT~1.HTM");
  struct Case {
    std::string pattern;
    std::vector<std::string> expected;
  } cases[] = {
      {"C:\\App\\*.", {".", "..", "a.b.exe", "readme", "readme.txt", "setup.log", "x.dll"}},  // "*" once trimmed
      {"C:\\App\\*.*", {".", "..", "a.b.exe", "readme", "readme.txt", "setup.log", "x.dll"}},
      {"C:\\App\\readme?", {"readme"}},                 // "?" matches nothing at the end
      {"C:\\App\\r*e", {"readme"}},
      {"C:\\APP\\README.TXT", {"readme.txt"}},          // spelling kept in the answer
      {"C:\\", {}},
      {"C:\\Long\\*.htm", {"Report 2024.html"}},        // matched through the short name
      {"C:\\Nowhere\\*", {}},
      {"C:\\*", {"App", "Long", "Program Files"}},      // a root has no "." or ".."
  };
  for (const Case& c : cases) EXPECT_EQ(Found(c.pattern), c.expected) << c.pattern;
  EXPECT_EQ(fs.OpenFinds(), 0);

  FindData data;
  const FindId find = fs.FindFirst("C:\\Long\\*.html", &data);
  ASSERT_NE(find, kInvalidFind);
  EXPECT_EQ(data.alternateName, "REPORT~1.HTM");
  EXPECT_EQ(fs.OpenFinds(), 1);
  fs.FindEnd(find);
  fs.FindEnd(fs.FindFirst("C:\\App\\x.dll", &data));
  EXPECT_EQ(data.alternateName, "");  // 8.3 already: no alternate name
}

TEST_F(MemoryFilesTest, AnswersDriveTypes) {
  fs.AddDrive('N', kDriveRemote);
  fs.AddDrive('R', kDriveRamdisk);
  struct Case {
    std::string root;
    std::uint32_t expected;
  } cases[] = {
      {"C:\\", kDriveFixed}, {"c:\\", kDriveFixed}, {"A:\\", kDriveRemovable}, {"D:\\", kDriveCdrom},
      {"N:\\", kDriveRemote}, {"R:\\", kDriveRamdisk}, {"D:", kDriveCdrom}, {"\\", kDriveFixed},
      {"Q:\\", kDriveNoRootDir}, {"C:\\App", kDriveNoRootDir}, {"Msi", kDriveNoRootDir},
      {"", kDriveNoRootDir}, {"\"", kDriveNoRootDir}, {"\\\\s\\", kDriveNoRootDir},
  };
  for (const Case& c : cases) EXPECT_EQ(fs.DriveType(c.root), c.expected) << c.root;
}

TEST_F(MemoryFilesTest, ExpandsEnvironmentStrings) {
  fs.SetEnvironment("ProgramFiles", "C:\\Program Files");
  fs.SetEnvironment("EMPTY", "");
  struct Case {
    std::string source;
    std::uint32_t size;
    std::uint32_t count;
    std::string expanded;  // "-" when the buffer is not written
  } cases[] = {
      {"%programfiles%\\App", 260, 21, "C:\\Program Files\\App"},
      {"%UNDEFINED%\\x", 260, 14, "%UNDEFINED%\\x"},
      {"%UNDEFINED%ProgramFiles%", 260, 25, "%UNDEFINED%ProgramFiles%"},  // goes on after the second %
      {"50% off", 260, 8, "50% off"},
      {"%%x", 260, 4, "%%x"},
      {"a%EMPTY%b", 260, 3, "ab"},
      {"%ProgramFiles%", 17, 17, "C:\\Program Files"},
      {"%ProgramFiles%", 16, 17, "-"},  // the size needed, buffer untouched
      {"", 260, 1, ""},
  };
  for (const Case& c : cases) {
    std::string out = "-";
    EXPECT_EQ(fs.ExpandEnvironment(c.source, c.size, &out), c.count) << c.source;
    EXPECT_EQ(out, c.expanded) << c.source;
  }
}

TEST_F(MemoryFilesTest, SearchesOneDirectory) {
  struct Case {
    std::string directory, file;
    const char* extension;
    std::uint32_t buffer;
    std::uint32_t result;
    std::string found;
  } cases[] = {
      {"C:\\App", "x.dll", nullptr, 260, 12, "C:\\App\\x.dll"},
      {"C:\\Program Files", "App", nullptr, 260, 20, "C:\\Program Files\\App"},  // folders count
      {"C:", "App", nullptr, 260, 6, "C:\\App"},                  // "C:" + "\" + name
      {"C:\\App", "setup", ".log", 260, 16, "C:\\App\\setup.log"},
      {"C:\\App", "readme", ".log", 260, 0, ""},                  // only the name with the extension
      {"C:\\App", "x.dll", ".exe", 260, 12, "C:\\App\\x.dll"},    // has an extension already
      {"C:\\Other", "D:\\setup.exe", nullptr, 260, 12, "D:\\setup.exe"},  // explicit path wins
      {"C:\\App", "x.dll", nullptr, 12, 13, ""},                  // too small: the size needed
      {"C:\\App", "x.dll ", nullptr, 260, 12, "C:\\App\\x.dll"},
      {"C:\\App", "*.dll", nullptr, 260, 0, ""},
      {"C:\\App", "", nullptr, 260, 0, ""},
      {"", "x.dll", nullptr, 260, 0, ""},
  };
  for (const Case& c : cases) {
    std::string found;
    EXPECT_EQ(fs.SearchDirectory(c.directory, c.file, c.extension, c.buffer, &found), c.result)
        << c.directory << " + " << c.file;
    EXPECT_EQ(found, c.found) << c.directory << " + " << c.file;
  }
}

TEST_F(MemoryFilesTest, BuildsShortPaths) {
  fs.SetShortName("C:\\Program Files", "PROGRA~1");
  fs.AddFile("C:\\Long Folder\\file.txt");
  struct Case {
    std::string path;
    std::uint32_t buffer;
    std::uint32_t result;
    std::string shortPath;
  } cases[] = {
      {"C:\\Program Files\\App\\Uninst.exe", 260, 26, "C:\\PROGRA~1\\App\\Uninst.exe"},
      {"c:\\program files\\app", 260, 15, "c:\\PROGRA~1\\app"},  // short parts as written
      {"C:\\Long Folder\\file.txt", 260, 23, "C:\\Long Folder\\file.txt"},  // no alternate name kept
      {"C:\\Program Files", 11, 12, ""},
      {"C:\\Program Files\\gone.exe", 260, 0, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(fs.ShortPathName(c.path, c.buffer, &out), c.result) << c.path;
    EXPECT_EQ(out, c.shortPath) << c.path;
  }
  fs.SetShortPathFails(true);
  std::string out;
  EXPECT_EQ(fs.ShortPathName("C:\\App", 260, &out), 0u);
}

TEST_F(MemoryFilesTest, WritesFilesAndReportsWin32Errors) {
  fs.AddFolder("C:\\Locked");
  fs.AddFile("C:\\Locked\\old.reg", "old");
  fs.SetFolderReadOnly("C:\\Locked", true);
  fs.AddFile("C:\\App\\ro.txt", "", kFileAttributeReadOnly);
  fs.AddFile("C:\\App\\hidden.txt", "", kFileAttributeHidden);
  struct Case {
    std::string path;
    FileOpen mode;
    std::uint32_t error;
  } cases[] = {
      {"C:\\App\\new.txt", FileOpen::kCreate, 0},
      {"C:\\App\\gone.txt", FileOpen::kAppend, kErrorFileNotFound},
      {"C:\\Nowhere\\x.txt", FileOpen::kCreate, kErrorPathNotFound},
      {"C:\\Locked\\new.reg", FileOpen::kCreate, kErrorAccessDenied},
      {"C:\\Locked\\old.reg", FileOpen::kAppend, kErrorAccessDenied},
      {"C:\\Locked\\old.reg", FileOpen::kRead, 0},
      {"C:\\App\\ro.txt", FileOpen::kAppend, kErrorAccessDenied},
      {"C:\\App\\hidden.txt", FileOpen::kCreate, kErrorAccessDenied},
      {"C:\\App\\hidden.txt", FileOpen::kAppend, 0},
      {"C:\\" + std::string(300, 'x'), FileOpen::kCreate, 206},
  };
  for (const Case& c : cases) {
    std::uint32_t error = 99;
    const FileId file = fs.OpenFile(c.path, c.mode, &error);
    EXPECT_EQ(error, c.error) << c.path;
    EXPECT_EQ(file == kInvalidFile, c.error != 0) << c.path;
    if (file != kInvalidFile) fs.CloseFile(file, &error);
  }
  EXPECT_EQ(fs.OpenFiles(), 0);

  std::uint32_t error = 0;
  FileId file = fs.OpenFile("C:\\App\\log.txt", FileOpen::kCreate, &error);
  EXPECT_TRUE(fs.WriteFile(file, "one\n", 4, &error));
  // A second open of a file being written: every open shares reading only.
  EXPECT_EQ(fs.OpenFile("C:\\App\\log.txt", FileOpen::kRead, &error), kInvalidFile);
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorSharingViolation));
  EXPECT_FALSE(fs.RemoveFile("C:\\App\\log.txt"));
  EXPECT_TRUE(fs.FlushFile(file, &error));
  EXPECT_TRUE(fs.CloseFile(file, &error));
  EXPECT_FALSE(fs.CloseFile(file, &error));
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorInvalidHandle));

  file = fs.OpenFile("C:\\App\\log.txt", FileOpen::kAppend, &error);
  fs.FailWriteAfter(2);
  EXPECT_TRUE(fs.WriteFile(file, "two\n", 4, &error));
  EXPECT_FALSE(fs.WriteFile(file, "threeXYZ", 8, &error));  // half of it lands
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorWriteFault));
  fs.FailFlushes(true);
  EXPECT_FALSE(fs.FlushFile(file, &error));
  fs.FailFlushes(false);
  // Room for three more bytes beside the log, "MZ" and "old".
  fs.SetDiskCapacity(fs.Content("C:\\App\\log.txt").size() + 2 + 3 + 3);
  EXPECT_TRUE(fs.WriteFile(file, "abc", 3, &error));
  EXPECT_FALSE(fs.WriteFile(file, "d", 1, &error));
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorDiskFull));
  EXPECT_EQ(fs.ErrorText(error), "There is not enough space on the disk.");
  fs.CloseFile(file, &error);
  EXPECT_EQ(fs.Content("C:\\App\\log.txt"), "one\ntwo\nthreabc");
  EXPECT_EQ(fs.Calls().writes, 5);

  file = fs.OpenFile("c:\\app\\LOG.TXT", FileOpen::kRead, &error);
  char buffer[8];
  std::uint32_t read = 0;
  EXPECT_TRUE(fs.ReadFile(file, buffer, sizeof buffer, &read, &error));
  EXPECT_EQ(std::string(buffer, read), "one\ntwo\n");
  EXPECT_FALSE(fs.WriteFile(file, "x", 1, &error));
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorAccessDenied));
  fs.CloseFile(file, &error);
  EXPECT_EQ(fs.List("C:\\App").front(), "a.b.exe");
}

TEST_F(MemoryFilesTest, RenamesRemovesAndMakesFolders) {
  std::uint32_t error = 0;
  EXPECT_TRUE(fs.RenameFile("C:\\App\\x.dll", "C:\\App\\X.DLL", &error));  // spelling only
  EXPECT_EQ(fs.List("C:\\App").back(), "X.DLL");
  EXPECT_FALSE(fs.RenameFile("C:\\App\\X.DLL", "C:\\App\\readme", &error));
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorAlreadyExists));
  EXPECT_FALSE(fs.RenameFile("C:\\App\\gone", "C:\\App\\new", &error));
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorFileNotFound));
  EXPECT_FALSE(fs.RenameFile("C:\\App", "C:\\App\\Sub", &error));  // into itself
  EXPECT_TRUE(fs.RenameFile("C:\\App\\X.DLL", "D:\\moved.dll", &error));
  EXPECT_TRUE(fs.FileExistsAt("D:\\moved.dll"));

  EXPECT_TRUE(fs.MakeDirectory("C:\\App\\Backup"));
  EXPECT_FALSE(fs.MakeDirectory("C:\\App\\Backup"));
  EXPECT_FALSE(fs.MakeDirectory("C:\\No\\Deeper"));
  EXPECT_TRUE(fs.FolderExistsAt("c:\\app\\backup"));

  EXPECT_FALSE(fs.RemoveFile("C:\\App\\Backup"));  // a folder is no file
  fs.AddFile("C:\\App\\ro.txt", "", kFileAttributeReadOnly);
  EXPECT_FALSE(fs.RemoveFile("C:\\App\\ro.txt"));
  EXPECT_TRUE(fs.SetAttributes("C:\\App\\ro.txt", kFileAttributeNormal));
  EXPECT_EQ(fs.Attributes("C:\\App\\ro.txt"), kFileAttributeNormal);
  EXPECT_TRUE(fs.RemoveFile("C:\\App\\ro.txt"));
  EXPECT_FALSE(fs.FileExistsAt("C:\\App\\ro.txt"));
}

TEST_F(MemoryFilesTest, ReadsProfileStrings) {
  fs.AddFile("C:\\Tools\\kestrel.ini",
             "; settings\r\n[Other]\r\nFolder=wrong\r\n[ Backups ]\r\nfolder = \"D:\\Saved\" \r\nEmpty=\r\nBare\r\n");
  fs.SetProfile("C:\\Tools\\set.ini", "Backups", "Folder", "E:\\Set");
  struct Case {
    std::string file, section, key, fallback, expected;
  } cases[] = {
      {"C:\\Tools\\kestrel.ini", "backups", "FOLDER", "x", "D:\\Saved"},
      {"C:\\Tools\\kestrel.ini", "Backups", "Bare", "x", ""},
      {"C:\\Tools\\kestrel.ini", "Backups", "Missing", "fallback  ", "fallback"},
      {"C:\\Tools\\kestrel.ini", "Nothing", "Folder", "", ""},
      {"c:\\tools\\SET.INI", "BACKUPS", "folder", "x", "E:\\Set"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fs.ReadProfileString(c.section, c.key, c.fallback, c.file), c.expected) << c.key;
  }
  fs.SetProfile("C:\\Tools\\set.ini", "S", "Long", std::string(3000, 'v'));
  EXPECT_EQ(fs.ReadProfileString("S", "Long", "", "C:\\Tools\\set.ini").size(), 2047u);
}

TEST_F(MemoryFilesTest, KeepsTheTimeItIsGiven) {
  FindData data;
  fs.SetLastWriteTime("C:\\App\\x.dll", 5);
  fs.FindEnd(fs.FindFirst("C:\\App\\x.dll", &data));
  EXPECT_EQ(data.lastWriteTime, 5u);
}

TEST_F(MemoryFilesTest, CountsQueries) {
  fs.ResetCalls();
  fs.Attributes("C:\\App");
  fs.FindEnd(fs.FindFirst("C:\\App\\*", nullptr));
  fs.SearchDirectory("C:\\App", "x", nullptr, 260, nullptr);
  fs.ExpandEnvironment("x", 260, nullptr);
  fs.DriveType("C:\\");
  fs.Attributes(std::string(300, 'x'));  // refused, but asked
  EXPECT_EQ(fs.Calls().Queries(), 4);
  EXPECT_EQ(fs.Calls().expand, 1);
  EXPECT_EQ(fs.Calls().driveType, 1);
}

}  // namespace
}  // namespace platform
