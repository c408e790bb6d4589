#include "app/main_window_win.h"

#include <algorithm>
#include <exception>

#include "app/common_controls_win.h"
#include "app/resource_ids.h"
#include "platform/text_encoding.h"
#include "platform/win32/wide_text.h"

// Every text a control shows: a name's unpaired surrogate (which the registry allows) as U+FFFD.
static std::wstring Widen(const std::string& text) { return platform::Widen(platform::ShownText(text)); }

namespace {

constexpr DWORD kMainStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;

}  // namespace

MainWindowWin32::MainWindowWin32(MainWindow& form, platform::Win32Ui& ui, HINSTANCE instance)
    : layout(form), form_(form), ui_(ui), instance_(instance), controls_(form.Controls()) {}

MainWindowWin32::~MainWindowWin32() {
  for (TControl* control : controls_) control->SetPeer(nullptr);
  ui_.SetMessageFilter(nullptr);
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  ui_.SetMainWindow(nullptr);
  peers_.clear();
}

bool MainWindowWin32::RegisterClasses() {
  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = &MainWindowWin32::WindowProc;
  main.hInstance = instance_;
  main.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  main.hbrBackground = nullptr;  // painted in WM_PAINT
  main.lpszClassName = kMainWindowClass;
  main.hIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIconApplication), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  main.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIconApplication), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  WNDCLASSEXW container = main;
  container.lpszClassName = kContainerClass;
  container.hIcon = nullptr;
  container.hIconSm = nullptr;
  // A class already registered by an earlier window of this process is fine as it is.
  const bool mainOk = RegisterClassExW(&main) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  const bool containerOk = RegisterClassExW(&container) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return mainOk && containerOk;
}

void MainWindowWin32::Layout(int width, int height) {
  layout.Resize(width, height);
  // The window's own controls move together; a deferred move takes windows of one parent only, so
  // those in a panel or a page move one by one.
  HDWP moves = BeginDeferWindowPos(static_cast<int>(controls_.size()));
  for (TControl* control : controls_) {
    Win32Peer* peer = PeerOf(control);
    const ControlKind parent = control->Parent ? control->Parent->Kind() : ControlKind::kPanel;
    const bool moves_with_window = parent == ControlKind::kPanel || parent == ControlKind::kTabSheet;
    if (!peer || !peer->Handle() || !moves_with_window) continue;
    const RECT place = peer->Bounds();
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (control->Parent)
      SetWindowPos(peer->Handle(), nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top, flags);
    else if (moves)
      moves = DeferWindowPos(moves, peer->Handle(), nullptr, place.left, place.top, place.right - place.left,
                             place.bottom - place.top, flags);
  }
  if (moves) EndDeferWindowPos(moves);
  // The pages fill the page control's display area, which grew with it.
  if (Win32Peer* pages = PeerOf(&form_.pageControl); pages && pages->Handle()) {
    RECT display;
    GetClientRect(pages->Handle(), &display);
    SendMessageW(pages->Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (TTabSheet* sheet : form_.pageControl.Pages)
      if (Win32Peer* page = PeerOf(sheet); page && page->Handle())
        MoveWindow(page->Handle(), display.left, display.top, display.right - display.left, display.bottom - display.top,
                   FALSE);
  }
  // Everything drawn again: the labels and pictures are drawn by their parents, and a control
  // that moved shows nothing of its old place.
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool MainWindowWin32::Create() {
  if (!RegisterClasses()) return false;
  layout.ReadDpi();
  drawing.LoadStatusImages(instance_);

  RECT frame = layout.Scaled(RECT{0, 0, form_.design.width, form_.design.height});
  AdjustWindowRectEx(&frame, kMainStyle, FALSE, WS_EX_CONTROLPARENT);
  const RECT place = layout.Scaled(RECT{form_.design.left, form_.design.top, 0, 0});
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, Widen(form_.design.caption).c_str(), kMainStyle,
                            place.left, place.top, frame.right - frame.left, frame.bottom - frame.top,
                            nullptr, nullptr, instance_, this);
  if (!window_) return false;
  ui_.SetMainWindow(window_);
  ui_.SetMessageFilter([this](MSG& message) { return PreTranslate(message); });

  tips.Create(window_, instance_);

  // The pages out of sight are made after the window has shown its rows.
  if (!CreateControls(true)) return false;
  LayoutPages();
  ShowActivePage();
  return true;
}

bool MainWindowWin32::OnHiddenPage(const TControl* control) const {
  const TControl* sheet = control->Parent;
  while (sheet && sheet->Kind() != ControlKind::kTabSheet) sheet = sheet->Parent;
  const auto& pages = form_.pageControl.Pages;
  const int active = form_.pageControl.ActivePage();
  return sheet && !(active >= 0 && active < static_cast<int>(pages.size()) && pages[active] == sheet);
}

bool MainWindowWin32::CreateControls(bool activePageOnly) {
  for (size_t i = 0; i < controls_.size(); ++i) {
    TControl* control = controls_[i];
    if (peers_.count(control) || (activePageOnly && OnHiddenPage(control))) continue;
    std::unique_ptr<Win32Peer> peer = MakePeer(*this, *control);
    if (!peer || !peer->Create(ContainerOf(control), kFirstControlId + static_cast<int>(i))) return false;
    if (peer->Handle()) byWindow_[peer->Handle()] = peer.get();
    if (control->Kind() == ControlKind::kTabSheet || control->Kind() == ControlKind::kPanel)
      byContainer_[peer->ChildContainer()] = peer.get();
    control->SetPeer(peer.get());
    peers_[control] = std::move(peer);
  }
  return true;
}

void MainWindowWin32::MakeControlsLeft(bool activePageOnly) {
  if (peers_.size() < controls_.size() && !CreateControls(activePageOnly))
    ui_.ShowError("The window's controls could not be created.");
}

void MainWindowWin32::LayoutPages() {
  Win32Peer* pages = PeerOf(&form_.pageControl);
  RECT display = layout.Scaled(RECT{0, 0, form_.pageControl.Width, form_.pageControl.Height});
  SendMessageW(pages->Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (TTabSheet* sheet : form_.pageControl.Pages) {
    // The page's own design values stay at 96 dots per inch, as every other control's.
    sheet->Left = MulDiv(display.left, 96, layout.Dpi());
    sheet->Top = MulDiv(display.top, 96, layout.Dpi());
    sheet->Width = MulDiv(display.right - display.left, 96, layout.Dpi());
    sheet->Height = MulDiv(display.bottom - display.top, 96, layout.Dpi());
    MoveWindow(PeerOf(sheet)->Handle(), display.left, display.top, display.right - display.left,
               display.bottom - display.top, FALSE);
  }
}

void MainWindowWin32::ShowActivePage() {
  // A page turned to before the rest of the window was made has its controls made now.
  MakeControlsLeft(true);
  const auto& pages = form_.pageControl.Pages;
  const int active = form_.pageControl.ActivePage();
  HWND focus = GetFocus();
  for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
    Win32Peer* peer = PeerOf(pages[i]);
    if (!peer) continue;
    // A page that hides the focused control hands the focus to the tabs.
    if (i != active && focus && IsChild(peer->Handle(), focus)) SetFocus(PeerOf(&form_.pageControl)->Handle());
    ShowWindow(peer->Handle(), i == active ? SW_SHOW : SW_HIDE);
  }
  HWND tabs = PeerOf(&form_.pageControl)->Handle();
  if (SendMessageW(tabs, TCM_GETCURSEL, 0, 0) != active) SendMessageW(tabs, TCM_SETCURSEL, active, 0);
}

void MainWindowWin32::RunFormCreate() {
  Fire([this] { form_.FormCreate(); });
  scanAccount.Show(window_, form_);
}

void MainWindowWin32::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  SetPropW(window_, kShownAfterProperty, reinterpret_cast<HANDLE>(MillisecondsSinceStart()));
  // The focus starts in the list, where Enter runs nothing; the Tab order stays as designed.
  SetFocus(PeerOf(&form_.list.entryList)->Handle());
  // The pages out of sight are made now, first thing in the message loop: before any key or
  // click of the user's, which come after the posted work.
  ui_.Post([this] { MakeControlsLeft(false); });
}

void MainWindowWin32::Fire(const std::function<void()>& event) {
  for (auto& [control, peer] : peers_) peer->Pull();
  try {
    event();
  } catch (const std::exception& error) {
    form_.ShowException(error);
  }
}

Win32Peer* MainWindowWin32::PeerOf(const TControl* control) const {
  auto it = peers_.find(control);
  return it == peers_.end() ? nullptr : it->second.get();
}

Win32Peer* MainWindowWin32::PeerOfWindow(HWND window) const {
  auto it = byWindow_.find(window);
  return it == byWindow_.end() ? nullptr : it->second;
}

HWND MainWindowWin32::ContainerOf(const TControl* control) const {
  if (!control->Parent) return window_;
  Win32Peer* parent = PeerOf(control->Parent);
  return parent ? parent->ChildContainer() : window_;
}

Win32Peer* MainWindowWin32::DrawnPeerAt(HWND container, POINT point) const {
  // The last drawn control under the point is the one on top.
  Win32Peer* found = nullptr;
  for (TControl* control : controls_) {
    Win32Peer* peer = PeerOf(control);
    if (!peer || !peer->Drawn() || ContainerOf(control) != container) continue;
    const RECT bounds = peer->Bounds();
    if (PtInRect(&bounds, point)) found = peer;
  }
  return found;
}

void MainWindowWin32::Paint(HWND container) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(container, &paint);
  RECT client;
  GetClientRect(container, &client);
  Win32Peer* owner = container == window_ ? nullptr : byContainer_.count(container) ? byContainer_.at(container) : nullptr;
  const TControl* control = owner ? &owner->Control() : nullptr;
  FillRect(dc, &client, drawing.BrushFor(DrawingTools::BackgroundOf(control)));
  if (control && control->Kind() == ControlKind::kPanel) {
    const auto* panel = static_cast<const TPanel*>(control);
    DrawEdge(dc, &client, panel->Lowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    if (!panel->Caption().empty()) {
      HGDIOBJ old = SelectObject(dc, drawing.FontFor(panel->Font));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, DrawingTools::ColorOf(panel->FontColor()));
      RECT text = client;
      const std::wstring caption = Widen(panel->Caption());
      DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SelectObject(dc, old);
    }
  }
  for (TControl* child : controls_) {
    Win32Peer* peer = PeerOf(child);
    if (peer && peer->Drawn() && ContainerOf(child) == container) peer->Paint(dc);
  }
  EndPaint(container, &paint);
}

bool MainWindowWin32::PreTranslate(MSG& message) {
  if (!window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
  return keyboard_.Handle(message);
}

LRESULT CALLBACK MainWindowWin32::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindowWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->Message(window, message, wParam, lParam);
}

LRESULT MainWindowWin32::Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case platform::kRunPostedMessage:
      if (window == window_) {
        ui_.RunPosted();
        scanAccount.Show(window_, form_);
        return 0;
      }
      break;
    case WM_TIMER:
      if (window == window_ && wParam == platform::kDelayedTasksTimer) {
        ui_.RunPosted();
        scanAccount.Show(window_, form_);
        return 0;
      }
      break;
    case WM_PAINT: {
      const PaintTimer timer(scanAccount);
      Paint(window);
      return 0;
    }
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lParam);
      if (Win32Peer* peer = from ? PeerOfWindow(from) : nullptr) {
        peer->Command(HIWORD(wParam));
        return 0;
      }
      break;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (Win32Peer* peer = PeerOfWindow(header->hwndFrom)) return peer->Notify(header);
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX: {
      if (Win32Peer* peer = PeerOfWindow(reinterpret_cast<HWND>(lParam))) {
        if (HBRUSH brush = peer->Colors(reinterpret_cast<HDC>(wParam))) return reinterpret_cast<LRESULT>(brush);
      }
      break;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == window && LOWORD(lParam) == HTCLIENT) {
        POINT point;
        GetCursorPos(&point);
        ScreenToClient(window, &point);
        Win32Peer* peer = DrawnPeerAt(window, point);
        if (peer && peer->Control().Kind() == ControlKind::kLabel && static_cast<const TLabel&>(peer->Control()).HandCursor) {
          SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN: {
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      pressed_ = DrawnPeerAt(window, point);
      if (pressed_) {
        Win32Peer* peer = pressed_;
        Fire([peer] { peer->Control().MouseDown(); });
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      // A click is a press and a release on the same label or picture.
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      Win32Peer* peer = DrawnPeerAt(window, point);
      const bool clicked = peer && peer == pressed_ && peer->Control().Enabled();
      pressed_ = nullptr;
      if (clicked) Fire([peer] { peer->Control().Click(); });
      return 0;
    }
    case WM_ACTIVATE:
      // Back to the control that had the focus when the window was left, as a dialog does.
      if (window == window_) {
        if (LOWORD(wParam) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (focus && IsChild(window_, focus)) lastFocus_ = focus;
        } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_)) {
          SetFocus(lastFocus_);
          return 0;
        }
      }
      break;
    case WM_SIZE:
      if (window == window_ && wParam != SIZE_MINIMIZED) Layout(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_GETMINMAXINFO:
      if (window == window_) {
        // Never smaller than its design, where every control has the room it needs.
        const SIZE design = layout.DesignClientSize();
        RECT frame{0, 0, design.cx, design.cy};
        AdjustWindowRectEx(&frame, kMainStyle, FALSE, WS_EX_CONTROLPARENT);
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = POINT{frame.right - frame.left, frame.bottom - frame.top};
        return 0;
      }
      break;
    case WM_DESTROY:
      if (window == window_) {
        for (const wchar_t* property : {kPendingChecksProperty, kShownAfterProperty, kCheckedAfterProperty})
          RemovePropW(window_, property);
        for (const wchar_t* property : kScanTimingProperties) RemovePropW(window_, property);
        PostQuitMessage(0);
      }
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
