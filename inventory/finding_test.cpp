#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/finder.h"
#include "inventory/finding.h"
#include "platform/memory/memory_platform.h"

namespace {

using platform::MemoryPlatform;

// What the finder alone says of a piece, where the status check never asks in that way.
TEST(ReasonTest, TheFinderSaysWhatItFoundOrLookedFor) {
  const struct {
    std::string text;
    bool found;
    std::string line;
  } cases[] = {
      // A path on a drive that is never looked at, behind a mark the finder drops.
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
  std::string accents;
  for (int i = 0; i < 121; ++i) accents += "\xc3\xa9";  // é, two bytes each
  const struct {
    std::string text, shown;
  } cases[] = {
      {"  C:\\App\\u.exe  ", "C:\\App\\u.exe"},
      {"   ", ""},
      {std::string(120, 'a'), std::string(120, 'a')},
      {std::string(60, 'a') + std::string(61, 'b'), std::string(58, 'a') + "..." + std::string(59, 'b')},
      {accents, accents.substr(0, 58 * 2) + "..." + accents.substr(0, 59 * 2)},
  };
  for (const auto& c : cases) EXPECT_EQ(ShownInLine(c.text), c.shown) << c.text;
}

}  // namespace
