// The window's queue under Wine: tasks posted to run at once, and later through the window's timer.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_ui.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

platform::Win32Ui* queueUi = nullptr;

// What the main window does with the queue's messages.
LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == platform::kRunPostedMessage || (message == WM_TIMER && wParam == platform::kDelayedTasksTimer)) {
    queueUi->RunPosted();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A task posted for later runs after those posted at once, not before its time, whichever thread
// posted it, and the one due first runs first.
TEST(MessageQueueTest, DelayedTasksRunThroughTheWindowsTimerInTheirTurn) {
  platform::Win32Ui ui;
  queueUi = &ui;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = QueueWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"TidewellQueueTest";
  RegisterClassW(&windowClass);
  const HWND window = CreateWindowExW(0, L"TidewellQueueTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     windowClass.hInstance, nullptr);
  ASSERT_NE(nullptr, window);
  ui.SetMainWindow(window);

  std::vector<std::string> order;
  Clock::duration lateAfter{}, soonAfter{};
  const Clock::time_point start = Clock::now();
  ui.PostAfter(milliseconds(80), [&] {
    order.push_back("late");
    lateAfter = Clock::now() - start;
  });
  std::thread([&] {
    ui.PostAfter(milliseconds(30), [&] {
      order.push_back("soon");
      soonAfter = Clock::now() - start;
    });
  }).join();
  ui.Post([&] { order.push_back("now"); });
  while (order.size() < 3 && Clock::now() - start < std::chrono::seconds(10)) {
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    else MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  EXPECT_EQ((std::vector<std::string>{"now", "soon", "late"}), order);
  EXPECT_GE(soonAfter, milliseconds(30));
  EXPECT_GE(lateAfter, milliseconds(80));

  // Nothing is left to run: the timer is gone with the last task.
  MSG message;
  Sleep(150);
  EXPECT_FALSE(PeekMessageW(&message, window, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  DestroyWindow(window);
  queueUi = nullptr;
}

}  // namespace
