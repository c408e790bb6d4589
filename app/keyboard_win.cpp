#include "app/keyboard_win.h"

#include <algorithm>

#include "app/main_window_win.h"

namespace {

bool IsEditWindow(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return lstrcmpiW(name, L"Edit") == 0;
}

}  // namespace

bool KeyboardNavigation::Handle(MSG& message) {
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
    Win32Peer* peer = owner_.PeerOfWindow(GetFocus());
    if (peer && peer->Control().Kind() == ControlKind::kEdit) {
      // In a box with a default button, Enter presses that button; the focus stays in the box
      // (a click message would give it to the button).
      TButton* button = static_cast<TEdit&>(peer->Control()).DefaultButton;
      if (!button) return IsDialogMessageW(owner_.Handle(), &message);
      if (button->Enabled()) owner_.Fire([button] { button->Click(); });
      return true;
    }
    if (peer && peer->Control().Kind() == ControlKind::kButton) {
      SendMessageW(peer->Handle(), BM_CLICK, 0, 0);
      return true;
    }
  }
  if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) return IsDialogMessageW(owner_.Handle(), &message);
  return false;
}

void KeyboardNavigation::CollectTabOrder(const TControl* parent, std::vector<HWND>* order) {
  std::vector<TControl*> children;
  for (TControl* control : owner_.Controls())
    if (control->Parent == parent && control->Kind() != ControlKind::kTabSheet) children.push_back(control);
  std::stable_sort(children.begin(), children.end(),
                   [](const TControl* a, const TControl* b) { return a->TabOrder < b->TabOrder; });
  for (TControl* control : children) {
    Win32Peer* peer = owner_.PeerOf(control);
    if (!peer) continue;
    HWND window = peer->Handle();
    const bool usable = window && IsWindowVisible(window) && IsWindowEnabled(window);
    if (peer->TabStop() && control->TabOrder >= 0 && usable) order->push_back(window);
    if (control->Kind() == ControlKind::kPageControl) {
      const auto& pages = owner_.Form().pageControl.Pages;
      const int active = owner_.Form().pageControl.ActivePage();
      if (active >= 0 && active < static_cast<int>(pages.size())) CollectTabOrder(pages[active], order);
    } else if (control->Kind() == ControlKind::kPanel) {
      CollectTabOrder(control, order);
    }
  }
}

std::vector<HWND> KeyboardNavigation::TabOrder() {
  std::vector<HWND> order;
  CollectTabOrder(nullptr, &order);
  return order;
}

void KeyboardNavigation::MoveFocus(bool backwards) {
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

void KeyboardNavigation::TurnPage(bool backwards) {
  TPageControl& pages = owner_.Form().pageControl;
  const int count = static_cast<int>(pages.Pages.size());
  if (count == 0) return;
  pages.SetActivePage((pages.ActivePage() + (backwards ? count - 1 : 1)) % count);
}

bool KeyboardNavigation::Accelerator(MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  HWND focus = GetFocus();
  Win32Peer* filter = owner_.PeerOf(&owner_.Form().list.filterBox);
  Win32Peer* list = owner_.PeerOf(&owner_.Form().list.entryList);
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
    owner_.Fire([this] { owner_.Form().commands.SelectBrokenLinks(); });
    return true;
  }
  if (control && message.wParam == 'C' && focus == list->Handle()) {
    owner_.Fire([this] { owner_.Form().commands.CopyCommand(); });
    return true;
  }
  return false;
}
