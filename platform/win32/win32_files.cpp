#include "platform/win32/win32_files.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {
HANDLE H(std::uintptr_t id) { return reinterpret_cast<HANDLE>(id); }
std::uintptr_t Id(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

void Fill(const WIN32_FIND_DATAW& fd, FindData* data) {
  if (!data) return;
  data->attributes = fd.dwFileAttributes;
  data->lastWriteTime =
      (static_cast<std::uint64_t>(fd.ftLastWriteTime.dwHighDateTime) << 32) | fd.ftLastWriteTime.dwLowDateTime;
  data->name = Narrow(fd.cFileName, wcsnlen(fd.cFileName, MAX_PATH));
  data->alternateName = Narrow(fd.cAlternateFileName, wcsnlen(fd.cAlternateFileName, 14));
}

void SetError(std::uint32_t* error, std::uint32_t value) {
  if (error) *error = value;
}
}  // namespace

FindId Win32FileSystem::FindFirst(const std::string& pattern, FindData* data) {
  WIN32_FIND_DATAW fd{};
  const HANDLE find = FindFirstFileW(Widen(pattern).c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return kInvalidFind;
  Fill(fd, data);
  return Id(find);
}

bool Win32FileSystem::FindNext(FindId find, FindData* data) {
  WIN32_FIND_DATAW fd{};
  if (!FindNextFileW(H(find), &fd)) return false;
  Fill(fd, data);
  return true;
}

void Win32FileSystem::FindEnd(FindId find) { FindClose(H(find)); }

std::uint32_t Win32FileSystem::Attributes(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str());
}

bool Win32FileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  return SetFileAttributesW(Widen(path).c_str(), attributes) != 0;
}

std::uint32_t Win32FileSystem::SearchDirectory(const std::string& directory, const std::string& file,
                                               const char* extension, std::uint32_t bufferLength,
                                               std::string* found) {
  std::vector<wchar_t> buffer(bufferLength + 1, L'\0');
  LPWSTR filePart = nullptr;
  const std::wstring wideExtension = extension ? Widen(extension) : std::wstring();
  const DWORD result = SearchPathW(Widen(directory).c_str(), Widen(file).c_str(),
                                   extension ? wideExtension.c_str() : nullptr, bufferLength, buffer.data(), &filePart);
  if (result != 0 && result < bufferLength && found) *found = NarrowUpToNul(buffer);
  return result;
}

std::uint32_t Win32FileSystem::ExpandEnvironment(const std::string& source, std::uint32_t size,
                                                 std::string* expanded) {
  std::vector<wchar_t> buffer(size + 1, L'\0');
  const DWORD result = ExpandEnvironmentStringsW(Widen(source).c_str(), buffer.data(), size);
  if (result != 0 && result <= size && expanded) *expanded = NarrowUpToNul(buffer);
  return result;
}

std::uint32_t Win32FileSystem::DriveType(const std::string& root) { return GetDriveTypeW(Widen(root).c_str()); }

std::uint32_t Win32FileSystem::ShortPathName(const std::string& path, std::uint32_t bufferLength,
                                             std::string* shortPath) {
  std::vector<wchar_t> buffer(bufferLength + 1, L'\0');
  const DWORD result = GetShortPathNameW(Widen(path).c_str(), buffer.data(), bufferLength);
  if (result != 0 && result < bufferLength && shortPath) *shortPath = NarrowUpToNul(buffer);
  return result;
}

bool Win32FileSystem::MakeDirectory(const std::string& path) {
  return CreateDirectoryW(Widen(path).c_str(), nullptr) != 0;
}

bool Win32FileSystem::RemoveFile(const std::string& path) { return DeleteFileW(Widen(path).c_str()) != 0; }

bool Win32FileSystem::RenameFile(const std::string& from, const std::string& to, std::uint32_t* error) {
  const bool moved = MoveFileW(Widen(from).c_str(), Widen(to).c_str()) != 0;
  SetError(error, moved ? 0 : GetLastError());
  return moved;
}

bool Win32FileSystem::RenameFileReplacing(const std::string& from, const std::string& to, std::uint32_t* error) {
  const bool moved =
      MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  SetError(error, moved ? 0 : GetLastError());
  return moved;
}

FileId Win32FileSystem::OpenFile(const std::string& path, FileOpen mode, std::uint32_t* error) {
  const DWORD access = mode == FileOpen::kRead ? GENERIC_READ : GENERIC_WRITE;
  const DWORD disposition = mode == FileOpen::kCreate      ? CREATE_ALWAYS
                            : mode == FileOpen::kCreateNew ? CREATE_NEW
                                                           : OPEN_EXISTING;
  const HANDLE file =
      CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SetError(error, GetLastError());
    return kInvalidFile;
  }
  if (mode == FileOpen::kAppend && SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
    // INVALID_SET_FILE_POINTER is also a valid low half of a 4 GB offset; only the error tells.
    const DWORD seekError = GetLastError();
    if (seekError != NO_ERROR) {
      CloseHandle(file);
      SetError(error, seekError);
      return kInvalidFile;
    }
  }
  // CREATE_ALWAYS leaves ERROR_ALREADY_EXISTS behind when it truncated a file; that is success.
  SetError(error, 0);
  return Id(file);
}

bool Win32FileSystem::ReadFile(FileId file, char* buffer, std::uint32_t size, std::uint32_t* read,
                               std::uint32_t* error) {
  DWORD got = 0;
  const bool ok = ::ReadFile(H(file), buffer, size, &got, nullptr) != 0;
  if (read) *read = got;
  SetError(error, ok ? 0 : GetLastError());
  return ok;
}

bool Win32FileSystem::WriteFile(FileId file, const char* data, std::uint32_t size, std::uint32_t* error) {
  DWORD written = 0;
  if (!::WriteFile(H(file), data, size, &written, nullptr)) {
    SetError(error, GetLastError());
    return false;
  }
  // A disk file takes the whole write or fails; a short write is still a failure to the caller.
  if (written != size) {
    SetError(error, ERROR_WRITE_FAULT);
    return false;
  }
  SetError(error, 0);
  return true;
}

bool Win32FileSystem::FlushFile(FileId file, std::uint32_t* error) {
  const bool ok = FlushFileBuffers(H(file)) != 0;
  SetError(error, ok ? 0 : GetLastError());
  return ok;
}

bool Win32FileSystem::CloseFile(FileId file, std::uint32_t* error) {
  const bool ok = CloseHandle(H(file)) != 0;
  SetError(error, ok ? 0 : GetLastError());
  return ok;
}

std::string Win32FileSystem::ErrorText(std::uint32_t error) {
  wchar_t buffer[1024] = {};
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                      0, buffer, 1024, nullptr);
  std::string text = Narrow(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string Win32FileSystem::ReadProfileString(const std::string& section, const std::string& key,
                                               const std::string& fallback, const std::string& file) {
  wchar_t buffer[2048] = {};
  const DWORD length = GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(fallback).c_str(),
                                                buffer, 2048, Widen(file).c_str());
  return Narrow(buffer, length);
}

}  // namespace platform
