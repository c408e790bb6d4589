// The window lists every entry at once and learns the statuses from a worker thread: rows show the
// clock until their status comes, the line under the list counts, a refresh or the window's end
// stops the checks, and nothing of one scan lands on the rows of the next.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "platform/memory/memory_platform.h"

using namespace platform;

namespace {

const std::string kEntries = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct Window {
  explicit Window(int entries) {
    p.files.AddFile("C:\\Apps\\here.exe");
    for (int i = 0; i < entries; ++i) {
      const std::string key = kEntries + "Entry " + std::to_string(1000 + i);
      p.registry.SetString(kHkeyLocalMachine, key, "DisplayName", "Program " + std::to_string(1000 + i));
      p.registry.SetString(kHkeyLocalMachine, key, "UninstallString",
                           i % 2 == 0 ? "C:\\Apps\\here.exe /x" : "C:\\Apps\\gone" + std::to_string(i) + ".exe");
    }
    form = std::make_unique<MainWindow>(p.platform());
    form->checks.CheckInBackground = true;
  }
  // Runs the window's posted tasks until the line says every check is done.
  void RunUntilChecked() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (form->status.line.Caption().find("checked") == std::string::npos && std::chrono::steady_clock::now() < until) {
      if (p.ui.RunPosted() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  std::vector<int> Icons() const {
    std::vector<int> icons;
    for (int i = 0; i < form->list.entryList.Count(); ++i) icons.push_back(form->list.entryList.Item(i).ImageIndex);
    return icons;
  }
  MemoryPlatform p;
  std::unique_ptr<MainWindow> form;
};

TEST(BackgroundChecksTest, EveryRowIsListedAtOnceAndTakesItsStatusWhenItComes) {
  Window w(120);
  w.form->FormCreate();
  ASSERT_EQ(120, w.form->list.entryList.Count()) << "every row before any status";
  EXPECT_EQ(std::vector<int>(120, kCheckingImage), w.Icons());
  EXPECT_EQ("Checking 0 of 120", w.form->status.line.Caption());
  w.RunUntilChecked();
  std::vector<int> expected;
  for (int i = 0; i < 120; ++i) expected.push_back(i % 2 == 0 ? kGoodLink : kBrokenLink);
  EXPECT_EQ(expected, w.Icons());
  EXPECT_EQ("120 checked: 60 Broken Link", w.form->status.line.Caption());
  for (const Entry& entry : w.form->Entries) EXPECT_NE(kStatusUnknown, entry.status);
}

// What the native list is told to redraw of its rows.
class RedrawnRows : public TControl::Peer {
 public:
  void Update(TControl& control, Aspect aspect, int index) override {
    if (aspect != Aspect::kItem) return;
    ++told;
    const auto& view = static_cast<const TListView&>(control);
    for (int row : index >= 0 ? std::vector<int>{index} : view.ChangedRows())
      if (view.Item(row).ImageIndex != kCheckingImage) rows.insert(row);
  }
  int told = 0;
  std::set<int> rows;
};

// Each row is redrawn once its status is in it, and the rows of a batch of results together: the
// window does not redraw the list once per result.
TEST(BackgroundChecksTest, TheRowsOfABatchOfResultsAreRedrawnTogether) {
  Window w(600);
  RedrawnRows redrawn;
  w.form->list.entryList.SetPeer(&redrawn);
  w.form->FormCreate();
  w.RunUntilChecked();
  EXPECT_EQ(600u, redrawn.rows.size()) << "every row is redrawn with its status";
  EXPECT_LT(redrawn.told, 150) << "a batch is one redraw";
  w.form->list.entryList.SetPeer(nullptr);
}

TEST(BackgroundChecksTest, ARefreshStopsTheChecksAndNoOldResultLandsOnANewRow) {
  Window w(200);
  w.form->FormCreate();
  // The first entries go: every row moves up, so a result of the first scan would land on the
  // wrong row of the second.
  for (int i = 0; i < 7; ++i) {
    const std::string key = kEntries + "Entry " + std::to_string(1000 + i);
    w.p.registry.SetString(kHkeyLocalMachine, key, "DisplayName", "");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  w.form->list.refreshButton.Click();
  w.RunUntilChecked();
  ASSERT_EQ(193, w.form->list.entryList.Count());
  for (int row = 0; row < w.form->list.entryList.Count(); ++row) {
    const TListItem& item = w.form->list.entryList.Item(row);
    const bool here = item.SubItems.at(1).find("here.exe") != std::string::npos;
    EXPECT_EQ(here ? kGoodLink : kBrokenLink, item.ImageIndex) << item.Caption;
  }
  EXPECT_EQ("193 checked: 97 Broken Link", w.form->status.line.Caption());
}

TEST(BackgroundChecksTest, CommandsWorkOnAnEntryWhoseStatusIsPending) {
  Window w(50);
  w.form->FormCreate();
  w.form->list.entryList.SelectedFromUser(3);
  w.form->list.entryList.SelectItem();
  w.p.ui.answers = {kIdYes};
  w.form->list.removeButton.Click();
  EXPECT_FALSE(w.p.registry.KeyExists(kHkeyLocalMachine, kEntries + "Entry 1003"));
  w.RunUntilChecked();
  EXPECT_EQ(49, w.form->list.entryList.Count());
  // The status line says what the removal did, then how the checks went.
  EXPECT_EQ("Removed 'Program 1003', backed up in C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg.  49 checked: 24 Broken Link",
            w.form->status.line.Caption());
}

// A command saved while its entry's check is still to come: the result for the old command, which
// comes after the save, leaves the row as the save made it, and the line counts the entry by the
// command it holds.
TEST(BackgroundChecksTest, AResultForACommandSavedSinceChangesNothing) {
  Window w(10);
  w.form->FormCreate();
  TListView& list = w.form->list.entryList;
  // Program 1001's file is gone; it is given one that is there before any result has come.
  const auto select = [&](int row) {
    list.SelectedFromUser(row);
    list.SelectItem();
  };
  select(1);
  ASSERT_EQ("C:\\Apps\\gone1.exe", w.form->change.commandBox.Text());
  w.form->change.commandBox.TextFromUser("C:\\Apps\\here.exe /x");
  w.p.ui.answers = {kIdYes};
  select(2);
  ASSERT_EQ("C:\\Apps\\here.exe /x", list.Item(1).SubItems.at(1)) << "saved";
  ASSERT_EQ(kGoodLink, list.Item(1).ImageIndex);
  const std::string reason = list.Item(1).Hint;
  w.RunUntilChecked();
  EXPECT_EQ(kGoodLink, list.Item(1).ImageIndex);
  EXPECT_EQ("Good Link", list.Item(1).SubItems.at(3));
  EXPECT_EQ(reason, list.Item(1).Hint);
  EXPECT_EQ(kGoodLink, w.form->Entries.at(1).status);
  EXPECT_EQ(reason, w.form->Entries.at(1).reason);
  EXPECT_EQ("Saved the uninstall command of 'Program 1001', the old one backed up in "
            "C:\\Tools\\Tidewell\\Backup\\Undo20261207.reg.  10 checked: 4 Broken Link",
            w.form->status.line.Caption());
}

TEST(BackgroundChecksTest, ClosingTheWindowStopsItsChecks) {
  Window w(2000);
  w.form->FormCreate();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  w.form.reset();  // the thread is stopped and joined here, while the platform is still there
  w.p.ui.RunPosted();
}

}  // namespace
