// Removes one uninstall entry as "&Remove Entry" does, answering Yes, for the Windows tests that
// end it at chosen moments or run two at once:
//   removal_child <undo stem> <entry key name> [<event to wait for before the removal>]
// It signals the named event "TidewellRemovalStarted" just before the removal begins.
#include <windows.h>

#include <string>

#include "app/form1.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/recording_ui.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 2;
  platform::Win32Platform real;
  RecordingUi ui;
  ui.answers = {IDYES};
  TForm1 form(platform::Platform{real.registry, real.files, real.system, real.processes, ui});
  form.UndoStem = argv[1];
  if (argc == 4) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, argv[3]);
    if (!go || WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 3;
    CloseHandle(go);
  }
  HANDLE started = CreateEventA(nullptr, TRUE, FALSE, "TidewellRemovalStarted");
  if (started) SetEvent(started);
  try {
    form.RemoveEntry(argv[2]);
  } catch (const std::exception&) {
    return 1;
  }
  if (started) CloseHandle(started);
  return 0;
}
