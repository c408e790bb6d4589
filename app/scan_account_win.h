#pragma once
// The window's own account of its first scan, for other programs (the window tests, the
// benchmark): properties of the main window that say how many status checks are still to come,
// when the rows showed and every status was known, and where the time went.
#include <windows.h>

class MainWindow;

// The main window's property that tells other programs (the window tests, the benchmark) how
// many status checks are still to come.
inline constexpr const wchar_t* kPendingChecksProperty = L"TidewellPendingChecks";
// And how many milliseconds after the process was made the window showed its rows, and every
// status of the first scan was known: the program's own account of its start, without the delay
// of another program asking.
inline constexpr const wchar_t* kShownAfterProperty = L"TidewellShownAfter";
inline constexpr const wchar_t* kCheckedAfterProperty = L"TidewellCheckedAfter";
// Set with the last: where the first scan's time went, for the benchmark's breakdown, in
// microseconds (the batches as a count, plus one: a property of 0 is no property).
enum ScanTiming { kReadingTime, kCheckingTime, kCheckWorkTime, kQueuedTime, kDeliveringTime, kPaintingTime, kBatches,
                  kScanTimings };
inline constexpr const wchar_t* kScanTimingProperties[kScanTimings] = {
    L"TidewellReadingUs", L"TidewellCheckingUs", L"TidewellCheckWorkUs", L"TidewellQueuedUs",
    L"TidewellDeliveringUs", L"TidewellPaintingUs", L"TidewellBatches"};

// Milliseconds since this process was made, at least 1 (a property of 0 is no property).
INT_PTR MillisecondsSinceStart();

class ScanAccount {
 public:
  // Counts the time of a paint of the main window or the list as painting.
  void AddPaintTime(LONGLONG ticks) { paintTicks_ += ticks; }
  // Keeps the window's pending-checks property up to date, and once every status of the first scan
  // is known, sets the others.
  void Show(HWND window, const MainWindow& form);

 private:
  LONGLONG paintTicks_ = 0;
};

// Counts the time from its making to its end as painting (QueryPerformanceCounter's ticks).
class PaintTimer {
 public:
  explicit PaintTimer(ScanAccount& account) : account_(account) { QueryPerformanceCounter(&start_); }
  ~PaintTimer() {
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    account_.AddPaintTime(end.QuadPart - start_.QuadPart);
  }
  PaintTimer(const PaintTimer&) = delete;
  PaintTimer& operator=(const PaintTimer&) = delete;

 private:
  ScanAccount& account_;
  LARGE_INTEGER start_;
};
