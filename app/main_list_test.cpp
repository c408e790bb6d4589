// The main list as people work with it: a filter over names, keys, publishers and commands in any
// script, sorting by any column, several entries selected and removed at once, the broken ones
// selected in one step, the line that says why, and the context menu's commands.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"

using namespace platform;

namespace {

const std::string kEntries = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kUndo = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg";
constexpr const char* kUnicodeUndo = "C:\\Tools\\Tidewell\\Backup\\Undo20261207.unicode.reg";

struct Seeded {
  const char* key;
  const char* name;
  const char* publisher;
  const char* command;
};

// Good Link: under C:\Apps; Broken Link: under C:\Gone; Missing Disk: on the CD-ROM drive D:.
const Seeded kSeeded[] = {
    {"eclair", "Éclair Mémo", "Pâtisserie SA", "C:\\Apps\\eclair.exe /x"},
    {"romashka", "Ромашка Офис", "ООО Ромашка", "C:\\Gone\\romashka.exe"},
    {"wechat", "微信 WeChat", "Tencent", "C:\\Apps\\wechat.exe"},
    {"greek", "Ελληνικά Εργαλεία", "Acme", "D:\\Setup\\greek.exe"},
    {"zebra", "Zebra Notes", "Vendor Z", "C:\\Gone\\zebra\\unins000.exe"},
    {"anchor", "anchor tools", "Vendor A", "C:\\Apps\\anchor.exe"},
    {"kelp", "Kelp Player", "Vendor K", "C:\\Gone\\kelp.exe"},
};

struct Window {
  Window() {
    p.files.AddDrive('D', kDriveCdrom);
    for (const char* file : {"C:\\Apps\\eclair.exe", "C:\\Apps\\wechat.exe", "C:\\Apps\\anchor.exe"}) p.files.AddFile(file);
    p.files.AddFolder("C:\\Gone\\zebra");
    for (const Seeded& s : kSeeded) {
      p.registry.SetString(kHkeyLocalMachine, kEntries + s.key, "DisplayName", s.name);
      p.registry.SetString(kHkeyLocalMachine, kEntries + s.key, "Publisher", s.publisher);
      p.registry.SetString(kHkeyLocalMachine, kEntries + s.key, "UninstallString", s.command);
      p.registry.SetValue(kHkeyLocalMachine, kEntries + s.key + "\\Parts", "Size", kRegDword, std::string(4, '\x07'));
    }
    form.FormCreate();
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (int i = 0; i < form.list.entryList.Count(); ++i) captions.push_back(form.list.entryList.Item(i).Caption);
    return captions;
  }
  std::vector<std::string> SelectedKeys() const {
    std::vector<std::string> keys;
    for (int row : form.list.entryList.SelectedRows()) keys.push_back(form.list.entryList.Item(row).SubItems.at(0));
    return keys;
  }
  int Row(const std::string& key) const {
    for (int i = 0; i < form.list.entryList.Count(); ++i)
      if (form.list.entryList.Item(i).SubItems.at(0) == key) return i;
    return -1;
  }
  void Filter(const std::string& text) {
    form.list.filterBox.TextFromUser(text);
    form.list.filterBox.Change();
  }
  void SelectKeys(const std::vector<std::string>& keys) {
    std::vector<int> rows;
    for (const std::string& key : keys) rows.push_back(Row(key));
    form.list.entryList.SelectionFromUser(rows);
    form.list.entryList.SelectItem();
  }
  MemoryPlatform p;
  MainWindow form{p.platform()};
};

TEST(ListTest, TheFilterMatchesNameKeyPublisherAndCommandInAnyScriptWithoutCase) {
  Window w;
  const struct {
    const char* filter;
    std::vector<std::string> shown;
    const char* count;
  } cases[] = {
      {"", {"anchor tools", "Éclair Mémo", "Kelp Player", "Zebra Notes", "Ελληνικά Εργαλεία", "Ромашка Офис", "微信 WeChat"}, ""},
      {"ÉCLAIR", {"Éclair Mémo"}, "1 of 7"},
      {"ромашка", {"Ромашка Офис"}, "1 of 7"},
      {"ΕΛΛΗΝΙΚΆ", {"Ελληνικά Εργαλεία"}, "1 of 7"},
      {"微信", {"微信 WeChat"}, "1 of 7"},
      {"vendor", {"anchor tools", "Kelp Player", "Zebra Notes"}, "3 of 7"},   // publishers
      {"KELP", {"Kelp Player"}, "1 of 7"},                                       // key and name
      {"c:\\gone", {"Kelp Player", "Zebra Notes", "Ромашка Офис"}, "3 of 7"},  // commands
      {"nothing like it", {}, "0 of 7"},
  };
  for (const auto& c : cases) {
    w.Filter(c.filter);
    EXPECT_EQ(c.shown, w.Captions()) << c.filter;
    EXPECT_EQ(c.count, w.form.list.filterCount.Caption()) << c.filter;
  }
}

TEST(ListTest, AnyColumnSortsAndASecondClickTurnsTheOrderRound) {
  Window w;
  const std::vector<std::string> byName = w.Captions();
  const struct {
    int column;
    std::vector<std::string> keys;
  } clicks[] = {
      {1, {"anchor", "eclair", "greek", "kelp", "romashka", "wechat", "zebra"}},
      {1, {"zebra", "wechat", "romashka", "kelp", "greek", "eclair", "anchor"}},
      // Broken Link first, then Missing Disk, then Good Link; names in their order within each.
      {4, {"kelp", "zebra", "romashka", "greek", "anchor", "eclair", "wechat"}},
      {4, {"wechat", "eclair", "anchor", "greek", "romashka", "zebra", "kelp"}},
      {0, {"anchor", "eclair", "kelp", "zebra", "greek", "romashka", "wechat"}},
  };
  for (const auto& click : clicks) {
    w.form.list.entryList.ColumnClick(click.column);
    std::vector<std::string> keys;
    for (int i = 0; i < w.form.list.entryList.Count(); ++i) keys.push_back(w.form.list.entryList.Item(i).SubItems.at(0));
    EXPECT_EQ(click.keys, keys) << "column " << click.column;
    EXPECT_EQ(click.column, w.form.list.entryList.SortColumn());
  }
  EXPECT_EQ(byName, w.Captions()) << "the name column, ascending, is the order the list starts with";
}

TEST(ListTest, TheSelectionStaysWithItsEntriesAcrossAFilterAndARescan) {
  Window w;
  w.SelectKeys({"kelp", "zebra"});
  w.Filter("zeb");
  EXPECT_EQ(std::vector<std::string>{"zebra"}, w.SelectedKeys()) << "a hidden entry is no longer selected";
  w.Filter("");
  EXPECT_EQ(std::vector<std::string>{"zebra"}, w.SelectedKeys());
  w.SelectKeys({"greek", "kelp"});
  w.form.list.entryList.ColumnClick(4);
  EXPECT_EQ((std::vector<std::string>{"kelp", "greek"}), w.SelectedKeys()) << "a new order keeps the selection";
  w.p.registry.SetString(kHkeyLocalMachine, kEntries + "aardvark", "DisplayName", "Aardvark");
  w.p.registry.SetString(kHkeyLocalMachine, kEntries + "aardvark", "UninstallString", "C:\\Gone\\a.exe");
  w.form.list.refreshButton.Click();
  EXPECT_EQ((std::vector<std::string>{"aardvark", "kelp", "greek"}).size() - 1, w.SelectedKeys().size());
  EXPECT_EQ((std::vector<std::string>{"kelp", "greek"}), w.SelectedKeys()) << "and so does a rescan";
}

TEST(ListTest, SelectAllBrokenLinkSelectsExactlyTheBrokenOnesShown) {
  Window w;
  w.form.commands.SelectBrokenLinks();
  EXPECT_EQ((std::vector<std::string>{"kelp", "zebra", "romashka"}), w.SelectedKeys());
  w.Filter("vendor");
  w.form.commands.SelectBrokenLinks();
  EXPECT_EQ((std::vector<std::string>{"kelp", "zebra"}), w.SelectedKeys());
  EXPECT_EQ("2 entries selected", w.form.list.statusWhy.Caption());
}

TEST(ListTest, SeveralEntriesGoAfterOneQuestionEachBackedUpAndTheFirstFailureStopsTheRest) {
  Window w;
  // Romashka's key refuses deletion: the removal stops there.
  w.p.registry.LimitAccess(kHkeyLocalMachine, kEntries + "romashka", kKeyRead);
  w.SelectKeys({"kelp", "zebra", "romashka", "greek", "anchor"});
  const regfile::Tree before = regfile::Snapshot(w.p.registry, kHkeyLocalMachine, kEntries.substr(0, kEntries.size() - 1));
  w.p.ui.answers = {kIdYes};
  w.form.commands.OnRemoveEntry();
  ASSERT_EQ(1u, w.p.ui.listLines.size()) << "one question for all of them";
  // The one whose uninstaller is there is marked, and the question says what its removal leaves.
  EXPECT_EQ((std::vector<std::string>{"anchor tools  (32-bit\\anchor)  - its uninstaller exists",
                                      "Kelp Player  (32-bit\\kelp)", "Zebra Notes  (32-bit\\zebra)",
                                      "Ελληνικά Εργαλεία  (32-bit\\greek)", "Ромашка Офис  (32-bit\\romashka)"}),
            w.p.ui.listLines[0]);
  EXPECT_NE(std::string::npos, w.p.ui.Texts("ask").at(0).find("1 of them has an uninstaller that exists"));
  for (const char* gone : {"anchor", "kelp", "zebra", "greek"})
    EXPECT_FALSE(w.p.registry.KeyExists(kHkeyLocalMachine, kEntries + gone)) << gone;
  EXPECT_TRUE(w.p.registry.KeyExists(kHkeyLocalMachine, kEntries + "romashka"));
  const auto errors = w.p.ui.Texts("error");
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ(0u, errors[0].find("Removed 4 of 5 entries. Tidewell partly removed 'Ромашка Офис'")) << errors[0];
  // The merge of the two undo files (names in Greek and Cyrillic go to the Unicode one) gives every
  // removed entry back whole.
  const std::string top = kEntries.substr(0, kEntries.size() - 1);
  regfile::Tree merged = regfile::Snapshot(w.p.registry, kHkeyLocalMachine, top);
  for (const char* file : {kUndo, kUnicodeUndo})
    if (w.p.files.FileExistsAt(file)) regfile::Read(w.p.files.Content(file)).ApplyTo(merged, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(regfile::Describe(before), regfile::Describe(regfile::Subtree(merged, top)));

  // A failure in the middle says what was not removed.
  Window v;
  v.p.registry.LimitAccess(kHkeyLocalMachine, kEntries + "kelp", kKeyRead);
  v.SelectKeys({"anchor", "kelp", "zebra"});
  v.p.ui.answers = {kIdYes};
  v.form.commands.OnRemoveEntry();
  EXPECT_TRUE(v.p.registry.KeyExists(kHkeyLocalMachine, kEntries + "zebra")) << "nothing after the failure";
  ASSERT_EQ(1u, v.p.ui.Texts("error").size());
  const std::string message = v.p.ui.Texts("error")[0];
  EXPECT_EQ(0u, message.find("Removed 1 of 3 entries.")) << message;
  EXPECT_NE(std::string::npos, message.find("Not removed: Zebra Notes.")) << message;

  // Answered No: nothing changes.
  Window n;
  const std::string dump = n.p.registry.Dump(kHkeyLocalMachine, kEntries);
  n.SelectKeys({"anchor", "kelp"});
  n.form.commands.OnRemoveEntry();
  EXPECT_EQ(dump, n.p.registry.Dump(kHkeyLocalMachine, kEntries));
  EXPECT_FALSE(n.p.files.FileExistsAt(kUndo));
  EXPECT_FALSE(n.p.files.FileExistsAt(kUnicodeUndo));
}

// Every line the status line shows, and a press of the test's when it says that the second of
// several entries is being removed (the first is gone by then).
struct StatusLine : TControl::Peer {
  void Update(TControl& control, Aspect aspect, int) override {
    if (aspect != Aspect::kCaption) return;
    lines.push_back(control.Caption());
    if (control.Caption().rfind("Removing 2 of ", 0) == 0 && onSecond) ui->pendingMessages.push_back(std::exchange(onSecond, {}));
  }
  MemoryUi* ui = nullptr;
  std::function<void()> onSecond;
  std::vector<std::string> lines;
};

// The removal of several entries lets the window's messages through between entries: a second
// Remove then, whichever way it comes, does nothing, and the buttons that change the registry stay
// disabled until the removal ends, also when it ends by an error.
TEST(ListTest, ASecondRemoveWhileSeveralAreBeingRemovedDoesNothing) {
  constexpr int kVkDelete = 0x2E;
  const struct {
    const char* how;
    std::function<void(Window&)> press;
  } presses[] = {
      {"button", [](Window& w) { w.form.list.removeButton.Click(); }},
      {"Delete key", [](Window& w) { w.form.list.entryList.KeyDown(kVkDelete); }},
      {"context menu", [](Window& w) {
         w.p.ui.menuChoices = {1};
         w.form.list.entryList.ContextMenu();
       }},
      {"an error", [](Window&) { throw std::runtime_error("The window could not be drawn"); }},
  };
  for (const auto& press : presses) {
    SCOPED_TRACE(press.how);
    Window w;
    const bool raises = std::string(press.how) == "an error";
    MainWindow& f = w.form;
    const std::vector<TButton*> changers = {&f.list.uninstallButton, &f.list.removeButton, &f.change.saveButton, &f.allEntries.deleteButton, &f.installer.deleteButton, &f.backups.restoreButton, &f.backups.restoreSelectedButton};
    w.SelectKeys({"kelp", "zebra", "anchor"});
    w.p.ui.answers = {kIdYes, kIdYes};
    std::vector<bool> enabledDuring;
    StatusLine status;
    status.ui = &w.p.ui;
    status.onSecond = [&] {
      for (const TButton* button : changers) enabledDuring.push_back(button->Enabled());
      press.press(w);
    };
    f.status.line.SetPeer(&status);
    f.list.removeButton.Click();
    f.status.line.SetPeer(nullptr);
    EXPECT_EQ(std::vector<bool>(changers.size(), false), enabledDuring);
    for (const TButton* button : {&f.list.removeButton, &f.allEntries.deleteButton, &f.installer.deleteButton}) EXPECT_TRUE(button->Enabled()) << button->Name();
    EXPECT_EQ(1u, w.p.ui.listLines.size()) << "one question";
    std::vector<std::string> said;
    for (const std::string& line : status.lines)
      if (line.rfind("Removed", 0) == 0) said.push_back(line);
    if (raises) {
      EXPECT_EQ(std::vector<std::string>{"The window could not be drawn."}, w.p.ui.Texts("error"));
      w.SelectKeys({"zebra", "anchor"});
      f.list.removeButton.Click();
      EXPECT_EQ(2u, w.p.ui.listLines.size()) << "Remove works again";
      EXPECT_FALSE(w.p.registry.KeyExists(kHkeyLocalMachine, kEntries + "zebra"));
      continue;
    }
    EXPECT_TRUE(w.p.ui.Texts("error").empty());
    EXPECT_EQ(std::vector<std::string>{"Removed 3 entries, backed up in " + std::string(kUndo) + "."}, said);
    const std::string undo = w.p.files.Content(kUndo);
    for (const char* gone : {"kelp", "zebra", "anchor"}) {
      EXPECT_FALSE(w.p.registry.KeyExists(kHkeyLocalMachine, kEntries + gone)) << gone;
      const std::string block = "[HKEY_LOCAL_MACHINE\\" + kEntries + gone + "]";
      const size_t first = undo.find(block);
      EXPECT_NE(std::string::npos, first) << gone;
      EXPECT_EQ(std::string::npos, undo.find(block, first + 1)) << gone << " backed up twice:\n" << undo;
    }
  }
}

TEST(ListTest, TheContextMenusCommandsActOnTheSelectedEntry) {
  Window w;
  w.SelectKeys({"zebra"});
  const struct {
    int choice;
    const char* what;
  } choices[] = {{5, "copy"}, {4, "finder"}, {7, "folder"}, {6, "registry editor"}};
  for (const auto& c : choices) {
    w.p.ui.menuChoices = {c.choice};
    w.form.list.entryList.ContextMenu();
  }
  ASSERT_EQ(4u, w.p.ui.menus.size());
  EXPECT_EQ("&Copy Command\tCtrl+C", w.p.ui.menus[0][5]);
  EXPECT_EQ("!Remove Installer Re&gistration...", w.p.ui.menus[0][2]) << "not an installer's product";
  EXPECT_EQ("C:\\Gone\\zebra\\unins000.exe", w.p.ui.clipboard);
  EXPECT_EQ(3, w.form.pageControl.ActivePage());
  EXPECT_EQ("C:\\Gone\\zebra\\unins000.exe", w.form.finder.command.Text());
  const auto shell = w.p.ui.Texts("shell");
  ASSERT_EQ(2u, shell.size());
  EXPECT_EQ("C:\\Gone\\zebra", shell[0]) << "the folder that is still there";
  EXPECT_EQ("C:\\WINDOWS\\regedit.exe", shell[1]);
  const regfile::Tree settings = regfile::Snapshot(w.p.registry, kHkeyCurrentUser,
                                                   "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit");
  EXPECT_EQ(platform::Utf16LeFromUtf8(std::string("Computer\\HKEY_LOCAL_MACHINE\\") + kEntries + "zebra" + '\0'),
            settings.begin()->second.at("LASTKEY").bytes);
  // An uninstaller whose own folder is gone: the nearest folder above it is opened, and the message
  // says so.
  w.p.registry.SetString(kHkeyLocalMachine, kEntries + "kelp", "UninstallString", "C:\\Gone\\kelp\\sub\\unins.exe /x");
  w.form.FillListBox();
  w.SelectKeys({"kelp"});
  w.p.ui.menuChoices = {7};
  w.form.list.entryList.ContextMenu();
  EXPECT_EQ("C:\\Gone", w.p.ui.Texts("shell").back());
  EXPECT_EQ(std::vector<std::string>{"The uninstaller's folder C:\\Gone\\kelp\\sub is gone; C:\\Gone, the nearest folder "
                                     "above it that is there, is opened instead."},
            w.p.ui.Texts("message"));
  // With several selected, the commands of one entry are greyed. From the keyboard the menu opens at
  // the selected row, from the mouse where the mouse is.
  w.SelectKeys({"zebra", "kelp"});
  w.form.list.entryList.ContextMenu(true);
  EXPECT_EQ(Ui::MenuPlace::kAtSelection, w.p.ui.menuPlaces.back());
  w.form.list.entryList.ContextMenu();
  EXPECT_EQ(Ui::MenuPlace::kAtMouse, w.p.ui.menuPlaces.back());
  EXPECT_EQ("!&Copy Command\tCtrl+C", w.p.ui.menus.back()[5]);
  EXPECT_EQ("&Remove Entry\tDel", w.p.ui.menus.back()[1]);
}

}  // namespace
