#pragma once
// The window's controls as plain objects: each owns its state and tells an optional native peer
// what changed. Tests use them without peers; the program attaches Win32 peers.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Colours as the framework spells them: 0x00BBGGRR, or 0x80000000 plus a system colour index.
using TColor = std::uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clBtnFace = 0x8000000F;    // COLOR_BTNFACE (15)
inline constexpr TColor clWindowText = 0x80000008; // COLOR_WINDOWTEXT (8)
inline constexpr TColor clWindow = 0x80000005;     // COLOR_WINDOW (5)

enum class Aspect {
  kEnabled,
  kCaption,   // caption or text
  kItems,     // rows or lines, all of them
  kItem,      // one row changed; in a list box, one line inserted (index in the notification); in a
              // list view, index -1: the rows of ChangedRows()
  kSelection, // selected row or line, or selected text
  kColors,
  kScroll,    // make the selected row visible
  kPage,      // active page
  kSortMark,  // the sort arrow in a list's header
  kBounds,    // place or size
};

enum class ControlKind {
  kButton, kLabel, kEdit, kMemo, kListBox, kListView, kPageControl, kTabSheet, kPanel, kImage,
};

enum class Align { kNone, kBottom };

// The edges of its parent that a control keeps its distance to when the parent grows: with left and
// right, it grows with it; with right alone, it moves with it. Top and bottom likewise.
enum Anchor : unsigned { kAnchorLeft = 1, kAnchorTop = 2, kAnchorRight = 4, kAnchorBottom = 8 };
enum class TextAlign { kLeft, kCenter, kRight };

struct TFontSpec {
  std::string name;     // empty: the window's font
  int size = 0;         // points; 0: the window's size
  bool bold = false;
  bool italic = false;
  TColor color = clWindowText;
};

class TControl {
 public:
  class Peer {
   public:
    virtual ~Peer() = default;
    virtual void Update(TControl& control, Aspect aspect, int index) = 0;
  };

  TControl(ControlKind kind, std::string name) : kind_(kind), name_(std::move(name)) {}
  virtual ~TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  ControlKind Kind() const { return kind_; }
  const std::string& Name() const { return name_; }

  // Design-time settings, fixed by the window's constructor.
  TControl* Parent = nullptr;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  Align Alignment = Align::kNone;
  unsigned Anchors = kAnchorLeft | kAnchorTop;
  std::string Hint;
  int TabOrder = -1;  // position in the keyboard order among its siblings; -1: not a tab stop
  TFontSpec Font;
  bool WordWrap = false;
  TextAlign TextAlignment = TextAlign::kLeft;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  std::function<void()> OnClick;
  std::function<void()> OnDblClick;
  std::function<void(int key)> OnKeyDown;
  std::function<void()> OnMouseDown;
  // The selected row or line changed, by the mouse or the keyboard.
  std::function<void()> OnSelectItem;

  // Fired by the peer (or a test) as the user acts.
  void Click() { if (OnClick) OnClick(); }
  void DblClick() { if (OnDblClick) OnDblClick(); }
  void KeyDown(int key) { if (OnKeyDown) OnKeyDown(key); }
  void MouseDown() { if (OnMouseDown) OnMouseDown(); }
  void SelectItem() { if (OnSelectItem) OnSelectItem(); }

  void SetPeer(Peer* peer) { peer_ = peer; }
  Peer* GetPeer() const { return peer_; }

 protected:
  void Changed(Aspect aspect, int index = -1) {
    if (peer_) peer_->Update(*this, aspect, index);
  }

 private:
  ControlKind kind_;
  std::string name_;
  bool enabled_ = true;
  std::string caption_;
  Peer* peer_ = nullptr;
};

class TButton : public TControl {
 public:
  explicit TButton(std::string name) : TControl(ControlKind::kButton, std::move(name)) {}
};

class TLabel : public TControl {
 public:
  explicit TLabel(std::string name) : TControl(ControlKind::kLabel, std::move(name)) {}
  // A link: the hand over it, and a click on it runs OnClick.
  bool HandCursor = false;
};

class TImage : public TControl {
 public:
  explicit TImage(std::string name) : TControl(ControlKind::kImage, std::move(name)) {}
  // The resource that holds the picture.
  int ResourceId = 0;
};

class TPanel : public TControl {
 public:
  explicit TPanel(std::string name) : TControl(ControlKind::kPanel, std::move(name)) {}
  TColor Color() const { return color_; }
  TColor FontColor() const { return fontColor_; }
  void SetColors(TColor background, TColor font);
  bool Lowered = false;

 private:
  TColor color_ = clBtnFace;
  TColor fontColor_ = clWindowText;
};

// A single-line edit box; Text is the caption. The peer reports what the user types and selects.
class TEdit : public TControl {
 public:
  explicit TEdit(std::string name, ControlKind kind = ControlKind::kEdit) : TControl(kind, std::move(name)) {}
  const std::string& Text() const { return Caption(); }
  void SetText(const std::string& text) { SetCaption(text); }
  // The selection: start (0-based) and length in characters, counted as the native control counts
  // them (UTF-16 units).
  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  std::string SelText() const;
  void Select(int start, int length);
  // The user changed the text or the selection in the native control: no notification back.
  void TextFromUser(const std::string& text);
  void SelectionFromUser(int start, int length);
  bool ReadOnly = false;
  bool Borderless = false;
  // The grey text an empty box shows.
  std::string Cue;
  // The button that Enter in the box presses, if any.
  TButton* DefaultButton = nullptr;
  // The user changed the text.
  std::function<void()> OnChange;
  void Change() { if (OnChange) OnChange(); }

 private:
  int selStart_ = 0;
  int selLength_ = 0;
};

class TMemo : public TEdit {
 public:
  explicit TMemo(std::string name) : TEdit(std::move(name), ControlKind::kMemo) {}
  std::vector<std::string> Lines;
};

class TListBox : public TControl {
 public:
  explicit TListBox(std::string name, bool sorted)
      : TControl(ControlKind::kListBox, std::move(name)), sorted_(sorted) {}
  bool Sorted() const { return sorted_; }
  const std::vector<std::string>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // Sorted lists insert in the list box's order; others append. `data` is the caller's number for
  // the line (what the line stands for), kept with it.
  int Add(const std::string& line, int data = -1);
  int ItemData(int index) const { return index >= 0 && index < Count() ? data_[static_cast<size_t>(index)] : -1; }
  // The order of a sorted list: each line's sort key, whose byte order is the list's order (the
  // system's, letter case ignored, as its list box sorts with lstrcmpi). Until one is given, the
  // line with its ASCII letters made small.
  std::function<std::string(const std::string&)> SortKeyOf;
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  void ItemIndexFromUser(int index) { itemIndex_ = index; }

 private:
  bool sorted_;
  std::vector<std::string> items_;
  std::vector<int> data_;
  std::vector<std::string> keys_;  // a sorted list's keys, line by line
  int itemIndex_ = -1;
  int updating_ = 0;
  bool dirty_ = false;
};

struct TListItem {
  std::string Caption;
  std::vector<std::string> SubItems;
  int ImageIndex = -1;
  // The caller's number for the row: what the row stands for.
  int Data = -1;
  // The tip shown over the row's icon.
  std::string Hint;
};

class TListView : public TControl {
 public:
  explicit TListView(std::string name) : TControl(ControlKind::kListView, std::move(name)) {}
  std::vector<std::string> Columns;
  // The order the columns are shown in, by their numbers; empty: as they are numbered.
  std::vector<int> ColumnOrder;
  // Per column, texts it is made wide enough for whatever its rows hold now (a status column
  // whose texts arrive after the list is shown).
  std::vector<std::vector<std::string>> ColumnFits;
  // Rows begin with a status icon; without, the first column's text starts at its edge.
  bool StatusIcons = true;

  int Count() const { return static_cast<int>(items_.size()); }
  TListItem& Item(int index) { return items_.at(index); }
  const TListItem& Item(int index) const { return items_.at(index); }
  // Adds a row and answers its index.
  int Add();
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  void SetImageIndex(int index, int image);
  // The rows were changed through Item: the peer redraws those in view, all at once.
  void RowsChanged(std::vector<int> rows);
  // The rows of the last RowsChanged.
  const std::vector<int>& ChangedRows() const { return changedRows_; }
  // Sorts rows with the given "comes before" test; a stable sort. The selection is cleared.
  void SortRows(const std::function<bool(const TListItem&, const TListItem&)>& before);

  // The column the rows are sorted by and its direction, shown as the arrow in its header.
  int SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return sortAscending_; }
  void SetSortMark(int column, bool ascending);

  // The first selected row (the one the commands of one entry act on), -1 when none.
  int Selected() const { return selected_.empty() ? -1 : selected_.front(); }
  // Every selected row, in order.
  const std::vector<int>& SelectedRows() const { return selected_; }
  bool IsSelected(int index) const;
  void Select(int index);  // selects and focuses the row alone
  void SelectRows(const std::vector<int>& rows);
  void MakeVisible();      // scrolls the selected row fully into view
  // The user changed the selection in the native control: no notification back.
  void SelectedFromUser(int index) { selected_ = index >= 0 ? std::vector<int>{index} : std::vector<int>{}; }
  void SelectionFromUser(std::vector<int> rows);

  std::function<void(int column)> OnColumnClick;
  void ColumnClick(int column) { if (OnColumnClick) OnColumnClick(column); }
  // The context menu was asked for (right click, the menu key, Shift+F10).
  std::function<void()> OnContextMenu;
  // From the keyboard (the menu key, Shift+F10) the menu is asked for at the selected row.
  void ContextMenu(bool fromKeyboard = false) {
    MenuFromKeyboard = fromKeyboard;
    if (OnContextMenu) OnContextMenu();
  }
  bool MenuFromKeyboard = false;

 private:
  std::vector<TListItem> items_;
  std::vector<int> selected_;
  std::vector<int> changedRows_;
  int sortColumn_ = 0;
  bool sortAscending_ = true;
  int updating_ = 0;
  bool dirty_ = false;
};

// Holds a control's bulk update (BeginUpdate .. EndUpdate) for as long as it lives, so that the
// update ends and the control is redrawn on every path, also when an exception passes.
template <class Control>
class BulkUpdate {
 public:
  explicit BulkUpdate(Control& control) : control_(control) { control_.BeginUpdate(); }
  ~BulkUpdate() { control_.EndUpdate(); }
  BulkUpdate(const BulkUpdate&) = delete;
  BulkUpdate& operator=(const BulkUpdate&) = delete;

 private:
  Control& control_;
};

class TTabSheet : public TControl {
 public:
  explicit TTabSheet(std::string name) : TControl(ControlKind::kTabSheet, std::move(name)) {}
};

class TPageControl : public TControl {
 public:
  explicit TPageControl(std::string name) : TControl(ControlKind::kPageControl, std::move(name)) {}
  std::vector<TTabSheet*> Pages;
  int ActivePage() const { return active_; }
  void SetActivePage(int index);
  void ActivePageFromUser(int index) { active_ = index; }

 private:
  int active_ = 0;
};
