// The file-system boundary's contract: the same cases against the in-memory file system and, under
// Wine, against the real one. Only answers that Windows gives as well are asked for here.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system_contract_env.h"
#include "platform/handles.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {


class FileSystemContract : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = MakeFileSystemContractEnv();
    base_ = env_->Base();
    env_->MakeFolder(base_ + "\\App");
    for (const char* name : {"x.dll", "readme", "readme.txt", "a.b.exe"}) env_->MakeFile(base_ + "\\App\\" + name, "MZ");
  }
  void TearDown() override { env_.reset(); }
  FileSystem& files() { return env_->Files(); }

  // The names a pattern finds, sorted ("." and ".." too): Wine lists in the host's order.
  std::vector<std::string> Found(const std::string& pattern) {
    std::vector<std::string> names;
    FindData data;
    UniqueFind find(files(), files().FindFirst(pattern, &data));
    if (!find) return names;
    do names.push_back(data.name);
    while (files().FindNext(find.get(), &data));
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<FileSystemContractEnv> env_;
  std::string base_;
};

TEST_F(FileSystemContract, ReadsPathTexts) {
  struct Case {
    std::string path;
    int expected;  // 0 missing, 1 file, 2 folder
  } cases[] = {
      {"\\App\\x.dll", 1},     {"\\APP\\X.DLL", 1},     {"/App/x.dll", 1},       {"\\\\App\\\\x.dll", 1},
      {"\\App\\x.dll ", 1},    {"\\App\\x.dll.", 1},    {"\\App\\x.dll\\", 0},   {"\\App\\", 2},
      {"\\App", 2},            {"\\App\\..\\App\\x.dll", 1}, {"\\App\\x*.dll", 0}, {"\\App\\gone", 0},
      {"\\App\\" + std::string(300, 'x'), 0},
  };
  for (const Case& c : cases) {
    const std::uint32_t a = files().Attributes(base_ + c.path);
    const int kind = a == kInvalidFileAttributes ? 0 : (a & kFileAttributeDirectory) ? 2 : 1;
    EXPECT_EQ(kind, c.expected) << c.path;
  }
  EXPECT_EQ(files().DriveType("C:\\"), kDriveFixed);
  EXPECT_EQ(files().DriveType("C:"), kDriveFixed);
}

TEST_F(FileSystemContract, MatchesPatterns) {
  struct Case {
    std::string pattern;
    std::vector<std::string> expected;
  } cases[] = {
      {"\\App\\readme.*", {"readme", "readme.txt"}},
      {"\\App\\*.exe", {"a.b.exe"}},
      {"\\App\\*.", {".", "..", "a.b.exe", "readme", "readme.txt", "x.dll"}},  // the dot is trimmed first
      {"\\App\\?.dll", {"x.dll"}},
      {"\\App\\README.TXT", {"readme.txt"}},
      {"\\App\\x.dll ", {"x.dll"}},
      {"\\App", {"App"}},
      {"\\App\\", {}},
      {"\\Gone\\*", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Found(base_ + c.pattern), c.expected) << c.pattern;
}

TEST_F(FileSystemContract, SearchesOneDirectory) {
  struct Case {
    std::string directory, file;
    std::uint32_t buffer;
    bool found;
    std::string path;  // relative to the base; "" when not written
  } cases[] = {
      {"\\App", "x.dll", 260, true, "\\App\\x.dll"},
      {"\\App\\", "x.dll", 260, true, "\\App\\x.dll"},
      {"", "App", 260, true, "\\App"},  // folders count
      {"\\App", "gone.exe", 260, false, ""},
      {"\\App", "*.dll", 260, false, ""},
      {"\\App", "x.dll", 10, true, ""},  // too small: the size needed, nothing written
  };
  for (const Case& c : cases) {
    std::string found;
    const std::uint32_t result = files().SearchDirectory(base_ + c.directory, c.file, nullptr, c.buffer, &found);
    EXPECT_EQ(result != 0, c.found) << c.directory << " + " << c.file;
    if (!c.path.empty()) {
      EXPECT_EQ(found, base_ + c.path);
      EXPECT_EQ(result, found.size());
    } else if (c.found) {
      EXPECT_EQ(result, (base_ + "\\App\\x.dll").size() + 1);
      EXPECT_EQ(found, "");
    }
  }
  std::string found;
  EXPECT_NE(files().SearchDirectory(base_ + "\\App", "readme", ".txt", 260, &found), 0u);
  EXPECT_EQ(found, base_ + "\\App\\readme.txt");
}

TEST_F(FileSystemContract, ExpandsVariables) {
  env_->SetVariable("TIDEWELL_CONTRACT", "C:\\Set");
  struct Case {
    std::string source;
    std::uint32_t size, count;
    std::string expanded;
  } cases[] = {
      {"%tidewell_contract%\\x", 260, 9, "C:\\Set\\x"},
      {"%TIDEWELL_UNDEFINED%\\x", 260, 23, "%TIDEWELL_UNDEFINED%\\x"},
      {"100% sure", 260, 10, "100% sure"},
      {"%TIDEWELL_CONTRACT%", 4, 7, "-"},
  };
  for (const Case& c : cases) {
    std::string out = "-";
    EXPECT_EQ(files().ExpandEnvironment(c.source, c.size, &out), c.count) << c.source;
    EXPECT_EQ(out, c.expanded) << c.source;
  }
}

TEST_F(FileSystemContract, OpensWritesAndRenamesFiles) {
  struct Open {
    std::string path;
    FileOpen mode;
    std::uint32_t error;
  } opens[] = {
      {"\\App\\gone.txt", FileOpen::kRead, kErrorFileNotFound},
      {"\\App\\gone.txt", FileOpen::kAppend, kErrorFileNotFound},
      {"\\Gone\\x.txt", FileOpen::kCreate, kErrorPathNotFound},
      {"\\App", FileOpen::kRead, kErrorAccessDenied},
      {"\\App\\x.dll", FileOpen::kCreateNew, kErrorFileExists},
  };
  for (const Open& o : opens) {
    std::uint32_t error = 0;
    EXPECT_EQ(files().OpenFile(base_ + o.path, o.mode, &error), kInvalidFile) << o.path;
    EXPECT_EQ(error, o.error) << o.path;
  }

  const std::string log = base_ + "\\App\\log.txt";
  std::uint32_t error = 0;
  FileId file = files().OpenFile(log, FileOpen::kCreate, &error);
  ASSERT_NE(file, kInvalidFile);
  EXPECT_EQ(error, 0u);
  EXPECT_TRUE(files().WriteFile(file, "one\n", 4, &error));
  EXPECT_EQ(files().OpenFile(log, FileOpen::kAppend, &error), kInvalidFile);
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorSharingViolation));
  EXPECT_TRUE(files().FlushFile(file, &error));
  EXPECT_TRUE(files().CloseFile(file, &error));
  file = files().OpenFile(log, FileOpen::kAppend, &error);
  EXPECT_TRUE(files().WriteFile(file, "two\n", 4, &error));
  EXPECT_TRUE(files().CloseFile(file, &error));
  file = files().OpenFile(log, FileOpen::kRead, &error);
  char buffer[16];
  std::uint32_t read = 0;
  EXPECT_TRUE(files().ReadFile(file, buffer, sizeof buffer, &read, &error));
  EXPECT_EQ(std::string(buffer, read), "one\ntwo\n");
  EXPECT_TRUE(files().CloseFile(file, &error));
  // A file made only where none is: the one there keeps its content.
  EXPECT_EQ(files().OpenFile(log, FileOpen::kCreateNew, &error), kInvalidFile);
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorFileExists));
  file = files().OpenFile(base_ + "\\App\\new.txt", FileOpen::kCreateNew, &error);
  ASSERT_NE(file, kInvalidFile);
  EXPECT_TRUE(files().CloseFile(file, &error));

  EXPECT_FALSE(files().RenameFile(log, base_ + "\\App\\x.dll", &error));
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorAlreadyExists));
  EXPECT_FALSE(files().RenameFile(base_ + "\\App\\gone", base_ + "\\App\\new", &error));
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorFileNotFound));
  EXPECT_TRUE(files().RenameFile(log, base_ + "\\App\\Log2.txt", &error));
  EXPECT_FALSE(files().MakeDirectory(base_ + "\\App"));
  EXPECT_TRUE(files().MakeDirectory(base_ + "\\Backup"));
  EXPECT_FALSE(files().RemoveFile(base_ + "\\Backup"));
  EXPECT_TRUE(files().RemoveFile(base_ + "\\App\\log2.txt"));
  EXPECT_EQ(files().Attributes(base_ + "\\App\\Log2.txt"), kInvalidFileAttributes);
}

// A rename over a file replaces it; an open file or a folder is not replaced, and then both stay
// as they were. Windows does not replace a read-only file either; Wine does.
TEST_F(FileSystemContract, RenamesOverAFileThatCanBeReplaced) {
  const std::string next = base_ + "\\App\\report.new";
  const auto content = [&](const std::string& path) {
    std::uint32_t error = 0;
    UniqueFile file(files(), files().OpenFile(path, FileOpen::kRead, &error));
    if (!file) return std::string("(none)");
    char buffer[16];
    std::uint32_t read = 0;
    files().ReadFile(file.get(), buffer, sizeof buffer, &read, &error);
    return std::string(buffer, read);
  };
  std::uint32_t error = 0;
  env_->MakeFile(next, "new");
  EXPECT_FALSE(files().RenameFileReplacing(base_ + "\\App\\gone", next, &error));
  EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorFileNotFound));

  enum class Kind { kReadOnly, kOpen, kFolder };
  const struct {
    Kind kind;
    std::string to;
    bool replaced;
  } cases[] = {
      {Kind::kReadOnly, base_ + "\\App\\read-only.txt", env_->IsWine()},
      {Kind::kOpen, base_ + "\\App\\open.txt", false},
      {Kind::kFolder, base_ + "\\Reports", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.to);
    env_->MakeFile(next, "new");
    if (c.kind == Kind::kFolder) env_->MakeFolder(c.to);
    else env_->MakeFile(c.to, "old");
    if (c.kind == Kind::kReadOnly) {
      ASSERT_TRUE(files().SetAttributes(c.to, kFileAttributeReadOnly));
    }
    UniqueFile open(files(), c.kind == Kind::kOpen ? files().OpenFile(c.to, FileOpen::kRead, &error) : kInvalidFile);
    EXPECT_EQ(c.replaced, files().RenameFileReplacing(next, c.to, &error));
    open.reset();
    if (c.kind == Kind::kReadOnly) files().SetAttributes(c.to, kFileAttributeNormal);
    if (c.replaced) continue;
    EXPECT_EQ(error, static_cast<std::uint32_t>(kErrorAccessDenied));
    if (c.kind != Kind::kFolder) {
      EXPECT_EQ(content(c.to), "old");
    }
    EXPECT_EQ(content(next), "new");
  }

  const std::string report = base_ + "\\App\\report.txt";
  env_->MakeFile(next, "new");
  env_->MakeFile(report, "old");
  EXPECT_TRUE(files().RenameFileReplacing(next, report, &error));
  EXPECT_EQ(content(report), "new");
  EXPECT_EQ(files().Attributes(next), kInvalidFileAttributes);
  EXPECT_TRUE(files().RenameFileReplacing(report, next, &error)) << "no file of the new name";
  EXPECT_EQ(content(next), "new");
  EXPECT_EQ(files().Attributes(report), kInvalidFileAttributes);
}

// Names outside ASCII as the wide calls take them: letter case ignored, one character for a "?",
// lengths in UTF-16 units, so that a path of a hundred Chinese characters is within MAX_PATH.
TEST_F(FileSystemContract, NamesOutsideAscii) {
  const std::string folder = base_ + "\\\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac \xe8\xa1\xa8";  // Ελληνικά 表
  const std::string upper = base_ + "\\\xce\x95\xce\x9b\xce\x9b\xce\x97\xce\x9d\xce\x99\xce\x9a\xce\x86 \xe8\xa1\xa8";
  const std::string name = "\xc3\xbcn\xc3\xaf" "c\xc3\xb6\x64\xc3\xa9.exe";  // ünïcödé.exe
  env_->MakeFolder(folder);
  env_->MakeFile(folder + "\\" + name, "MZ");
  std::string deep = base_;
  for (int level = 0; level < 4; ++level) {
    deep += "\\";
    for (int i = 0; i < 25; ++i) deep += "\xe8\xa1\xa8";
    env_->MakeFolder(deep);
  }
  env_->MakeFile(deep + "\\x.exe", "MZ");
  ASSERT_GT((deep + "\\x.exe").size(), kMaxPath) << "longer than MAX_PATH in bytes, not in characters";

  const struct {
    std::string path;
    int expected;  // 0 missing, 1 file, 2 folder
  } cases[] = {
      {folder + "\\" + name, 1},
      {upper + "\\\xc3\x9cN\xc3\x8f" "C\xc3\x96" "D\xc3\x89.EXE", 1},  // ÜNÏCÖDÉ.EXE
      {upper, 2},
      {deep + "\\x.exe", 1},
      {folder + "\\unicode.exe", 0},
  };
  for (const auto& c : cases) {
    const std::uint32_t a = files().Attributes(c.path);
    const int kind = a == kInvalidFileAttributes ? 0 : (a & kFileAttributeDirectory) ? 2 : 1;
    EXPECT_EQ(kind, c.expected) << c.path;
  }
  EXPECT_EQ(Found(folder + "\\?n?c?d?.exe"), std::vector<std::string>{name});
  std::string found;
  const std::uint32_t length = files().SearchDirectory(folder, "\xc3\xbcn\xc3\xaf" "c\xc3\xb6\x64\xc3\xa9", ".exe", 260, &found);
  EXPECT_EQ(found, folder + "\\" + name);
  EXPECT_EQ(length, Utf16Length(found));
  env_->SetVariable("TIDEWELL_CONTRACT_GREEK", "C:\\\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd");
  std::string expanded;
  EXPECT_EQ(files().ExpandEnvironment("%TIDEWELL_CONTRACT_GREEK%\\\xe8\xa1\xa8", 260, &expanded), 11u);
  EXPECT_EQ(expanded, "C:\\\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\\\xe8\xa1\xa8");
}

// What a folder's listing shows is what the other calls find, by the long name in any letter case
// and by the 8.3 name where the file system keeps one; what it does not show, none of them finds.
// The status checks answer their questions from listings on this promise.
TEST_F(FileSystemContract, AFoldersListingShowsWhatTheOtherCallsFind) {
  const std::string app = base_ + "\\App";
  env_->MakeFolder(app + "\\Sub Folder");
  env_->MakeFile(app + "\\Long File Name.text", "MZ");
  std::vector<FindData> listed;
  FindData data;
  {
    UniqueFind find(files(), files().FindFirst(app + "\\*", &data));
    ASSERT_TRUE(find);
    do
      if (data.name != "." && data.name != "..") listed.push_back(data);
    while (files().FindNext(find.get(), &data));
  }
  ASSERT_EQ(listed.size(), 6u);
  const auto upper = [](std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return text;
  };
  for (const FindData& entry : listed) {
    const bool folder = (entry.attributes & kFileAttributeDirectory) != 0;
    for (const std::string& name : {entry.name, upper(entry.name), entry.alternateName}) {
      if (name.empty()) continue;
      const std::uint32_t attributes = files().Attributes(app + "\\" + name);
      ASSERT_NE(attributes, kInvalidFileAttributes) << name;
      EXPECT_EQ((attributes & kFileAttributeDirectory) != 0, folder) << name;
      FindData found;
      UniqueFind find(files(), files().FindFirst(app + "\\" + name, &found));
      ASSERT_TRUE(find) << name;
      EXPECT_EQ(found.name, entry.name) << name;
      std::string path;
      EXPECT_NE(files().SearchDirectory(app, name, nullptr, kMaxPath, &path), 0u) << name;
      EXPECT_FALSE(Found(app + "\\" + name + ".*").empty()) << name;
    }
  }
  for (const std::string gone : {"Long File", "Sub", "x.dl", "readme.t"}) {
    EXPECT_EQ(files().Attributes(app + "\\" + gone), kInvalidFileAttributes) << gone;
    EXPECT_TRUE(Found(app + "\\" + gone).empty()) << gone;
    std::string path;
    EXPECT_EQ(files().SearchDirectory(app, gone, nullptr, kMaxPath, &path), 0u) << gone;
  }
  EXPECT_TRUE(Found(app + "\\Long File.*").empty());
  EXPECT_EQ(Found(app + "\\LONG FILE NAME.*"), std::vector<std::string>{"Long File Name.text"});
}

TEST_F(FileSystemContract, ReadsProfileStrings) {
  const std::string ini = base_ + "\\kestrel.ini";
  env_->MakeFile(ini, "[Other]\r\nFolder=wrong\r\n[Backups]\r\nFolder = \"D:\\Saved\"\r\nEmpty=\r\n");
  EXPECT_EQ(files().ReadProfileString("backups", "FOLDER", "x", ini), "D:\\Saved");
  EXPECT_EQ(files().ReadProfileString("Backups", "Empty", "x", ini), "");
  EXPECT_EQ(files().ReadProfileString("Backups", "Missing", "fallback", ini), "fallback");
  EXPECT_EQ(files().ReadProfileString("Backups", "Folder", "def", base_ + "\\gone.ini"), "def");
}

}  // namespace
}  // namespace platform
