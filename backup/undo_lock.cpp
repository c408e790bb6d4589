#include "backup/undo_lock.h"

#include "backup/in_out_error.h"

UndoLock::UndoLock(platform::System& system) : system_(system) {
  bool alreadyExists = false;
  mutex_ = platform::UniqueMutex(system, system.CreateNamedMutex(kUndoLockName, false, &alreadyExists));
  if (!mutex_)
    throw EInOutError("The undo file cannot be locked for this change; nothing was changed");
  if (!system.WaitForMutex(mutex_.get(), kUndoLockWait))
    throw EInOutError(
        "Another copy of Tidewell is still writing the undo file; nothing was changed. Try again when it has "
        "finished");
}

UndoLock::~UndoLock() { system_.ReleaseNamedMutex(mutex_.get()); }
