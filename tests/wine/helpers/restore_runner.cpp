// Runs one hive restore of the program, or holds the restore lock, and writes what happened
// with times, for the Windows test of restores started at once in several processes:
//   restore_runner <log file> hold <ms>
//   restore_runner <log file> restore <key path> <hive file>
// Each log line is "<event> <time>", the time in 100-nanosecond units of the system clock, which
// every process reads alike. The exit code is 0 when the restore (or the hold) succeeded.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "backup/undo_file.h"
#include "platform/win32/win32_platform.h"
#include "restore/hive_restore.h"
#include "tests/wine/recording_ui.h"

namespace {

std::ofstream logFile;

std::uint64_t Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void Log(const std::string& event) { logFile << event << ' ' << Now() << std::endl; }

// The lock's events: "owned" once this process holds it, "releasing" before it lets go, so that
// the owned spans of two processes can be compared.
class LoggingSystem : public platform::Win32System {
 public:
  platform::MutexId CreateNamedMutex(const std::string& name, bool initialOwner, bool* alreadyExists) override {
    const platform::MutexId id = Win32System::CreateNamedMutex(name, initialOwner, alreadyExists);
    if (id && initialOwner && !*alreadyExists) Log("owned");
    if (id && *alreadyExists) Log("waiting");
    return id;
  }
  bool WaitForMutex(platform::MutexId mutex, std::uint32_t milliseconds) override {
    const bool owned = Win32System::WaitForMutex(mutex, milliseconds);
    if (owned) Log("owned");
    return owned;
  }
  void ReleaseNamedMutex(platform::MutexId mutex) override {
    Log("releasing");
    Win32System::ReleaseNamedMutex(mutex);
  }
};

class LoggingRegistry : public platform::Win32Registry {
 public:
  long LoadKey(platform::Hkey root, const char* subKey, const char* file) override {
    const long result = Win32Registry::LoadKey(root, subKey, file);
    Log("mounted " + std::to_string(result));
    return result;
  }
  long UnLoadKey(platform::Hkey root, const char* subKey) override {
    Log("unmounting");
    return Win32Registry::UnLoadKey(root, subKey);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  logFile.open(argv[1], std::ios::app);
  Log("start");
  const std::string mode = argv[2];
  if (mode == "hold") {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "REG_RESTORE");
    if (!mutex || WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return 3;
    Log("owned");
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    Log("releasing");
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
  }
  if (mode != "restore" || argc < 5) return 2;
  LoggingRegistry registry;
  platform::Win32FileSystem files;
  LoggingSystem system;
  platform::Win32Processes processes;
  RecordingUi ui;
  const platform::Platform real{registry, files, system, processes, ui};
  UndoFile undo(files, system, BackupFolderOf(system.ExecutablePath()), "UndoRestoreRunner");
  const bool restored = SaveHive(real, undo, argv[3], argv[4], false);
  Log(restored ? "restored" : "failed");
  return restored ? 0 : 1;
}
