#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/finder.h"
#include "inventory/finding.h"
#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

std::string Repeated(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// What the finder alone says of a piece, where the status check never asks in that way.
TEST(ReasonTest, TheFinderSaysWhatItFoundOrLookedFor) {
  const struct {
    std::string text;
    bool found;
    std::string line;
  } cases[] = {
      // The status check takes "@D:" for the root, which is no drive: Broken Link, for a reason.
      {"@D:\\setup.exe", false, "Not found: D:\\setup.exe (on drive D:, a CD-ROM drive: not looked at)"},
      {",x\\gone.exe", true, "Counted as found: an empty name without a folder"},
      {"x\\gone.exe", false, "Not found: x\\gone.exe (looked for x\\gone.exe, x\\gone.exe.* and x)"},
      {"C:\\App\\" + std::string(300, 'a') + ".exe", false,
       "Not found: C:\\App\\" + std::string(51, 'a') + "..." + std::string(55, 'a') +
           ".exe (looked for C:\\App and C:)"},
      {"\\\\\\server\\x", true, "Counted as found: \\\\server\\x, a network path"},
  };
  for (const auto& c : cases) {
    MemoryPlatform mp;
    mp.files.AddDrive('D', platform::kDriveCdrom);
    Finder finder(mp.files, mp.system);
    Finding finding;
    EXPECT_EQ(finder.FindSpace(c.text, &finding), c.found) << c.text;
    EXPECT_EQ(finding.Found(), c.found) << c.text;
    EXPECT_EQ(FindingLine(finding), c.line) << c.text;
  }
}

TEST(ReasonTest, NamesCandidatesWhileTheLineStaysShort) {
  const std::string folder = "C:\\" + std::string(60, 'f');
  Finding finding;
  finding.kind = Finding::Kind::kNotFound;
  finding.text = folder + "\\u.exe";
  finding.lookedFor = {folder + "\\u.exe", folder + "\\u.exe.*", folder};
  finding.othersLookedFor = 2;
  EXPECT_EQ(FindingLine(finding),
            "Not found: " + folder + "\\u.exe (looked for " + folder + "\\u.exe, " + folder + "\\u.exe.* and 3 more)");
  // However long, the first candidate is named.
  finding.text = std::string(200, 'p');
  finding.lookedFor = {std::string(200, 'p'), "q"};
  finding.othersLookedFor = 0;
  const std::string p = std::string(58, 'p') + "..." + std::string(59, 'p');
  EXPECT_EQ(FindingLine(finding), "Not found: " + p + " (looked for " + p + " and 1 more)");
}

TEST(ReasonTest, ShowsTextsTrimmedAndLongOnesByTheirEnds) {
  const struct {
    std::string text, shown;
  } cases[] = {
      {"  C:\\App\\u.exe  ", "C:\\App\\u.exe"},
      {"   ", ""},
      {std::string(120, 'a'), std::string(120, 'a')},
      {std::string(60, 'a') + std::string(61, 'b'), std::string(58, 'a') + "..." + std::string(59, 'b')},
      {Repeated("\xc3\xa9", 121), Repeated("\xc3\xa9", 58) + "..." + Repeated("\xc3\xa9", 59)},  // é
  };
  for (const auto& c : cases) EXPECT_EQ(ShownInLine(c.text), c.shown) << c.text;
}

}  // namespace
