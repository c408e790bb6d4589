#include "app/peers_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "platform/text_encoding.h"
#include "platform/win32/wide_text.h"

using platform::Narrow;
// Every text a control shows: a name's unpaired surrogate (which the registry allows) as U+FFFD.
static std::wstring Widen(const std::string& text) { return platform::Widen(platform::ShownText(text)); }

namespace {

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  return Narrow(text.data(), static_cast<size_t>(std::max(copied, 0)));
}

// Draws text the way the framework's labels do: tabs expanded, "&" marking an accelerator.
UINT DrawFlags(const TControl& control) {
  UINT flags = DT_EXPANDTABS;
  // A line that does not fit ends in an ellipsis, so that it is seen to go on (the tip has it whole).
  flags |= control.WordWrap ? DT_WORDBREAK : DT_END_ELLIPSIS;
  switch (control.TextAlignment) {
    case TextAlign::kLeft: flags |= DT_LEFT; break;
    case TextAlign::kCenter: flags |= DT_CENTER; break;
    case TextAlign::kRight: flags |= DT_RIGHT; break;
  }
  return flags;
}

// Turns an event of the native control into the control's event after the user's changes are in.
class ButtonPeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  bool TabStop() const override { return true; }
  bool Create(HWND parent, int id) override {
    MakeWindow(0, L"BUTTON", control_.Caption(), WS_TABSTOP | BS_PUSHBUTTON, parent, id);
    return window_ != nullptr;
  }
  void Command(int code) override {
    // A disabled button takes no clicks, whatever sent the notification.
    if (code == BN_CLICKED && control_.Enabled()) owner_.Fire([this] { control_.Click(); });
  }
};

class EditPeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  bool TabStop() const override { return true; }
  TEdit& Edit() const { return static_cast<TEdit&>(control_); }

  bool Create(HWND parent, int id) override {
    const bool memo = control_.Kind() == ControlKind::kMemo;
    DWORD style = WS_TABSTOP;
    style |= memo ? (ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN) : ES_AUTOHSCROLL;
    if (Edit().ReadOnly) style |= ES_READONLY;
    const DWORD exStyle = Edit().Borderless ? 0 : WS_EX_CLIENTEDGE;
    MakeWindow(exStyle, L"EDIT", Edit().Text(), style, parent, id);
    if (!window_) return false;
    if (!Edit().Cue.empty()) {
      const std::wstring cue = Widen(Edit().Cue);
      SendMessageW(window_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProc)));
    return true;
  }

  void Update(TControl& control, Aspect aspect, int index) override {
    if (aspect == Aspect::kSelection) {
      SendMessageW(window_, EM_SETSEL, Edit().SelStart(), Edit().SelStart() + Edit().SelLength());
      return;
    }
    Win32Peer::Update(control, aspect, index);
  }

  void Command(int code) override {
    if (code != EN_CHANGE) return;
    const std::string text = WindowText(window_);
    if (text == Edit().Text()) return;  // the program's own change, already in the control
    Edit().TextFromUser(text);
    if (Edit().OnChange) owner_.Fire([this] { Edit().Change(); });
  }

  void Pull() override {
    DWORD start = 0, end = 0;
    // In UTF-16 units, as the control counts characters.
    SendMessageW(window_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    Edit().SelectionFromUser(static_cast<int>(start), static_cast<int>(end - start));
  }

  HBRUSH Colors(HDC dc) override {
    // A borderless memo takes the colour of its page; a read-only box stays white like an
    // editable one, as the framework draws it.
    const TColor background =
        Edit().Borderless ? DrawingTools::BackgroundOf(control_.Parent) : clWindow;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, DrawingTools::ColorOf(background));
    return owner_.drawing.BrushFor(background);
  }

 private:
  // A click is a button release in the box, after the box has set its selection.
  static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<EditPeer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const LRESULT result = CallWindowProcW(self->original_, window, message, wParam, lParam);
    if (message == WM_LBUTTONUP) self->owner_.Fire([self] { self->control_.Click(); });
    return result;
  }

  WNDPROC original_ = nullptr;
};

class ListBoxPeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  bool TabStop() const override { return true; }
  TListBox& List() const { return static_cast<TListBox&>(control_); }

  bool Create(HWND parent, int id) override {
    // Unsorted on the native side: the control object keeps the order.
    MakeWindow(WS_EX_CLIENTEDGE, L"LISTBOX", "",
               WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS, parent, id);
    if (!window_) return false;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListProc)));
    Refill();
    return true;
  }

  void Update(TControl& control, Aspect aspect, int index) override {
    // A box waiting for its lines takes them, and the selection, whole when next drawn or asked.
    if (stale_ && (aspect == Aspect::kItem || aspect == Aspect::kSelection)) return;
    if (aspect == Aspect::kItems) {
      Refill();
    } else if (aspect == Aspect::kItem) {
      const std::wstring line = Widen(List().Items().at(static_cast<size_t>(index)));
      SendMessageW(window_, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(line.c_str()));
      // A line inserted above the selected one moves it down in both.
      if (List().ItemIndex() >= 0) SendMessageW(window_, LB_SETCURSEL, List().ItemIndex(), 0);
    } else if (aspect == Aspect::kSelection) {
      SendMessageW(window_, LB_SETCURSEL, List().ItemIndex(), 0);
    } else {
      Win32Peer::Update(control, aspect, index);
    }
  }

  void Command(int code) override {
    if (code == LBN_SELCHANGE) {
      Pull();
      owner_.Fire([this] { control_.Click(); });
    } else if (code == LBN_DBLCLK) {
      owner_.Fire([this] { control_.DblClick(); });
    }
  }

  void Pull() override {
    if (stale_) return;  // the control object's selection is the one to show
    const LRESULT index = SendMessageW(window_, LB_GETCURSEL, 0, 0);
    List().ItemIndexFromUser(index == LB_ERR ? -1 : static_cast<int>(index));
  }

 private:
  // A box that cannot be seen (on a page not shown, or before the window shows) takes its lines
  // when it is first drawn or asked about them: the All Entries list of thousands of lines does
  // not hold up the window's first showing, nor each scan while another page is shown.
  void Refill() {
    stale_ = !IsWindowVisible(window_);
    if (!stale_) Fill();
  }

  void Fill() {
    stale_ = false;
    SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(window_, LB_RESETCONTENT, 0, 0);
    std::vector<std::wstring> lines;
    size_t bytes = 0;
    for (const std::string& line : List().Items()) {
      lines.push_back(Widen(line));
      bytes += (lines.back().size() + 1) * sizeof(wchar_t);
    }
    SendMessageW(window_, LB_INITSTORAGE, lines.size(), bytes);
    for (const std::wstring& line : lines)
      SendMessageW(window_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageW(window_, LB_SETCURSEL, List().ItemIndex(), 0);
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, TRUE);
  }

  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ListBoxPeer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Drawn, focused, or asked by anyone (another program too) about its lines: filled first.
    const bool listMessage = message >= LB_ADDSTRING && message <= LB_MSGMAX;
    if (self->stale_ && (message == WM_PAINT || message == WM_SETFOCUS || listMessage)) self->Fill();
    return CallWindowProcW(self->original_, window, message, wParam, lParam);
  }

  WNDPROC original_ = nullptr;
  bool stale_ = false;
};

class ListViewPeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  bool TabStop() const override { return true; }
  TListView& View() const { return static_cast<TListView&>(control_); }

  bool Create(HWND parent, int id) override {
    // The rows stay in the control object; the list view asks for the text of the rows it draws,
    // so that thousands of rows cost nothing until they are seen.
    MakeWindow(WS_EX_CLIENTEDGE, WC_LISTVIEWW, "",
               WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA, parent, id);
    if (!window_) return false;
    SendMessageW(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // The tip over a row says why its entry has its status. The list view's own row tips are not
    // drawn by every version of the common controls (Wine's list view never asks for them), so
    // the window's tooltip covers the list and takes the text of the row under the mouse.
    owner_.tips.Add(window_, parent, 0, nullptr, "");
    if (View().StatusIcons)
      SendMessageW(window_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(owner_.drawing.StatusImages()));
    for (size_t i = 0; i < View().Columns.size(); ++i) {
      std::wstring caption = Widen(View().Columns[i]);
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      column.pszText = caption.data();
      column.cx = 100;
      column.iSubItem = static_cast<int>(i);
      SendMessageW(window_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    if (View().ColumnOrder.size() == View().Columns.size()) {
      std::vector<int> order = View().ColumnOrder;
      SendMessageW(window_, LVM_SETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ViewProc)));
    Refill();
    return true;
  }

  void Update(TControl& control, Aspect aspect, int index) override {
    switch (aspect) {
      case Aspect::kItems:
        tipRow_ = -2;
        Refill();
        break;
      case Aspect::kItem:
        if (index < 0) {
          RedrawRowsInView(View().ChangedRows());
          break;
        }
        // A row whose text changed under the mouse gets its new tip at the mouse's next move.
        if (index == tipRow_) tipRow_ = -2;
        SetRow(index);
        break;
      case Aspect::kSelection: PushSelection(); break;
      case Aspect::kSortMark: ShowSortMark(); break;
      case Aspect::kScroll:
        if (View().Selected() >= 0) SendMessageW(window_, LVM_ENSUREVISIBLE, View().Selected(), FALSE);
        break;
      default: Win32Peer::Update(control, aspect, index);
    }
  }

  LRESULT Notify(NMHDR* header) override {
    switch (header->code) {
      case NM_CLICK:
        Pull();
        owner_.Fire([this] { control_.Click(); });
        break;
      case LVN_KEYDOWN: {
        const int key = reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey;
        owner_.Fire([this, key] { control_.KeyDown(key); });
        break;
      }
      case LVN_GETDISPINFOW: {
        ShowRow(reinterpret_cast<NMLVDISPINFOW*>(header)->item);
        break;
      }
      case LVN_ODFINDITEMW:
        return FindRow(*reinterpret_cast<NMLVFINDITEMW*>(header));
      case LVN_COLUMNCLICK: {
        const int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
        owner_.Fire([this, column] { View().ColumnClick(column); });
        break;
      }
      case LVN_ITEMCHANGED: {
        // The mouse and the keyboard move the selection; the control follows and tells the window
        // once the rows have changed, so that what the commands act on is the rows highlighted.
        const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && ((change->uOldState ^ change->uNewState) & LVIS_SELECTED))
          SelectionChanged();
        break;
      }
      case LVN_ODSTATECHANGED:
        SelectionChanged();
        break;
    }
    return 0;
  }

  void Pull() override {
    if (pushing_) return;
    View().SelectionFromUser(NativeSelection());
  }

 private:
  static LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ListViewPeer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN)
      self->owner_.Fire([self] { self->control_.MouseDown(); });
    if (message == WM_CONTEXTMENU) {
      // The menu key and Shift+F10 give no position (-1, -1); the mouse gives its own.
      const bool fromKeyboard = lParam == static_cast<LPARAM>(-1);
      self->owner_.Fire([self, fromKeyboard] { self->View().ContextMenu(fromKeyboard); });
      return 0;
    }
    if (message == WM_MOUSEMOVE) self->TipFor(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    if (message == WM_PAINT) {
      const PaintTimer timer(self->owner_.scanAccount);
      return CallWindowProcW(self->original_, window, message, wParam, lParam);
    }
    return CallWindowProcW(self->original_, window, message, wParam, lParam);
  }

  // The tip of the row under the mouse, changed when the mouse reaches another row.
  void TipFor(POINT point) {
    LVHITTESTINFO hit{};
    hit.pt = point;
    const int row = static_cast<int>(SendMessageW(window_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row == tipRow_) return;
    tipRow_ = row;
    owner_.tips.Change(window_, GetParent(window_), row >= 0 && row < View().Count() ? View().Item(row).Hint : "");
  }

  int tipRow_ = -2;

  // What the list view asks for a row it draws: its text in a column, its image.
  void ShowRow(LVITEMW& row) {
    if (row.iItem < 0 || row.iItem >= View().Count()) return;
    const TListItem& item = View().Item(row.iItem);
    if (row.mask & LVIF_IMAGE) row.iImage = item.ImageIndex >= 0 ? item.ImageIndex : I_IMAGENONE;
    if ((row.mask & LVIF_TEXT) && row.pszText && row.cchTextMax > 0) {
      const size_t at = static_cast<size_t>(row.iSubItem);
      const std::string& text = at == 0 ? item.Caption : at - 1 < item.SubItems.size() ? item.SubItems[at - 1] : kEmpty;
      const std::wstring wide = Widen(text);
      const size_t units = std::min(wide.size(), static_cast<size_t>(row.cchTextMax - 1));
      std::copy_n(wide.data(), units, row.pszText);
      row.pszText[units] = L'\0';
    }
  }

  // Type-ahead: the next row from the start whose caption begins with the typed text, letter
  // case ignored; -1 when none does.
  LRESULT FindRow(const NMLVFINDITEMW& find) const {
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
    const std::string wanted = platform::UpperCaseText(Narrow(std::wstring(find.lvfi.psz)));
    const int count = View().Count();
    for (int n = 0; n < count; ++n) {
      const int row = (find.iStart + n) % count;
      const std::string caption = platform::UpperCaseText(View().Item(row).Caption);
      if (caption.compare(0, wanted.size(), wanted) == 0) return row;
    }
    return -1;
  }

  void SetRow(int index) { SendMessageW(window_, LVM_REDRAWITEMS, index, index); }

  // One invalidation for the changed rows in view, from the first to the last of them; rows out
  // of view are drawn from the control when they are scrolled to.
  void RedrawRowsInView(const std::vector<int>& rows) {
    const int top = static_cast<int>(SendMessageW(window_, LVM_GETTOPINDEX, 0, 0));
    const int last = top + static_cast<int>(SendMessageW(window_, LVM_GETCOUNTPERPAGE, 0, 0));
    int first = -1, final = -1;
    for (int row : rows) {
      if (row == tipRow_) tipRow_ = -2;
      if (row < top || row > last) continue;
      first = first < 0 ? row : std::min(first, row);
      final = std::max(final, row);
    }
    if (first < 0) return;
    RECT from{}, to{};
    from.left = to.left = LVIR_BOUNDS;
    if (!SendMessageW(window_, LVM_GETITEMRECT, first, reinterpret_cast<LPARAM>(&from)) ||
        !SendMessageW(window_, LVM_GETITEMRECT, final, reinterpret_cast<LPARAM>(&to))) {
      InvalidateRect(window_, nullptr, FALSE);
      return;
    }
    RECT client{};
    GetClientRect(window_, &client);
    const RECT band{client.left, from.top, client.right, to.bottom};
    InvalidateRect(window_, &band, FALSE);
  }

  std::vector<int> NativeSelection() const {
    std::vector<int> rows;
    for (LRESULT row = -1; (row = SendMessageW(window_, LVM_GETNEXTITEM, row, LVNI_SELECTED)) >= 0;)
      rows.push_back(static_cast<int>(row));
    return rows;
  }

  // The user's new selection: the control takes it and the window hears of it once.
  void SelectionChanged() {
    if (pushing_) return;
    const std::vector<int> before = View().SelectedRows();
    Pull();
    if (View().SelectedRows() != before && !View().SelectedRows().empty())
      owner_.Fire([this] { View().SelectItem(); });
  }


  // The arrow in the header of the column the rows are sorted by.
  void ShowSortMark() {
    HWND header = reinterpret_cast<HWND>(SendMessageW(window_, LVM_GETHEADER, 0, 0));
    if (!header) return;
    const int columns = static_cast<int>(View().Columns.size());
    for (int c = 0; c < columns; ++c) {
      HDITEMW item{};
      item.mask = HDI_FORMAT;
      SendMessageW(header, HDM_GETITEMW, c, reinterpret_cast<LPARAM>(&item));
      item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
      if (c == View().SortColumn()) item.fmt |= View().SortAscending() ? HDF_SORTUP : HDF_SORTDOWN;
      SendMessageW(header, HDM_SETITEMW, c, reinterpret_cast<LPARAM>(&item));
    }
  }

  // One redraw for the whole list however many rows it holds.
  void Refill() {
    pushing_ = true;
    SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(window_, LVM_SETITEMCOUNT, View().Count(), LVSICF_NOSCROLL);
    SelectNative(View().SelectedRows());
    FitColumns();
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, TRUE);
    pushing_ = false;
  }

  // Each column as wide as its widest text, its header included. The widest texts are found among
  // the longest ones, so a list of thousands is measured in a few dozen texts per column.
  void FitColumns() {
    const int columns = static_cast<int>(View().Columns.size());
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0)));
    for (int c = 0; c < columns; ++c) {
      std::vector<const std::string*> texts;
      for (int row = 0; row < View().Count(); ++row) {
        const TListItem& item = View().Item(row);
        const size_t at = static_cast<size_t>(c);
        texts.push_back(at == 0 ? &item.Caption : at - 1 < item.SubItems.size() ? &item.SubItems[at - 1] : &kEmpty);
      }
      const size_t measured = std::min<size_t>(texts.size(), 40);
      std::partial_sort(texts.begin(), texts.begin() + static_cast<std::ptrdiff_t>(measured), texts.end(),
                        [](const std::string* a, const std::string* b) { return a->size() > b->size(); });
      int width = TextWidth(dc, View().Columns[static_cast<size_t>(c)]) + 16;
      // The first column also holds the status icon.
      const int margin = c == 0 ? 16 + 12 : 12;
      for (size_t i = 0; i < measured; ++i) width = std::max(width, TextWidth(dc, *texts[i]) + margin);
      if (static_cast<size_t>(c) < View().ColumnFits.size())
        for (const std::string& text : View().ColumnFits[static_cast<size_t>(c)])
          width = std::max(width, TextWidth(dc, text) + margin);
      SendMessageW(window_, LVM_SETCOLUMNWIDTH, c, width);
    }
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
  }

  static int TextWidth(HDC dc, const std::string& text) {
    const std::wstring wide = Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
  }

  void PushSelection() {
    pushing_ = true;
    SelectNative(View().SelectedRows());
    pushing_ = false;
  }

  void SelectNative(const std::vector<int>& rows) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    for (size_t i = 0; i < rows.size(); ++i) {
      // The first selected row has the focus.
      state.state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
      SendMessageW(window_, LVM_SETITEMSTATE, rows[i], reinterpret_cast<LPARAM>(&state));
    }
    if (!rows.empty()) SendMessageW(window_, LVM_SETSELECTIONMARK, 0, rows.front());
  }

  static inline const std::string kEmpty;
  WNDPROC original_ = nullptr;
  bool pushing_ = false;
};

class PageControlPeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  bool TabStop() const override { return true; }
  TPageControl& Pages() const { return static_cast<TPageControl&>(control_); }

  bool Create(HWND parent, int id) override {
    MakeWindow(0, WC_TABCONTROLW, "", WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, parent, id);
    // Narrow margins in the tabs, so that the eight captions fit on one row.
    if (window_) SendMessageW(window_, TCM_SETPADDING, 0, MAKELPARAM(2, 3));
    return window_ != nullptr;
  }

  void Update(TControl& control, Aspect aspect, int index) override {
    if (aspect == Aspect::kPage) {
      SendMessageW(window_, TCM_SETCURSEL, Pages().ActivePage(), 0);
      owner_.ShowActivePage();
    } else {
      Win32Peer::Update(control, aspect, index);
    }
  }

  LRESULT Notify(NMHDR* header) override {
    if (header->code == TCN_SELCHANGE) {
      Pull();
      owner_.ShowActivePage();
    }
    return 0;
  }

  void Pull() override {
    const LRESULT index = SendMessageW(window_, TCM_GETCURSEL, 0, 0);
    if (index >= 0) Pages().ActivePageFromUser(static_cast<int>(index));
  }
};

// A page and a panel are plain windows of the program's container class that hold other controls
// and draw the labels and pictures placed on them.
class ContainerPeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  bool Create(HWND parent, int id) override {
    MakeWindow(WS_EX_CONTROLPARENT, kContainerClass, "", WS_CLIPCHILDREN, parent, id);
    return window_ != nullptr;
  }
  void Update(TControl& control, Aspect aspect, int index) override {
    if (aspect == Aspect::kCaption || aspect == Aspect::kColors) InvalidateRect(window_, nullptr, TRUE);
    else Win32Peer::Update(control, aspect, index);
  }
};

class TabSheetPeer : public ContainerPeer {
 public:
  using ContainerPeer::ContainerPeer;
  bool Create(HWND parent, int id) override {
    if (!ContainerPeer::Create(parent, id)) return false;
    std::wstring caption = Widen(control_.Caption());
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = caption.data();
    SendMessageW(parent, TCM_INSERTITEMW, PageIndex(), reinterpret_cast<LPARAM>(&tab));
    return true;
  }
  void Update(TControl& control, Aspect aspect, int index) override {
    if (aspect == Aspect::kCaption) {
      std::wstring caption = Widen(control_.Caption());
      TCITEMW tab{};
      tab.mask = TCIF_TEXT;
      tab.pszText = caption.data();
      SendMessageW(parent_, TCM_SETITEMW, PageIndex(), reinterpret_cast<LPARAM>(&tab));
    } else {
      ContainerPeer::Update(control, aspect, index);
    }
  }

 private:
  int PageIndex() const {
    const auto& pages = static_cast<TPageControl*>(control_.Parent)->Pages;
    return static_cast<int>(std::find(pages.begin(), pages.end(), &control_) - pages.begin());
  }
};

class LabelPeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  bool Drawn() const override { return true; }
  bool Create(HWND parent, int id) override {
    parent_ = parent;
    if (!control_.Hint.empty()) {
      const RECT bounds = Bounds();
      owner_.tips.Add(nullptr, parent, static_cast<UINT>(id), &bounds, control_.Hint);
    }
    return true;
  }
  void Paint(HDC dc) override {
    RECT bounds = Bounds();
    HGDIOBJ old = SelectObject(dc, owner_.drawing.FontFor(control_.Font));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, control_.Enabled() ? DrawingTools::ColorOf(control_.Font.color) : GetSysColor(COLOR_GRAYTEXT));
    const std::wstring caption = Widen(control_.Caption());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &bounds, DrawFlags(control_));
    SelectObject(dc, old);
  }
};

// A label that is read, not clicked: a static control with its text, which a screen reader and any
// tool that reads windows (WM_GETTEXT) find, drawn by the system in the label's font and colours. Its
// tip holds its whole text when it has none of its own: a line cut short by the window's width is
// read whole there.
class StaticLabelPeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  bool Create(HWND parent, int id) override {
    // A caption that names a key ("&Filter") underlines it; any other text is shown as it is, an
    // entry's "&" included.
    const bool namesKey = control_.Caption().find('&') != std::string::npos;
    DWORD style = (namesKey ? 0 : SS_NOPREFIX) | (control_.WordWrap ? 0 : SS_ENDELLIPSIS) |
                  (control_.OnClick ? SS_NOTIFY : 0);
    switch (control_.TextAlignment) {
      case TextAlign::kLeft: style |= control_.WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP; break;
      case TextAlign::kCenter: style |= SS_CENTER; break;
      case TextAlign::kRight: style |= SS_RIGHT; break;
    }
    MakeWindow(0, L"STATIC", control_.Caption(), style, parent, id);
    if (window_ && control_.Hint.empty()) owner_.tips.Add(window_, parent, 0, nullptr, control_.Caption());
    return window_ != nullptr;
  }
  void Update(TControl& control, Aspect aspect, int index) override {
    Win32Peer::Update(control, aspect, index);
    if (aspect == Aspect::kCaption && control_.Hint.empty()) owner_.tips.Change(window_, parent_, control_.Caption());
  }
  void Command(int code) override {
    if (code == STN_CLICKED) control_.Click();
  }
  HBRUSH Colors(HDC dc) override {
    const TColor background = DrawingTools::BackgroundOf(control_.Parent);
    SetTextColor(dc, control_.Enabled() ? DrawingTools::ColorOf(control_.Font.color) : GetSysColor(COLOR_GRAYTEXT));
    SetBkColor(dc, DrawingTools::ColorOf(background));
    return owner_.drawing.BrushFor(background);
  }
};

class ImagePeer : public Win32Peer {
 public:
  using Win32Peer::Win32Peer;
  ~ImagePeer() override {
    if (icon_) DestroyIcon(icon_);
  }
  bool Drawn() const override { return true; }
  bool Create(HWND parent, int id) override {
    parent_ = parent;
    // The picture at the size it was drawn in.
    icon_ = static_cast<HICON>(
        LoadImageW(owner_.Instance(), MAKEINTRESOURCEW(static_cast<const TImage&>(control_).ResourceId), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    if (icon_) {
      ICONINFO info{};
      if (GetIconInfo(icon_, &info)) {
        BITMAP bitmap{};
        if (GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap)) {
          width_ = bitmap.bmWidth;
          height_ = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
        }
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
      }
    }
    return true;
  }
  void Paint(HDC dc) override {
    if (!icon_) return;
    const RECT bounds = Bounds();
    const int x = bounds.left + std::max(0, (static_cast<int>(bounds.right - bounds.left) - width_) / 2);
    const int y = bounds.top + std::max(0, (static_cast<int>(bounds.bottom - bounds.top) - height_) / 2);
    DrawIconEx(dc, x, y, icon_, width_, height_, 0, nullptr, DI_NORMAL);
  }

 private:
  HICON icon_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace

RECT Win32Peer::Bounds() const { return owner_.layout.Placed(control_); }

HWND Win32Peer::MakeWindow(DWORD exStyle, const wchar_t* className, const std::string& text, DWORD style,
                           HWND parent, int id) {
  parent_ = parent;
  const bool hidden = control_.Kind() == ControlKind::kTabSheet;
  const RECT bounds = Bounds();
  window_ = CreateWindowExW(exStyle, className, Widen(text).c_str(), WS_CHILD | (hidden ? 0 : WS_VISIBLE) | style,
                            bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), owner_.Instance(), &owner_);
  if (!window_) return nullptr;
  ApplyFont();
  if (!control_.Enabled()) EnableWindow(window_, FALSE);
  if (!control_.Hint.empty()) owner_.tips.Add(window_, parent, 0, nullptr, control_.Hint);
  return window_;
}

void Win32Peer::ApplyFont() {
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(owner_.drawing.FontFor(control_.Font)), FALSE);
}

void Win32Peer::Invalidate() {
  const RECT bounds = Bounds();
  if (parent_) InvalidateRect(parent_, &bounds, TRUE);
}

void Win32Peer::Update(TControl& control, Aspect aspect, int index) {
  switch (aspect) {
    case Aspect::kEnabled:
      if (window_) EnableWindow(window_, control_.Enabled());
      else Invalidate();
      break;
    case Aspect::kCaption:
      if (window_) SetWindowTextW(window_, Widen(control_.Caption()).c_str());
      else Invalidate();
      break;
    default:
      break;
  }
}

std::unique_ptr<Win32Peer> MakePeer(MainWindowWin32& owner, TControl& control) {
  switch (control.Kind()) {
    case ControlKind::kButton: return std::make_unique<ButtonPeer>(owner, control);
    case ControlKind::kLabel:
      // A link is drawn by its parent, which shows the hand over it and takes its clicks.
      if (static_cast<const TLabel&>(control).HandCursor) return std::make_unique<LabelPeer>(owner, control);
      return std::make_unique<StaticLabelPeer>(owner, control);
    case ControlKind::kEdit:
    case ControlKind::kMemo: return std::make_unique<EditPeer>(owner, control);
    case ControlKind::kListBox: return std::make_unique<ListBoxPeer>(owner, control);
    case ControlKind::kListView: return std::make_unique<ListViewPeer>(owner, control);
    case ControlKind::kPageControl: return std::make_unique<PageControlPeer>(owner, control);
    case ControlKind::kTabSheet: return std::make_unique<TabSheetPeer>(owner, control);
    case ControlKind::kPanel: return std::make_unique<ContainerPeer>(owner, control);
    case ControlKind::kImage: return std::make_unique<ImagePeer>(owner, control);
  }
  return nullptr;
}
