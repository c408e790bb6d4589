#pragma once
// The main window of MainWindow on Win32: one native window per control, the notifications routed to
// the control objects, the keyboard navigation of a dialog.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "app/main_window.h"
#include "app/peers_win.h"
#include "platform/win32/win32_ui.h"

// Control identifiers: kFirstControlId plus the control's place in MainWindow::Controls().
inline constexpr int kFirstControlId = 1000;
inline constexpr const wchar_t* kMainWindowClass = L"TidewellMainWindow";
inline constexpr const wchar_t* kContainerClass = L"TidewellContainer";
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

class MainWindowWin32 {
 public:
  MainWindowWin32(MainWindow& form, platform::Win32Ui& ui, HINSTANCE instance);
  ~MainWindowWin32();
  MainWindowWin32(const MainWindowWin32&) = delete;
  MainWindowWin32& operator=(const MainWindowWin32&) = delete;

  // Creates the main window, hidden, with the controls of its active page and those around the
  // pages (the others follow once the window has shown); false when the system refuses.
  bool Create();
  // Runs FormCreate; an error it raises is shown and the window is still shown after it.
  void RunFormCreate();
  // Shows the window and puts the focus on the first control of the Tab order.
  void Show(int showCommand);
  HWND Handle() const { return window_; }
  // The window's own keyboard handling of a queued message; true when it used the message up.
  bool PreTranslate(MSG& message);

  // For the peers.
  MainWindow& Form() { return form_; }
  HINSTANCE Instance() const { return instance_; }
  HFONT FontFor(const TFontSpec& design);
  HBRUSH BrushFor(TColor color);
  static COLORREF ColorOf(TColor color);
  // The background colour of a container: the window, a page or a panel.
  TColor BackgroundOf(const TControl* container) const;
  HIMAGELIST StatusImages() const { return statusImages_; }
  // A rectangle of the window's design (laid out for 96 dots per inch) at the screen's resolution.
  RECT Scaled(RECT design) const;
  // Where a control is now: its design place at the screen's resolution, moved or grown with the
  // edges of its parent that it keeps to.
  RECT Placed(const TControl& control) const;
  Win32Peer* PeerOf(const TControl* control) const;
  // The window a control is created in: its parent's container, or the main window.
  HWND ContainerOf(const TControl* control) const;
  // Runs a control's event: first the user's changes are copied into every control, then the
  // event runs; an error it raises is shown.
  void Fire(const std::function<void()>& event);
  // Keeps the window's pending-checks property up to date.
  void ShowPendingChecks();
  // Counts the time of a paint of the main window or the list into the scan's account.
  void AddPaintTime(LONGLONG ticks) { paintTicks_ += ticks; }
  // Shows the active page of pageControl and hides the others.
  void ShowActivePage();
  // A tooltip for a window, or for a rectangle of a container when rect is given.
  void AddTip(HWND window, HWND container, UINT id, const RECT* rect, const std::string& text);
  // Changes the text of a window's tooltip (one added for the window, not for a rectangle) and
  // takes down what it shows, so that the next tip over it shows the new text.
  void ChangeTip(HWND window, HWND container, const std::string& text);

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  LRESULT Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool RegisterClasses();
  // Creates the controls not made yet, each in the order of Controls(); with `activePageOnly`,
  // those on a page not shown wait. False when the system refuses one.
  bool CreateControls(bool activePageOnly);
  // The controls not made yet (with `activePageOnly`, those of the active page), an error shown
  // when the system refuses one.
  void MakeControlsLeft(bool activePageOnly);
  // Whether a control sits on a page of pageControl that is not the active one.
  bool OnHiddenPage(const TControl* control) const;
  void LayoutPages();
  // The window's client area is `width` by `height`: every control takes its place in it.
  void Layout(int width, int height);
  SIZE DesignClientSize() const;
  // The window's own keys: Ctrl+F and F3 to the filter box, Escape there to clear it, Ctrl+B to
  // select the Broken Link entries, Ctrl+C in the list to copy the command.
  bool Accelerator(MSG& message);
  void Paint(HWND container);
  Win32Peer* PeerOfWindow(HWND window) const;
  Win32Peer* DrawnPeerAt(HWND container, POINT point) const;
  // The Tab order: every control that takes the focus now, in the order the Tab key visits them.
  std::vector<HWND> TabOrder();
  void CollectTabOrder(const TControl* parent, std::vector<HWND>* order);
  void MoveFocus(bool backwards);
  void TurnPage(bool backwards);
  std::string FontFace(const std::string& wanted);

  MainWindow& form_;
  platform::Win32Ui& ui_;
  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND tips_ = nullptr;
  HWND lastFocus_ = nullptr;
  int dpi_ = 96;
  // How much larger than its design the window's client area is.
  SIZE grown_{0, 0};
  // Of the height grown_ adds, the part the pages take; the list above them takes the rest.
  LONG pagesGrown_ = 0;
  HIMAGELIST statusImages_ = nullptr;
  Win32Peer* pressed_ = nullptr;
  std::vector<TControl*> controls_;
  std::map<const TControl*, std::unique_ptr<Win32Peer>> peers_;
  std::map<HWND, Win32Peer*> byWindow_;
  std::map<HWND, Win32Peer*> byContainer_;
  std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts_;
  std::map<TColor, HBRUSH> brushes_;
  std::map<std::string, std::string> faces_;
  LONGLONG paintTicks_ = 0;
};

// Counts the time from its making to its end as painting (QueryPerformanceCounter's ticks).
class PaintTimer {
 public:
  explicit PaintTimer(MainWindowWin32& window) : window_(window) { QueryPerformanceCounter(&start_); }
  ~PaintTimer() {
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    window_.AddPaintTime(end.QuadPart - start_.QuadPart);
  }
  PaintTimer(const PaintTimer&) = delete;
  PaintTimer& operator=(const PaintTimer&) = delete;

 private:
  MainWindowWin32& window_;
  LARGE_INTEGER start_;
};
