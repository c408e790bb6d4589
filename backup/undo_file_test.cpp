#include "backup/undo_file.h"

#include <gtest/gtest.h>

#include <string>

#include "app/form1.h"
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
  UndoFileTest() { form.UndoStem = "Undo20261207"; }
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
  TForm1 form{p.platform()};
};

TEST_F(UndoFileTest, TheFirstLineMakesTheFolderAndTheFileWithItsHeader) {
  ASSERT_FALSE(p.files.FolderExistsAt(kFolder));
  form.WriteReg("x");
  EXPECT_TRUE(p.files.FolderExistsAt(kFolder));
  EXPECT_EQ("REGEDIT4\r\n\r\nx\r\n", p.files.Content(kFile));
  form.WriteReg("[HKEY_LOCAL_MACHINE\\A]");
  form.WriteReg("");
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
  TForm1 other(Platform{p.registry, racing, p.system, p.processes, p.ui});
  other.UndoStem = "Undo20261207";
  other.WriteReg("[HKEY_LOCAL_MACHINE\\Mine]");
  EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Other]\r\n\"Name\"=\"Other\"\r\n\r\n[HKEY_LOCAL_MACHINE\\Mine]\r\n",
            p.files.Content(kFile));
}

TEST_F(UndoFileTest, MissingParentFoldersAreMadeToo) {
  p.system.executablePath = "C:\\Deep\\Er\\Tidewell.exe";
  TForm1 deep(p.platform());
  deep.UndoStem = "Undo20261207";
  deep.WriteReg("");
  EXPECT_EQ("REGEDIT4\r\n\r\n\r\n", p.files.Content("C:\\Deep\\Er\\Backup\\Undo20261207.reg"));
}

TEST_F(UndoFileTest, OnlyTheExactHeaderIsAppendedToAndAnythingElseIsKeptBesideIt) {
  const struct {
    const char* name;
    std::string before;
    bool appended;
  } cases[] = {
      {"header", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", true},
      {"header with LF only", "REGEDIT4\n\n", true},
      {"empty file", "", false},
      {"lower-case header", "regedit4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", false},
      {"trailing blank", "REGEDIT4 \r\n\r\n", false},
      {"header without its line break", "REGEDIT4", false},
      {"byte-order mark", "\xef\xbb\xbfREGEDIT4\r\n\r\n", false},
      {"version 5", "Windows Registry Editor Version 5.00\r\n\r\n", false},
      {"two headers on one line", "REGEDIT4REGEDIT4\r\n", false},
      {"wide text", std::string("\xff\xfeR\0E\0", 6), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryPlatform q;
    TForm1 f(q.platform());
    f.UndoStem = "Undo20261207";
    q.files.AddFile(kFile, c.before);
    f.WriteReg("new");
    if (c.appended) {
      EXPECT_EQ(c.before + "new\r\n", q.files.Content(kFile));
      EXPECT_FALSE(q.files.FileExistsAt(kAside));
    } else {
      EXPECT_EQ("REGEDIT4\r\n\r\nnew\r\n", q.files.Content(kFile));
      if (c.before.empty()) {
        EXPECT_FALSE(q.files.FileExistsAt(kAside)) << "an empty file holds nothing to keep";
      } else {
        EXPECT_EQ(c.before, q.files.Content(kAside)) << "kept byte for byte";
      }
    }
  }
}

TEST_F(UndoFileTest, AKeptFileNeverReplacesAnEarlierOne) {
  p.files.AddFile(kAside, "first");
  p.files.AddFile(kFile, "second");
  form.WriteReg("a");
  p.files.AddFile("C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg", "third");
  form.WriteReg("b");
  EXPECT_EQ("first", p.files.Content(kAside));
  EXPECT_EQ("second", p.files.Content("C:\\Tools\\Tidewell\\Backup\\Undo20261207.bad2.reg"));
  EXPECT_EQ("third", p.files.Content("C:\\Tools\\Tidewell\\Backup\\Undo20261207.bad3.reg"));
  EXPECT_EQ("REGEDIT4\r\n\r\nb\r\n", p.files.Content(kFile));
}

// Lines that an earlier write left cut short are marked so that a merge takes none of them for a
// value and the lines after them still reach their key.
TEST_F(UndoFileTest, LinesCutShortByAnEarlierWriteAreNeitherMergedNorAllowedToSwallowNewLines) {
  const std::string start = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n\"Kept\"=dword:00000001\r\n";
  const struct {
    const char* name;
    std::string tail;
  } cases[] = {
      {"inside a continued value", "\"Big\"=hex:01,02,03,\\\r\n"},
      {"inside a line of bytes", "\"Big\"=hex:01,02,0"},
      {"after a CR", "\"Big\"=hex:01,02,\\\r"},
      {"inside a number", "\"Big\"=dword:0000"},
      {"inside a key line", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ne"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryPlatform q;
    TForm1 f(q.platform());
    f.UndoStem = "Undo20261207";
    q.files.AddFile(kFile, start + c.tail);
    AppendUndoLines(f, {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]", "\"Fresh\"=dword:00000002", ""}, false);
    const std::string content = q.files.Content(kFile);
    EXPECT_EQ(start + c.tail, content.substr(0, start.size() + c.tail.size())) << "nothing rewritten";
    const regfile::Merge merge = regfile::Read(content);
    std::vector<std::string> values;
    for (const auto& step : merge.steps)
      if (step.kind == 'V') values.push_back(step.path + ":" + step.value.name);
    EXPECT_EQ((std::vector<std::string>{"SOFTWARE\\Old:Kept", "SOFTWARE\\New:Fresh"}), values);
  }
  MemoryPlatform q;
  TForm1 f(q.platform());
  f.UndoStem = "Undo20261207";
  q.files.AddFile(kFile, start);
  f.WriteReg("x");
  EXPECT_EQ(start + "x\r\n", q.files.Content(kFile)) << "a whole file gets no mark";
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
    TForm1 f(q.platform());
    f.UndoStem = "Undo20261207";
    c.arrange(q);
    const std::string before = q.files.FileExistsAt(kFile) ? q.files.Content(kFile) : "(none)";
    std::string error;
    try {
      AppendUndoLines(f, {"line"}, true);
    } catch (const EInOutError& e) {
      error = e.what();
    }
    EXPECT_EQ(c.expected, error);
    EXPECT_EQ(0, q.files.OpenFiles());
  }
}

TEST_F(UndoFileTest, AWriteThatStopsHalfwayLeavesItsPartMarkedAsCutShort) {
  form.WriteReg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\E]");
  p.files.FailWriteAfter(1);
  const std::string error = ErrorOf([&] {
    AppendUndoLines(form, {"\"Big\"=hex:01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,14,15,16,\\",
                           "17,18,19", ""},
                    true);
  });
  EXPECT_EQ(std::string("Cannot write to the undo file ") + kFile + ": The system cannot write to the specified device.",
            error);
  const regfile::Merge merge = regfile::Read(p.files.Content(kFile));
  for (const auto& step : merge.steps) EXPECT_EQ('K', step.kind) << "a part of a value would be merged";
  EXPECT_NE(std::string::npos, p.files.Content(kFile).find(kCutShortLine));
}

TEST_F(UndoFileTest, FlushUndoReachesTheDiskOrRaises) {
  EXPECT_NE("", ErrorOf([&] { form.FlushUndo(); })) << "no file: the change it should back up must not go ahead";
  form.WriteReg("x");
  p.files.ResetCalls();
  form.FlushUndo();
  EXPECT_EQ(1, p.files.Calls().flushes);
  EXPECT_EQ(0, p.files.Calls().writes);
  p.files.FailFlushes(true);
  EXPECT_EQ(std::string("Cannot flush the undo file ") + kFile +
                " to the disk: The system cannot write to the specified device.",
            ErrorOf([&] { form.FlushUndo(); }));
  EXPECT_EQ("REGEDIT4\r\n\r\nx\r\n", p.files.Content(kFile));
}

TEST_F(UndoFileTest, ConvertStEscapesForTheQuotedParts) {
  EXPECT_EQ("\\\\\\\"\\r\\n", form.ConvertSt("\\\"\r\n"));
  EXPECT_EQ(8u, form.ConvertSt("\\\"\r\n").size());
  EXPECT_EQ("\x80\xff plain", form.ConvertSt("\x80\xff plain"));
}

// The Unicode file: its byte-order mark and header, then every line in UTF-16LE. The REGEDIT4 file
// is not made; a line written outside the change's block goes to it again.
TEST_F(UndoFileTest, TheUnicodeFileBeginsWithItsMarkAndHeaderAndHoldsLinesInUtf16) {
  {
    UndoBlock block(form, [] { return UndoFormat::kUnicode; });
    form.WriteReg("[HKEY_LOCAL_MACHINE\\\xe8\xa1\xa8]");
    UndoBlock inner(form, [] { return UndoFormat::kRegedit4; });
    AppendUndoLines(form, {"\"\xce\xb1\"=dword:00000001", ""}, true);
  }
  EXPECT_EQ(kMark + U(std::string(kVersion5) + "\r\n\r\n[HKEY_LOCAL_MACHINE\\\xe8\xa1\xa8]\r\n\"\xce\xb1\"=dword:00000001\r\n\r\n"),
            p.files.Content(kUnicodeFile)) << "the inner block keeps the outer one's file";
  EXPECT_FALSE(p.files.FileExistsAt(kFile));
  form.WriteReg("after");
  EXPECT_EQ("REGEDIT4\r\n\r\nafter\r\n", p.files.Content(kFile));
}

TEST_F(UndoFileTest, OnlyTheExactHeaderOfTheUnicodeFileIsAppendedTo) {
  const struct {
    const char* name;
    std::string before;
    bool appended;
  } cases[] = {
      {"header", kMark + U(std::string(kVersion5) + "\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n"), true},
      {"header with LF only", kMark + U(std::string(kVersion5) + "\n\n"), true},
      {"empty file", "", false},
      {"no byte-order mark", U(std::string(kVersion5) + "\r\n\r\n"), false},
      {"the REGEDIT4 header", "REGEDIT4\r\n\r\n", false},
      {"version 5 in single bytes", std::string(kVersion5) + "\r\n\r\n", false},
      {"another version", kMark + U("Windows Registry Editor Version 5.01\r\n"), false},
      {"header without its line break", kMark + U(kVersion5), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryPlatform q;
    TForm1 f(q.platform());
    f.UndoStem = "Undo20261207";
    q.files.AddFile(kUnicodeFile, c.before);
    UndoBlock block(f, [] { return UndoFormat::kUnicode; });
    f.WriteReg("new \xce\xb1");
    if (c.appended) {
      EXPECT_EQ(c.before + U("new \xce\xb1\r\n"), q.files.Content(kUnicodeFile));
      EXPECT_FALSE(q.files.FileExistsAt(kUnicodeAside));
    } else {
      EXPECT_EQ(kMark + U(std::string(kVersion5) + "\r\n\r\nnew \xce\xb1\r\n"), q.files.Content(kUnicodeFile));
      EXPECT_EQ(c.before.empty(), !q.files.FileExistsAt(kUnicodeAside));
      if (!c.before.empty()) {
        EXPECT_EQ(c.before, q.files.Content(kUnicodeAside)) << "kept byte for byte";
      }
    }
  }
}

// Lines that an earlier write left cut short in the Unicode file, half a unit included, are marked
// so that a merge takes none of them for a value and the lines after them still reach their key.
TEST_F(UndoFileTest, LinesCutShortInTheUnicodeFileAreMarkedAfterTheirLastWholeUnit) {
  const std::string start = kMark + U(std::string(kVersion5) + "\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
                                      "\"Kept\"=dword:00000001\r\n");
  const struct {
    const char* name;
    std::string tail;
    bool marked;
  } cases[] = {
      {"whole", "", false},
      {"inside a continued value", U("\"Big\"=hex:01,02,03,\\\r\n"), true},
      {"inside a line of bytes", U("\"Big\"=hex:01,02,0"), true},
      {"half a unit", U("\"Big\"=hex:01,02").append("\x30", 1), true},
      {"after a CR", U("\"Big\"=hex:01,\\\r"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryPlatform q;
    TForm1 f(q.platform());
    f.UndoStem = "Undo20261207";
    q.files.AddFile(kUnicodeFile, start + c.tail);
    UndoBlock block(f, [] { return UndoFormat::kUnicode; });
    AppendUndoLines(f, {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]", "\"Fresh\"=dword:00000002", ""}, false);
    const std::string content = q.files.Content(kUnicodeFile);
    EXPECT_EQ(start + c.tail, content.substr(0, start.size() + c.tail.size())) << "nothing rewritten";
    EXPECT_EQ(0u, content.size() % 2);
    EXPECT_EQ(c.marked, content.find(U(kCutShortLine)) != std::string::npos);
    std::vector<std::string> values;
    for (const auto& step : regfile::Read(content).steps)
      if (step.kind == 'V') values.push_back(step.path + ":" + step.value.name);
    EXPECT_EQ((std::vector<std::string>{"SOFTWARE\\Old:Kept", "SOFTWARE\\New:Fresh"}), values);
  }
}

// A line that the REGEDIT4 file cannot carry is refused with all the lines of its write.
TEST_F(UndoFileTest, ALineTheRegedit4FileCannotCarryIsRefusedWithItsWrite) {
  form.WriteReg("[HKEY_LOCAL_MACHINE\\A]");
  EXPECT_EQ(std::string("Cannot write to the undo file ") + kFile +
                ": a name or text of this change holds characters the file cannot carry",
            ErrorOf([&] { AppendUndoLines(form, {"\"ok\"=dword:00000001", "\"\xce\xb1\"=dword:00000001"}, true); }));
  EXPECT_EQ("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\n", p.files.Content(kFile));
}

TEST_F(UndoFileTest, WriteRegKeepsNothingOpenAndDoesNotFlush) {
  p.files.ResetCalls();
  form.WriteReg("a");
  form.WriteReg("b");
  EXPECT_EQ(0, p.files.Calls().flushes);
  EXPECT_EQ(0, p.files.OpenFiles());
}

}  // namespace
