#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "inventory/finder.h"
#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"

namespace {

using platform::FileSystem;
using platform::MemoryPlatform;

// Forwards to the in-memory file system and writes down every query with its texts.
class RecordingFiles : public FileSystem {
 public:
  explicit RecordingFiles(FileSystem& inner) : inner_(inner) {}
  std::vector<std::string> log;
  // Wine's expansion of a source of 32,767 characters or more: a count of 1 and no text.
  bool wineLongExpansion = false;

  platform::FindId FindFirst(const std::string& pattern, platform::FindData* data) override {
    log.push_back("find " + pattern);
    return inner_.FindFirst(pattern, data);
  }
  bool FindNext(platform::FindId find, platform::FindData* data) override { return inner_.FindNext(find, data); }
  void FindEnd(platform::FindId find) override { inner_.FindEnd(find); }
  std::uint32_t Attributes(const std::string& path) override {
    log.push_back("attributes " + path);
    return inner_.Attributes(path);
  }
  bool SetAttributes(const std::string& path, std::uint32_t a) override { return inner_.SetAttributes(path, a); }
  std::uint32_t SearchDirectory(const std::string& directory, const std::string& file, const char* extension,
                                std::uint32_t length, std::string* found) override {
    log.push_back("search " + directory + " | " + file);
    return inner_.SearchDirectory(directory, file, extension, length, found);
  }
  std::uint32_t ExpandEnvironment(const std::string& s, std::uint32_t size, std::string* out) override {
    if (wineLongExpansion && s.size() >= 32767) {
      out->clear();
      return 1;
    }
    return inner_.ExpandEnvironment(s, size, out);
  }
  std::uint32_t DriveType(const std::string& root) override { return inner_.DriveType(root); }
  std::uint32_t ShortPathName(const std::string& p, std::uint32_t n, std::string* out) override {
    return inner_.ShortPathName(p, n, out);
  }
  bool MakeDirectory(const std::string& p) override { return inner_.MakeDirectory(p); }
  bool RemoveFile(const std::string& p) override { return inner_.RemoveFile(p); }
  bool RenameFile(const std::string& a, const std::string& b, std::uint32_t* e) override {
    return inner_.RenameFile(a, b, e);
  }
  bool RenameFileReplacing(const std::string& a, const std::string& b, std::uint32_t* e) override {
    return inner_.RenameFileReplacing(a, b, e);
  }
  platform::FileId OpenFile(const std::string& p, platform::FileOpen m, std::uint32_t* e) override {
    return inner_.OpenFile(p, m, e);
  }
  bool ReadFile(platform::FileId f, char* b, std::uint32_t n, std::uint32_t* r, std::uint32_t* e) override {
    return inner_.ReadFile(f, b, n, r, e);
  }
  bool WriteFile(platform::FileId f, const char* d, std::uint32_t n, std::uint32_t* e) override {
    return inner_.WriteFile(f, d, n, e);
  }
  bool FlushFile(platform::FileId f, std::uint32_t* e) override { return inner_.FlushFile(f, e); }
  bool CloseFile(platform::FileId f, std::uint32_t* e) override { return inner_.CloseFile(f, e); }
  std::string ErrorText(std::uint32_t e) override { return inner_.ErrorText(e); }
  std::string ReadProfileString(const std::string& s, const std::string& k, const std::string& d,
                                const std::string& f) override {
    return inner_.ReadProfileString(s, k, d, f);
  }

 private:
  FileSystem& inner_;
};

// Drive C: is a fixed disk and D: a CD-ROM drive; C:\App and C:\Program Files\App exist.
class FinderTest : public ::testing::Test {
 protected:
  FinderTest() {
    mp.files.AddDrive('D', platform::kDriveCdrom);
    mp.files.AddFolder("C:\\App");
    mp.files.AddFolder("C:\\Program Files\\App");
  }

  // A finder of the options below that asks the recorded file system.
  Finder Look() { return Finder(recorder, mp.system, options); }

  MemoryPlatform mp;
  RecordingFiles recorder{mp.files};
  FinderOptions options;
};

struct FindCase {
  std::string text;
  std::vector<std::string> files;
  bool expected;
  int maxQueries = -1;  // -1: not checked
};

TEST_F(FinderTest, FindsTheFileThatAPieceNames) {
  const std::string uninst = "C:\\Program Files\\App\\uninst.exe";
  const FindCase cases[] = {
      {"\"" + uninst + "\" /S", {uninst}, true},
      {"\"" + uninst + "\" /S", {}, false},
      {uninst + " /S", {uninst}, true},
      {uninst + " /S", {}, false},
      {"\\\"" + uninst + "\\\" /S", {uninst}, true},  // escaped quotes
      {"MsiExec.exe /X{8E5B5B5F-1B2C-4E3D-9F00-0123456789AB}", {}, true, 1},
      {"\\\\server\\share\\setup.exe", {}, true, 0},
      {"%UNDEFINED%\\setup.exe", {}, true, 0},
      {"%APPDIR%\\u.exe", {"C:\\App\\u.exe"}, true},
      {"%APPDIR%\\u.exe", {}, false},
      {"D:\\setup.exe", {"D:\\setup.exe"}, false, 0},
      {"D:\\", {}, true, 1},  // the trailing backslash goes first: "D:" is no drive root, and a bare name
      {"C:\\Windows\\remove.exe -f \"C:\\Windows\\remove.log\"", {"C:\\Windows\\remove.exe"}, true},
      {"C:\\Windows\\remove.exe -f \"C:\\Windows\\remove.log\"", {"C:\\Windows\\remove.log"}, false},
      {"C:\\App\\x.dll,Uninstall", {"C:\\App\\x.dll"}, true},
      {"C:\\App\\x.dll,Uninstall", {}, false},
      {"C:\\App\\1033", {}, true},   // numeric tail: C:\App is a folder
      {"C:\\App\\b.123", {}, true},
      {"C:\\Gone\\1033", {}, false},
      {"C:\\App\\gone.", {}, false},  // the last character is never its own numeric tail
      {"C:\\App\\readme", {"C:\\App\\readme.txt"}, true},  // pattern search
      {"C:\\App\\uninst", {"C:\\App\\uninst.exe"}, true},  // ".exe" directory search
      {"C:\\App\\", {}, true},
      {"C:\\Program Files\\App\\My App\\gone.exe", {"C:\\Program Files\\App\\My App\\other.txt"}, false},
      {"C:\\App\\u-x.exe", {"C:\\App\\u"}, true},
      {"C:\\App\\u(x).exe", {"C:\\App\\u"}, true},
      {"C:\\App\\u-x.exe", {}, false},
      {"", {}, false},
      {"\"\"", {}, false},
      {"*C:\\App\\u.exe", {"C:\\App\\u.exe"}, false},
      {"x\\gone.exe", {}, false},
      {",x\\gone.exe", {}, true},  // the empty text before the comma holds no backslash
      {"-x\\gone.exe", {}, true},
      {" x\\gone.exe", {}, true},
      {"@@C:\\App\\u.exe", {"C:\\App\\u.exe"}, true},
      {"C:\\\\App\\\\u.exe", {"C:\\App\\u.exe"}, true},
      {"C:\\\\App\\\\u.exe", {}, false},
      {"C:\\App\\x.dll:Entry", {"C:\\App\\x.dll"}, true},  // cut at the colon
      {"C:\\App\\gone.exe<x", {"C:\\App\\gone.exe"}, true},
  };
  for (const FindCase& c : cases) {
    MemoryPlatform fresh;
    fresh.files.AddDrive('D', platform::kDriveCdrom);
    fresh.files.AddFolder("C:\\App");
    fresh.files.AddFolder("C:\\Program Files\\App");
    fresh.files.SetEnvironment("AppDir", "C:\\App");
    for (const std::string& f : c.files) fresh.files.AddFile(f);
    Finder finder(fresh.files, fresh.system);
    fresh.files.ResetCalls();
    EXPECT_EQ(finder.FindSpace(c.text), c.expected) << c.text;
    if (c.maxQueries >= 0) { EXPECT_LE(fresh.files.Calls().Queries(), c.maxQueries) << c.text; }
    EXPECT_EQ(fresh.files.OpenFinds(), 0) << c.text;
  }
}

TEST_F(FinderTest, FileTestWantsAFileWhateverItsTime) {
  mp.files.AddFile("C:\\App\\old.exe");
  mp.files.SetLastWriteTime("C:\\App\\old.exe", 0);  // 1601: no DOS date
  mp.files.AddFile("C:\\App\\new.exe");
  struct Case {
    std::string text;
    bool expected;
  } cases[] = {
      {"C:\\App\\new.exe", true}, {"C:\\App\\NEW.EXE", true}, {"C:\\App\\old.exe", true},
      {"C:\\App", false},  // a folder is no file
      {"C:\\App\\n*.exe", true}, {"C:\\App\\gone.exe", false},
  };
  for (const Case& c : cases) EXPECT_EQ(Look().nFileExists(c.text), c.expected) << c.text;
}

TEST_F(FinderTest, AnExpansionThatAnswersNothingLeavesTheTextAsItStands) {
  mp.files.AddFile("C:\\App\\u.exe");
  recorder.wineLongExpansion = true;
  std::string text = "C:\\App\\u.exe /log=%TEMP%\\u.log ";
  text += std::string(40000 - text.size(), 'x');
  EXPECT_TRUE(Look().FindSpace(text));
  EXPECT_FALSE(Look().FindSpace("C:\\App\\gone.exe %TEMP% " + std::string(40000, 'x')));
}

TEST_F(FinderTest, CutsAndTrimsTexts) {
  struct NonChar {
    int cut;
    char c;
    std::string searched;
    int offset;
    int expected;
  } nonChars[] = {
      {0, ':', "\\App:x", 3, 7}, {0, '*', "abc", 1, 0}, {5, '?', "ab?", 1, 3},
      {2, '|', "abc|", 1, 2},    {-1, '<', "<", 1, 1},
  };
  for (const NonChar& n : nonChars) {
    EXPECT_EQ(GetNonChar(n.cut, n.c, n.searched, n.offset), n.expected) << n.searched;
  }
  struct Slash {
    std::string text, expected;
  } slashes[] = {{"C:\\Temp\\", "C:\\Temp"}, {"C:\\Temp\\\\", "C:\\Temp\\"}, {"C:\\Temp", "C:\\Temp"}, {"", ""},
                 {"\\", ""}};
  for (const Slash& s : slashes) EXPECT_EQ(RemoveSlash(s.text), s.expected) << s.text;
}

TEST_F(FinderTest, RetriesUnredirectedOnlyWhenAsked) {
  mp.files.AddFile("C:\\App\\u.exe");
  struct Case {
    bool retry, wow64;
    std::string text;
    bool expected;
    std::vector<std::string> log;
  } cases[] = {
      {false, true, "C:\\App\\gone.exe", false, {}},
      {true, true, "C:\\App\\u.exe", true, {}},  // the first attempt found it
      {true, true, "C:\\App\\gone.exe", false, {"disable", "revert 24301"}},
      {true, false, "C:\\App\\gone.exe", false, {"disable"}},  // nothing to put back
  };
  for (const Case& c : cases) {
    options.retryUnredirected = c.retry;
    mp.system.wow64Available = c.wow64;
    mp.system.redirectionLog.clear();
    EXPECT_EQ(Look().nFileExists(c.text), c.expected) << c.text;
    EXPECT_EQ(mp.system.redirectionLog, c.log) << c.text;
    mp.system.redirectionLog.clear();
    EXPECT_EQ(Look().nFindSpace(c.text), c.expected) << c.text;
    // nFindSpace retries the whole search once: one disable and one revert around it.
    if (!c.log.empty()) { EXPECT_EQ(mp.system.redirectionLog.front(), "disable"); }
    if (!c.log.empty()) { EXPECT_EQ(mp.system.redirectionLog.back(), c.log.back()); }
  }
}

// Texts full of marks, dots and blanks: the backward scan tries the same candidates again and
// again. Within one call each query text reaches the file system once, and the answer does not
// depend on whether answers are remembered.
TEST_F(FinderTest, AsksTheFileSystemOncePerTextWithinACall) {
  mp.files.AddFile("C:\\App\\a,b;c");
  const std::string texts[] = {
      "C:\\App\\a,b;c'd%e-f_g!h(i@j$k#l.m.n.o\\p.q r.s\\t.u",
      "C:\\App\\a,b;c.x.y.z",
      "C:\\Program Files\\App\\My App\\gone.exe -x,y;z (1).2.3",
      "C:\\App\\1\\2\\3\\4\\5\\6\\7\\8\\9",
  };
  for (const std::string& text : texts) {
    recorder.log.clear();
    options.rememberAnswers = true;
    const bool remembered = Look().FindSpace(text);
    const std::vector<std::string> once = recorder.log;
    std::set<std::string> distinct(once.begin(), once.end());
    EXPECT_EQ(distinct.size(), once.size()) << text;

    recorder.log.clear();
    options.rememberAnswers = false;
    EXPECT_EQ(Look().FindSpace(text), remembered) << text;
    EXPECT_GT(recorder.log.size(), once.size()) << text;
    std::set<std::string> asked(recorder.log.begin(), recorder.log.end());
    EXPECT_EQ(asked, distinct) << text;
  }
}

// The length of the path a recorded query asks about: a directory search joins its two texts.
// The length of a query's text as the platform counts it: UTF-16 units.
size_t QueriedLength(const std::string& query) {
  const std::string texts = query.substr(query.find(' ') + 1);
  const size_t bar = texts.find(" | ");
  const size_t units = platform::Utf16Length(texts);
  return bar == std::string::npos ? units : units - 2;
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST_F(FinderTest, NeverQueriesTextsLongerThanMaxPath) {
  struct Case {
    std::string text;
    bool expected;
  } cases[] = {
      {"C:\\App\\" + std::string(300, 'a') + ".exe", false},
      {std::string(300, 'a') + ".exe", true},                // no backslash: counts as found
      {"C:\\App\\x " + std::string(300, 'b'), true},          // the blank's prefix is short and found
      {"C:\\App\\" + std::string(250, 'c') + "\\1234567890", false},
      {"C:\\App\\" + Repeated("\xe8\xa1\xa8", 90) + "\\u.exe", true},   // 276 bytes, 104 characters
      {"C:\\App\\" + Repeated("\xe8\xa1\xa8", 300) + "\\u.exe", false},  // 300 characters
  };
  mp.files.AddFile("C:\\App\\x");
  mp.files.AddFile("C:\\App\\" + Repeated("\xe8\xa1\xa8", 90) + "\\u.exe");
  for (const Case& c : cases) {
    recorder.log.clear();
    EXPECT_EQ(Look().FindSpace(c.text), c.expected) << c.text.size();
    for (const std::string& query : recorder.log) EXPECT_LE(QueriedLength(query), platform::kMaxPath) << query;
  }
}

// Random texts over the characters the finder treats specially, against a small tree: whatever
// the text, remembering answers changes nothing but the work.
TEST_F(FinderTest, RememberingAnswersNeverChangesOne) {
  mp.files.AddFile("C:\\App\\u.exe");
  mp.files.AddFile("C:\\App\\x.dll");
  mp.files.AddFile("C:\\App\\1033\\r.txt");
  mp.files.AddFile("D:\\setup.exe");
  mp.files.SetEnvironment("A", "C:\\App");
  const std::string alphabet = "C:\\\\\\App.xu.dll exe,;'%-_!(@$#\"/*?<>|1033D";
  std::mt19937 random(1234);
  for (int n = 0; n < 400; ++n) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
    if (n % 3 == 0) text = "C:\\App\\" + text;
    options.rememberAnswers = true;
    const bool remembered = Look().FindSpace(text);
    options.rememberAnswers = false;
    EXPECT_EQ(Look().FindSpace(text), remembered) << text;
  }
}

}  // namespace
