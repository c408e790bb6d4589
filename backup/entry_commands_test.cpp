#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "backup/in_out_error.h"
#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "registry/nt_registry.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/stopping_files.h"

using namespace platform;

namespace {

constexpr const char* kFile = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg";
constexpr const char* kUnicodeFile = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.unicode.reg";
constexpr const char* kEntries = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kEntryLine = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Entry(const std::string& name) { return std::string(kEntries) + "\\" + name; }

// String data as the registry keeps it.
std::string Wide(const std::string& text) { return Utf16LeFromUtf8(text); }

// Two listed entries (Alpha with values of several types and subkeys, Beta), one entry without a
// display name that only "All Entries" shows, and two installer products.
void Seed(MemoryPlatform& p) {
  MemoryRegistry& r = p.registry;
  p.files.AddFile("C:\\Alpha\\unins000.exe");
  r.SetString(kHkeyLocalMachine, Entry("Alpha"), "DisplayName", "Alpha Tool");
  r.SetString(kHkeyLocalMachine, Entry("Alpha"), "UninstallString", "C:\\Alpha\\unins000.exe", kRegExpandSz);
  r.SetValue(kHkeyLocalMachine, Entry("Alpha"), "EstimatedSize", kRegDword, std::string("\x10\x27\0\0", 4));
  r.SetValue(kHkeyLocalMachine, Entry("Alpha"), "Blob", kRegBinary, std::string(40, '\xab'));
  r.SetValue(kHkeyLocalMachine, Entry("Alpha"), "List", kRegMultiSz, Wide(std::string("one\0two\0\0", 9)));
  r.SetValue(kHkeyLocalMachine, Entry("Alpha"), "Big", kRegQword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  r.SetString(kHkeyLocalMachine, Entry("Alpha\\Parts"), "", "the \"main\" part\\");
  r.SetValue(kHkeyLocalMachine, Entry("Alpha\\Parts\\Deeper"), "Nothing", kRegNone, "");
  r.SetString(kHkeyLocalMachine, Entry("Beta"), "DisplayName", "Beta");
  r.SetString(kHkeyLocalMachine, Entry("Beta"), "UninstallString", "C:\\Beta\\remove.exe /x");
  r.SetString(kHkeyLocalMachine, Entry("Hidden"), "Comment", "no display name");
  r.SetString(kHkeyClassesRoot, "Installer\\Products\\0A1B2C", "ProductName", "Product A");
  r.SetString(kHkeyClassesRoot, "Installer\\Products\\0A1B2C\\SourceList", "PackageName", "a.msi");
  r.AddKey(kHkeyClassesRoot, "Installer\\Products\\9F8E7D");
}

// A seeded platform and a window after its first scan; with `stoppable`, its file calls go through
// a file system that can end the program at a chosen call.
struct Scene {
  explicit Scene(bool stoppable = false)
      : form(Platform{p.registry, stoppable ? static_cast<FileSystem&>(stopping) : p.files, p.system, p.processes,
                      p.ui}) {
    Seed(p);
    form.FormCreate();
  }
  ~Scene() {
    EXPECT_EQ(0, p.registry.OpenHandles()) << "a registry handle leaked";
    EXPECT_EQ(0, p.files.OpenFiles()) << "a file handle leaked";
  }

  std::string Undo() const { return p.files.FileExistsAt(kFile) ? p.files.Content(kFile) : "(no file)"; }
  int Row(const std::string& keyName) const {
    for (int i = 0; i < form.ListView1.Count(); ++i)
      if (form.ListView1.Item(i).SubItems.at(0) == keyName) return i;
    return -1;
  }
  static int Line(const TListBox& list, const std::string& text) {
    for (int i = 0; i < list.Count(); ++i)
      if (list.Items()[i] == text) return i;
    return -1;
  }
  // The Uninstall key with the day's undo files merged over it, as the registry editor would leave
  // it: the REGEDIT4 file read in the system's code page, and the Unicode one.
  regfile::Tree Merged() {
    regfile::Tree merged = regfile::Snapshot(p.registry, kHkeyLocalMachine, kEntries);
    const regfile::AnsiDecoder decode = [this](const std::string& ansi) { return p.system.FromAnsiCodePage(ansi); };
    for (const char* file : {kFile, kUnicodeFile})
      if (p.files.FileExistsAt(file)) regfile::Read(p.files.Content(file), decode).ApplyTo(merged, "HKEY_LOCAL_MACHINE");
    return regfile::Subtree(merged, kEntries);
  }

  MemoryPlatform p;
  StoppingFiles stopping{p.files};
  TForm1 form;
};

class EntryCommandsTest : public ::testing::Test {
 protected:
  Scene s;
  MemoryPlatform& p = s.p;
  TForm1& form = s.form;
};

// The lines that removing Alpha leaves in the undo file, after the header.
const std::vector<std::string> kAlphaLines = {
    std::string(kEntryLine) + "Alpha]",
    "\"DisplayName\"=\"Alpha Tool\"",
    "\"UninstallString\"=hex(2):43,3A,5C,41,6C,70,68,61,5C,75,6E,69,6E,73,30,30,30,\\",
    "2E,65,78,65,00",
    "",
    "\"EstimatedSize\"=dword:00002710",
    "\"Blob\"=hex:AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,\\",
    "AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB,AB",
    "",
    "\"List\"=hex(7):6F,6E,65,00,74,77,6F,00,00",
    "",
    "\"Big\"=hex(b):01,02,03,04,05,06,07,08",
    "",
    std::string(kEntryLine) + "Alpha\\Parts]",
    "@=\"the \\\"main\\\" part\\\\\"",
    std::string(kEntryLine) + "Alpha\\Parts\\Deeper]",
    "\"Nothing\"=hex(0):",
    "",
    "",
};

std::string File(const std::vector<std::string>& lines) {
  std::string text = "REGEDIT4\r\n\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

TEST_F(EntryCommandsTest, EachCommandHoldsTheUndoLockAcrossItsWritesOrChangesNothing) {
  const std::string lock = "Global\\Tidewell.UndoFile";
  const struct {
    const char* name;
    std::function<void(TForm1&)> command;
  } commands[] = {
      {"Remove Entry", [](TForm1& f) { f.RemoveEntry("Alpha"); }},
      {"Save Changes",
       [](TForm1& f) {
         f.ListView1.Select(0);
         f.Edit3.SetText("C:\\New\\u.exe");
         f.Button15Click();
       }},
      {"Delete a product",
       [](TForm1& f) {
         f.ListBox3.ItemIndexFromUser(0);
         f.Button9Click();
       }},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.name);
    {
      Scene scene;
      scene.p.ui.answers = {kIdYes};
      scene.p.system.mutexLog.clear();
      c.command(scene.form);
      EXPECT_EQ((std::vector<std::string>{"create " + lock + " new", "wait " + lock + " 30000 ms", "release " + lock,
                                          "close " + lock}),
                scene.p.system.mutexLog);
      EXPECT_NE("(no file)", scene.Undo());
    }
    {
      // Another copy holds it for longer than the wait: nothing is written or changed.
      Scene scene;
      scene.p.ui.answers = {kIdYes};
      scene.p.system.mutexHeld[lock] = true;
      const std::string before = scene.p.registry.Dump(kHkeyLocalMachine, "") +
                                 scene.p.registry.Dump(kHkeyClassesRoot, "");
      EXPECT_THROW(c.command(scene.form), EInOutError);
      EXPECT_EQ(before, scene.p.registry.Dump(kHkeyLocalMachine, "") + scene.p.registry.Dump(kHkeyClassesRoot, ""));
      EXPECT_EQ("(no file)", scene.Undo());
      EXPECT_EQ(0, scene.p.system.openMutexes);
    }
  }
}

TEST_F(EntryCommandsTest, WithoutASelectionTheCommandsAskForOneAndChangeNothing) {
  const std::string before = p.registry.Dump(kHkeyLocalMachine, kEntries);
  form.ListView1.SelectedFromUser(-1);
  form.Button2Click();
  form.Button8Click();
  form.Button9Click();
  form.Button15Click();
  EXPECT_EQ((std::vector<std::string>{kSelectFirst, kSelectFirst, kSelectFirst}), p.ui.Texts("message"));
  EXPECT_TRUE(p.ui.Texts("ask").empty());
  EXPECT_EQ(before, p.registry.Dump(kHkeyLocalMachine, kEntries));
  EXPECT_EQ("(no file)", s.Undo());
}

TEST_F(EntryCommandsTest, RemoveEntryFromEitherListAsksThenBacksUpThenRemoves) {
  for (const bool fromMainList : {true, false}) {
    SCOPED_TRACE(fromMainList ? "Remove Entry" : "All Entries");
    Scene scene;
    MemoryPlatform& q = scene.p;
    TForm1& f = scene.form;
    const auto click = [&] {
      if (fromMainList) {
        for (int i = 0; i < f.ListView1.Count(); ++i)
          if (f.ListView1.Item(i).SubItems.at(0) == "Alpha") f.ListView1.SelectedFromUser(i);
        f.Button2Click();
      } else {
        for (int i = 0; i < f.ListBox2.Count(); ++i)
          if (f.ListBox2.Items()[i] == "Alpha") f.ListBox2.ItemIndexFromUser(i);
        f.Button8Click();
      }
    };
    const std::string before = q.registry.Dump(kHkeyLocalMachine, kEntries);
    q.ui.answers = {kIdNo};
    click();
    EXPECT_EQ(before, q.registry.Dump(kHkeyLocalMachine, kEntries));
    EXPECT_FALSE(q.files.FileExistsAt(kFile));
    q.ui.answers = {kIdYes};
    click();
    ASSERT_EQ(2u, q.ui.shown.size());
    for (const auto& shown : q.ui.shown) {
      EXPECT_EQ("ask", shown.kind);
      EXPECT_EQ("Are you sure you want to remove this entry?", shown.text);
      EXPECT_EQ("Remove Entry?", shown.caption);
      EXPECT_EQ(0x14u, shown.style);
    }
    EXPECT_EQ(File(kAlphaLines), q.files.Content(kFile));
    EXPECT_FALSE(q.registry.KeyExists(kHkeyLocalMachine, Entry("Alpha")));
    EXPECT_TRUE(q.registry.KeyExists(kHkeyLocalMachine, Entry("Beta")));
    for (int i = 0; i < f.ListView1.Count(); ++i) EXPECT_NE("Alpha", f.ListView1.Item(i).SubItems.at(0));
    for (const std::string& line : f.ListBox2.Items()) EXPECT_NE("Alpha", line);
    EXPECT_EQ(1, f.ListBox1.Count()) << "the Backups page lists the new undo file";
    EXPECT_EQ(1, q.ui.processMessagesCalls);
  }
}

TEST_F(EntryCommandsTest, AnEmptyKeyNameIsRefused) {
  const std::string before = p.registry.Dump(kHkeyLocalMachine, kEntries);
  p.ui.answers = {kIdYes};
  form.RemoveEntry("");
  EXPECT_TRUE(p.ui.shown.empty());
  EXPECT_EQ(before, p.registry.Dump(kHkeyLocalMachine, kEntries));
  EXPECT_EQ("(no file)", s.Undo());
}

TEST_F(EntryCommandsTest, AnEntryThatIsGoneStillGetsItsEmptyLine) {
  form.ListBox2.ItemIndexFromUser(Scene::Line(form.ListBox2, "Beta"));
  p.registry.FailFromCall(-1);
  TNTRegistry reg(p.registry);
  reg.SetRoot(kHkeyLocalMachine);
  reg.DeleteTree("\\" + Entry("Beta"));
  p.ui.answers = {kIdYes};
  form.Button8Click();
  EXPECT_EQ(File({""}), s.Undo());
  EXPECT_EQ(-1, Scene::Line(form.ListBox2, "Beta"));
}

TEST_F(EntryCommandsTest, ADeletionTheRegistryRefusesIsSaidAfterItsLinesAreWritten) {
  p.registry.LimitAccess(kHkeyLocalMachine, Entry("Beta"), kKeyRead);
  form.ListView1.SelectedFromUser(s.Row("Beta"));
  p.ui.answers = {kIdYes};
  form.Button2Click();
  EXPECT_EQ((std::vector<std::string>{
                "Tidewell could not remove all of 'Beta': 2 values remain in "
                "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Beta (the registry "
                "refused to delete them: access denied), and the key that holds them stays. Run Tidewell as an "
                "administrator to remove the rest. What was removed is in the day's undo file."}),
            p.ui.Texts("error"));
  EXPECT_EQ(File({std::string(kEntryLine) + "Beta]", "\"DisplayName\"=\"Beta\"",
                  "\"UninstallString\"=\"C:\\\\Beta\\\\remove.exe /x\"", ""}),
            s.Undo());
  EXPECT_GE(s.Row("Beta"), 0) << "still listed after the rescan";
}

TEST_F(EntryCommandsTest, RemovingAnInstallerProduct) {
  const struct {
    const char* name;
    std::string line;
    int answer;
    std::vector<std::string> message;
    bool asked;
    std::string removedKey;
  } cases[] = {
      {"name and key", "Product A - {0A1B2C", kIdYes, {}, true, "0A1B2C"},
      {"key alone", "9F8E7D", kIdYes, {}, true, "9F8E7D"},
      {"answered No", "Product A - {0A1B2C", kIdNo, {}, true, ""},
      {"name holding the separator", "X - {Y - {0A1B2C", kIdYes, {}, true, "0A1B2C"},
      {"gone meanwhile", "Product Z - {ABCDEF",
       kIdYes, {"The installer product ABCDEF is not registered any more."}, false, ""},
      {"no items", kNoItems, kIdYes, {"There are no items in this list to remove."}, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    MemoryPlatform& q = scene.p;
    TForm1& f = scene.form;
    const std::string before = q.registry.Dump(kHkeyClassesRoot, "Installer\\Products");
    // The list as the scan fills it, with the case's line selected.
    if (f.ListBox3.Items()[0] != c.line) {
      f.ListBox3.Clear();
      f.ListBox3.Add(c.line);
    }
    f.ListBox3.ItemIndexFromUser(0);
    q.ui.answers = {c.answer};
    f.Button9Click();
    EXPECT_EQ(c.message, q.ui.Texts("message"));
    ASSERT_EQ(c.asked ? 1u : 0u, q.ui.Texts("ask").size());
    if (c.asked) {
      EXPECT_EQ("Remove Entry?", q.ui.shown[0].caption);
      EXPECT_EQ(kMbYesNo, q.ui.shown[0].style) << "no icon";
    }
    if (c.removedKey.empty()) {
      EXPECT_EQ(before, q.registry.Dump(kHkeyClassesRoot, "Installer\\Products"));
      EXPECT_FALSE(q.files.FileExistsAt(kFile));
      continue;
    }
    EXPECT_FALSE(q.registry.KeyExists(kHkeyClassesRoot, "Installer\\Products\\" + c.removedKey));
    const std::string content = q.files.Content(kFile);
    EXPECT_EQ(0u, content.rfind("REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\Installer\\Products\\" + c.removedKey + "]\r\n", 0));
    EXPECT_NE("\r\n\r\n", content.substr(content.size() - 4)) << "no empty line after a product";
    for (const std::string& line : f.ListBox3.Items()) EXPECT_EQ(std::string::npos, line.find(c.removedKey));
  }
}

TEST_F(EntryCommandsTest, SaveChangesBacksUpTheOldCommandThenStoresThePlainString) {
  const struct {
    const char* name;
    std::function<void(MemoryRegistry&)> arrange;
    std::string edit;
    std::vector<std::string> lines;  // empty: nothing written
    std::string stored;              // the value's bytes afterwards; "-" for no value
    std::uint32_t storedType;
  } cases[] = {
      {"same text", [](MemoryRegistry&) {}, "C:\\Beta\\remove.exe /x", {}, Wide(std::string("C:\\Beta\\remove.exe /x\0", 22)), kRegSz},
      {"new text", [](MemoryRegistry&) {}, "C:\\Beta\\new.exe",
       {std::string(kEntryLine) + "Beta]", "\"UninstallString\"=\"C:\\\\Beta\\\\remove.exe /x\"", ""},
       Wide(std::string("C:\\Beta\\new.exe\0", 16)), kRegSz},
      {"empty text", [](MemoryRegistry&) {}, "",
       {std::string(kEntryLine) + "Beta]", "\"UninstallString\"=\"C:\\\\Beta\\\\remove.exe /x\"", ""},
       Wide(std::string("\0", 1)), kRegSz},
      {"old expandable string", [](MemoryRegistry& r) { r.SetString(kHkeyLocalMachine, Entry("Beta"), "UninstallString", "%P%\\u.exe", kRegExpandSz); },
       "u.exe", {std::string(kEntryLine) + "Beta]", "\"UninstallString\"=hex(2):25,50,25,5C,75,2E,65,78,65,00", ""},
       Wide(std::string("u.exe\0", 6)), kRegSz},
      {"old multi-string", [](MemoryRegistry& r) { r.SetValue(kHkeyLocalMachine, Entry("Beta"), "UninstallString", kRegMultiSz, Wide(std::string("a\0b\0\0", 5))); },
       "b", {std::string(kEntryLine) + "Beta]", "\"UninstallString\"=hex(7):61,00,62,00,00", ""},
       Wide(std::string("b\0", 2)), kRegSz},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scene scene;
    MemoryPlatform& q = scene.p;
    TForm1& f = scene.form;
    const int row = scene.Row("Beta");
    ASSERT_GE(row, 0);
    f.ListView1.SelectedFromUser(row);
    c.arrange(q.registry);
    f.Edit3.TextFromUser(c.edit);
    q.registry.SetString(kHkeyLocalMachine, Entry("Late"), "DisplayName", "Late");
    f.Button15Click();
    EXPECT_EQ(c.lines.empty() ? "(no file)" : File(c.lines), scene.Undo());
    const regfile::Tree tree = regfile::Snapshot(q.registry, kHkeyLocalMachine, Entry("Beta"));
    const regfile::Value& value = tree.at(regfile::Upper(Entry("Beta"))).at("UNINSTALLSTRING");
    EXPECT_EQ(c.storedType, value.type);
    EXPECT_EQ(c.stored, value.bytes);
    EXPECT_GE(Scene::Line(f.ListBox2, "Late"), 0) << "the scan ran";
  }
}

TEST_F(EntryCommandsTest, SaveChangesWithoutAnUninstallStringValue) {
  // Rows selected while they had a command, whose value then went away.
  TNTRegistry reg(p.registry);
  reg.SetRoot(kHkeyLocalMachine);
  const auto removeCommand = [&](const std::string& entry) {
    ASSERT_TRUE(reg.OpenPath("\\" + Entry(entry), false));
    reg.RemoveValue("UninstallString");
    reg.ClosePath();
  };
  form.ListView1.SelectedFromUser(s.Row("Beta"));
  removeCommand("Beta");
  form.Edit3.TextFromUser("");
  form.Button15Click();
  EXPECT_EQ("(no file)", s.Undo()) << "an empty text for a missing value changes nothing";
  EXPECT_EQ(-1, p.registry.Dump(kHkeyLocalMachine, Entry("Beta")).find("UninstallString"));

  form.ListView1.SelectedFromUser(s.Row("Alpha"));
  removeCommand("Alpha");
  form.Edit3.TextFromUser("new.exe");
  form.Button15Click();
  EXPECT_EQ(File({std::string(kEntryLine) + "Alpha]", "\"UninstallString\"=\"\"", ""}), s.Undo());
  ASSERT_TRUE(reg.OpenPath("\\" + Entry("Alpha"), false));
  EXPECT_EQ("new.exe", reg.ReadText("UninstallString"));
}

TEST_F(EntryCommandsTest, SaveChangesOnAValueThatIsNotTextRaisesBeforeWriting) {
  p.registry.SetValue(kHkeyLocalMachine, Entry("Beta"), "UninstallString", kRegDword, std::string(4, '\0'));
  form.ListView1.SelectedFromUser(s.Row("Beta"));
  form.Edit3.TextFromUser("x");
  EXPECT_THROW(form.Button15Click(), ERegistryException);
  EXPECT_EQ("(no file)", s.Undo());
}

// A removal goes whole to one file: the REGEDIT4 file when the code page carries every name and
// text of the entry, subkeys included, the Unicode file otherwise; the other file is not touched,
// and a merge gives the entry back as it was. Code pages 1252 and 932.
TEST(UndoFileChoiceTest, ARemovalGoesWholeToTheFileThatCarriesIt) {
  const struct {
    const char* what;
    unsigned codePage;
    std::string key, valueName, text, subkey;
    bool regedit4;
  } cases[] = {
      {"ASCII", 1252, "Gamma", "Note", "plain", "Sub", true},
      {"Latin-1", 1252, "Caf\xc3\xa9", "Gr\xc3\xb6\xc3\x9f" "e", "\xc2\xbd \xe2\x82\xac", "Sub", true},
      {"a Greek value name", 1252, "Gamma", "\xce\xb1", "plain", "Sub", false},
      {"a Chinese subkey", 1252, "Gamma", "Note", "plain", "\xe5\xad\x90", false},
      {"a combining accent", 1252, "Gamma", "Note", "e\xcc\x81", "Sub", false},
      {"Japanese", 932, "\xe8\xa1\xa8", "\xe3\x82\xbd", "\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\\", "\xe5\x8d\x81", true},
      {"Cyrillic", 932, "\xd0\x96", "\xd0\x98\xd0\xbc\xd1\x8f", "\xd0\xbe\xd0\xba", "Sub", true},
      {"Latin-1", 932, "Caf\xc3\xa9", "Note", "plain", "Sub", false},
      {"outside the BMP", 932, "Gamma", "Note", "\xf0\x9f\x98\x80", "Sub", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ", code page " + std::to_string(c.codePage));
    Scene scene;
    scene.p.system.ansiCodePage = c.codePage;
    MemoryRegistry& r = scene.p.registry;
    r.SetString(kHkeyLocalMachine, Entry(c.key), "DisplayName", c.text);
    r.SetString(kHkeyLocalMachine, Entry(c.key), c.valueName, c.text, kRegExpandSz);
    r.SetValue(kHkeyLocalMachine, Entry(c.key + "\\" + c.subkey), "List", kRegMultiSz,
               Wide(c.text + std::string(1, '\0') + c.text + std::string(2, '\0')));
    const regfile::Tree original = scene.Merged();
    scene.p.ui.answers = {kIdYes};
    scene.form.RemoveEntry(c.key);
    EXPECT_FALSE(r.KeyExists(kHkeyLocalMachine, Entry(c.key)));
    EXPECT_EQ(c.regedit4, scene.p.files.FileExistsAt(kFile));
    EXPECT_EQ(!c.regedit4, scene.p.files.FileExistsAt(kUnicodeFile));
    EXPECT_EQ(regfile::Describe(original), regfile::Describe(scene.Merged()));
  }
}

// Escaped as characters, then encoded: the backslash that is the second byte of 表 in code page 932
// is not doubled; the real backslash after it is.
TEST(UndoFileChoiceTest, ASecondByteBackslashIsWrittenOnceAndARealOneTwice) {
  Scene scene;
  scene.p.system.ansiCodePage = 932;
  scene.p.registry.SetString(kHkeyLocalMachine, Entry("T"), "V", "\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\\");
  scene.p.ui.answers = {kIdYes};
  scene.form.RemoveEntry("T");
  EXPECT_EQ(File({std::string(kEntryLine) + "T]", "\"V\"=\"\x90\xac\x90\xd1\x95\x5c\\\\\"", ""}), scene.Undo());
}

// A value that changes after its file was chosen, into text that file cannot carry, stops the
// removal before the value is deleted; the REGEDIT4 file never holds a text it would garble.
TEST_F(EntryCommandsTest, AValueChangedIntoTextTheFileCannotCarryStopsTheRemovalBeforeItGoes) {
  const std::string greek = "\xce\x95\xce\xbb\xce\xbb\xce\xac\\u.exe";
  int stops = 0;
  for (int k = 1; k < 120; ++k) {
    SCOPED_TRACE("changed before call " + std::to_string(k));
    Scene scene;
    MemoryRegistry& r = scene.p.registry;
    r.BeforeCall(k, [&] { r.SetString(kHkeyLocalMachine, Entry("Beta"), "UninstallString", greek); });
    scene.p.ui.answers = {kIdYes};
    try {
      scene.form.RemoveEntry("Beta");
    } catch (const EInOutError& error) {
      ++stops;
      EXPECT_NE(std::string::npos, std::string(error.what()).find("cannot carry")) << error.what();
      TNTRegistry reg(r);
      reg.SetRoot(kHkeyLocalMachine);
      ASSERT_TRUE(reg.OpenPath("\\" + Entry("Beta"), false));
      EXPECT_EQ(greek, reg.ReadText("UninstallString")) << "the changed value stays";
    }
    if (scene.p.files.FileExistsAt(kFile)) {
      EXPECT_EQ(std::string::npos, scene.p.files.Content(kFile).find('?'));
    }
  }
  EXPECT_GT(stops, 0);
}

// Starts "&Delete an entry >>" on Alpha, answered Yes, in the scene.
void RemoveAlpha(Scene& scene) {
  scene.form.ListBox2.ItemIndexFromUser(Scene::Line(scene.form.ListBox2, "Alpha"));
  scene.p.ui.answers = {kIdYes};
  scene.form.Button8Click();
}

// The merge of the undo file over whatever is left gives back the whole Uninstall key, wherever the
// removal was stopped: after each registry call in turn, at each write of the undo file, at each
// size of a full disk.
TEST_F(EntryCommandsTest, AStoppedRemovalLosesNothingThatAMergeDoesNotGiveBack) {
  const regfile::Tree original = s.Merged();
  const auto run = [&](const std::string& what, const std::function<void(MemoryPlatform&)>& fault) {
    SCOPED_TRACE(what);
    Scene scene;
    fault(scene.p);
    bool stopped = false;
    try {
      RemoveAlpha(scene);
    } catch (const std::exception&) {
      stopped = true;
    }
    scene.p.registry.FailFromCall(-1);
    scene.p.files.FailWriteAfter(-1);
    scene.p.files.SetDiskCapacity(-1);
    EXPECT_EQ(regfile::Describe(original), regfile::Describe(scene.Merged()));
    return stopped;
  };
  int calls = 0;
  {
    Scene scene;
    scene.p.registry.FailFromCall(1'000'000);
    RemoveAlpha(scene);
    calls = scene.p.registry.CallCount();
  }
  ASSERT_GT(calls, 50);
  for (int k = 1; k <= calls; ++k)
    run("registry calls fail from " + std::to_string(k), [k](MemoryPlatform& q) { q.registry.FailFromCall(k); });
  int stops = 0;
  for (int n = 1; n <= 20; ++n)
    stops += run("write " + std::to_string(n) + " stops halfway", [n](MemoryPlatform& q) { q.files.FailWriteAfter(n); });
  EXPECT_GE(stops, 12) << "each value and key line is a write of its own";
  for (int bytes = 0; bytes <= 800; bytes += 7)
    run("disk full at " + std::to_string(bytes), [bytes](MemoryPlatform& q) { q.files.SetDiskCapacity(bytes); });
  run("flushes fail", [](MemoryPlatform& q) { q.files.FailFlushes(true); });
}

// The program killed before any one of its file calls: whatever it deleted by then is in the file,
// whole.
TEST_F(EntryCommandsTest, AProgramKilledAtAnyFileCallLeavesAFileThatGivesEverythingBack) {
  const regfile::Tree original = s.Merged();
  bool finished = false;
  for (int k = 1; !finished; ++k) {
    SCOPED_TRACE("killed at file call " + std::to_string(k));
    ASSERT_LT(k, 500);
    Scene scene(true);
    scene.stopping.StopAtCall(k);
    try {
      RemoveAlpha(scene);
      finished = true;
    } catch (const ProgramStopped&) {
    }
    EXPECT_EQ(regfile::Describe(original), regfile::Describe(scene.Merged()));
    if (finished) {
      EXPECT_FALSE(scene.p.registry.KeyExists(kHkeyLocalMachine, Entry("Alpha")));
    }
  }
}

}  // namespace
