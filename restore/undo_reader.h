#pragma once
// Reading an undo file back, strictly: the "REGEDIT4" file in the system's ANSI code page and its
// Unicode companion (UTF-16LE, "Windows Registry Editor Version 5.00"), as the program writes them
// and as people edit them by hand. The file is cut into records, one per command: a record begins
// at the program's comment line, or at a key line that does not lie below the record's first key
// (files written before the comments, and hand-written ones), but in the record of a product's
// registration, which holds keys of several places; a line that deletes a key is a key
// line there. A record with a line that cannot be read is kept whole but marked unreadable, with that
// line's number, and is never restored in part.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "backup/undo_comment.h"
#include "backup/undo_encoding.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/win_codes.h"
#include "registry/nt_registry.h"

// One key of a record with the values its lines give it, as the registry keeps them (string data
// in UTF-16LE); a value named twice keeps the later.
struct UndoKeyLines {
  // Below the root, as the key line names it, with its leading backslash.
  std::string path;
  std::vector<NamedValue> values;
};

// A key tree, or some values of a key, of one root: the first key is the part's top key, the others
// lie below it.
struct UndoPart {
  platform::Hkey root = 0;
  std::string rootName;
  std::vector<UndoKeyLines> keys;
};

// One command's lines.
struct UndoRecord {
  // The number of its first line; the header is line 1.
  int line = 0;
  std::optional<UndoComment> comment;
  platform::Hkey root = 0;
  // The root as the key lines name it, in capitals: "HKEY_LOCAL_MACHINE".
  std::string rootName;
  // The first is the record's top key; the others lie below it.
  std::vector<UndoKeyLines> keys;
  // A product's registration (its comment says so) holds several parts, each begun by a key line
  // that does not lie below the part before it: the first is root and keys above, the others these.
  std::vector<UndoPart> moreParts;
  // Not 0: the first line of the record that cannot be read, and why.
  int unreadableLine = 0;
  std::string unreadable;

  bool Readable() const { return unreadableLine == 0 && !keys.empty(); }
  // Its parts: the first, then the others.
  std::vector<UndoPart> Parts() const;
  // The keys of the part that the last key line went to.
  std::vector<UndoKeyLines>& LastKeys() { return moreParts.empty() ? keys : moreParts.back().keys; }
};

struct UndoContents {
  // Empty when the file reads as an undo file; otherwise why not (nothing else is then set).
  std::string problem;
  UndoFormat format = UndoFormat::kRegedit4;
  std::vector<UndoRecord> records;
  // Lines outside every record that are neither empty nor comments, skipped: how many, and the
  // first one's number.
  int skippedLines = 0;
  int firstSkippedLine = 0;
};

// The records of an undo file's bytes.
UndoContents ReadUndoText(platform::System& system, const std::string& bytes);
// The records of the undo file (a full path); `problem` says why a file that cannot be opened or
// read has none.
UndoContents ReadUndoFile(platform::FileSystem& files, platform::System& system, const std::string& file);
