// The status check against Wine's real file system: drives a:, d:, n: and r: of the prefix are a
// removable drive, a CD-ROM drive, a network drive and a RAM disk (scripts/wine-drives.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "inventory/finder.h"
#include "inventory/finder_page.h"
#include "inventory/status.h"
#include "tests/wine/wine_test_support.h"

namespace {

// Every file and folder of the cases lies below this folder or on the four special drives.
const std::string kBase = "C:\\TidewellStatus";

std::string Expand(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '@' ? kBase : std::string(1, c);
  return out;
}

void MakeFolders(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    CreateDirectoryW(platform::Widen(path.substr(0, at)).c_str(), nullptr);
  }
  CreateDirectoryW(platform::Widen(path).c_str(), nullptr);
}

bool MakeFile(const std::string& path) {
  MakeFolders(path.substr(0, path.find_last_of('\\')));
  const HANDLE file = CreateFileW(platform::Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, "MZ", 2, &written, nullptr);
  CloseHandle(file);
  return true;
}

class StatusUnderWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const struct {
      const char* root;
      UINT type;
    } drives[] = {{"A:\\", DRIVE_REMOVABLE}, {"D:\\", DRIVE_CDROM}, {"N:\\", DRIVE_REMOTE}, {"R:\\", DRIVE_RAMDISK}};
    for (const auto& d : drives) {
      const UINT type = GetDriveTypeA(d.root);
      if (type != d.type) {
        drivesReady_ = false;
        std::printf("Drive %s answers type %u, not %u: prepare the prefix with scripts/wine-drives.sh <prefix>.\n",
                    d.root, type, d.type);
      }
    }
  }

  void SetUp() override {
    ASSERT_TRUE(drivesReady_) << "the prefix lacks the drives a:, d:, n: and r: of scripts/wine-drives.sh";
    RemoveTree(kBase);
    MakeFolders(kBase + "\\App");
    MakeFolders(kBase + "\\Program Files\\App");
  }

  void TearDown() override {
    for (const std::string& path : extra_) {
      DeleteFileW(platform::Widen(path).c_str());
      const std::string folder = path.substr(0, path.find_last_of('\\'));
      if (folder.size() > 2) RemoveDirectoryW(platform::Widen(folder).c_str());
    }
    RemoveTree(kBase);
    SetEnvironmentVariableA("TIDEWELL_STATUS", nullptr);
  }

  // The status icon of the uninstall string, with exactly the files named present.
  int IconOf(const std::string& uninstall, const std::vector<std::string>& files) {
    const std::vector<std::string> made = MakeFiles(files);
    const int icon = Check(Expand(uninstall));
    for (const std::string& path : made) DeleteFileW(platform::Widen(path).c_str());
    return icon;
  }
  // One check of the text, each of its questions to the disk asked once.
  int Check(const std::string& text) {
    FinderMemo memo;
    FinderOptions options;
    options.memo = &memo;
    Finder finder(wine_.real.files, wine_.real.system, options);
    return CheckUninstall(finder, text);
  }
  bool FileExists(const std::string& path) { return Finder(wine_.real.files, wine_.real.system).nFileExists(path); }
  // What the Finder page says of the typed path.
  bool AddressExists(const std::string& typed) {
    return ::AddressExists(wine_.real.files, WithBackslash(wine_.real.system.WindowsDirectory()),
                           WithBackslash(wine_.real.system.SystemDirectory()), typed);
  }
  static std::string WithBackslash(const std::string& folder) {
    return folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
  }

  // A scan's check of the uninstall string, with its reason, with exactly the files named present.
  StatusResult ResultOf(const std::string& uninstall, const std::vector<std::string>& files) {
    const std::vector<std::string> made = MakeFiles(files);
    const StatusResult result = ScanChecker(wine_.real.files, wine_.real.system).CheckCommand(Expand(uninstall), false);
    for (const std::string& path : made) DeleteFileW(platform::Widen(path).c_str());
    return result;
  }

  std::vector<std::string> MakeFiles(const std::vector<std::string>& files) {
    std::vector<std::string> made;
    for (const std::string& f : files) {
      const std::string path = Expand(f);
      EXPECT_TRUE(MakeFile(path)) << path;
      made.push_back(path);
      if (path.rfind(kBase, 0) != 0) extra_.push_back(path);
    }
    return made;
  }

  WinePlatform wine_;
  std::vector<std::string> extra_;
  static bool drivesReady_;
};

bool StatusUnderWine::drivesReady_ = true;

TEST_F(StatusUnderWine, GivesEachEntryItsIcon) {
  SetEnvironmentVariableA("TIDEWELL_STATUS", kBase.c_str());
  const std::string uninst = "@\\Program Files\\App\\uninst.exe";
  const struct {
    std::string uninstall;
    std::vector<std::string> files;
    int icon;
  } cases[] = {
      {"\"" + uninst + "\" /S", {uninst}, kGoodLink},
      {"\"" + uninst + "\" /S", {}, kBrokenLink},
      {uninst + " /S", {uninst}, kGoodLink},
      {"RunDll32 @\\App\\x.dll,Uninstall", {"@\\App\\x.dll"}, kGoodLink},
      {"rundll32.exe @\\App\\x.dll,Uninstall", {"@\\App\\x.dll"}, kGoodLink},
      {"rundll32.exe @\\App\\x.dll,Uninstall", {}, kBrokenLink},
      {"@\\App\\remove.exe @\\App\\install.log", {"@\\App\\remove.exe", "@\\App\\install.log"}, kGoodLink},
      {"@\\App\\remove.exe @\\App\\install.log", {"@\\App\\remove.exe"}, kBrokenLink},
      {"@\\App\\remove.exe @\\App\\install.log", {"@\\App\\install.log"}, kBrokenLink},
      {"@\\App\\remove.exe D:\\install.log", {"@\\App\\remove.exe", "D:\\install.log"}, kMissingDisk},
      {"A:\\setup.exe", {}, kMissingDisk},
      {"N:\\App\\setup.exe", {"N:\\App\\setup.exe"}, kMissingDisk},
      {"R:\\setup.exe", {"R:\\setup.exe"}, kMissingDisk},
      {"\"D:\\setup.exe\" /uninstall", {"D:\\setup.exe"}, kMissingDisk},
      {"@\\App\\gone.exe", {}, kBrokenLink},
      {"Q:\\App\\gone.exe", {}, kBrokenLink},
      {"MsiExec.exe /I{8E5B5B5F-1B2C-4E3D-9F00-0123456789AB}", {}, kGoodLink},
      {"C:\\WINDOWS\\rundll32 foo.dll,Entry", {}, kGoodLink},
      {"RUN @\\App\\u.exe", {"@\\App\\u.exe"}, kGoodLink},
      {"\\\\server\\share\\uninst.exe", {}, kGoodLink},
      {"%TIDEWELL_STATUS%\\App\\u.exe", {"@\\App\\u.exe"}, kGoodLink},
      {"%TIDEWELL_STATUS%\\App\\u.exe", {}, kBrokenLink},
      {"\"", {}, kBrokenLink},
      {"@\\App\\1033", {}, kGoodLink},                              // numeric tail: the folder
      {"@\\App\\readme", {"@\\App\\readme.txt"}, kGoodLink},         // pattern search
      {"@\\App\\uninst", {"@\\App\\uninst.exe"}, kGoodLink},         // ".exe" directory search
      {"@\\App\\u-x.exe", {"@\\App\\u"}, kGoodLink},
      {"@\\App\\u.exe /log=D:\\u.log", {"@\\App\\u.exe"}, kMissingDisk},
      {"@\\\\App\\\\u.exe", {"@\\App\\u.exe"}, kGoodLink},
  };
  for (const auto& c : cases) EXPECT_EQ(IconOf(c.uninstall, c.files), c.icon) << Expand(c.uninstall);
}

// The line that says why each entry has its status, from what Wine's file system answers.
TEST_F(StatusUnderWine, SaysWhyFromWhatTheDiskAnswered) {
  SetEnvironmentVariableA("TIDEWELL_STATUS", kBase.c_str());
  const std::string uninst = "@\\Program Files\\App\\unins000.exe";
  const struct {
    std::string uninstall;
    std::vector<std::string> files;
    int icon;
    std::string reason;
  } cases[] = {
      {"\"" + uninst + "\" /S", {uninst}, kGoodLink, "Found " + uninst},
      {"@\\App\\ -x", {}, kGoodLink, "Found the folder @\\App"},
      {"@\\App\\1033", {}, kGoodLink, "Found @\\App by a directory search"},
      {"@\\App\\uninst", {"@\\App\\uninst.exe"}, kGoodLink,
       "Found @\\App\\uninst.exe, \".exe\" added by a directory search"},
      {"@\\App\\readme", {"@\\App\\readme.txt"}, kGoodLink, "Found a match for @\\App\\readme.*"},
      {"MsiExec.exe /X{8E5B5B5F-1B2C-4E3D-9F00-0123456789AB}", {}, kGoodLink,
       "Counted as found: MsiExec.exe, a name without a folder"},
      {"\\\\server\\share\\setup.exe", {}, kGoodLink, "Counted as found: \\\\server\\share\\setup.exe, a network path"},
      {"%TIDEWELL_STATUS%\\App\\u.exe", {"@\\App\\u.exe"}, kGoodLink, "Found @\\App\\u.exe"},
      {"%TIDEWELL_NOSUCH%\\u.exe", {}, kGoodLink,
       "Counted as found: %TIDEWELL_NOSUCH%\\u.exe, which begins with a per-cent sign"},
      {"A:\\setup.exe", {}, kMissingDisk, "On drive A:, a removable drive: not looked at"},
      {"\"D:\\setup.exe\" /uninstall", {"D:\\setup.exe"}, kMissingDisk, "On drive D:, a CD-ROM drive: not looked at"},
      {"N:\\App\\setup.exe", {"N:\\App\\setup.exe"}, kMissingDisk, "On drive N:, a network drive: not looked at"},
      {"R:\\setup.exe", {"R:\\setup.exe"}, kMissingDisk, "On drive R:, a RAM disk: not looked at"},
      {"@\\Old\\setup.exe", {}, kBrokenLink,
       "Not found: @\\Old\\setup.exe (looked for @\\Old\\setup.exe, @\\Old\\setup.exe.*, @\\Old and 2 more)"},
      {"@\\App\\remove.exe D:\\install.log", {}, kBrokenLink,
       "Not found: @\\App\\remove.exe (looked for @\\App\\remove.exe, @\\App\\remove.exe .*, @\\App and 2 more)"},
  };
  for (const auto& c : cases) {
    const StatusResult result = ResultOf(c.uninstall, c.files);
    EXPECT_EQ(result.status, c.icon) << Expand(c.uninstall);
    EXPECT_EQ(result.reason, Expand(c.reason)) << Expand(c.uninstall);
  }
}

// Paths with names outside ASCII, present and gone: Greek, Chinese whose second bytes in code
// page 932 are backslashes, a path longer than MAX_PATH in bytes but not in characters. The Finder
// page says the same of them.
TEST_F(StatusUnderWine, PathsWithNamesOfEveryScriptAreTestedAsTheyAre) {
  SetEnvironmentVariableA("TIDEWELL_STATUS", kBase.c_str());
  const std::string greek = "@\\Program Files\\\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac";
  const std::string japanese = "@\\\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8 \xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88";
  std::string deep = "@";
  for (int level = 0; level < 4; ++level) {
    deep += "\\";
    for (int i = 0; i < 25; ++i) deep += "\xe8\xa1\xa8";
  }
  const struct {
    std::string uninstall;
    std::vector<std::string> files;
    int icon;
  } cases[] = {
      {"\"" + greek + "\\unins000.exe\" /x", {greek + "\\unins000.exe"}, kGoodLink},
      {"\"" + greek + "\\unins000.exe\" /x", {}, kBrokenLink},
      {japanese + "\\\xe8\xa1\xa8.exe /S", {japanese + "\\\xe8\xa1\xa8.exe"}, kGoodLink},
      {japanese + "\\\xe8\xa1\xa8.exe /S", {}, kBrokenLink},
      {"%TIDEWELL_STATUS%\\\xc3\x89" "clair\\M\xc3\xa9mo \xe2\x9c\x93.exe", {"@\\\xc3\x89" "clair\\M\xc3\xa9mo \xe2\x9c\x93.exe"}, kGoodLink},
      {"@\\\xc3\xa9" "CLAIR\\M\xc3\x89MO \xe2\x9c\x93.EXE", {"@\\\xc3\x89" "clair\\M\xc3\xa9mo \xe2\x9c\x93.exe"}, kGoodLink},
      {deep + "\\u.exe", {deep + "\\u.exe"}, kGoodLink},
      {deep + "\\u.exe", {}, kBrokenLink},
  };
  for (const auto& c : cases) EXPECT_EQ(IconOf(c.uninstall, c.files), c.icon) << Expand(c.uninstall);

  for (const bool present : {true, false}) {
    const std::string path = Expand(japanese + "\\\xe8\xa1\xa8.exe");
    if (present) {
      ASSERT_TRUE(MakeFile(path));
    }
    for (const std::string& typed : {path, path.substr(0, path.size() - 4)})
      EXPECT_EQ(present, AddressExists(typed)) << typed;
    DeleteFileW(platform::Widen(path).c_str());
  }
}

TEST_F(StatusUnderWine, AFileIsPresentWhateverItsDate) {
  const std::string path = kBase + "\\App\\old.dll";
  ASSERT_TRUE(MakeFile(path));
  const HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const FILETIME year1970 = {0xD53E8000u, 0x019DB1DEu};  // 1 January 1970
  SetFileTime(file, nullptr, nullptr, &year1970);
  CloseHandle(file);
  EXPECT_TRUE(FileExists(path));
  EXPECT_TRUE(AddressExists(path)) << "the Finder page says it exists";
  EXPECT_EQ(Check(path), kGoodLink);
  EXPECT_FALSE(FileExists(kBase + "\\App"));  // a folder is no file
}

// Wine's ExpandEnvironmentStringsA answers a source of 32767 characters or more with a few
// characters of nonsense, and a megabyte source with an empty text (count 1). The finder asks for
// an expansion only when the text holds a per-cent sign, and takes no empty expansion of a text,
// so a megabyte string is judged by its files like any other, and the check ends with its icon.
TEST_F(StatusUnderWine, AMegabyteStringEndsInAnIcon) {
  std::string text = kBase + "\\App\\u.exe ";
  while (text.size() < (1u << 20)) text += ",.-;\\'(.!@ 1";
  EXPECT_EQ(Check(text), kBrokenLink);
  ASSERT_TRUE(MakeFile(kBase + "\\App\\u.exe"));
  EXPECT_EQ(Check(text), kGoodLink);
  char expanded[261] = "unchanged";
  EXPECT_EQ(ExpandEnvironmentStringsA(text.c_str(), expanded, 260), 1u);
  const std::string withVariable = kBase + "\\App\\u.exe /log=%TEMP%\\u.log " + text;
  EXPECT_EQ(Check(withVariable), kGoodLink);
}

}  // namespace
