#pragma once
// The command line's removals: the window's own Remove Entry, on a window's logic that is never
// shown, so that a removal from a script writes the same undo file under the same lock.
#include "app/form1.h"
#include "backup/removal_outcome.h"
#include "inventory/entry.h"

class ReportRemoval {
 public:
  // The day's undo file and the registry's views as the window's start would set them.
  explicit ReportRemoval(const platform::Platform& platform);
  ReportRemoval(const ReportRemoval&) = delete;
  ReportRemoval& operator=(const ReportRemoval&) = delete;

  RemovalOutcome Remove(const Entry& entry);

 private:
  TForm1 form_;
};
