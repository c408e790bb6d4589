#include "restore/short_name.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"

using namespace platform;

namespace {

TEST(BuildShortPath, NamesThatDoNotExistAreBuiltByTheRule) {
  MemoryFileSystem files;
  const struct {
    const char* name;
    const char* built;
  } cases[] = {
      {"readme.txt", "readme.txt"},
      {"longfilename.txt", "longfi~1.txt"},
      {"my file.txt", "myfile~1.txt"},
      {"a+b.c", "a_b~1.c"},
      {"abc.html", "abc~1.htm"},
      {"a.b.c", "ab~1.c"},
      {"long name without dot", "longnamewithoutdot"},
      {"Mixed Case.Text", "MixedC~1.Tex"},
      {"x,y;z=w[1].txt", "x_y_z_~1.txt"},
      {"eightchr.txt", "eightchr.txt"},
      {"ninechars.txt", "ninech~1.txt"},
      {"name.", "name."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string("C:\\") + c.built, BuildShortPath(files, std::string("C:\\") + c.name, false)) << c.name;
    EXPECT_EQ(c.built, BuildShortPath(files, c.name, false)) << "bare " << c.name;
  }
}

TEST(BuildShortPath, ExistingComponentsGiveTheirAlternateNames) {
  MemoryFileSystem files;
  files.AddFolder("C:\\Long Folder");
  files.SetShortName("C:\\Long Folder", "LONGFO~1");
  files.AddFile("C:\\Long Folder\\short.txt");
  files.AddFile("C:\\Long Folder\\Another Long Name.dat");
  files.SetShortName("C:\\Long Folder\\Another Long Name.dat", "ANOTHE~7.DAT");
  const struct {
    const char* path;
    const char* shortPath;
  } cases[] = {
      {"C:\\Long Folder\\File.txt", "C:\\LONGFO~1\\File.txt"},
      {"C:\\Long Folder\\short.txt", "C:\\LONGFO~1\\short.txt"},
      {"C:\\Long Folder\\Another Long Name.dat", "C:\\LONGFO~1\\ANOTHE~7.DAT"},
      {"C:\\Long Folder\\Missing Part\\my file.txt", "C:\\LONGFO~1\\MissingPart\\myfile~1.txt"},
      {"C:\\Long Folder", "C:\\LONGFO~1"},
      // A file where a folder of the path should be: its name is what the path goes through.
      {"C:\\Long Folder\\short.txt\\inner name.txt", "C:\\LONGFO~1\\short.txt\\innern~1.txt"},
      {"C:File Name.txt", "C:FileNa~1.txt"},
      {"rel dir\\my file.txt", "reldir\\myfile~1.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shortPath, BuildShortPath(files, c.path, false)) << c.path;
  EXPECT_EQ(0, files.OpenFinds());
}

TEST(BuildShortPath, EndsOnOddAndDeepPaths) {
  MemoryFileSystem files;
  EXPECT_EQ("ab:\\", BuildShortPath(files, "ab:\\", false));
  EXPECT_EQ("C:\\", BuildShortPath(files, "C:\\", false));
  std::string deep = "C:";
  std::string expected = "C:";
  for (int i = 0; i < 1000; ++i) {
    deep += "\\long part";
    expected += "\\longpart";
  }
  EXPECT_EQ(expected, BuildShortPath(files, deep, false));
}

class ShortFileNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mp.files.AddFolder("C:\\Tools\\Tidewell\\Backup Files");
    mp.files.SetShortName("C:\\Tools\\Tidewell\\Backup Files", "BACKUP~2");
    mp.files.AddFile("C:\\Tools\\Tidewell\\Backup Files\\Saved Entry.hive");
    mp.files.SetShortName("C:\\Tools\\Tidewell\\Backup Files\\Saved Entry.hive", "SAVEDE~3.HIV");
  }
  MemoryPlatform mp;
};

TEST_F(ShortFileNameTest, ThePlatformsAnswerWinsAndTheBuiltFormStandsInForIt) {
  const std::string file = "C:\\Tools\\Tidewell\\Backup Files\\Saved Entry.hive";
  EXPECT_EQ("C:\\Tools\\Tidewell\\BACKUP~2\\SAVEDE~3.HIV", ShortFileName(mp.files, file));
  EXPECT_EQ("C:\\Tools\\Tidewell\\BACKUP~2\\", ShortFileName(mp.files, "C:\\Tools\\Tidewell\\Backup Files\\"))
      << "the platform's text is kept with its trailing backslash";
  EXPECT_EQ("C:\\Tools\\Tidewell\\BACKUP~2\\Missin~1.hiv",
            ShortFileName(mp.files, "C:\\Tools\\Tidewell\\Backup Files\\Missing One.hiv"))
      << "the platform answers 0 for a missing file";

  mp.files.SetShortPathFails(true);
  EXPECT_EQ("C:\\Tools\\Tidewell\\BACKUP~2\\SAVEDE~3.HIV", ShortFileName(mp.files, file));

  mp.files.SetShortPathFails(false);
  std::string longFolder = "C:\\Tools";
  for (int i = 0; i < 30; ++i) longFolder += "\\folder" + std::to_string(i);
  mp.files.AddFile(longFolder + "\\entry.hiv");
  ASSERT_GT((longFolder + "\\entry.hiv").size(), 255u);
  EXPECT_EQ(longFolder + "\\entry.hiv", ShortFileName(mp.files, longFolder + "\\entry.hiv"))
      << "a short path that does not fit 256 characters is built instead";
  EXPECT_EQ(0, mp.files.OpenFinds());
}

}  // namespace
