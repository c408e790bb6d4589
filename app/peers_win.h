#pragma once
// The Win32 side of each control kind: a native window (or, for labels and pictures, a drawing
// in the parent's window) kept in step with the control object, and the native notifications
// turned into the control's events.
#include <windows.h>

#include <memory>
#include <string>

#include "app/controls.h"

class MainWindowWin32;

class Win32Peer : public TControl::Peer {
 public:
  Win32Peer(MainWindowWin32& owner, TControl& control) : owner_(owner), control_(control) {}
  ~Win32Peer() override = default;

  TControl& Control() const { return control_; }
  // The control's own window; null for controls drawn by their parent.
  HWND Handle() const { return window_; }
  // The window that this control's children are created in.
  virtual HWND ChildContainer() const { return window_; }
  // The control's rectangle in its parent window's client area.
  RECT Bounds() const;
  // Takes the keyboard focus with the Tab key.
  virtual bool TabStop() const { return false; }

  void Update(TControl& control, Aspect aspect, int index) override;
  // WM_COMMAND from the control's window.
  virtual void Command(int code) {}
  // WM_NOTIFY from the control's window.
  virtual LRESULT Notify(NMHDR* header) { return 0; }
  // Copies what the user changed in the native control (selection) into the control object.
  virtual void Pull() {}
  // WM_CTLCOLOR* for the control's window: the background brush, or null for the default.
  virtual HBRUSH Colors(HDC dc) { return nullptr; }
  // Controls drawn by their parent: draw into the parent's device context.
  virtual bool Drawn() const { return false; }
  virtual void Paint(HDC dc) {}

  // Makes the native side and answers whether it worked.
  virtual bool Create(HWND parent, int id) = 0;

 protected:
  HWND MakeWindow(DWORD exStyle, const wchar_t* className, const std::string& text, DWORD style, HWND parent, int id);
  void ApplyFont();
  // Repaints the control's rectangle in its parent.
  void Invalidate();

  MainWindowWin32& owner_;
  TControl& control_;
  HWND window_ = nullptr;
  HWND parent_ = nullptr;
};

// Makes the peer for a control of any kind.
std::unique_ptr<Win32Peer> MakePeer(MainWindowWin32& owner, TControl& control);
