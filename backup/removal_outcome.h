#pragma once
// What a removal left behind in the registry, where and why, and the one message that says so.
#include <string>
#include <vector>

// Why part of a key tree stayed in the registry.
enum class LeftReason {
  // The key's path is longer than the registry editor merges back: neither written nor deleted.
  kPathTooLong,
  // The key's name holds a line break, which a key line cannot carry: neither written nor deleted.
  kNameHoldsLineBreak,
  // The key could not be opened, so nothing of it or below it could be written.
  kNotOpened,
  // The registry refused to delete values that were written.
  kValueRefused,
  // The registry refused to delete the key, emptied and written.
  kKeyRefused,
  // The key gained a subkey or a value while it was being removed; the newcomer was never written.
  kAddedMeanwhile,
  // Values that changed after they were written: their new data were never written, so they stay.
  kChangedMeanwhile,
  // Removed from another account's hive while loaded, but its file kept the key: the hive, loaded
  // again, holds it whole.
  kHiveNotKept,
};

// One place where something stayed, and why.
struct LeftBehind {
  LeftReason reason = LeftReason::kNotOpened;
  // The key as the undo file's key lines name it: "HKEY_LOCAL_MACHINE\SOFTWARE\...".
  std::string key;
  // What stays for this reason: the key and what is below it, or the values refused.
  int keys = 0;
  int values = 0;
  // The registry's answer, where it gave one.
  long error = 0;
};

struct RemovalOutcome {
  // Every key and value of the tree still in the registry.
  int keysLeft = 0;
  int valuesLeft = 0;
  // The registry refused an open or a deletion for lack of rights.
  bool accessDenied = false;
  // Where something stayed and why; the keys above such places stay to hold them.
  std::vector<LeftBehind> left;
  // The undo file that the removal wrote to; empty when it wrote nothing.
  std::string undoFile;
  // What this removal deleted.
  int keysRemoved = 0;
  int valuesRemoved = 0;
  // The key was not there when the removal began (another program removed it): nothing was
  // written or deleted.
  bool alreadyGone = false;

  bool Complete() const { return keysLeft == 0 && valuesLeft == 0; }
  // Something was deleted, and something stays.
  bool Partly() const { return !Complete() && keysRemoved + valuesRemoved > 0; }
  // Notes a place and counts what stays there.
  void Record(LeftBehind place);
  // Counts a key that stays only because something in it or below it stays.
  void KeepHoldingKey() { ++keysLeft; }
  void Add(const RemovalOutcome& other);
};

// The message for a removal of `what` that raised `why` before it deleted anything (its backup could
// not be written whole).
std::string NotRemovedMessage(const std::string& what, const std::string& why);
// The message for a removal of `what` (an entry's or a product's name) that left something behind:
// whether it removed part of it or none, what stays, where and why, what to do about it, and the
// undo file; empty when it left nothing.
std::string IncompleteRemovalMessage(const std::string& what, const RemovalOutcome& outcome);

