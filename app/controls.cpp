#include "app/controls.h"

#include <algorithm>
#include <cctype>

#include "platform/text_encoding.h"

void TControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed(Aspect::kEnabled);
}

void TControl::SetCaption(const std::string& caption) {
  caption_ = caption;
  Changed(Aspect::kCaption);
}

void TPanel::SetColors(TColor background, TColor font) {
  color_ = background;
  fontColor_ = font;
  Changed(Aspect::kColors);
}

std::string TEdit::SelText() const {
  const std::string& text = Text();
  const size_t start = platform::Utf8OffsetOfUnits(text, static_cast<size_t>(std::max(selStart_, 0)));
  const size_t end = platform::Utf8OffsetOfUnits(text, static_cast<size_t>(std::max(selStart_, 0)) +
                                                           static_cast<size_t>(std::max(selLength_, 0)));
  return text.substr(start, end - start);
}

void TEdit::Select(int start, int length) {
  selStart_ = start;
  selLength_ = length;
  Changed(Aspect::kSelection);
}

void TEdit::TextFromUser(const std::string& text) {
  // Through the base setter would echo the text back to the native control.
  TControl::Peer* peer = GetPeer();
  SetPeer(nullptr);
  SetCaption(text);
  SetPeer(peer);
}

void TEdit::SelectionFromUser(int start, int length) {
  selStart_ = start;
  selLength_ = length;
}

namespace {
// The list box's own order for sorted lists: letter case ignored, byte order otherwise.
std::string SmallAsciiLetters(const std::string& line) {
  std::string key = line;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}
}  // namespace

int TListBox::Add(const std::string& line, int data) {
  int index = Count();
  if (sorted_) {
    // After every line that sorts before or equal to it, as the list box inserts.
    std::string key = SortKeyOf ? SortKeyOf(line) : SmallAsciiLetters(line);
    const auto pos = std::upper_bound(keys_.begin(), keys_.end(), key);
    index = static_cast<int>(pos - keys_.begin());
    keys_.insert(pos, std::move(key));
    items_.insert(items_.begin() + index, line);
    data_.insert(data_.begin() + index, data);
    if (itemIndex_ >= index) ++itemIndex_;
  } else {
    items_.push_back(line);
    data_.push_back(data);
  }
  // One line at a time, as the list box itself inserts: a long list is not redrawn per line.
  if (updating_ > 0) dirty_ = true; else Changed(Aspect::kItem, index);
  return index;
}

void TListBox::Clear() {
  items_.clear();
  data_.clear();
  keys_.clear();
  itemIndex_ = -1;
  if (updating_ > 0) dirty_ = true; else Changed(Aspect::kItems);
}

void TListBox::BeginUpdate() { ++updating_; }

void TListBox::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0 && dirty_) {
    dirty_ = false;
    Changed(Aspect::kItems);
  }
}

void TListBox::SetItemIndex(int index) {
  itemIndex_ = (index >= 0 && index < Count()) ? index : -1;
  Changed(Aspect::kSelection);
}

int TListView::Add() {
  items_.emplace_back();
  if (updating_ > 0) dirty_ = true; else Changed(Aspect::kItems);
  return Count() - 1;
}

void TListView::Clear() {
  items_.clear();
  selected_.clear();
  if (updating_ > 0) dirty_ = true; else Changed(Aspect::kItems);
}

void TListView::BeginUpdate() { ++updating_; }

void TListView::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0 && dirty_) {
    dirty_ = false;
    Changed(Aspect::kItems);
  }
}

void TListView::SetImageIndex(int index, int image) {
  items_.at(index).ImageIndex = image;
  if (updating_ > 0) dirty_ = true; else Changed(Aspect::kItem, index);
}

void TListView::RowsChanged(std::vector<int> rows) {
  changedRows_ = std::move(rows);
  if (updating_ > 0) dirty_ = true; else Changed(Aspect::kItem, -1);
}

void TListView::SortRows(const std::function<bool(const TListItem&, const TListItem&)>& before) {
  std::stable_sort(items_.begin(), items_.end(), before);
  selected_.clear();
  if (updating_ > 0) dirty_ = true; else Changed(Aspect::kItems);
}

void TListView::Select(int index) {
  selected_ = (index >= 0 && index < Count()) ? std::vector<int>{index} : std::vector<int>{};
  Changed(Aspect::kSelection);
}

void TListView::SelectRows(const std::vector<int>& rows) {
  SelectionFromUser(rows);
  Changed(Aspect::kSelection);
}

void TListView::SelectionFromUser(std::vector<int> rows) {
  rows.erase(std::remove_if(rows.begin(), rows.end(), [&](int row) { return row < 0 || row >= Count(); }), rows.end());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  selected_ = std::move(rows);
}

bool TListView::IsSelected(int index) const {
  return std::binary_search(selected_.begin(), selected_.end(), index);
}

void TListView::SetSortMark(int column, bool ascending) {
  sortColumn_ = column;
  sortAscending_ = ascending;
  Changed(Aspect::kSortMark);
}

void TListView::MakeVisible() { Changed(Aspect::kScroll); }

void TPageControl::SetActivePage(int index) {
  active_ = index;
  Changed(Aspect::kPage);
}
