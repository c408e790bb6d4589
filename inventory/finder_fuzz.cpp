// libFuzzer target: FindSpace and CheckUninstall over any text, against a small in-memory tree
// with a drive of every kind. Beyond the sanitizers it checks that remembering answers within a
// search changes none, that every row gets one of the three icons, the scan's check the same one
// with a line that explains it, and that no search is left open.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/form1.h"
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
    row = form.ListView1.Add();
  }
  platform::MemoryPlatform mp;
  TForm1 form{mp.platform()};
  int row = 0;
};

World& TheWorld() {
  static World world;
  return world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& world = TheWorld();
  TForm1& form = world.form;
  const std::string text(reinterpret_cast<const char*>(data), size);
  world.mp.files.ResetCalls();

  form.RememberFinderAnswers = true;
  const bool found = form.FindSpace(text);
  // Without the memo the work grows with marks times dots; short texts keep the run fast.
  if (size <= 512) {
    form.RememberFinderAnswers = false;
    if (form.FindSpace(text) != found) __builtin_trap();
    form.RememberFinderAnswers = true;
  }

  form.ListView1.SetImageIndex(world.row, -1);
  form.CheckUninstall(text, world.row);
  const int icon = form.ListView1.Item(world.row).ImageIndex;
  if (icon != kBrokenLink && icon != kGoodLink && icon != kMissingDisk) __builtin_trap();
  // The scan's check gives the same icon, with a line that explains it.
  const StatusResult result = ScanChecker(world.mp.files, world.mp.system).CheckCommand(text, false);
  if (result.status != icon || reason::VerdictOf(result.reason) != icon) __builtin_trap();
  if (world.mp.files.OpenFinds() != 0) __builtin_trap();
  return 0;
}
