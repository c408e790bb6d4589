#include "backup/undo_comment.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/memory/memory_platform.h"
#include "tidewell_version.h"

using namespace platform;

namespace {

// A comment reads back as it was written, in each file, for names in several scripts; a character
// that the REGEDIT4 file cannot carry is written as "?" so that the line still goes into that file.
TEST(UndoCommentTest, ACommentReadsBackAsWrittenInEitherFile) {
  MemorySystem system;
  const struct {
    const char* what;
    std::string name;
    std::string source;
    std::string inRegedit4;  // the name as the REGEDIT4 file keeps it (code page 1252)
  } cases[] = {
      {"plain", "Harbor Notes 3.1", "32-bit", "Harbor Notes 3.1"},
      {"quotes, backslashes and line breaks", "say \"hi\" C:\\dir\\\r\nnext", "64-bit", "say \"hi\" C:\\dir\\\r\nnext"},
      {"Latin-1", "Caf\xc3\xa9 M\xc3\xbcller \xc2\xbd", "user", "Caf\xc3\xa9 M\xc3\xbcller \xc2\xbd"},
      {"Greek and Cyrillic", "\xce\x95\xce\xbb \xd0\x96", "32-bit", "?? ?"},
      {"Chinese", "\xe5\xbe\xae\xe4\xbf\xa1 WeChat", "machine", "?? WeChat"},
      {"outside the BMP", "\xf0\x9f\x98\x80!", "user", "?!"},
      {"an unpaired surrogate", "Odd\xed\xa0\x80", "32-bit", "Odd?"},
      {"a name that looks like the end", "x\" (64-bit)", "32-bit", "x\" (64-bit)"},
      {"no source", "Product", "", "Product"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const UndoComment comment = CommentNow(system, UndoAction::kRemovedEntry, c.name, c.source);
    EXPECT_EQ(std::string(TIDEWELL_VERSION), comment.version);
    EXPECT_EQ("2026-12-07 14:03:11", comment.when);
    for (const UndoEncoding& encoding : {UndoEncoding::Unicode(), UndoEncoding::Regedit4(system)}) {
      const std::string line = CommentLine(comment, encoding);
      std::string bytes;
      ASSERT_TRUE(encoding.EncodeLine(line, &bytes)) << line;
      const auto read = ReadCommentLine(line);
      ASSERT_TRUE(read.has_value()) << line;
      EXPECT_EQ(UndoAction::kRemovedEntry, read->action);
      EXPECT_EQ("removed entry", read->what);
      EXPECT_EQ(comment.when, read->when);
      EXPECT_EQ(encoding.Format() == UndoFormat::kUnicode ? c.name : c.inRegedit4, read->name);
      EXPECT_EQ(c.source, read->source);
    }
  }
  EXPECT_EQ("; Tidewell " TIDEWELL_VERSION ", 2026-12-07 14:03:11, changed the uninstall command of \"A \\\"B\\\"\" (user)",
            CommentLine(CommentNow(system, UndoAction::kChangedCommand, "A \"B\"", "user"), UndoEncoding::Unicode()));
}

TEST(UndoCommentTest, WhatReadsAsACommentOfTheProgram) {
  const struct {
    std::string line;
    bool programs;  // begins as the program's comments do
    bool reads;
    UndoAction action = UndoAction::kOther;
  } cases[] = {
      {"; Tidewell 2.12, 2026-12-07 14:03:11, removed entry \"A\" (32-bit)", true, true, UndoAction::kRemovedEntry},
      {"; Tidewell 2.12, 2026-12-07 14:03:11, removed installer product \"A\" (machine)", true, true,
       UndoAction::kRemovedProduct},
      {"; Tidewell 2.12, 2026-12-07 14:03:11, restored entry \"A\" (user)", true, true, UndoAction::kRestoredEntry},
      {"; Tidewell 2.12, 2026-12-07 14:03:11, restored the values of \"A\"", true, true, UndoAction::kRestoredValues},
      {"; Tidewell 3.0, 2030-01-01 00:00:00, renamed entry \"A\" (user)", true, true, UndoAction::kOther},
      {"; Tidewell is a nice program", false, false},
      {"; a comment of someone's", false, false},
      {"; Tidewell 2.12, 2026-12-07 14:03, removed entry \"A\" (32-bit)", true, false},
      {"; Tidewell 2.12, 2026-12-07 14:03:11, removed entry \"A (32-bit)", true, false},
      {"; Tidewell 2.12, 2026-12-07 14:03:11, removed entry \"A\\t\" (32-bit)", true, false},
      {"; Tidewell 2.12, 2026-12-07 14:03:11, removed entry \"A\" (32-bit) and more", true, false},
      {"; Tidewell 2.12, 2026-12-07 14:03:11, \"A\" (32-bit)", true, false},
      {"; Tidewell 2.12", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(c.programs, IsProgramComment(c.line));
    const auto read = ReadCommentLine(c.line);
    EXPECT_EQ(c.reads, read.has_value());
    if (read) { EXPECT_EQ(c.action, read->action); }
  }
}

}  // namespace
