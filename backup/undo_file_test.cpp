#include "backup/undo_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "backup/in_out_error.h"
#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/stopping_files.h"

using namespace platform;

namespace {

constexpr const char* kFolder = "C:\\Tools\\Tidewell\\Backup";
constexpr const char* kFile = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg";
constexpr const char* kAside = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.bad1.reg";
constexpr const char* kUnicodeFile = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.unicode.reg";
constexpr const char* kUnicodeAside = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.unicode.bad1.reg";
constexpr const char* kVersion5 = "Windows Registry Editor Version 5.00";

// Text as the Unicode file holds it.
std::string U(const std::string& text) { return Utf16LeFromUtf8(text); }
const std::string kMark("\xff\xfe", 2);

class UndoFileTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(0, p.files.OpenFiles()) << "a file handle leaked"; }

  // Runs the call and answers the text of the input/output error it raised, or "" when none.
  template <class F>
  std::string ErrorOf(F call) {
    try {
      call();
    } catch (const EInOutError& error) {
      return error.what();
    }
    return "";
  }

  MemoryPlatform p;
  UndoFile undo{p.files, p.system, kFolder, "Undo20261207"};
};

TEST_F(UndoFileTest, TheFirstLineMakesTheFolderAndTheFileWithItsHeader) {
  ASSERT_FALSE(p.files.FolderExistsAt(kFolder));
  undo.WriteReg("x");
  EXPECT_TRUE(p.files.FolderExistsAt(kFolder));
  EXPECT_EQ("REGEDIT4\r\n\r\nx\r\n", p.files.Content(kFile));
  undo.WriteReg("[HKEY_LOCAL_MACHINE\\A]");
  undo.WriteReg("");
  EXPECT_EQ("REGEDIT4\r\n\r\nx\r\n[HKEY_LOCAL_MACHINE\\A]\r\n\r\n", p.files.Content(kFile)) << "the header once";
}

// Another running copy of the program makes the day's file and writes its lines between this
// copy's look at the folder and its own create: those lines stay, and this copy's follow them.
class FileMadeMeanwhile : public StoppingFiles {
 public:
  FileMadeMeanwhile(FileSystem& inner, MemoryFileSystem& memory) : StoppingFiles(inner), memory_(memory) {}
  FileId OpenFile(const std::string& path, FileOpen mode, std::uint32_t* error) override {
    if (mode != FileOpen::kRead && !done_) {
      done_ = true;
      memory_.WriteWholeFile(path, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Other]\r\n\"Name\"=\"Other\"\r\n\r\n");
    }
    return StoppingFiles::OpenFile(path, mode, error);
  }

 private:
  MemoryFileSystem& memory_;
  bool done_ = false;
};

TEST_F(UndoFileTest, AFileMadeMeanwhileByAnotherCopyIsAddedToNeverEmptied) {
  p.files.AddFolder(kFolder);
  FileMadeMeanwhile racing(p.files, p.files);
  UndoFile other(racing, p.system, kFolder, "Undo20261207");
  other.WriteReg("[HKEY_LOCAL_MACHINE\\Mine]");
  EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Other]\r\n\"Name\"=\"Other\"\r\n\r\n[HKEY_LOCAL_MACHINE\\Mine]\r\n",
            p.files.Content(kFile));
}

TEST_F(UndoFileTest, MissingParentFoldersAreMadeToo) {
  UndoFile deep(p.files, p.system, "C:\\Deep\\Er\\Backup", "Undo20261207");
  deep.WriteReg("");
  EXPECT_EQ("REGEDIT4\r\n\r\n\r\n", p.files.Content("C:\\Deep\\Er\\Backup\\Undo20261207.reg"));
}

// Each of the day's files is appended to only after its own exact header; anything else is kept
// beside it under a name of its own.
TEST_F(UndoFileTest, OnlyTheExactHeaderIsAppendedToAndAnythingElseIsKeptBesideIt) {
  const std::string regedit4 = "REGEDIT4\r\n\r\n";
  const std::string unicode = kMark + U(std::string(kVersion5) + "\r\n\r\n");
  const struct {
    UndoFormat format;
    const char* name;
    std::string before;
    bool appended;
  } cases[] = {
      {UndoFormat::kRegedit4, "header", regedit4 + "[HKEY_LOCAL_MACHINE\\A]\r\n", true},
      {UndoFormat::kRegedit4, "header with LF only", "REGEDIT4\n\n", true},
      {UndoFormat::kRegedit4, "empty file", "", false},
      {UndoFormat::kRegedit4, "lower-case header", "regedit4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", false},
      {UndoFormat::kRegedit4, "trailing blank", "REGEDIT4 \r\n\r\n", false},
      {UndoFormat::kRegedit4, "header without its line break", "REGEDIT4", false},
      {UndoFormat::kRegedit4, "byte-order mark", "\xef\xbb\xbfREGEDIT4\r\n\r\n", false},
      {UndoFormat::kRegedit4, "version 5", std::string(kVersion5) + "\r\n\r\n", false},
      {UndoFormat::kRegedit4, "two headers on one line", "REGEDIT4REGEDIT4\r\n", false},
      {UndoFormat::kRegedit4, "wide text", std::string("\xff\xfeR\0E\0", 6), false},
      {UndoFormat::kUnicode, "header", unicode + U("[HKEY_LOCAL_MACHINE\\A]\r\n"), true},
      {UndoFormat::kUnicode, "header with LF only", kMark + U(std::string(kVersion5) + "\n\n"), true},
      {UndoFormat::kUnicode, "empty file", "", false},
      {UndoFormat::kUnicode, "no byte-order mark", U(std::string(kVersion5) + "\r\n\r\n"), false},
      {UndoFormat::kUnicode, "the REGEDIT4 header", regedit4, false},
      {UndoFormat::kUnicode, "version 5 in single bytes", std::string(kVersion5) + "\r\n\r\n", false},
      {UndoFormat::kUnicode, "another version", kMark + U("Windows Registry Editor Version 5.01\r\n"), false},
      {UndoFormat::kUnicode, "header without its line break", kMark + U(kVersion5), false},
  };
  for (const auto& c : cases) {
    const bool wide = c.format == UndoFormat::kUnicode;
    SCOPED_TRACE(std::string(wide ? "Unicode file, " : "REGEDIT4 file, ") + c.name);
    const char* file = wide ? kUnicodeFile : kFile;
    const char* aside = wide ? kUnicodeAside : kAside;
    const std::string line = wide ? U("new \xce\xb1\r\n") : "new\r\n";
    MemoryPlatform q;
    UndoFile f(q.files, q.system, kFolder, "Undo20261207");
    q.files.AddFile(file, c.before);
    UndoBlock block(f, [&] { return c.format; });
    f.WriteReg(wide ? "new \xce\xb1" : "new");
    if (c.appended) {
      EXPECT_EQ(c.before + line, q.files.Content(file));
      EXPECT_FALSE(q.files.FileExistsAt(aside));
    } else {
      EXPECT_EQ((wide ? unicode : regedit4) + line, q.files.Content(file));
      if (c.before.empty()) {
        EXPECT_FALSE(q.files.FileExistsAt(aside)) << "an empty file holds nothing to keep";
      } else {
        EXPECT_EQ(c.before, q.files.Content(aside)) << "kept byte for byte";
      }
    }
  }
}

TEST_F(UndoFileTest, AKeptFileNeverReplacesAnEarlierOne) {
  p.files.AddFile(kAside, "first");
  p.files.AddFile(kFile, "second");
  undo.WriteReg("a");
  p.files.AddFile("C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg", "third");
  undo.WriteReg("b");
  EXPECT_EQ("first", p.files.Content(kAside));
  EXPECT_EQ("second", p.files.Content("C:\\Tools\\Tidewell\\Backup\\Undo20261207.bad2.reg"));
  EXPECT_EQ("third", p.files.Content("C:\\Tools\\Tidewell\\Backup\\Undo20261207.bad3.reg"));
  EXPECT_EQ("REGEDIT4\r\n\r\nb\r\n", p.files.Content(kFile));
}

// Lines that an earlier write left cut short are marked so that a merge takes none of them for a
// value and the lines after them still reach their key; in the Unicode file a unit cut in half is
// completed first, so that the mark and the lines after it are whole units.
TEST_F(UndoFileTest, LinesCutShortByAnEarlierWriteAreNeitherMergedNorAllowedToSwallowNewLines) {
  const std::string old = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n\"Kept\"=dword:00000001\r\n";
  const struct {
    UndoFormat format;
    const char* name;
    std::string tail;
    bool marked;
  } cases[] = {
      {UndoFormat::kRegedit4, "whole", "", false},
      {UndoFormat::kRegedit4, "inside a continued value", "\"Big\"=hex:01,02,03,\\\r\n", true},
      {UndoFormat::kRegedit4, "inside a line of bytes", "\"Big\"=hex:01,02,0", true},
      {UndoFormat::kRegedit4, "after a CR", "\"Big\"=hex:01,02,\\\r", true},
      {UndoFormat::kRegedit4, "inside a number", "\"Big\"=dword:0000", true},
      {UndoFormat::kRegedit4, "inside a key line", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ne", true},
      {UndoFormat::kUnicode, "whole", "", false},
      {UndoFormat::kUnicode, "inside a continued value", U("\"Big\"=hex:01,02,03,\\\r\n"), true},
      {UndoFormat::kUnicode, "inside a line of bytes", U("\"Big\"=hex:01,02,0"), true},
      {UndoFormat::kUnicode, "half a unit", U("\"Big\"=hex:01,02").append("\x30", 1), true},
      {UndoFormat::kUnicode, "after a CR", U("\"Big\"=hex:01,\\\r"), true},
  };
  for (const auto& c : cases) {
    const bool wide = c.format == UndoFormat::kUnicode;
    SCOPED_TRACE(std::string(wide ? "Unicode file, " : "REGEDIT4 file, ") + c.name);
    const char* file = wide ? kUnicodeFile : kFile;
    const std::string start = wide ? kMark + U(std::string(kVersion5) + "\r\n\r\n" + old) : "REGEDIT4\r\n\r\n" + old;
    MemoryPlatform q;
    UndoFile f(q.files, q.system, kFolder, "Undo20261207");
    q.files.AddFile(file, start + c.tail);
    UndoBlock block(f, [&] { return c.format; });
    f.AppendLines({"[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]", "\"Fresh\"=dword:00000002", ""}, false);
    const std::string content = q.files.Content(file);
    EXPECT_EQ(start + c.tail, content.substr(0, start.size() + c.tail.size())) << "nothing rewritten";
    EXPECT_EQ(c.marked, content.find(wide ? U(kCutShortLine) : kCutShortLine) != std::string::npos);
    // On a line of its own: glued to the cut line, a merge would read it into the cut value.
    EXPECT_EQ(c.marked, content.find(wide ? U(std::string("\n") + kCutShortLine) : std::string("\n") + kCutShortLine) !=
                            std::string::npos);
    EXPECT_EQ(0u, content.size() % (wide ? 2 : 1)) << "whole units";
    std::vector<std::string> values;
    for (const auto& step : regfile::Read(content).steps)
      if (step.kind == 'V') values.push_back(step.path + ":" + step.value.name);
    EXPECT_EQ((std::vector<std::string>{"SOFTWARE\\Old:Kept", "SOFTWARE\\New:Fresh"}), values);
  }
}

TEST_F(UndoFileTest, FailuresRaiseAnInputOutputErrorThatNamesTheFileAndTheReason) {
  const struct {
    const char* name;
    std::function<void(MemoryPlatform&)> arrange;
    std::string expected;
  } cases[] = {
      {"read-only folder", [](MemoryPlatform& q) { q.files.AddFolder(kFolder); q.files.SetFolderReadOnly(kFolder, true); },
       std::string("Cannot create the undo file ") + kFile + ": Access is denied."},
      {"no folder can be made", [](MemoryPlatform& q) { q.files.SetFolderReadOnly("C:\\Tools\\Tidewell", true); },
       std::string("Cannot create the undo file ") + kFile + ": The system cannot find the path specified."},
      {"disk full", [](MemoryPlatform& q) { q.files.SetDiskCapacity(q.files.Content("C:\\Tools\\Tidewell\\Tidewell.exe").size() + 5); },
       std::string("Cannot write to the undo file ") + kFile + ": There is not enough space on the disk."},
      {"read-only file", [](MemoryPlatform& q) { q.files.AddFile(kFile, "REGEDIT4\r\n\r\n", kFileAttributeReadOnly); },
       std::string("Cannot open the undo file ") + kFile + ": Access is denied."},
      {"file is a folder", [](MemoryPlatform& q) { q.files.AddFolder(kFile); },
       std::string("Cannot open the undo file ") + kFile + ": Access is denied."},
      {"foreign file that cannot be moved", [](MemoryPlatform& q) {
         q.files.AddFile(kFile, "junk");
         q.files.SetFolderReadOnly(kFolder, true);
       },
       std::string("Cannot keep the undo file ") + kFile + " as " + kAside + ": Access is denied."},
      {"flush fails", [](MemoryPlatform& q) { q.files.FailFlushes(true); },
       std::string("Cannot flush the undo file ") + kFile + " to the disk: The system cannot write to the specified device."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryPlatform q;
    UndoFile f(q.files, q.system, kFolder, "Undo20261207");
    c.arrange(q);
    const std::string before = q.files.FileExistsAt(kFile) ? q.files.Content(kFile) : "(none)";
    std::string error;
    try {
      f.AppendLines({"line"}, true);
    } catch (const EInOutError& e) {
      error = e.what();
    }
    EXPECT_EQ(c.expected, error);
    EXPECT_EQ(0, q.files.OpenFiles());
  }
}

TEST_F(UndoFileTest, AWriteThatStopsHalfwayLeavesItsPartMarkedAsCutShort) {
  undo.WriteReg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\E]");
  p.files.FailWriteAfter(1);
  const std::string error = ErrorOf([&] {
    undo.AppendLines({"\"Big\"=hex:01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,14,15,16,\\",
                           "17,18,19", ""},
                    true);
  });
  EXPECT_EQ(std::string("Cannot write to the undo file ") + kFile + ": The system cannot write to the specified device.",
            error);
  const regfile::Merge merge = regfile::Read(p.files.Content(kFile));
  for (const auto& step : merge.steps) EXPECT_EQ('K', step.kind) << "a part of a value would be merged";
  EXPECT_NE(std::string::npos, p.files.Content(kFile).find(std::string("\n") + kCutShortLine));
}

// Within one command the day's file is read once, however many writes the command makes and however
// large the file has grown: a removal of many values costs what it writes. Each command reads it
// afresh, since another copy of the program may have written between two.
TEST_F(UndoFileTest, ACommandReadsTheDaysFileOnceWhateverItsSize) {
  const std::string days = "REGEDIT4\r\n\r\n" + std::string(1 << 20, ';') + "\r\n";
  p.files.AddFile(kFile, days);
  for (int command = 1; command <= 2; ++command) {
    p.files.ResetCalls();
    UndoBlock block(undo, [] { return UndoFormat::kRegedit4; });
    for (int value = 0; value < 50; ++value) undo.AppendLines({"\"V" + std::to_string(value) + "\"=dword:00000001"}, true);
    EXPECT_LT(p.files.Calls().bytesRead, static_cast<std::int64_t>(days.size()) * 2) << "command " << command;
    EXPECT_GE(p.files.Calls().bytesRead, static_cast<std::int64_t>(days.size())) << "command " << command;
  }
}

// From a command's first line to its end, its file is held open: another program can neither delete
// nor rename it, so no line of the command goes to a file without the lines before it.
TEST_F(UndoFileTest, ACommandHoldsItsFileFromItsFirstLineToItsEnd) {
  {
    UndoBlock block(undo, [] { return UndoFormat::kRegedit4; });
    undo.WriteReg("[HKEY_LOCAL_MACHINE\\K]");
    std::uint32_t error = 0;
    EXPECT_FALSE(p.files.RemoveFile(kFile));
    EXPECT_FALSE(p.files.RenameFile(kFile, std::string(kFile) + ".old", &error));
    EXPECT_EQ(kErrorSharingViolation, error);
    undo.AppendLines({"\"a\"=\"b\""}, true);
  }
  EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=\"b\"\r\n", p.files.Content(kFile));
  EXPECT_EQ(0, p.files.OpenFiles());
  EXPECT_TRUE(p.files.RemoveFile(kFile)) << "let go when the command ends";
}

// A user without the right to write beside the program (installed under Program Files) keeps the
// undo files in their own %LOCALAPPDATA%\Tidewell\Backup from then on; without that variable the
// failure stands, naming the file.
TEST_F(UndoFileTest, AFolderThatCannotBeWrittenGivesWayToTheUsersOwn) {
  const std::string users = "C:\\Users\\ann\\AppData\\Local";
  const struct {
    const char* what;
    std::function<void(MemoryPlatform&)> arrange;
    bool variable;
    std::string folder;  // empty: the write fails
  } cases[] = {
      {"the program's folder read-only, no Backup in it",
       [](MemoryPlatform& q) { q.files.SetFolderReadOnly("C:\\Tools\\Tidewell", true); }, true,
       users + "\\Tidewell\\Backup"},
      {"Backup read-only", [](MemoryPlatform& q) { q.files.AddFolder(kFolder); q.files.SetFolderReadOnly(kFolder, true); },
       true, users + "\\Tidewell\\Backup"},
      {"Backup writable", [](MemoryPlatform&) {}, true, kFolder},
      {"no variable", [](MemoryPlatform& q) { q.files.SetFolderReadOnly("C:\\Tools\\Tidewell", true); }, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform q;
    if (c.variable) q.files.SetEnvironment("LOCALAPPDATA", users);
    c.arrange(q);
    UndoFile f(q.files, q.system, kFolder, "Undo20261207", UserBackupFolder(q.files));
    if (c.folder.empty()) {
      EXPECT_THROW(f.WriteReg("a"), EInOutError);
      continue;
    }
    f.WriteReg("a");
    f.WriteReg("b");
    EXPECT_EQ(c.folder, f.Folder());
    EXPECT_EQ(c.folder + "\\Undo20261207.reg", f.FileName());
    EXPECT_EQ("REGEDIT4\r\n\r\na\r\nb\r\n", q.files.Content(f.FileName()));
  }
}

TEST_F(UndoFileTest, LinesWrittenWithAFlushReachTheDiskOrRaise) {
  p.files.ResetCalls();
  undo.AppendLines({"x"}, true);
  EXPECT_EQ(1, p.files.Calls().flushes);
  undo.AppendLines({"y"}, false);
  EXPECT_EQ(1, p.files.Calls().flushes) << "a flush only when asked";
  p.files.FailFlushes(true);
  EXPECT_EQ(std::string("Cannot flush the undo file ") + kFile +
                " to the disk: The system cannot write to the specified device.",
            ErrorOf([&] { undo.AppendLines({"z"}, true); }));
}

// The Unicode file: its byte-order mark and header, then every line in UTF-16LE. The REGEDIT4 file
// is not made; a line written outside the change's block goes to it again.
TEST_F(UndoFileTest, TheUnicodeFileBeginsWithItsMarkAndHeaderAndHoldsLinesInUtf16) {
  {
    UndoBlock block(undo, [] { return UndoFormat::kUnicode; });
    undo.WriteReg("[HKEY_LOCAL_MACHINE\\\xe8\xa1\xa8]");
    UndoBlock inner(undo, [] { return UndoFormat::kRegedit4; });
    undo.AppendLines({"\"\xce\xb1\"=dword:00000001", ""}, true);
  }
  EXPECT_EQ(kMark + U(std::string(kVersion5) + "\r\n\r\n[HKEY_LOCAL_MACHINE\\\xe8\xa1\xa8]\r\n\"\xce\xb1\"=dword:00000001\r\n\r\n"),
            p.files.Content(kUnicodeFile)) << "the inner block keeps the outer one's file";
  EXPECT_FALSE(p.files.FileExistsAt(kFile));
  undo.WriteReg("after");
  EXPECT_EQ("REGEDIT4\r\n\r\nafter\r\n", p.files.Content(kFile));
}

// A line that the REGEDIT4 file cannot carry is refused with all the lines of its write.
TEST_F(UndoFileTest, ALineTheRegedit4FileCannotCarryIsRefusedWithItsWrite) {
  undo.WriteReg("[HKEY_LOCAL_MACHINE\\A]");
  EXPECT_EQ(std::string("Cannot write to the undo file ") + kFile +
                ": a name or text of this change holds characters the file cannot carry",
            ErrorOf([&] { undo.AppendLines({"\"ok\"=dword:00000001", "\"\xce\xb1\"=dword:00000001"}, true); }));
  EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", p.files.Content(kFile));
}

TEST_F(UndoFileTest, WriteRegKeepsNothingOpenAndDoesNotFlush) {
  p.files.ResetCalls();
  undo.WriteReg("a");
  undo.WriteReg("b");
  EXPECT_EQ(0, p.files.Calls().flushes);
  EXPECT_EQ(0, p.files.OpenFiles());
}

}  // namespace
