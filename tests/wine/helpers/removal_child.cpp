// Removes the machine's uninstall entry of a key name as "&Remove Entry" does once the user has said
// Yes, to the undo files of the stem in the folder Backup beside itself, for the Windows tests that
// end it at chosen moments or run two at once:
//   removal_child <undo stem> <entry key name> [<event to wait for before the removal>]
// It signals the named event "TidewellRemovalStarted" just before the removal begins.
#include <windows.h>

#include <exception>
#include <string>

#include "backup/entry_commands.h"
#include "backup/undo_file.h"
#include "inventory/entry.h"
#include "platform/win32/win32_platform.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 2;
  platform::Win32Platform real;
  UndoFile undo(real.files, real.system, BackupFolderOf(real.system.ExecutablePath()), argv[1]);
  Entry entry;
  entry.source = Source::kMachine32;
  entry.keyName = argv[2];
  if (argc == 4) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, argv[3]);
    if (!go || WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 3;
    CloseHandle(go);
  }
  HANDLE started = CreateEventA(nullptr, TRUE, FALSE, "TidewellRemovalStarted");
  if (started) SetEvent(started);
  try {
    RemoveEntryKey(undo, real.registry, entry, real.system.IsWow64());
  } catch (const std::exception&) {
    return 1;
  }
  if (started) CloseHandle(started);
  return 0;
}
