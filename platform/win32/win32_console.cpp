#include "platform/win32/win32_console.h"

#include <algorithm>
#include <string>

#include "platform/win32/system_libraries.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

bool Usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return Usable(handle) && GetConsoleMode(handle, &mode);
}

// WriteConsoleW takes at most about 64 KB at once on older systems: the text goes in pieces, each
// surrogate pair whole in one of them.
bool WriteConsoleText(HANDLE handle, const std::wstring& wide) {
  constexpr size_t kPiece = 8192;
  size_t count = 0;
  for (size_t at = 0; at < wide.size(); at += count) {
    count = std::min(kPiece, wide.size() - at);
    if (count > 1 && IS_HIGH_SURROGATE(wide[at + count - 1])) --count;
    DWORD written = 0;
    if (!WriteConsoleW(handle, wide.data() + at, static_cast<DWORD>(count), &written, nullptr)) return false;
  }
  return true;
}

bool WriteBytes(HANDLE handle, std::string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(std::min<size_t>(text.size(), 1u << 20));
    if (!WriteFile(handle, text.data(), size, &written, nullptr) || written == 0) return false;
    text.remove_prefix(written);
  }
  return true;
}

}  // namespace

std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> arguments;
  // The program's own name comes first: quoted, up to its closing quote; otherwise up to the first
  // blank, as the shell splits it. With nothing after it, the shell's library, which takes a while
  // to load, is not needed: the window starts without it.
  const wchar_t* line = GetCommandLineW();
  const wchar_t* rest = line;
  if (*rest == L'"') {
    for (++rest; *rest && *rest != L'"';) ++rest;
    if (*rest) ++rest;
  } else {
    while (*rest && *rest != L' ' && *rest != L'\t') ++rest;
  }
  while (*rest == L' ' || *rest == L'\t') ++rest;
  if (!*rest) return arguments;
  using Split = LPWSTR*(WINAPI*)(LPCWSTR, int*);
  const auto split = LibraryFunction<Split>(LoadSystemLibrary(L"shell32.dll"), "CommandLineToArgvW");
  // Without the shell's library the words stay together: the command line then refuses them rather
  // than a window opening in their place.
  if (!split) return {Narrow(rest)};
  int count = 0;
  LPWSTR* words = split(line, &count);
  if (!words) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Narrow(words[i]));
  LocalFree(words);
  return arguments;
}

Win32Console::Win32Console(Program program)
    : program_(program), out_(Open(STD_OUTPUT_HANDLE)), error_(Open(STD_ERROR_HANDLE)) {}

Win32Console::~Win32Console() {
  if (Usable(consoleOutput_)) CloseHandle(consoleOutput_);
}

// A handle the program was started with (a file, a pipe, the NUL device, or a console it already
// shares) is used as it is. A windowed program that has none attaches to the console of the
// process that started it, which it does not share by itself, and writes to that; when that
// process has no console, the stream goes nowhere.
Win32Console::Stream Win32Console::Open(DWORD which) {
  const HANDLE given = GetStdHandle(which);
  if (IsConsole(given)) return {given, true};
  // A console program that was given no console writes where it was sent, as any other would.
  if (program_ == Program::kConsole) return {Usable(given) ? given : nullptr, false};
  const DWORD type = Usable(given) ? GetFileType(given) : FILE_TYPE_UNKNOWN;
  if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) return {given, false};
  if (!attached_) {
    attached_ = true;
    AttachConsole(ATTACH_PARENT_PROCESS);
  }
  const HANDLE now = GetStdHandle(which);
  if (IsConsole(now)) return {now, true};
  if (!Usable(consoleOutput_))
    consoleOutput_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  if (IsConsole(consoleOutput_)) return {consoleOutput_, true};
  if (type == FILE_TYPE_CHAR) return {given, false};
  return {};
}

bool Win32Console::Write(const Stream& stream, std::string_view text) {
  if (!Usable(stream.handle)) return true;
  if (stream.console) return WriteConsoleText(stream.handle, Widen(std::string(text)));
  return WriteBytes(stream.handle, text);
}

bool Win32Console::WriteOut(std::string_view text) { return Write(out_, text); }

bool Win32Console::WriteError(std::string_view text) { return Write(error_, text); }

// A console that a prompt gave the program lists the prompt's process too; one that the system made
// for a program started from Explorer lists that program alone.
bool Win32Console::OwnsWindow() {
  if (program_ != Program::kConsole || !out_.console) return false;
  DWORD processes[2] = {};
  return GetConsoleProcessList(processes, 2) == 1;
}

void Win32Console::HideWindow() {
  if (const HWND window = GetConsoleWindow()) ShowWindow(window, SW_HIDE);
}

void Win32Console::WaitForKey() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!IsConsole(input)) return;
  FlushConsoleInputBuffer(input);
  for (;;) {
    INPUT_RECORD record{};
    DWORD read = 0;
    if (!ReadConsoleInputW(input, &record, 1, &read) || read == 0) return;
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
  }
}

}  // namespace platform
