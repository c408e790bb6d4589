#include "backup/removal_outcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kEntry = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E";
constexpr const char* kUndo = "What was removed is in the day's undo file.";

RemovalOutcome Outcome(const std::vector<LeftBehind>& places, int holding, int removed = 1) {
  RemovalOutcome outcome;
  outcome.valuesRemoved = removed;
  for (const LeftBehind& place : places) outcome.Record(place);
  for (int i = 0; i < holding; ++i) outcome.KeepHoldingKey();
  return outcome;
}

TEST(RemovalOutcome, TheMessageNamesWhatStaysWhereAndWhy) {
  // 22 names of 9 characters: a path of some 300 characters below the entry.
  std::string deep = kEntry;
  for (int i = 10; i < 32; ++i) deep += "\\level" + std::to_string(i) + "_";
  // A name of 70 Cyrillic letters, two bytes each in UTF-8.
  std::string cyrillic;
  for (int i = 0; i < 70; ++i) cyrillic += "\xd0\xb6";
  const struct {
    const char* what;
    std::vector<LeftBehind> places;
    int holding;
    std::string message;
    int removed = 1;
  } cases[] = {
      {"nothing stays", {}, 0, ""},
      {"nothing went: not removed, and no undo file to look in",
       {{LeftReason::kKeyRefused, kEntry, 1, 0, 5}}, 0,
       "Tidewell could not remove 'E': " + kEntry +
           " remains (the registry refused to delete the key: access denied). Run Tidewell as an administrator to "
           "remove it. Nothing of it was removed.", 0},
      {"a key the registry keeps, the key above holding it",
       {{LeftReason::kKeyRefused, kEntry + "\\Sub", 1, 0, 5}}, 1,
       "Tidewell partly removed 'E': " + kEntry +
           "\\Sub remains (the registry refused to delete the key: access denied), and the key that holds it stays. "
           "Run Tidewell as an administrator to remove the rest. " + kUndo},
      {"a long path shown by its root and last names",
       {{LeftReason::kNotOpened, deep, 1, 0, 1450}}, 23,
       "Tidewell partly removed 'E': HKEY_LOCAL_MACHINE\\...\\level26_\\level27_\\level28_\\level29_"
       "\\level30_\\level31_ remains with whatever is below it (the key could not be opened: system error 1450), "
       "and the 23 keys that hold it stay. " + std::string(kUndo)},
      {"a last name too long alone, cut whole characters",
       {{LeftReason::kPathTooLong, deep + "\\" + cyrillic + "\\x", 2, 1, 0}}, 24,
       "Tidewell partly removed 'E': 2 keys and 1 value remain under HKEY_LOCAL_MACHINE\\...\\" +
           cyrillic.substr(0, 57 * 2) + "... (the key path is too long for the registry editor to put back), and "
           "the 24 keys that hold them stay. " + kUndo},
      {"siblings left for the same reason told as one",
       {{LeftReason::kPathTooLong, kEntry + "\\a\\b1", 3, 0, 0}, {LeftReason::kPathTooLong, kEntry + "\\a\\b2", 2, 4, 0}},
       2,
       "Tidewell partly removed 'E': 5 keys and 4 values remain under " + kEntry +
           "\\a (the key path is too long for the registry editor to put back), and the 2 keys that hold them stay. " +
           kUndo},
      {"several reasons, the advice once",
       {{LeftReason::kValueRefused, kEntry, 0, 2, 5},
        {LeftReason::kNameHoldsLineBreak, kEntry + "\\Line\nBreak", 1, 1, 0},
        {LeftReason::kAddedMeanwhile, kEntry + "\\New", 1, 0, 0},
        {LeftReason::kNotOpened, kEntry + "\\Locked", 1, 0, 5}},
       1,
       "Tidewell partly removed 'E': 2 values remain in " + kEntry +
           " (the registry refused to delete them: access denied); 1 key and 1 value remain under " + kEntry +
           " (a key name holds a line break, which the undo file cannot carry); " + kEntry +
           "\\New remains (it gained a subkey or a value while it was being removed, which was not written to the "
           "undo file); " + kEntry +
           "\\Locked remains with whatever is below it (the key could not be opened: access denied), and the key "
           "that holds them stays. Run Tidewell as an administrator to remove the rest. " + kUndo},
      {"more places than one message names",
       {{LeftReason::kKeyRefused, kEntry + "\\1", 1, 0, 8},
        {LeftReason::kKeyRefused, kEntry + "\\2", 1, 0, 8},
        {LeftReason::kKeyRefused, kEntry + "\\3", 1, 0, 8},
        {LeftReason::kKeyRefused, kEntry + "\\4", 1, 0, 8},
        {LeftReason::kKeyRefused, kEntry + "\\5", 1, 0, 8},
        {LeftReason::kKeyRefused, kEntry + "\\6", 1, 0, 8}},
       1,
       "Tidewell partly removed 'E': " + kEntry +
           "\\1 remains (the registry refused to delete the key: not enough memory); " + kEntry +
           "\\2 remains (the registry refused to delete the key: not enough memory); " + kEntry +
           "\\3 remains (the registry refused to delete the key: not enough memory); " + kEntry +
           "\\4 remains (the registry refused to delete the key: not enough memory); and more in 2 other places, "
           "and the key that holds them stays. " + kUndo},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const RemovalOutcome outcome = Outcome(c.places, c.holding, c.removed);
    EXPECT_EQ(c.message.empty(), outcome.Complete());
    EXPECT_EQ(c.message, IncompleteRemovalMessage("E", outcome));
  }
}

TEST(RemovalOutcome, ARemovalThatRaisedSaysNothingWasRemoved) {
  EXPECT_EQ("Tidewell could not remove 'E': Cannot write to the undo file X: Write fault. Nothing of it was removed.",
            NotRemovedMessage("E", "Cannot write to the undo file X: Write fault."));
}

// Counts and the rights flag add up over places, and over outcomes put together.
TEST(RemovalOutcome, CountsAddUp) {
  RemovalOutcome first = Outcome({{LeftReason::kValueRefused, kEntry, 0, 3, 5}}, 1);
  const RemovalOutcome second = Outcome({{LeftReason::kAddedMeanwhile, kEntry + "\\N", 1, 0, 0},
                                         {LeftReason::kNotOpened, kEntry + "\\L", 1, 0, 87}}, 0);
  EXPECT_TRUE(first.accessDenied);
  EXPECT_FALSE(second.accessDenied) << "only a refusal for rights calls for an administrator";
  first.Add(second);
  EXPECT_EQ(3, first.keysLeft);
  EXPECT_EQ(3, first.valuesLeft);
  EXPECT_EQ(3u, first.left.size());
  EXPECT_TRUE(first.accessDenied);
}

}  // namespace
