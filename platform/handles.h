#pragma once
// Move-only owners of the platform's handles, each closed in its destructor.
#include <utility>

#include "platform/platform.h"

namespace platform {

// Owns one handle of an API; Close(api, id) releases it. Empty is the value that owns nothing.
template <class Api, class Id, Id Empty, void (*Close)(Api&, Id)>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  UniqueHandle(Api& api, Id id) : api_(&api), id_(id) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : api_(other.api_), id_(std::exchange(other.id_, Empty)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      id_ = std::exchange(other.id_, Empty);
    }
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Id get() const { return id_; }
  explicit operator bool() const { return id_ != Empty; }
  Id release() { return std::exchange(id_, Empty); }
  void reset() {
    if (id_ != Empty) Close(*api_, std::exchange(id_, Empty));
  }

 private:
  Api* api_ = nullptr;
  Id id_ = Empty;
};

namespace detail {
inline void CloseKey(RegistryApi& api, Hkey key) { api.CloseKey(key); }
inline void CloseFind(FileSystem& files, FindId find) { files.FindEnd(find); }
inline void CloseFileQuietly(FileSystem& files, FileId file) {
  std::uint32_t ignored = 0;
  files.CloseFile(file, &ignored);
}
inline void CloseProcessHandles(Processes& processes, ProcessId process) { processes.CloseProcess(process); }
inline void CloseTokenHandle(System& system, TokenId token) { system.CloseToken(token); }
inline void CloseMutexHandle(System& system, MutexId mutex) { system.CloseMutex(mutex); }
}  // namespace detail

using UniqueHkey = UniqueHandle<RegistryApi, Hkey, Hkey{0}, detail::CloseKey>;
using UniqueFind = UniqueHandle<FileSystem, FindId, kInvalidFind, detail::CloseFind>;
// A file closed on an error path; the normal path closes it itself to see the close's result.
using UniqueFile = UniqueHandle<FileSystem, FileId, kInvalidFile, detail::CloseFileQuietly>;
using UniqueProcess = UniqueHandle<Processes, ProcessId, ProcessId{0}, detail::CloseProcessHandles>;
using UniqueToken = UniqueHandle<System, TokenId, TokenId{0}, detail::CloseTokenHandle>;
using UniqueMutex = UniqueHandle<System, MutexId, MutexId{0}, detail::CloseMutexHandle>;

}  // namespace platform
