#pragma once
// The in-memory Windows used by the native build's tests: every platform interface, scriptable.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/memory/memory_files.h"
#include "platform/console.h"
#include "platform/memory/memory_registry.h"
#include "platform/posted_tasks.h"
#include "platform/platform.h"

namespace platform {

// Thrown by MemoryUi::ExitProgram, so that a test sees the program end. Not a std::exception, so
// that the window's error display does not take it for an error.
struct ProgramExit {
  int code;
};

class MemorySystem : public System {
 public:
  std::string windowsDirectory = "C:\\WINDOWS";
  std::string systemWindowsDirectory = "C:\\WINDOWS";
  std::string systemDirectory = "C:\\WINDOWS\\system32";
  std::string executablePath = "C:\\Tools\\Tidewell\\Tidewell.exe";
  LocalDate today{2026, 12, 7};
  // The time of day that Now() gives with `today`.
  int hour = 14, minute = 3, second = 11;
  bool ntFamily = true;
  // The system's ANSI code page: what ToAnsiCodePage converts to (glibc's table of that number).
  unsigned ansiCodePage = 1252;
  bool wow64Available = false;
  bool wow64 = false;
  // Told when redirection goes off (false) and comes back (true), on the thread that turns it.
  std::function<void(bool)> redirection;
  std::vector<std::string> redirectionLog;  // "disable" and "revert <value>"
  // Whether the file-system redirection is off now (on any thread).
  bool RedirectionOff() const { return redirectionOff_ > 0; }

  // Privileges: known names, their state; the log of every adjustment.
  std::map<std::string, bool> privileges{{"SeBackupPrivilege", false}, {"SeRestorePrivilege", false}};
  bool tokenOpens = true;
  // The user the program runs as.
  std::string userSid = "S-1-5-21-3623811015-3361044348-30300820-1013";
  // The accounts the system knows by SID.
  std::map<std::string, std::string> accountNames;
  std::vector<std::string> privilegeLog;
  int openTokens = 0;

  // Named mutexes: name -> whether someone holds it; the log of mutex calls.
  std::map<std::string, bool> mutexHeld;
  std::vector<std::string> mutexLog;
  int openMutexes = 0;
  // Called while WaitForMutex waits on a held mutex (a test releases it there).
  std::function<void(const std::string&)> onMutexWait;

  // The system installer: the state of each product it knows (product code in any letter case),
  // kInstallStateUnknown for the others; without it, it cannot be asked at all.
  std::map<std::string, int> productStates;
  // The installer's cached package of each product that has one.
  std::map<std::string, std::string> localPackages;
  bool installerAvailable = true;

  std::string WindowsDirectory() override { return windowsDirectory; }
  std::string SystemWindowsDirectory() override { return systemWindowsDirectory; }
  std::string SystemDirectory() override { return systemDirectory; }
  std::string ExecutablePath() override { return executablePath; }
  LocalDate Today() override { return today; }
  LocalTime Now() override { return {today, hour, minute, second}; }
  std::string SortKey(const std::string& text, bool ignoreCase) override;
  bool ToAnsiCodePage(const std::string& text, std::string* ansi) override;
  // What the registry editor reads from bytes in that code page (MultiByteToWideChar(CP_ACP)), a
  // byte it cannot read as U+FFFD: for tests that merge a "REGEDIT4" file.
  std::string FromAnsiCodePage(const std::string& ansi) const;
  bool FromAnsiCodePage(const std::string& ansi, std::string* text) override;
  bool Wow64DisableRedirection(std::uintptr_t* cell) override;
  void Wow64RevertRedirection(std::uintptr_t value) override;
  bool IsNtFamily() override { return ntFamily; }
  bool IsWow64() override { return wow64; }
  TokenId OpenProcessToken() override;
  void CloseToken(TokenId token) override;
  bool LookupPrivilege(const std::string& name, std::uint64_t* luid) override;
  bool AdjustPrivileges(TokenId token, const std::vector<PrivilegeSetting>& settings,
                        std::vector<PrivilegeSetting>* previous) override;
  MutexId CreateNamedMutex(const std::string& name, bool initialOwner, bool* alreadyExists) override;
  bool WaitForMutex(MutexId mutex, std::uint32_t milliseconds) override;
  void ReleaseNamedMutex(MutexId mutex) override;
  void CloseMutex(MutexId mutex) override;
  std::string CurrentUserSid() override { return userSid; }
  std::string AccountNameOfSid(const std::string& sid) override {
    const auto found = accountNames.find(sid);
    return found == accountNames.end() ? std::string() : found->second;
  }
  bool QueryProductState(const std::string& productCode, int* state) override;
  bool ProductLocalPackage(const std::string& productCode, std::string* path) override;
  // Every question to the installer, in order: a product code for its state, "package of" and the
  // code for its cached package.
  std::vector<std::string> ProductQueries() const;

 private:
  mutable std::mutex productMutex_;
  std::mutex redirectionMutex_;
  std::atomic<int> redirectionOff_{0};
  std::vector<std::string> productQueries_;
  std::vector<std::string> luidNames_;
  std::map<MutexId, std::string> mutexes_;
  std::map<MutexId, bool> owns_;
  MutexId nextMutex_ = 0x100;
};

class MemoryProcesses : public Processes {
 public:
  struct Child {
    std::string commandLine;
    std::string application;  // the program's path, as the system was handed it
    std::uint16_t show = 0;
    int waitsLeft = 0;  // wakes with input before the child ends
    bool closed = false;
  };
  // Command lines that start; the others fail. Each child ends after `inputWakes` input wakes.
  std::map<std::string, int> startable;
  // Command lines that do not start for another reason than a missing file: the system's error.
  std::map<std::string, std::uint32_t> refusals;
  std::vector<Child> started;
  // Run at each input wake (a test queues messages or clicks there).
  std::function<void(int wake)> onInput;
  // The exit code of each command line's child; 0 when not given.
  std::map<std::string, std::uint32_t> exitCodes;
  int openProcesses = 0;

  ProcessId StartProcess(const std::string& application, const std::string& commandLine, std::uint16_t show,
                         std::uint32_t* error = nullptr) override;
  Wake WaitForProcessOrInput(ProcessId process) override;
  std::uint32_t ExitCode(ProcessId process) override;
  void CloseProcess(ProcessId process) override;

 private:
  int wakes_ = 0;
};

class MemoryUi : public Ui {
 public:
  struct Shown {
    std::string kind;  // "ask", "message", "error", "beep", "shell"
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
  };
  std::vector<Shown> shown;
  std::deque<int> answers;  // answers to AskMessageBox; kIdNo when none is queued
  std::map<std::string, int> shellResults;  // file -> ShellOpen result; 42 when absent
  // Asked at each ShellOpen: the shell loads libraries, which fails while the redirection is off.
  std::function<bool()> redirectionOff;
  int shellOpensWithRedirectionOff = 0;
  std::deque<std::function<void()>> pendingMessages;  // dispatched by DispatchPendingMessages and ProcessMessages
  int quitAfterMessages = -1;  // WM_QUIT taken after this many dispatched messages
  int processMessagesCalls = 0;

  std::vector<std::string> Texts(const std::string& kind) const;

  int AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t style) override;
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void SoundBeep(std::uint32_t type) override;
  int ShellOpen(const std::string& file, const std::string& parameters, int show) override;
  bool DispatchPendingMessages(int* quitCode) override;
  void ProcessMessages() override;
  [[noreturn]] void ExitProgram(int code) override;
  void Post(std::function<void()> task) override;
  void PostAfter(std::chrono::milliseconds delay, std::function<void()> task) override;
  int AskWithList(const std::string& text, const std::string& caption, const std::vector<std::string>& lines) override;
  // Takes the next queued answer, or the default button's id when none is queued (Enter).
  int AskWithButtons(const std::string& text, const std::string& caption, const std::vector<Button>& buttons,
                     int defaultId) override;
  int ChooseFromMenu(const std::vector<std::string>& items, MenuPlace place) override;
  void CopyText(const std::string& text) override;
  // The lines of each list question, the items of each menu, the clipboard's text.
  std::vector<std::vector<std::string>> listLines;
  // The captions of each question's buttons, the default one marked with a leading '*'.
  std::vector<std::vector<std::string>> buttonCaptions;
  std::vector<std::vector<std::string>> menus;
  std::vector<MenuPlace> menuPlaces;
  std::deque<int> menuChoices;  // -1 when none is queued
  std::string clipboard;
  // Runs the posted tasks, and the delayed ones that are due, as the window's message loop does;
  // answers how many ran.
  int RunPosted();

 private:
  int dispatched_ = 0;
  PostedTasks tasks_;
};

// A console that keeps what is written to each stream.
class MemoryConsole : public Console {
 public:
  std::string out;
  std::string error;
  bool WriteOut(std::string_view text) override {
    out += text;
    return true;
  }
  bool WriteError(std::string_view text) override {
    error += text;
    return true;
  }
  // Started from Explorer: a window of its own, hidden or waited on.
  bool ownsWindow = false;
  bool hidden = false;
  int keyWaits = 0;
  bool OwnsWindow() override { return ownsWindow; }
  void HideWindow() override { hidden = true; }
  void WaitForKey() override { ++keyWaits; }
};

// Everything at once, wired together.
class MemoryPlatform {
 public:
  MemoryPlatform();
  MemoryFileSystem files;
  MemoryRegistry registry{&files};
  MemorySystem system;
  MemoryProcesses processes;
  MemoryUi ui;
  Platform platform() { return Platform{registry, files, system, processes, ui}; }
  // 64-bit Windows as the 32-bit program sees it: two views of HKLM\\SOFTWARE and a System folder
  // redirected to SysWOW64 until the program turns redirection off.
  void SetWow64();
};

}  // namespace platform
