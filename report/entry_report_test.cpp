#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "inventory/status.h"
#include "platform/memory/memory_platform.h"
#include "report/entry_report.h"

using namespace platform;

namespace {

// Names and texts that break a careless report: quotes, backslashes, tabs and line breaks, other
// control characters, and characters of two, three and four bytes in UTF-8.
std::vector<Entry> HostileEntries() {
  std::vector<Entry> entries(4);
  entries[0].source = Source::kMachine64;
  entries[0].keyName = "Quote\"d \\ Key";
  entries[0].displayName = "Tab\there, line\nbreak, return\r, bell\x07, escape\x1b[31m, DEL\x7f";
  entries[0].uninstallString = "\"C:\\Program Files\\Tool\\uninst.exe\" /S";
  entries[0].status = kBrokenLink;
  entries[0].reason = "the file \"C:\\x\" was not found";
  entries[1].source = Source::kMachine32;
  entries[1].keyName = "\xc3\x89" "diteur \xe4\xb8\xad\xe6\x96\x87";  // Éditeur 中文
  entries[1].displayName = "Emoji \xf0\x9f\x98\x80 and NEL\xc2\x85" "end";
  entries[1].uninstallString = "C:\\\xd0\x9f\xd1\x80\xd0\xbe\\u.exe";  // Про
  entries[1].status = kGoodLink;
  entries[2].source = Source::kUser;
  entries[2].keyName = "Hidden";
  entries[2].reason = "not listed: no display name";
  entries[3].source = Source::kMachine32;
  entries[3].keyName = "Away";
  entries[3].displayName = "On a disk";
  entries[3].uninstallString = "A:\\setup.exe";
  entries[3].status = kMissingDisk;
  return entries;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

TEST(EntryReportTest, JsonGivesBackEveryTextExactly) {
  std::vector<Entry> entries = HostileEntries();
  entries[3].uninstallString = "MsiExec.exe /X{a1b2c3d4-e5f6-4718-9a0b-1c2d3e4f5061}";
  const std::string report = JsonReport(entries);
  ASSERT_EQ('\n', report.back());
  const nlohmann::json parsed = nlohmann::json::parse(report);  // raises on a bare control character
  ASSERT_TRUE(parsed.is_array());
  ASSERT_EQ(entries.size(), parsed.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const nlohmann::json& object = parsed[i];
    EXPECT_EQ(7u, object.size());
    EXPECT_EQ(SourceName(entries[i].source), object.at("source").get<std::string>());
    EXPECT_EQ(entries[i].keyName, object.at("key").get<std::string>());
    EXPECT_EQ(entries[i].displayName, object.at("displayName").get<std::string>());
    EXPECT_EQ(entries[i].reason, object.at("reason").get<std::string>());
    EXPECT_EQ(entries[i].uninstallString, object.at("command").get<std::string>());
  }
  EXPECT_EQ("Broken Link", parsed[0]["status"]);
  EXPECT_EQ("Good Link", parsed[1]["status"]);
  EXPECT_TRUE(parsed[2]["status"].is_null()) << "an entry that was not checked";
  EXPECT_EQ("Missing Disk", parsed[3]["status"]);
  // The installer's product, in upper case as /remove-product takes it; none for another entry.
  EXPECT_EQ("{A1B2C3D4-E5F6-4718-9A0B-1C2D3E4F5061}", parsed[3]["productCode"]);
  EXPECT_TRUE(parsed[1]["productCode"].is_null());
  // Beyond ASCII as escapes, which read the same in any code page (a shell that decodes a pipe in
  // the console's OEM code page included).
  EXPECT_NE(std::string::npos, report.find("\\ud83d\\ude00"));
  EXPECT_TRUE(std::all_of(report.begin(), report.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
  EXPECT_EQ("[]\n", JsonReport({}));
}

TEST(EntryReportTest, TabSeparatedKeepsEachEntryOnOneLineOfSixFields) {
  const std::vector<Entry> entries = HostileEntries();
  const std::string report = TabSeparatedReport(entries);
  ASSERT_EQ('\n', report.back());
  const std::vector<std::string> lines = Split(report.substr(0, report.size() - 1), '\n');
  ASSERT_EQ(entries.size() + 1, lines.size()) << report;
  EXPECT_EQ("source\tkey\tdisplay name\tstatus\treason\tcommand", lines[0]);
  const std::vector<std::vector<std::string>> expected = {
      {"64-bit", "Quote\"d \\ Key",
       "Tab\xe2\x90\x89here, line\xe2\x90\x8a" "break, return\xe2\x90\x8d, bell\xe2\x90\x87, escape\xe2\x90\x9b[31m, "
       "DEL\xe2\x90\xa1",
       "Broken Link", "the file \"C:\\x\" was not found", "\"C:\\Program Files\\Tool\\uninst.exe\" /S"},
      {"32-bit", "\xc3\x89" "diteur \xe4\xb8\xad\xe6\x96\x87", "Emoji \xf0\x9f\x98\x80 and NEL\xef\xbf\xbd" "end",
       "Good Link", "", "C:\\\xd0\x9f\xd1\x80\xd0\xbe\\u.exe"},
      {"user", "Hidden", "", "", "not listed: no display name", ""},
      {"32-bit", "Away", "On a disk", "Missing Disk", "", "A:\\setup.exe"},
  };
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], Split(lines[i + 1], '\t')) << lines[i + 1];
}

TEST(EntryReportTest, OneLineShowsEveryControlCharacterAndKeepsTheRest) {
  const struct {
    std::string text;
    std::string line;
  } cases[] = {
      {std::string("\0", 1), "\xe2\x90\x80"},
      {"\x01\x1f", "\xe2\x90\x81\xe2\x90\x9f"},
      {"a\tb\r\nc", "a\xe2\x90\x89" "b\xe2\x90\x8d\xe2\x90\x8a" "c"},
      {"\x7f", "\xe2\x90\xa1"},
      {"\xc2\x80\xc2\x9f\xc2\xa0", "\xef\xbf\xbd\xef\xbf\xbd\xc2\xa0"},
      {"\"quoted\" \\back\\slash\\", "\"quoted\" \\back\\slash\\"},
      {"\xe2\x90\x89 stays", "\xe2\x90\x89 stays"},
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
      {"\xff", "\xef\xbf\xbd"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.line, OneLine(c.text)) << c.text;
}

TEST(EntryReportTest, CheckEntriesJudgesListedEntriesAndSaysWhyTheOthersAreLeftOut) {
  MemoryPlatform p;
  p.files.AddFile("C:\\Apps\\uninst.exe");
  std::vector<Entry> entries(5);
  for (Entry& entry : entries) {
    entry.keyName = "K";
    entry.displayName = "Tool";
    entry.uninstallString = "C:\\Apps\\uninst.exe";
  }
  entries[1].uninstallString = "C:\\Apps\\gone.exe";
  entries[2].displayName = "";
  entries[3].uninstallString = "";
  entries[4] = Entry{};
  entries[4].keyName = "Unread";
  entries[4].readError = "Invalid data type for 'DisplayName'";
  CheckEntries(p.files, p.system, &entries);
  EXPECT_EQ(kGoodLink, entries[0].status);
  EXPECT_EQ(kBrokenLink, entries[1].status);
  const std::vector<std::string> reasons = {entries[2].reason, entries[3].reason, entries[4].reason};
  EXPECT_EQ((std::vector<std::string>{"not listed: no display name", "not listed: no uninstall command",
                                      "not listed: its values could not be read: Invalid data type for 'DisplayName'"}),
            reasons);
  for (size_t i = 2; i < entries.size(); ++i) EXPECT_EQ(kStatusUnknown, entries[i].status) << i;
}

}  // namespace
