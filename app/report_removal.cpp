#include "app/report_removal.h"

#include "backup/undo_file.h"

ReportRemoval::ReportRemoval(const platform::Platform& platform) : form_(platform) {
  form_.UndoStem = UndoStemOf(platform.system.Today());
  form_.Wow64 = platform.system.IsWow64();
}

RemovalOutcome ReportRemoval::Remove(const Entry& entry) { return form_.RemoveEntryKey(entry.keyName, entry.source); }
