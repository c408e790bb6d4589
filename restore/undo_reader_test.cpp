#include "restore/undo_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backup/entry_commands.h"
#include "platform/memory/memory_platform.h"
#include "platform/text_encoding.h"
#include "tests/support/reg_file_reader.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/seeded_entries.h"

using namespace platform;
using namespace seeded;

namespace {

// The record's keys and values in the model of the tests' reader: keys by upper-cased path below
// the root, without the leading backslash.
regfile::Tree TreeOf(const UndoRecord& record) {
  regfile::Tree tree;
  for (const UndoKeyLines& key : record.keys) {
    regfile::Values& values = tree[regfile::Upper(key.path.substr(1))];
    for (const NamedValue& value : key.values) values[regfile::Upper(value.name)] = {value.name, value.typeCode, value.data};
  }
  return tree;
}

// One line per record: its first line, top key, keys and values, and where it cannot be read.
std::vector<std::string> Outline(const UndoContents& contents) {
  std::vector<std::string> lines;
  if (!contents.problem.empty()) lines.push_back("problem: " + contents.problem);
  for (const UndoRecord& record : contents.records) {
    std::string line = std::to_string(record.line) + " ";
    if (record.comment) line += record.comment->what + " ";
    if (!record.keys.empty()) line += record.rootName + record.keys.front().path;
    int values = 0;
    for (const UndoKeyLines& key : record.keys) values += static_cast<int>(key.values.size());
    line += " keys " + std::to_string(record.keys.size()) + " values " + std::to_string(values);
    if (record.unreadableLine) line += " unreadable at " + std::to_string(record.unreadableLine) + ": " + record.unreadable;
    lines.push_back(line);
  }
  if (contents.skippedLines)
    lines.push_back("skipped " + std::to_string(contents.skippedLines) + " from " + std::to_string(contents.firstSkippedLine));
  return lines;
}

// What the program writes reads back as exactly what it took from the registry, record by record,
// from either file, in code pages 1252 and 932.
TEST(UndoReaderTest, EveryRecordTheProgramWritesReadsBackAsTheKeysItTook) {
  for (unsigned codePage : {1252u, 932u}) {
    SCOPED_TRACE("code page " + std::to_string(codePage));
    MemoryPlatform p;
    p.system.ansiCodePage = codePage;
    Seed(p);
    MemoryRegistry& r = p.registry;
    // Names the Unicode file takes in either code page, and one that 932 carries with a second
    // byte 0x5C.
    r.SetString(kHkeyLocalMachine, EntryKey("\xce\x95\xce\xbb\xce\xbb\xce\xac\xed\xa0\x80"), "DisplayName",
                "\xe5\xbe\xae\xe4\xbf\xa1 \xf0\x9f\x98\x80");
    r.SetValue(kHkeyLocalMachine, EntryKey("\xce\x95\xce\xbb\xce\xbb\xce\xac\xed\xa0\x80\\\xd0\x96"), "Odd", kRegSz,
               Wide("no NUL"));
    r.SetString(kHkeyLocalMachine, EntryKey("\xe8\xa1\xa8"), "V", "\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\\",
                kRegExpandSz);
    r.SetString(kHkeyLocalMachine, EntryKey("\xe8\xa1\xa8"), "DisplayName", "line\r\nbreak \"quoted\"");
    const std::vector<std::string> removed = {"Alpha", "\xce\x95\xce\xbb\xce\xbb\xce\xac\xed\xa0\x80", "\xe8\xa1\xa8",
                                              "Beta"};
    const regfile::Tree beta = regfile::Snapshot(r, kHkeyLocalMachine, EntryKey("Beta"));
    UndoFile undo(p.files, p.system, BackupFolderOf(p.system.ExecutablePath()), UndoStemOf(p.system.Today()));
    Entry entry;
    entry.keyName = "Beta";
    ChangeUninstallString(undo, r, entry, false, "C:\\new.exe");
    std::vector<regfile::Tree> before;
    for (const std::string& name : removed) before.push_back(regfile::Snapshot(r, kHkeyLocalMachine, EntryKey(name)));
    const regfile::Tree product = regfile::Snapshot(r, kHkeyClassesRoot, "Installer\\Products\\0A1B2C");
    for (const std::string& name : removed) {
      entry.keyName = name;
      RemoveEntryKey(undo, r, entry, false);
    }
    Product zeroA;
    zeroA.keyName = "0A1B2C";
    RemoveInstallerProduct(undo, r, zeroA);

    std::vector<UndoRecord> records;
    for (const char* file : {kFile, kUnicodeFile}) {
      if (!p.files.FileExistsAt(file)) continue;
      const UndoContents contents = ReadUndoFile(p.files, p.system, file);
      EXPECT_EQ("", contents.problem);
      EXPECT_EQ(0, contents.skippedLines);
      records.insert(records.end(), contents.records.begin(), contents.records.end());
    }
    ASSERT_EQ(6u, records.size());
    for (const UndoRecord& record : records) EXPECT_TRUE(record.Readable()) << record.unreadable;
    const auto find = [&](UndoAction action, const std::string& top) -> const UndoRecord* {
      for (const UndoRecord& record : records)
        if (record.comment && record.comment->action == action && record.keys.front().path == top) return &record;
      return nullptr;
    };
    for (size_t i = 0; i < removed.size(); ++i) {
      SCOPED_TRACE(removed[i]);
      const UndoRecord* record = find(UndoAction::kRemovedEntry, "\\" + EntryKey(removed[i]));
      ASSERT_NE(nullptr, record);
      EXPECT_EQ(kHkeyLocalMachine, record->root);
      EXPECT_EQ(regfile::Describe(before[i]), regfile::Describe(TreeOf(*record)));
    }
    const UndoRecord* change = find(UndoAction::kChangedCommand, "\\" + EntryKey("Beta"));
    ASSERT_NE(nullptr, change);
    ASSERT_EQ(1u, change->keys.size());
    ASSERT_EQ(1u, change->keys[0].values.size());
    EXPECT_EQ(beta.at(regfile::Upper(EntryKey("Beta"))).at("UNINSTALLSTRING").bytes, change->keys[0].values[0].data);
    const UndoRecord* removedProduct = find(UndoAction::kRemovedProduct, "\\Installer\\Products\\0A1B2C");
    ASSERT_NE(nullptr, removedProduct);
    EXPECT_EQ(kHkeyClassesRoot, removedProduct->root);
    EXPECT_EQ(regfile::Describe(product), regfile::Describe(TreeOf(*removedProduct)));
    EXPECT_EQ("Product A", removedProduct->comment->name);
  }
}

TEST(UndoReaderTest, RecordsOfFilesWrittenAndEditedBySomeoneElse) {
  const std::string kEntryA = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\A]";
  const std::string kTop = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::string kComment = "; Tidewell 2.12, 2026-12-07 14:03:11, removed entry \"A\" (32-bit)";
  const auto file = [](const std::vector<std::string>& lines, const char* end = "\r\n") {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
  };
  const struct {
    const char* what;
    std::string text;
    std::vector<std::string> outline;
  } cases[] = {
      {"a header other than the exact one", file({"regedit4", "", kEntryA}),
       {"problem: it is not an undo file: its first line is not \"REGEDIT4\""}},
      {"an empty file", "", {"problem: it is not an undo file: its first line is not \"REGEDIT4\""}},
      {"written before the comments: a record per top key and what lies below it",
       file({"REGEDIT4", "", kEntryA, "\"DisplayName\"=\"A\"", "[" + kTop + "A\\Sub]", "@=dword:00000001", "",
             "[" + kTop + "B]", "\"UninstallString\"=\"b.exe\"", "", "[" + kTop + "A]", "\"UninstallString\"=\"a.exe\"", ""}),
       {"3 " + kTop + "A keys 2 values 2", "8 " + kTop + "B keys 1 values 1", "11 " + kTop + "A keys 1 values 1"}},
      {"a comment begins a record, whatever its key",
       file({"REGEDIT4", "", kComment, kEntryA, "\"V\"=hex:01", "", kComment, kEntryA, "@=\"x\""}),
       {"3 removed entry " + kTop + "A keys 1 values 1", "7 removed entry " + kTop + "A keys 1 values 1"}},
      {"as the registry editor exports: blanks around \"=\", indented continuations, short dwords, lower case",
       file({"REGEDIT4", "", kEntryA, "\"Blob\" = hex:01,02,\\", "  03,0a, ff", "\"N\"=dword:1a", "\"S\"=HEX(2):41,00"}),
       {"3 " + kTop + "A keys 1 values 3"}},
      {"line feeds alone", file({"REGEDIT4", "", kEntryA, "\"V\"=\"x\""}, "\n"), {"3 " + kTop + "A keys 1 values 1"}},
      {"lines before the first record are skipped and counted",
       file({"REGEDIT4", "", "hello", "; a comment", "\"Stray\"=\"value\"", kEntryA, "\"V\"=\"x\""}),
       {"6 " + kTop + "A keys 1 values 1", "skipped 2 from 3"}},
      {"a damaged value line makes its record unreadable, not the next",
       file({"REGEDIT4", "", kComment, kEntryA, "\"V\"=hex:01,0G", kComment, kEntryA, "\"V\"=\"x\""}),
       {"3 removed entry " + kTop + "A keys 1 values 0 unreadable at 5: hexadecimal bytes that cannot be read",
        "6 removed entry " + kTop + "A keys 1 values 1"}},
      {"a line that is no line of a registry file",
       file({"REGEDIT4", "", kEntryA, "\"V\"=\"x\"", "garbage", "\"W\"=\"y\""}),
       {"3 " + kTop + "A keys 1 values 2 unreadable at 5: a line that is neither a key, a value nor a comment"}},
      {"a write that was cut short",
       file({"REGEDIT4", "", kComment, kEntryA, "\"V\"=hex:01,02,\\", std::string(kCutShortEnd), kCutShortLine, kComment,
             kEntryA}),
       {"3 removed entry " + kTop + "A keys 1 values 0 unreadable at 6: hexadecimal bytes that cannot be read",
        "8 removed entry " + kTop + "A keys 1 values 0"}},
      {"the mark alone", file({"REGEDIT4", "", kEntryA, "\"V\"=\"x\"", kCutShortLine}),
       {"3 " + kTop + "A keys 1 values 1 unreadable at 5: the lines above it were cut short by a write that did not "
        "finish"}},
      {"bytes that go on past the end", file({"REGEDIT4", "", kEntryA, "\"V\"=hex:01,\\"}),
       {"3 " + kTop + "A keys 1 values 0 unreadable at 4: bytes that go on past the end of the file"}},
      {"bytes that go on into an empty line", file({"REGEDIT4", "", kEntryA, "\"V\"=hex:01,\\", "", "02"}),
       {"3 " + kTop + "A keys 1 values 0 unreadable at 5: a value whose bytes go on into an empty line"}},
      {"deletions", file({"REGEDIT4", "", kEntryA, "\"V\"=-", "[-" + kTop + "A]"}),
       {"3 " + kTop + "A keys 1 values 0 unreadable at 4: a line that deletes a value",
        "5 " + kTop + "A keys 1 values 0 unreadable at 5: a line that deletes a key"}},
      {"a key's deletion begins its own block, with the key made again and what lies below it",
       file({"REGEDIT4", "", kEntryA, "\"V\"=\"x\"", "", "[-" + kTop + "B]", "[" + kTop + "B]", "\"W\"=\"y\"",
             "[" + kTop + "B\\Sub]", "", "[" + kTop + "C]"}),
       {"3 " + kTop + "A keys 1 values 1", "6 " + kTop + "B keys 2 values 1 unreadable at 6: a line that deletes a key",
        "11 " + kTop + "C keys 1 values 0"}},
      {"a deletion of a key below the top, or after a comment, is its block's",
       file({"REGEDIT4", "", kEntryA, "[-" + kTop + "A\\Sub]", "", kComment, "[-" + kTop + "A]", kEntryA,
             "\"V\"=\"x\""}),
       {"3 " + kTop + "A keys 2 values 0 unreadable at 4: a line that deletes a key",
        "6 removed entry " + kTop + "A keys 1 values 1 unreadable at 7: a line that deletes a key"}},
      {"an escape the program does not write", file({"REGEDIT4", "", kEntryA, "\"V\"=\"a\\tb\""}),
       {"3 " + kTop + "A keys 1 values 0 unreadable at 4: an escape \\t that undo files do not hold"}},
      {"a dword of nine digits", file({"REGEDIT4", "", kEntryA, "\"V\"=dword:000000001"}),
       {"3 " + kTop + "A keys 1 values 0 unreadable at 4: a dword that is not 1 to 8 hexadecimal digits"}},
      {"a damaged comment", file({"REGEDIT4", "", "; Tidewell 2.12, yesterday, removed entry \"A\"", kEntryA, "@=\"x\""}),
       {"3 " + kTop + "A keys 1 values 1 unreadable at 3: a comment of the program's that cannot be read"}},
      {"a comment with nothing after it", file({"REGEDIT4", "", kEntryA, "@=\"x\"", kComment}),
       {"3 " + kTop + "A keys 1 values 1", "5 removed entry  keys 0 values 0 unreadable at 5: no key line follows the comment"}},
      {"a key line naming a whole root, and one of an unknown root",
       file({"REGEDIT4", "", "[HKEY_LOCAL_MACHINE]", "[HKEY_NOWHERE\\A]", kEntryA}),
       {"5 " + kTop + "A keys 1 values 0", "skipped 2 from 3"}},
      {"a key below the top named twice takes the values of both",
       file({"REGEDIT4", "", kEntryA, "[" + kTop + "A\\S]", "\"V\"=\"1\"", "[" + kTop + "A\\T]", "[" + kTop + "a\\s]",
             "\"V\"=\"2\"", "\"W\"=\"3\""}),
       {"3 " + kTop + "A keys 3 values 2"}},
      {"a character the code page does not have", "REGEDIT4\r\n\r\n" + kEntryA + "\r\n\"V\"=\"\x81\"\r\n",
       {"3 " + kTop + "A keys 1 values 0 unreadable at 4: a line that is not text in the system's code page"}},
      {"a Unicode file cut in the middle of a character",
       "\xff\xfe" + Utf16LeFromUtf8("Windows Registry Editor Version 5.00\r\n\r\n" + kEntryA + "\r\n\"V\"=\"x\"") + "\"",
       {"3 " + kTop + "A keys 1 values 0 unreadable at 4: the file ends in the middle of a character"}},
      {"a Unicode file is not read as REGEDIT4",
       "\xff\xfe" + Utf16LeFromUtf8("REGEDIT4\r\n\r\n" + kEntryA + "\r\n"),
       {"problem: it is not an undo file: its first line is not \"Windows Registry Editor Version 5.00\""}},
  };
  MemorySystem system;
  system.ansiCodePage = 932;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.outline, Outline(ReadUndoText(system, c.text)));
  }
}

// Values as the registry keeps them: the quoted text with its NUL, a dword's four bytes, string
// data of a "REGEDIT4" file read in the code page, of a Unicode file as they are; the later of two
// values of one name.
TEST(UndoReaderTest, ValuesAsTheRegistryKeepsThem) {
  MemorySystem system;
  system.ansiCodePage = 932;
  const std::string key = "[HKEY_CURRENT_USER\\Software\\T]\r\n";
  const struct {
    const char* what;
    std::string text;
    std::uint32_t type;
    std::string data;
  } cases[] = {
      {"quoted text", "REGEDIT4\r\n" + key + "\"V\"=\"a \\\"b\\\" \\\\ \\r\\n \x95\x5c\"\r\n", kRegSz,
       Utf16LeFromUtf8("a \"b\" \\ \r\n \xe8\xa1\xa8") + std::string(2, '\0')},
      {"dword", "REGEDIT4\r\n" + key + "\"V\"=dword:0000001a\r\n", kRegDword, std::string("\x1a\0\0\0", 4)},
      {"expandable string in the code page", "REGEDIT4\r\n" + key + "\"V\"=hex(2):95,5c,25,00\r\n", kRegExpandSz,
       Utf16LeFromUtf8(std::string("\xe8\xa1\xa8%\0", 5))},
      {"multi-string in UTF-16", "\xff\xfe" + Utf16LeFromUtf8("Windows Registry Editor Version 5.00\r\n" + key +
                                                              "\"V\"=hex(7):68,88,00,00,00,00\r\n"),
       kRegMultiSz, std::string("\x68\x88\0\0\0\0", 6)},
      {"an unpaired surrogate in a Unicode file's text",
       "\xff\xfe" + Utf16LeFromUtf8("Windows Registry Editor Version 5.00\r\n" + key + "\"V\"=\"\xed\xa0\x80\"\r\n"),
       kRegSz, std::string("\x00\xd8\0\0", 4)},
      {"binary of a type the registry does not name", "REGEDIT4\r\n" + key + "\"V\"=hex(1234):ff\r\n", 0x1234u, "\xff"},
      {"the later of two", "REGEDIT4\r\n" + key + "\"V\"=\"1\"\r\n\"v\"=dword:2\r\n", kRegDword,
       std::string("\x02\0\0\0", 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const UndoContents contents = ReadUndoText(system, c.text);
    ASSERT_EQ(1u, contents.records.size());
    ASSERT_TRUE(contents.records[0].Readable()) << contents.records[0].unreadable;
    ASSERT_EQ(1u, contents.records[0].keys[0].values.size());
    const NamedValue& value = contents.records[0].keys[0].values[0];
    EXPECT_EQ(c.type, value.typeCode);
    EXPECT_EQ(c.data, value.data);
  }
}

}  // namespace
