#include "platform/win32/win32_files.h"

#include <windows.h>

#include <vector>

namespace platform {

namespace {
HANDLE H(std::uintptr_t id) { return reinterpret_cast<HANDLE>(id); }
std::uintptr_t Id(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }

void Fill(const WIN32_FIND_DATAA& fd, FindData* data) {
  if (!data) return;
  data->attributes = fd.dwFileAttributes;
  data->lastWriteTime =
      (static_cast<std::uint64_t>(fd.ftLastWriteTime.dwHighDateTime) << 32) | fd.ftLastWriteTime.dwLowDateTime;
  data->name = fd.cFileName;
  data->alternateName = fd.cAlternateFileName;
}

// A text the platform wrote into a buffer, up to its first zero.
std::string Written(const std::vector<char>& buffer) {
  std::string out(buffer.data(), buffer.size());
  const size_t zero = out.find('\0');
  if (zero != std::string::npos) out.resize(zero);
  return out;
}

void SetError(std::uint32_t* error, std::uint32_t value) {
  if (error) *error = value;
}
}  // namespace

FindId Win32FileSystem::FindFirst(const std::string& pattern, FindData* data) {
  WIN32_FIND_DATAA fd{};
  const HANDLE find = FindFirstFileA(pattern.c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return kInvalidFind;
  Fill(fd, data);
  return Id(find);
}

bool Win32FileSystem::FindNext(FindId find, FindData* data) {
  WIN32_FIND_DATAA fd{};
  if (!FindNextFileA(H(find), &fd)) return false;
  Fill(fd, data);
  return true;
}

void Win32FileSystem::FindEnd(FindId find) { FindClose(H(find)); }

std::uint32_t Win32FileSystem::Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool Win32FileSystem::SetAttributes(const std::string& path, std::uint32_t attributes) {
  return SetFileAttributesA(path.c_str(), attributes) != 0;
}

std::uint32_t Win32FileSystem::SearchDirectory(const std::string& directory, const std::string& file,
                                               const char* extension, std::uint32_t bufferLength,
                                               std::string* found) {
  std::vector<char> buffer(bufferLength + 1, '\0');
  LPSTR filePart = nullptr;
  const DWORD result =
      SearchPathA(directory.c_str(), file.c_str(), extension, bufferLength, buffer.data(), &filePart);
  if (result != 0 && result < bufferLength && found) *found = Written(buffer);
  return result;
}

std::uint32_t Win32FileSystem::ExpandEnvironment(const std::string& source, std::uint32_t size,
                                                 std::string* expanded) {
  std::vector<char> buffer(size + 1, '\0');
  const DWORD result = ExpandEnvironmentStringsA(source.c_str(), buffer.data(), size);
  if (result != 0 && result <= size && expanded) *expanded = Written(buffer);
  return result;
}

std::uint32_t Win32FileSystem::DriveType(const std::string& root) { return GetDriveTypeA(root.c_str()); }

std::uint32_t Win32FileSystem::ShortPathName(const std::string& path, std::uint32_t bufferLength,
                                             std::string* shortPath) {
  std::vector<char> buffer(bufferLength + 1, '\0');
  const DWORD result = GetShortPathNameA(path.c_str(), buffer.data(), bufferLength);
  if (result != 0 && result < bufferLength && shortPath) *shortPath = Written(buffer);
  return result;
}

bool Win32FileSystem::MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool Win32FileSystem::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool Win32FileSystem::RenameFile(const std::string& from, const std::string& to, std::uint32_t* error) {
  const bool moved = MoveFileA(from.c_str(), to.c_str()) != 0;
  SetError(error, moved ? 0 : GetLastError());
  return moved;
}

FileId Win32FileSystem::OpenFile(const std::string& path, FileOpen mode, std::uint32_t* error) {
  const DWORD access = mode == FileOpen::kRead ? GENERIC_READ : GENERIC_WRITE;
  const DWORD disposition = mode == FileOpen::kCreate      ? CREATE_ALWAYS
                            : mode == FileOpen::kCreateNew ? CREATE_NEW
                                                           : OPEN_EXISTING;
  const HANDLE file =
      CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  char buffer[1024] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                      0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string Win32FileSystem::ReadProfileString(const std::string& section, const std::string& key,
                                               const std::string& fallback, const std::string& file) {
  char buffer[2048] = {};
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer,
                                                sizeof buffer, file.c_str());
  return std::string(buffer, length);
}

}  // namespace platform
