#include "app/scan_account_win.h"

#include <algorithm>
#include <chrono>

#include "app/main_window.h"

INT_PTR MillisecondsSinceStart() {
  FILETIME creation{}, exit{}, kernel{}, user{}, now{};
  GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<INT_PTR>(std::max<ULONGLONG>(1, (ticks(now) - ticks(creation)) / 10000));
}

void ScanAccount::Show(HWND window, const MainWindow& form) {
  const int pending = form.checks.Pending();
  SetPropW(window, kPendingChecksProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(pending)));
  if (pending != 0 || GetPropW(window, kCheckedAfterProperty)) return;
  const MainWindow::ScanTimings timed = form.ScanTimed();
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const auto us = [](std::chrono::steady_clock::duration d) {
    return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
  };
  const long long values[kScanTimings] = {us(timed.reading),
                                          us(timed.checks.checking),
                                          us(timed.checks.checkTime),
                                          us(timed.checks.queued),
                                          us(timed.checks.delivering),
                                          paintTicks_ * 1000000 / std::max<LONGLONG>(1, frequency.QuadPart),
                                          timed.checks.batches};
  for (int i = 0; i < kScanTimings; ++i)
    SetPropW(window, kScanTimingProperties[i], reinterpret_cast<HANDLE>(static_cast<INT_PTR>(values[i] + 1)));
  SetPropW(window, kCheckedAfterProperty, reinterpret_cast<HANDLE>(MillisecondsSinceStart()));
}
