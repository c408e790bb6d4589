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
constexpr const char* kWindowFont = "MS Sans Serif";
constexpr int kWindowFontSize = 8;

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const std::string& face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, Widen(face).c_str(), LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, &NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

bool IsEditWindow(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return lstrcmpiW(name, L"Edit") == 0;
}

}  // namespace

MainWindowWin32::MainWindowWin32(MainWindow& form, platform::Win32Ui& ui, HINSTANCE instance)
    : form_(form), ui_(ui), instance_(instance), controls_(form.Controls()) {}

MainWindowWin32::~MainWindowWin32() {
  for (TControl* control : controls_) control->SetPeer(nullptr);
  ui_.SetMessageFilter(nullptr);
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  ui_.SetMainWindow(nullptr);
  peers_.clear();
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [color, brush] : brushes_) DeleteObject(brush);
  if (statusImages_) common_controls::DestroyImageList(statusImages_);
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

RECT MainWindowWin32::Placed(const TControl& control) const {
  RECT place = Scaled(RECT{control.Left, control.Top, control.Left + control.Width, control.Top + control.Height});
  // How much larger than its design the control's parent is: the window, a page, or the panel at
  // its bottom, which grows with the window's width. The height the window adds is shared between
  // the list and the pages under it: what lies above the pages takes the list's part.
  int dx = 0, dy = 0;
  const TControl& pages = form_.pageControl;
  if (&control == &pages) {
    place.top += grown_.cy - pagesGrown_;
    dx = grown_.cx;
    dy = grown_.cy;
  } else if (!control.Parent) {
    dx = grown_.cx;
    dy = control.Top + control.Height <= pages.Top ? grown_.cy - pagesGrown_ : grown_.cy;
  } else if (control.Parent->Kind() == ControlKind::kPanel) {
    dx = grown_.cx;
  } else if (control.Parent->Kind() == ControlKind::kTabSheet) {
    dx = grown_.cx;
    dy = pagesGrown_;
  }
  const unsigned anchors = control.Anchors;
  if (anchors & kAnchorRight) {
    place.right += dx;
    if (!(anchors & kAnchorLeft)) place.left += dx;
  }
  if (anchors & kAnchorBottom) {
    place.bottom += dy;
    if (!(anchors & kAnchorTop)) place.top += dy;
  }
  return place;
}

SIZE MainWindowWin32::DesignClientSize() const {
  const RECT client = Scaled(RECT{0, 0, form_.design.width, form_.design.height});
  return SIZE{client.right, client.bottom};
}

void MainWindowWin32::Layout(int width, int height) {
  const SIZE design = DesignClientSize();
  grown_ = SIZE{std::max<LONG>(0, width - design.cx), std::max<LONG>(0, height - design.cy)};
  pagesGrown_ = grown_.cy / 2;
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

RECT MainWindowWin32::Scaled(RECT design) const {
  return RECT{MulDiv(design.left, dpi_, 96), MulDiv(design.top, dpi_, 96), MulDiv(design.right, dpi_, 96),
              MulDiv(design.bottom, dpi_, 96)};
}

bool MainWindowWin32::Create() {
  if (!RegisterClasses()) return false;
  // The program draws itself at the screen's resolution (its manifest says so), so the design's
  // places and sizes grow with it as its fonts do.
  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;

  statusImages_ = common_controls::CreateImageList(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
  // The order is the status code: Broken Link, Good Link, Missing Disk; then the clock of a status
  // still being checked.
  for (int resource : {kIconBrokenLink, kIconGoodLink, kIconMissingDisk, kIconChecking}) {
    HICON icon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(resource), IMAGE_ICON, 16, 16, 0));
    common_controls::AddIcon(statusImages_, icon);
    if (icon) DestroyIcon(icon);
  }

  RECT frame = Scaled(RECT{0, 0, form_.design.width, form_.design.height});
  AdjustWindowRectEx(&frame, kMainStyle, FALSE, WS_EX_CONTROLPARENT);
  const RECT place = Scaled(RECT{form_.design.left, form_.design.top, 0, 0});
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kMainWindowClass, Widen(form_.design.caption).c_str(), kMainStyle,
                            place.left, place.top, frame.right - frame.left, frame.bottom - frame.top,
                            nullptr, nullptr, instance_, this);
  if (!window_) return false;
  ui_.SetMainWindow(window_);
  ui_.SetMessageFilter([this](MSG& message) { return PreTranslate(message); });

  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_,
                          nullptr);
  if (tips_) SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 300);

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
  RECT display = Scaled(RECT{0, 0, form_.pageControl.Width, form_.pageControl.Height});
  SendMessageW(pages->Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (TTabSheet* sheet : form_.pageControl.Pages) {
    // The page's own design values stay at 96 dots per inch, as every other control's.
    sheet->Left = MulDiv(display.left, 96, dpi_);
    sheet->Top = MulDiv(display.top, 96, dpi_);
    sheet->Width = MulDiv(display.right - display.left, 96, dpi_);
    sheet->Height = MulDiv(display.bottom - display.top, 96, dpi_);
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
  ShowPendingChecks();
}

namespace {

// Milliseconds since this process was made, at least 1 (a property of 0 is no property).
INT_PTR MillisecondsSinceStart() {
  FILETIME creation{}, exit{}, kernel{}, user{}, now{};
  GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
  GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<INT_PTR>(std::max<ULONGLONG>(1, (ticks(now) - ticks(creation)) / 10000));
}

}  // namespace

void MainWindowWin32::ShowPendingChecks() {
  const int pending = form_.checks.Pending();
  SetPropW(window_, kPendingChecksProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(pending)));
  if (pending != 0 || GetPropW(window_, kCheckedAfterProperty)) return;
  const MainWindow::ScanTimings timed = form_.ScanTimed();
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
    SetPropW(window_, kScanTimingProperties[i], reinterpret_cast<HANDLE>(static_cast<INT_PTR>(values[i] + 1)));
  SetPropW(window_, kCheckedAfterProperty, reinterpret_cast<HANDLE>(MillisecondsSinceStart()));
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

TColor MainWindowWin32::BackgroundOf(const TControl* container) const {
  if (container && container->Kind() == ControlKind::kPanel) return static_cast<const TPanel*>(container)->Color();
  return clBtnFace;
}

COLORREF MainWindowWin32::ColorOf(TColor color) {
  if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color);
}

HBRUSH MainWindowWin32::BrushFor(TColor color) {
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second;
  HBRUSH brush = CreateSolidBrush(ColorOf(color));
  brushes_[color] = brush;
  return brush;
}

std::string MainWindowWin32::FontFace(const std::string& wanted) {
  auto it = faces_.find(wanted);
  if (it != faces_.end()) return it->second;
  // The design's faces are old bitmap fonts; where one is missing, the nearest font of about
  // the same width, so that captions fit the design's sizes (a condensed face on systems that
  // have only wide ones).
  std::string face = wanted;
  if (!FaceInstalled(face)) {
    face.clear();
    for (const char* candidate :
         {"Microsoft Sans Serif", "Tahoma", "Arial", "Liberation Sans Narrow", "DejaVu Sans Condensed",
          "Liberation Sans"}) {
      if (FaceInstalled(candidate)) {
        face = candidate;
        break;
      }
    }
  }
  faces_[wanted] = face;
  return face;
}

HFONT MainWindowWin32::FontFor(const TFontSpec& design) {
  const std::string wanted = design.name.empty() ? kWindowFont : design.name;
  const int size = design.size > 0 ? design.size : kWindowFontSize;
  const auto key = std::make_tuple(wanted, size, design.bold, design.italic);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;

  LOGFONTW font{};
  HDC screen = GetDC(nullptr);
  font.lfHeight = -MulDiv(size, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  font.lfWeight = design.bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = design.italic ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
  const std::string face = FontFace(wanted);
  lstrcpynW(font.lfFaceName, Widen(face).c_str(), LF_FACESIZE);
  HFONT made = CreateFontIndirectW(&font);
  if (!made) made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts_[key] = made;
  return made;
}

void MainWindowWin32::AddTip(HWND window, HWND container, UINT id, const RECT* rect, const std::string& text) {
  if (!tips_) return;
  std::wstring tip = Widen(text);
  TTTOOLINFOW tool{};
  // The size that every version of the common controls accepts.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_SUBCLASS | (rect ? 0 : TTF_IDISHWND);
  tool.hwnd = container;
  tool.uId = rect ? id : reinterpret_cast<UINT_PTR>(window);
  if (rect) tool.rect = *rect;
  tool.lpszText = tip.data();
  SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindowWin32::ChangeTip(HWND window, HWND container, const std::string& text) {
  if (!tips_) return;
  std::wstring tip = Widen(text);
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = container;
  tool.uId = reinterpret_cast<UINT_PTR>(window);
  tool.lpszText = tip.data();
  SendMessageW(tips_, TTM_POP, 0, 0);
  SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
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
  FillRect(dc, &client, BrushFor(BackgroundOf(control)));
  if (control && control->Kind() == ControlKind::kPanel) {
    const auto* panel = static_cast<const TPanel*>(control);
    DrawEdge(dc, &client, panel->Lowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    if (!panel->Caption().empty()) {
      HGDIOBJ old = SelectObject(dc, FontFor(panel->Font));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, ColorOf(panel->FontColor()));
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

void MainWindowWin32::CollectTabOrder(const TControl* parent, std::vector<HWND>* order) {
  std::vector<TControl*> children;
  for (TControl* control : controls_)
    if (control->Parent == parent && control->Kind() != ControlKind::kTabSheet) children.push_back(control);
  std::stable_sort(children.begin(), children.end(),
                   [](const TControl* a, const TControl* b) { return a->TabOrder < b->TabOrder; });
  for (TControl* control : children) {
    Win32Peer* peer = PeerOf(control);
    if (!peer) continue;
    HWND window = peer->Handle();
    const bool usable = window && IsWindowVisible(window) && IsWindowEnabled(window);
    if (peer->TabStop() && control->TabOrder >= 0 && usable) order->push_back(window);
    if (control->Kind() == ControlKind::kPageControl) {
      const auto& pages = form_.pageControl.Pages;
      const int active = form_.pageControl.ActivePage();
      if (active >= 0 && active < static_cast<int>(pages.size())) CollectTabOrder(pages[active], order);
    } else if (control->Kind() == ControlKind::kPanel) {
      CollectTabOrder(control, order);
    }
  }
}

std::vector<HWND> MainWindowWin32::TabOrder() {
  std::vector<HWND> order;
  CollectTabOrder(nullptr, &order);
  return order;
}

void MainWindowWin32::MoveFocus(bool backwards) {
  const std::vector<HWND> order = TabOrder();
  if (order.empty()) return;
  HWND focus = GetFocus();
  int at = -1;
  for (int i = 0; i < static_cast<int>(order.size()); ++i)
    if (order[i] == focus || IsChild(order[i], focus)) at = i;
  const int count = static_cast<int>(order.size());
  const int next = at < 0 ? (backwards ? count - 1 : 0) : (at + (backwards ? count - 1 : 1)) % count;
  SetFocus(order[next]);
  // As in a dialog, an edit box entered with the Tab key has its text selected.
  if (IsEditWindow(order[next])) SendMessageW(order[next], EM_SETSEL, 0, -1);
}

void MainWindowWin32::TurnPage(bool backwards) {
  TPageControl& pages = form_.pageControl;
  const int count = static_cast<int>(pages.Pages.size());
  if (count == 0) return;
  pages.SetActivePage((pages.ActivePage() + (backwards ? count - 1 : 1)) % count);
}

bool MainWindowWin32::Accelerator(MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  HWND focus = GetFocus();
  Win32Peer* filter = PeerOf(&form_.list.filterBox);
  Win32Peer* list = PeerOf(&form_.list.entryList);
  if (message.wParam == VK_F3 || (control && message.wParam == 'F')) {
    SetFocus(filter->Handle());
    SendMessageW(filter->Handle(), EM_SETSEL, 0, -1);
    return true;
  }
  if (message.wParam == VK_ESCAPE && focus == filter->Handle()) {
    SetWindowTextW(filter->Handle(), L"");
    return true;
  }
  if (control && message.wParam == 'B') {
    Fire([this] { form_.commands.SelectBrokenLinks(); });
    return true;
  }
  if (control && message.wParam == 'C' && focus == list->Handle()) {
    Fire([this] { form_.commands.CopyCommand(); });
    return true;
  }
  return false;
}

bool MainWindowWin32::PreTranslate(MSG& message) {
  if (!window_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
  if (Accelerator(message)) return true;
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && !(GetKeyState(VK_MENU) & 0x8000)) {
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    // Ctrl+Tab turns the pages, as in the framework's page control; Tab walks the controls.
    if (GetKeyState(VK_CONTROL) & 0x8000) TurnPage(shift);
    else MoveFocus(shift);
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
    // Enter presses the focused button, as in the framework's forms; outside a dialog box the
    // system would only send IDOK.
    Win32Peer* peer = PeerOfWindow(GetFocus());
    if (peer && peer->Control().Kind() == ControlKind::kEdit) {
      // In a box with a default button, Enter presses that button; the focus stays in the box
      // (a click message would give it to the button).
      TButton* button = static_cast<TEdit&>(peer->Control()).DefaultButton;
      if (!button) return IsDialogMessageW(window_, &message);
      if (button->Enabled()) Fire([button] { button->Click(); });
      return true;
    }
    if (peer && peer->Control().Kind() == ControlKind::kButton) {
      SendMessageW(peer->Handle(), BM_CLICK, 0, 0);
      return true;
    }
  }
  if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) return IsDialogMessageW(window_, &message);
  return false;
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
        ShowPendingChecks();
        return 0;
      }
      break;
    case WM_PAINT: {
      const PaintTimer timer(*this);
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
        if (peer && peer->Control().HandCursor) {
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
        const SIZE design = DesignClientSize();
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
