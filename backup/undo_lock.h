#pragma once
// The lock on the day's undo file across one command's writes.
#include <cstdint>

#include "platform/handles.h"
#include "platform/system.h"

// The lock's name: one for the machine, since the program's folder may be shared by every user.
inline constexpr const char* kUndoLockName = "Global\\Tidewell.UndoFile";
// How long a command waits for another running copy to finish its writes.
inline constexpr std::uint32_t kUndoLockWait = 30000;

// Held for as long as it lives, so that the lines of one command (an entry's key and value lines
// and the empty line after them) stay together in the file while another running copy of the
// program writes too. Raises EInOutError when the lock cannot be had in time.
class UndoLock {
 public:
  explicit UndoLock(platform::System& system);
  ~UndoLock();
  UndoLock(const UndoLock&) = delete;
  UndoLock& operator=(const UndoLock&) = delete;

 private:
  platform::System& system_;
  platform::UniqueMutex mutex_;
};
