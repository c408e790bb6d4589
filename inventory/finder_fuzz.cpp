// libFuzzer target: FindSpace and CheckUninstall over any text, against a small in-memory tree
// with a drive of every kind. Beyond the sanitizers it checks that remembering answers within a
// search changes none, that every text gets one of the three icons, the scan's check the same one
// with a line that explains it, and that no search is left open.
#include <cstddef>
#include <cstdint>
#include <string>

#include "inventory/finder.h"
#include "inventory/status.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/reason_verdict.h"

namespace {

struct World {
  World() {
    platform::MemoryFileSystem& files = mp.files;
    files.AddDrive('A', platform::kDriveRemovable);
    files.AddDrive('D', platform::kDriveCdrom);
    files.AddDrive('N', platform::kDriveRemote);
    files.AddDrive('R', platform::kDriveRamdisk);
    files.AddFile("C:\\Program Files\\App\\uninst.exe");
    files.AddFile("C:\\Program Files\\App\\My App\\readme.txt");
    files.AddFile("C:\\App\\x.dll");
    files.AddFile("C:\\App\\u");
    files.AddFile("C:\\App\\1033\\strings.dll");
    files.AddFile("C:\\App\\old.exe");
    files.SetLastWriteTime("C:\\App\\old.exe", 0);
    files.AddFile("C:\\WINDOWS\\system32\\rundll32.exe");
    files.AddFile("N:\\Share\\setup.exe");
    files.AddFile("D:\\setup.exe");
    files.SetEnvironment("ProgramFiles", "C:\\Program Files");
    files.SetEnvironment("WINDIR", "C:\\WINDOWS");
    files.SetEnvironment("Long", std::string(300, 'x'));
  }
  Finder MakeFinder(bool rememberAnswers, FinderMemo* memo = nullptr) {
    FinderOptions options;
    options.rememberAnswers = rememberAnswers;
    options.memo = memo;
    return Finder(mp.files, mp.system, options);
  }
  platform::MemoryPlatform mp;
};

World& TheWorld() {
  static World world;
  return world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& world = TheWorld();
  const std::string text(reinterpret_cast<const char*>(data), size);
  world.mp.files.ResetCalls();

  const bool found = world.MakeFinder(true).FindSpace(text);
  // Without the memo the work grows with marks times dots; short texts keep the run fast.
  if (size <= 512 && world.MakeFinder(false).FindSpace(text) != found) __builtin_trap();

  FinderMemo memo;
  Finder finder = world.MakeFinder(true, &memo);
  const int icon = CheckUninstall(finder, text);
  if (icon != kBrokenLink && icon != kGoodLink && icon != kMissingDisk) __builtin_trap();
  // The scan's check gives the same icon, with a line that explains it.
  const StatusResult result = ScanChecker(world.mp.files, world.mp.system).CheckCommand(text, false);
  if (result.status != icon || reason::VerdictOf(result.reason) != icon) __builtin_trap();
  if (world.mp.files.OpenFinds() != 0) __builtin_trap();
  return 0;
}
