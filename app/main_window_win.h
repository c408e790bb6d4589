#pragma once
// The main window of MainWindow on Win32: one native window per control, the notifications routed to
// the control objects; its drawing tools, tooltips, keyboard and layout are objects of their own.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/drawing_tools_win.h"
#include "app/keyboard_win.h"
#include "app/main_window.h"
#include "app/peers_win.h"
#include "app/scan_account_win.h"
#include "app/tooltips_win.h"
#include "app/window_layout_win.h"
#include "platform/win32/win32_ui.h"

// Control identifiers: kFirstControlId plus the control's place in MainWindow::Controls().
inline constexpr int kFirstControlId = 1000;
inline constexpr const wchar_t* kMainWindowClass = L"TidewellMainWindow";
inline constexpr const wchar_t* kContainerClass = L"TidewellContainer";

class MainWindowWin32 {
 public:
  MainWindowWin32(MainWindow& form, platform::Win32Ui& ui, HINSTANCE instance);
  ~MainWindowWin32();

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
  const std::vector<TControl*>& Controls() const { return controls_; }
  Win32Peer* PeerOf(const TControl* control) const;
  Win32Peer* PeerOfWindow(HWND window) const;
  // The window a control is created in: its parent's container, or the main window.
  HWND ContainerOf(const TControl* control) const;
  // Runs a control's event: first the user's changes are copied into every control, then the
  // event runs; an error it raises is shown.
  void Fire(const std::function<void()>& event);
  // Shows the active page of pageControl and hides the others.
  void ShowActivePage();
  DrawingTools drawing;
  Tooltips tips;
  WindowLayout layout;
  ScanAccount scanAccount;

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
  void Paint(HWND container);
  Win32Peer* DrawnPeerAt(HWND container, POINT point) const;

  MainWindow& form_;
  platform::Win32Ui& ui_;
  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND lastFocus_ = nullptr;
  Win32Peer* pressed_ = nullptr;
  KeyboardNavigation keyboard_{*this};
  std::vector<TControl*> controls_;
  std::map<const TControl*, std::unique_ptr<Win32Peer>> peers_;
  std::map<HWND, Win32Peer*> byWindow_;
  std::map<HWND, Win32Peer*> byContainer_;
};
