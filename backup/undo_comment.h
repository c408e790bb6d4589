#pragma once
// The comment line that begins each command's lines in the undo files: the program and its version,
// when, what the command did and to which entry. The registry editor skips lines that begin with
// ";", so a merge of the whole file is what it was without them.
#include <optional>
#include <string>
#include <vector>

#include "backup/undo_encoding.h"
#include "platform/system.h"

// What a command did to the key whose lines follow its comment.
enum class UndoAction {
  kRemovedEntry,
  kChangedCommand,
  kRemovedProduct,
  // A product's whole registration, whose lines hold key trees and single values of several keys.
  kRemovedRegistration,
  // What a restore replaced: an entry or a product whole, or the values it overwrote.
  kRestoredEntry,
  kRestoredProduct,
  kRestoredValues,
  // The values of a registration that its restore overwrote.
  kRestoredRegistration,
  // A comment of the program's form whose words this version does not know.
  kOther,
};

struct UndoComment {
  std::string version;
  // Local time, "2026-12-07 14:03:11".
  std::string when;
  UndoAction action = UndoAction::kOther;
  // The action's words as written: "removed entry".
  std::string what;
  // The entry's display name (its key name when it has none), the product's name.
  std::string name;
  // "64-bit", "32-bit" or "user" for an entry, "machine" or "user" for a product; may be empty.
  std::string source;
};

// The words of the action: "removed entry", "changed the uninstall command of", ...
const char* ActionWords(UndoAction action);
// Whether the lines after such a comment hold a key tree whole (a removal, or what a restore
// replaced whole), rather than some values of a key.
bool HoldsWholeKey(UndoAction action);
// Whether the lines after such a comment hold a product's registration: key trees and single values
// of keys in several places, all of them one record.
bool HoldsRegistration(UndoAction action);

// A comment for a command running now, by this version of the program.
UndoComment CommentNow(platform::System& system, UndoAction action, std::string name, std::string source);
// "; Tidewell 2.12, 2026-12-07 14:03:11, removed entry "Name" (32-bit)", the name escaped as a
// quoted text is. A character the file cannot carry is written as "?": the comment is for the eye,
// the key lines say which key.
std::string CommentLine(const UndoComment& comment, const UndoEncoding& encoding);
// The comment line, and for another account's key the line that says how its block is merged.
std::vector<std::string> CommentLines(const UndoComment& comment, const UndoEncoding& encoding);
// Whether the line begins as the program's comments do: "; Tidewell " and a digit.
bool IsProgramComment(const std::string& line);
// The comment that the line holds; nothing when it does not read as one of the program's.
std::optional<UndoComment> ReadCommentLine(const std::string& line);
