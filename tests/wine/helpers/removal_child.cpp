// Removes one uninstall entry as "&Remove Entry" does, answering Yes, for the Windows test that
// ends it at chosen moments:
//   removal_child <undo stem> <entry key name>
// It signals the named event "TidewellRemovalStarted" just before the removal begins.
#include <windows.h>

#include <string>

#include "app/form1.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/recording_ui.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  platform::Win32Platform real;
  RecordingUi ui;
  ui.answers = {IDYES};
  TForm1 form(platform::Platform{real.registry, real.files, real.system, real.processes, ui});
  form.UndoStem = argv[1];
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
