#include "backup/removal_outcome.h"

#include <cstddef>
#include <utility>

namespace {

// Paths up to this many characters are shown whole; longer ones by their root and last names.
constexpr std::size_t kWholePathShown = 100;
constexpr std::size_t kPathTailShown = 60;
// Places named in one message; the rest are counted.
constexpr std::size_t kPlacesNamed = 4;

constexpr long kAccessDenied = 5;

std::string Count(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

// "3 keys and 2 values", "1 key", "2 values".
std::string KeysAndValues(int keys, int values) {
  std::string text;
  if (keys > 0) text = Count(keys, "key", "keys");
  if (values > 0) text += (text.empty() ? "" : " and ") + Count(values, "value", "values");
  return text;
}

std::string Remain(int keys, int values) { return keys + values == 1 ? " remains" : " remain"; }

std::size_t Characters(const std::string& text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// The first `count` characters of the text.
std::string FirstCharacters(const std::string& text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t seen = 0; at < text.size(); ++at) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && seen++ == count) break;
  }
  return text.substr(0, at);
}

// The key as a message shows it: whole when short, otherwise its root, "..." and as many of its last
// names as fit (the last one at least, cut at its end when it alone is too long).
std::string ShownKey(const std::string& key) {
  if (Characters(key) <= kWholePathShown) return key;
  const std::string root = key.substr(0, key.find('\\'));
  std::string tail;
  for (std::size_t end = key.size(); end > root.size();) {
    const std::size_t at = key.rfind('\\', end - 1);
    const std::string name = key.substr(at + 1, end - at - 1);
    if (!tail.empty() && Characters(name) + 1 + Characters(tail) > kPathTailShown) break;
    tail = tail.empty() ? name : name + "\\" + tail;
    end = at;
  }
  if (Characters(tail) > kPathTailShown) tail = FirstCharacters(tail, kPathTailShown - 3) + "...";
  return root + "\\...\\" + tail;
}

std::string ParentOf(const std::string& key) {
  const std::size_t at = key.rfind('\\');
  return at == std::string::npos ? key : key.substr(0, at);
}

std::string ErrorPhrase(long error) {
  switch (error) {
    case kAccessDenied: return "access denied";
    case 8:
    case 14: return "not enough memory";
    case 1018: return "the key was marked for deletion";
    case 1314: return "a privilege that it needs is not held";
    default: return "system error " + std::to_string(error);
  }
}

// Keys left for their path or name are named by the key above them, the last one whose line the
// undo file could carry; the others by the key itself.
bool NamedByParent(LeftReason reason) {
  return reason == LeftReason::kPathTooLong || reason == LeftReason::kNameHoldsLineBreak;
}

std::string Where(const LeftBehind& place) {
  return ShownKey(NamedByParent(place.reason) ? ParentOf(place.key) : place.key);
}

std::string Sentence(const LeftBehind& place) {
  const std::string where = Where(place);
  const std::string what = KeysAndValues(place.keys, place.values);
  switch (place.reason) {
    case LeftReason::kPathTooLong:
      return what + Remain(place.keys, place.values) + " under " + where +
             " (the key path is too long for the registry editor to put back)";
    case LeftReason::kNameHoldsLineBreak:
      return what + Remain(place.keys, place.values) + " under " + where +
             " (a key name holds a line break, which the undo file cannot carry)";
    case LeftReason::kNotOpened:
      return where + " remains with whatever is below it (the key could not be opened: " + ErrorPhrase(place.error) +
             ")";
    case LeftReason::kValueRefused:
      return what + Remain(0, place.values) + " in " + where + " (the registry refused to delete " +
             (place.values == 1 ? "it" : "them") + ": " + ErrorPhrase(place.error) + ")";
    case LeftReason::kKeyRefused:
      return where + " remains (the registry refused to delete the key: " + ErrorPhrase(place.error) + ")";
    case LeftReason::kAddedMeanwhile:
      return where +
             " remains (it gained a subkey or a value while it was being removed, which was not written to the "
             "undo file)";
    case LeftReason::kChangedMeanwhile:
      return what + Remain(0, place.values) + " in " + where + " (" + (place.values == 1 ? "it" : "they") +
             " changed while the entry was being removed, and the new data were not written to the undo file)";
    case LeftReason::kHiveNotKept:
      return where +
             " remains (it was deleted from the account's loaded hive, but the system did not keep that in the hive's "
             "file: loaded again, it holds the key)";
  }
  return {};
}

// Places of the same reason and answer at the same spot are told as one.
std::vector<LeftBehind> Grouped(const std::vector<LeftBehind>& left) {
  std::vector<LeftBehind> groups;
  for (const LeftBehind& place : left) {
    bool merged = false;
    for (LeftBehind& group : groups) {
      if (group.reason != place.reason || group.error != place.error || Where(group) != Where(place)) continue;
      group.keys += place.keys;
      group.values += place.values;
      merged = true;
      break;
    }
    if (!merged) groups.push_back(place);
  }
  return groups;
}

}  // namespace

void RemovalOutcome::Record(LeftBehind place) {
  keysLeft += place.keys;
  valuesLeft += place.values;
  const bool refused = place.reason == LeftReason::kNotOpened || place.reason == LeftReason::kValueRefused ||
                       place.reason == LeftReason::kKeyRefused;
  accessDenied = accessDenied || (refused && place.error == kAccessDenied);
  left.push_back(std::move(place));
}

void RemovalOutcome::Add(const RemovalOutcome& other) {
  keysLeft += other.keysLeft;
  valuesLeft += other.valuesLeft;
  accessDenied = accessDenied || other.accessDenied;
  keysRemoved += other.keysRemoved;
  valuesRemoved += other.valuesRemoved;
  left.insert(left.end(), other.left.begin(), other.left.end());
  if (undoFile.empty()) undoFile = other.undoFile;
}

namespace {

std::string UndoFileNamed(const RemovalOutcome& outcome) {
  return outcome.undoFile.empty() ? "the day's undo file" : "the undo file " + outcome.undoFile;
}

}  // namespace

std::string IncompleteRemovalMessage(const std::string& what, const RemovalOutcome& outcome) {
  if (outcome.Complete()) return {};
  std::string text = outcome.Partly() ? "Tidewell partly removed '" + what + "': "
                                      : "Tidewell could not remove '" + what + "': ";
  const std::vector<LeftBehind> groups = Grouped(outcome.left);
  int keysPlaced = 0, thingsPlaced = 0;
  for (const LeftBehind& group : groups) {
    keysPlaced += group.keys;
    thingsPlaced += group.keys + group.values;
  }
  if (groups.empty()) text += KeysAndValues(outcome.keysLeft, outcome.valuesLeft) + Remain(outcome.keysLeft, outcome.valuesLeft);
  for (std::size_t i = 0; i < groups.size() && i < kPlacesNamed; ++i) text += (i > 0 ? "; " : "") + Sentence(groups[i]);
  if (groups.size() > kPlacesNamed) text += "; and more in " + Count(static_cast<int>(groups.size() - kPlacesNamed), "other place", "other places");
  const int holding = outcome.keysLeft - keysPlaced;
  if (!groups.empty() && holding > 0) {
    const std::string them = thingsPlaced == 1 ? "it" : "them";
    text += holding == 1 ? ", and the key that holds " + them + " stays"
                         : ", and the " + std::to_string(holding) + " keys that hold " + them + " stay";
  }
  text += ". ";
  if (outcome.accessDenied)
    text += std::string("Run Tidewell as an administrator to remove ") + (outcome.Partly() ? "the rest. " : "it. ");
  if (!outcome.Partly()) return text + "Nothing of it was removed.";
  return text + "What was removed is in " + UndoFileNamed(outcome) + ".";
}

std::string NotRemovedMessage(const std::string& what, const std::string& why) {
  const std::string reason = !why.empty() && why.back() == '.' ? why.substr(0, why.size() - 1) : why;
  return "Tidewell could not remove '" + what + "': " + reason + ". Nothing of it was removed.";
}
