#include "app/form1.h"

#include <cstdio>

#include "app/resource_ids.h"

namespace {

void Place(TControl& control, TControl* parent, int left, int top, int width, int height, int tabOrder = -1) {
  control.Parent = parent;
  control.Left = left;
  control.Top = top;
  control.Width = width;
  control.Height = height;
  control.TabOrder = tabOrder;
}

void Text(TControl& control, const std::string& caption, bool wordWrap = true) {
  control.SetCaption(caption);
  control.WordWrap = wordWrap;
}

}  // namespace

TForm1::TForm1(const platform::Platform& platform)
    : platform_(platform),
      programBackups_(BackupFolderOf(platform.system.ExecutablePath())),
      userBackups_(UserBackupFolder(platform.files)),
      undo_(platform.files, platform.system, programBackups_, {}, userBackups_) {
  const std::string exe = platform_.system.ExecutablePath();
  exeFolder_ = exe.substr(0, exe.find_last_of('\\') + 1);
  BuildDesign();
  BindEvents();
}

std::string TForm1::ExeFolder() const { return exeFolder_; }

void TForm1::BuildDesign() {
  Place(Edit4, nullptr, 8, 6, 401, 21, 5);
  Edit4.Cue = "Filter by name, key, publisher or command (Ctrl+F)";
  Edit4.Hint = "Type to show only the entries that hold the text; Escape clears it";
  Place(Label23, nullptr, 416, 10, 113, 13);
  Text(Label23, "", false);
  Label23.TextAlignment = TextAlign::kRight;
  Place(ListView1, nullptr, 8, 31, 521, 140, 2);
  // The first column keeps its name; the status found has a column of its own, named apart from it.
  ListView1.Columns = {"Status - Display Name", "Key Name", "Uninstall String", "Source", "Link"};
  // The short columns first, the long command last.
  ListView1.ColumnOrder = {0, 4, 3, 1, 2};
  ListView1.ColumnFits = {
      {}, {}, {}, {}, {StatusName(kBrokenLink), StatusName(kGoodLink), StatusName(kMissingDisk), kCheckingText}};
  Place(Label22, nullptr, 8, 174, 521, 14);
  Text(Label22, "", false);

  Place(Button4, nullptr, 8, 192, 75, 17, 4);
  Button4.SetCaption("Refresh &List");
  Place(Button1, nullptr, 312, 192, 105, 25, 0);
  Button1.SetCaption("&Uninstall Program");
  Button1.Hint = "Uninstalls the Selected Program";
  Button1.SetEnabled(false);
  Place(Label21, nullptr, 90, 196, 216, 13);
  Text(Label21, "", false);
  Place(Button2, nullptr, 424, 192, 105, 25, 1);
  Button2.SetCaption("&Remove Entry");
  Button2.Hint = "Removes the Selected Entry from the list of installed programs";
  Button2.SetEnabled(false);

  Place(PageControl1, nullptr, 8, 219, 521, 129, 3);
  const struct {
    TTabSheet* sheet;
    const char* caption;
  } pages[] = {{&TabSheet3, "Introduction"}, {&TabSheet5, "Accuracy"},     {&TabSheet2, "Status"},
               {&TabSheet1, "Finder"},       {&TabSheet7, "Change Uninstall String"},
               {&TabSheet4, "Backups"},      {&TabSheet6, "All Entries"}, {&TabSheet8, "Installer List"}};
  for (const auto& page : pages) {
    page.sheet->Parent = &PageControl1;
    page.sheet->SetCaption(page.caption);
    PageControl1.Pages.push_back(page.sheet);
  }

  // Introduction.
  Place(Memo1, &TabSheet3, 8, 8, 497, 73, 0);
  Memo1.Borderless = true;
  Memo1.Lines = {
      "Over time the list of installed programs fills with entries whose programs are gone,",
      "and finding those broken entries by hand in the registry is slow and risky.",
      "Tidewell checks every entry and shows with an icon which entries are bad.",
      "Select an entry and press Remove Entry to take it off the list (a backup is kept).",
      "Press Uninstall Program to run the selected program's own uninstaller.",
  };
  std::string memoText;
  for (const std::string& line : Memo1.Lines) memoText += (memoText.empty() ? "" : "\r\n") + line;
  Memo1.SetText(memoText);
  Place(Label4, &TabSheet3, 8, 84, 497, 13);
  Text(Label4, "The Tidewell developers");
  Label4.TextAlignment = TextAlign::kRight;

  // Accuracy.
  Place(Label1, &TabSheet5, 8, 4, 497, 26);
  Text(Label1,
       "The icons show whether an entry is good, but some uninstall strings cannot be tested "
       "reliably; that is what the Finder is for.");
  Place(Label2, &TabSheet5, 8, 34, 497, 26);
  Text(Label2,
       "Use the Finder to test each file named in an uninstall string. An entry whose file does not "
       "exist may be removed.");
  Place(Label3, &TabSheet5, 8, 64, 497, 26);
  Text(Label3, "An entry removed by accident can be restored from the Backups page.");

  // Status: the icons in the order Good Link, Missing Disk, Broken Link, as the list shows them.
  const struct {
    TImage* image;
    TLabel* label;
    int resource;
    const char* text;
  } rows[] = {
      {&Image1, &Label10, kIconGoodLink,
       "Good Link: each file named in the uninstall string was found. Use Uninstall Program to uninstall."},
      {&Image2, &Label11, kIconMissingDisk,
       "Missing Disk: the uninstall string names a file on a removable, CD, network or RAM drive, which "
       "is not looked at. The right disk may not be inserted."},
      {&Image3, &Label12, kIconBrokenLink,
       "Broken Link: the uninstaller was not found; or it is there but will fail, since a file its command "
       "names, its data file or the system installer's cached package is gone; or the system installer no "
       "longer knows the product. Check with the Finder before Remove Entry."},
  };
  int top = 3;
  for (const auto& row : rows) {
    // The Broken Link line names every kind, on three lines.
    const int height = row.label == &Label12 ? 39 : 26;
    Place(*row.image, &TabSheet2, 12, top, 17, 17);
    row.image->ResourceId = row.resource;
    Place(*row.label, &TabSheet2, 36, top, 469, height);
    Text(*row.label, row.text);
    top += height + 1;
  }

  // Finder.
  Place(Label13, &TabSheet1, 16, 3, 489, 13);
  Text(Label13, "Use this Finder to see if a file in the uninstall string exists on your computer.", false);
  Place(Label14, &TabSheet1, 16, 22, 78, 13);
  Text(Label14, "Uninstall String:", false);
  Place(Edit1, &TabSheet1, 96, 19, 409, 21, 0);
  Edit1.ReadOnly = true;
  Place(Button5, &TabSheet1, 32, 43, 337, 17, 1);
  Button5.SetCaption("Paste Highlighted Text from Uninstall String to the Text Box below");
  Place(Edit2, &TabSheet1, 16, 63, 305, 21, 2);
  Place(Button3, &TabSheet1, 320, 64, 65, 21, 3);
  Button3.SetCaption("&Find");
  Edit2.DefaultButton = &Button3;
  Place(Panel3, &TabSheet1, 400, 43, 105, 42);
  Panel3.SetCaption("Result");
  Place(lookedForLabel, &TabSheet1, 16, 87, 489, 13);
  Text(lookedForLabel, "", false);

  // Change Uninstall String.
  Place(Label15, &TabSheet7, 16, 4, 489, 26);
  Text(Label15,
       "For advanced users only. An entry can be bad because its program was moved, or because a "
       "temporary folder that held its uninstall information was deleted.");
  Place(Label16, &TabSheet7, 16, 34, 489, 39);
  Text(Label16,
       "If that information exists elsewhere on your computer, change the uninstall string below to "
       "point at it and the entry will work again.");
  Place(Edit3, &TabSheet7, 16, 76, 385, 21, 0);
  Place(Button15, &TabSheet7, 400, 76, 91, 21, 1);
  Button15.SetCaption("Save Changes");
  Button15.SetEnabled(false);

  // Backups: the files on the left with the buttons that act on a file, what the selected undo file
  // holds on the right, the entry's name and its state first.
  Place(ListBox1, &TabSheet4, 8, 4, 150, 52, 0);
  ListBox1.Hint = "The backups beside Tidewell.exe, and those marked (AppData) in %LOCALAPPDATA%\\Tidewell\\Backup, "
                  "where they go when the folder beside the program cannot be written";
  Place(Button6, &TabSheet4, 8, 59, 74, 17, 1);
  // T: R is Remove Entry's, under the list.
  Button6.SetCaption("Res&tore");
  Button6.Hint = "Puts back what the selected file holds: an undo file after a question, whatever it overwrites backed up first";
  Place(Button7, &TabSheet4, 84, 59, 74, 17, 2);
  Button7.SetCaption("&Delete File");
  Place(Button10, &TabSheet4, 8, 79, 150, 17, 4);
  Button10.SetCaption("Restore &Selected");
  Button10.Hint = "Puts back only the rows selected on the right; whatever they overwrite is backed up first";
  Button10.SetEnabled(false);
  Place(ListView2, &TabSheet4, 166, 4, 339, 78, 3);
  ListView2.Columns = {"Entry", "State", "Source", "When", "What", "Key"};
  ListView2.StatusIcons = false;
  ListView2.Hint = "What the selected undo file holds, one row for each removal or change; select the rows to put back";
  Place(Label17, &TabSheet4, 166, 84, 339, 13);
  Text(Label17, "", false);

  // All Entries.
  Place(Label19, &TabSheet6, 8, 4, 177, 72);
  Text(Label19,
       "Not every entry is shown in the list above, because some should not be removed. This list "
       "holds them all; the button below deletes the selected one.");
  // The sorted lists keep the system's order, in which an accented E sorts with the E's.
  const auto systemOrder = [this](const std::string& line) { return platform_.system.SortKey(line, true); };
  Place(ListBox2, &TabSheet6, 192, 0, 313, 71, 0);
  ListBox2.SortKeyOf = systemOrder;
  // The lines are key names; under them, the selected line's display name and command.
  Place(Label24, &TabSheet6, 192, 73, 313, 26);
  Text(Label24, "");
  Place(Button8, &TabSheet6, 16, 80, 161, 17, 1);
  Button8.SetCaption("&Delete an entry >>");

  // Installer List.
  Place(Label20, &TabSheet8, 8, 4, 177, 72);
  Text(Label20,
       "Some items of the system installer's list end up in the list of installed programs. The "
       "installer's list is shown here; the button below removes the selected item.");
  Place(ListBox3, &TabSheet8, 192, 0, 313, 71, 0);
  ListBox3.Hint = "Listbox";
  ListBox3.SortKeyOf = systemOrder;
  Place(Button9, &TabSheet8, 16, 80, 161, 17, 1);
  Place(Label25, &TabSheet8, 192, 73, 313, 26);
  Text(Label25, "[no entry]: no uninstall entry belongs to the product. [incomplete]: its registration lacks its name "
                "or its installed state.");
  Button9.SetCaption("&Delete an entry >>");

  // The notice under the pages and the panel at the bottom.
  Place(Label5, nullptr, 8, 352, 521, 10);
  Text(Label5, "Tidewell is an open-source project and comes with no warranty of any kind.", false);
  Label5.TextAlignment = TextAlign::kRight;
  Label5.Font = TFontSpec{"Small Fonts", 6, false, false, clWindowText};

  Place(Panel1, nullptr, 0, ClientHeight - 49, ClientWidth, 49);
  Panel1.Alignment = Align::kBottom;
  Panel1.Lowered = true;
  Panel1.SetColors(clWhite, clWindowText);
  Place(Label6, &Panel1, 8, 3, 73, 45);
  Text(Label6, "Free software by the Tidewell developers.");
  Label6.Font.size = 7;
  Place(Label7, &Panel1, 64, 3, 409, 20);
  Text(Label7, "Keep the list of installed programs honest.", false);
  Label7.TextAlignment = TextAlign::kCenter;
  Label7.Font = TFontSpec{"Arial", 10, true, true, clBlue};
  Place(Label8, &Panel1, 96, 20, 345, 25);
  Text(Label8, "Click here to read the Tidewell help page:\nwhat the icons mean, backups and the Finder.");
  Label8.TextAlignment = TextAlign::kCenter;
  Label8.HandCursor = true;
  Label8.Hint = "Opens the Tidewell help page";
  Place(Image5, &Panel1, 492, 4, 38, 42);
  Image5.ResourceId = kPictureTidewell;
  AnchorControls();
}

void TForm1::AnchorControls() {
  // The list takes the room a larger window gives; the filter box grows with its width; the rest
  // keeps to its edges.
  ListView1.Anchors = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;
  Edit4.Anchors = kAnchorLeft | kAnchorTop | kAnchorRight;
  Label23.Anchors = kAnchorTop | kAnchorRight;
  Label22.Anchors = kAnchorLeft | kAnchorRight | kAnchorBottom;
  for (TControl* control : {static_cast<TControl*>(&Button4), static_cast<TControl*>(&Label21),
                            static_cast<TControl*>(&PageControl1)})
    control->Anchors = kAnchorLeft | kAnchorBottom;
  Label21.Anchors = kAnchorLeft | kAnchorRight | kAnchorBottom;
  for (TControl* control : {static_cast<TControl*>(&Button1), static_cast<TControl*>(&Button2),
                            static_cast<TControl*>(&Label5), static_cast<TControl*>(&Image5)})
    control->Anchors = kAnchorRight | kAnchorBottom;
  Panel1.Anchors = kAnchorLeft | kAnchorRight | kAnchorBottom;
  Label7.Anchors = Label8.Anchors = kAnchorLeft | kAnchorRight | kAnchorTop;
  // The pages take their share of the room a larger window gives, and their lists and texts with them.
  // (Its top follows the list's bottom: the window moves it by the list's share.)
  const unsigned grows = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;
  PageControl1.Anchors = grows;
  const unsigned widens = kAnchorLeft | kAnchorTop | kAnchorRight;
  const unsigned under = kAnchorLeft | kAnchorRight | kAnchorBottom;
  const unsigned below = kAnchorLeft | kAnchorBottom;
  for (TControl* control : {static_cast<TControl*>(&Memo1), static_cast<TControl*>(&ListView2),
                            static_cast<TControl*>(&ListBox2), static_cast<TControl*>(&ListBox3)})
    control->Anchors = grows;
  for (TControl* control : {static_cast<TControl*>(&Label1), static_cast<TControl*>(&Label2),
                            static_cast<TControl*>(&Label3), static_cast<TControl*>(&Label10),
                            static_cast<TControl*>(&Label11), static_cast<TControl*>(&Label12),
                            static_cast<TControl*>(&Label13), static_cast<TControl*>(&Edit1),
                            static_cast<TControl*>(&lookedForLabel), static_cast<TControl*>(&Label15),
                            static_cast<TControl*>(&Label16), static_cast<TControl*>(&Edit3)})
    control->Anchors = widens;
  for (TControl* control : {static_cast<TControl*>(&Label4), static_cast<TControl*>(&Label17),
                            static_cast<TControl*>(&Label24), static_cast<TControl*>(&Label25)})
    control->Anchors = under;
  for (TControl* control : {static_cast<TControl*>(&Button6), static_cast<TControl*>(&Button7),
                            static_cast<TControl*>(&Button10), static_cast<TControl*>(&Button8),
                            static_cast<TControl*>(&Button9)})
    control->Anchors = below;
  ListBox1.Anchors = kAnchorLeft | kAnchorTop | kAnchorBottom;
  Panel3.Anchors = Button15.Anchors = kAnchorTop | kAnchorRight;
}

std::vector<TControl*> TForm1::Controls() {
  return {&ListView1, &Button4,   &Button1,   &Button2,   &PageControl1, &TabSheet3, &TabSheet5, &TabSheet2,
          &TabSheet1, &TabSheet7, &TabSheet4, &TabSheet6, &TabSheet8,    &Memo1,     &Label4,    &Label1,
          &Label2,    &Label3,    &Image1,    &Image2,       &Image3,    &Label10,   &Label11,
          &Label12,   &Label13,   &Label14,   &Edit1,     &Button5,      &Edit2,     &Button3,   &Panel3,    &lookedForLabel,
          &Label15,   &Label16,   &Edit3,     &Button15,  &Label17,      &ListBox1,  &Button6,
          &Button7,   &Label19,   &ListBox2,  &Button8,   &Label20,      &ListBox3,  &Button9,   &Label5,
          &Panel1,    &Label6,    &Label7,    &Label8,    &Image5,       &Label21,   &Edit4,     &Label23,
          &Label22,   &Label24,   &Label25,   &ListView2, &Button10};
}

std::function<void()> TForm1::Guarded(void (TForm1::*handler)()) {
  return [this, handler] {
    try {
      (this->*handler)();
    } catch (const std::exception& error) {
      ShowException(error);
    }
  };
}

std::function<void(int)> TForm1::Guarded(void (TForm1::*handler)(int)) {
  return [this, handler](int argument) {
    try {
      (this->*handler)(argument);
    } catch (const std::exception& error) {
      ShowException(error);
    }
  };
}

void TForm1::BindEvents() {
  ListView1.OnClick = Guarded(&TForm1::ListView1Click);
  ListView1.OnKeyDown = Guarded(&TForm1::ListBox1KeyDown);
  ListView1.OnMouseDown = Guarded(&TForm1::ListBox1MouseDown);
  ListView1.OnSelectItem = Guarded(&TForm1::ListView1Click);
  ListView1.OnColumnClick = Guarded(&TForm1::ListView1ColumnClick);
  Edit4.OnChange = Guarded(&TForm1::Edit4Change);
  ListView1.OnContextMenu = Guarded(&TForm1::ListView1ContextMenu);
  Button4.OnClick = Guarded(&TForm1::Button4Click);
  Button1.OnClick = Guarded(&TForm1::Button1Click);
  Label8.OnClick = Guarded(&TForm1::Label8Click);
  Label21.OnClick = Guarded(&TForm1::StatusLineClick);
  Button2.OnClick = Guarded(&TForm1::Button2Click);
  Button15.OnClick = Guarded(&TForm1::Button15Click);
  Button8.OnClick = Guarded(&TForm1::Button8Click);
  Button9.OnClick = Guarded(&TForm1::Button9Click);
  Edit1.OnClick = Guarded(&TForm1::EditChange);
  Edit2.OnChange = Guarded(&TForm1::EditChange);
  Button3.OnClick = Guarded(&TForm1::Button3Click);
  Button5.OnClick = Guarded(&TForm1::Button5Click);
  ListBox1.OnClick = Guarded(&TForm1::ListBox1SelectFile);
  ListBox2.OnClick = Guarded(&TForm1::ListBox2Click);
  ListBox1.OnDblClick = Guarded(&TForm1::Button6Click);
  Button6.OnClick = Guarded(&TForm1::Button6Click);
  Button7.OnClick = Guarded(&TForm1::Button7Click);
  ListView2.OnClick = Guarded(&TForm1::ListView2Click);
  ListView2.OnSelectItem = Guarded(&TForm1::ListView2Click);
  Button10.OnClick = Guarded(&TForm1::Button10Click);
}

void TForm1::ShowException(const std::exception& error) {
  std::string text = error.what();
  if (text.empty() || text.back() != '.') text += '.';
  platform_.ui.ShowError(text);
}

void TForm1::FormCreate() {
  WinDir = CheckPath(platform_.system.WindowsDirectory());
  SysDir = CheckPath(platform_.system.SystemDirectory());
  undo_.SetStem(UndoStemOf(platform_.system.Today()));
  Wow64 = platform_.system.IsWow64();
  FillListBox();
  ListBox1Click();
}

void TForm1::ListView1Click() {
  const std::vector<Entry> selected = SelectedEntries();
  // With none selected the boxes keep the command they show; Save Changes waits for a selection.
  if (!selected.empty()) FillBoxes(selected.front());
  Button1.SetEnabled(!removing_ && selected.size() == 1);
  Button2.SetEnabled(!removing_);
  Button15.SetEnabled(!removing_ && selected.size() == 1);
  ShowWhy();
}

void TForm1::FillBoxes(const Entry& entry) {
  const bool edited = boxEntry_ && Edit3.Text() != boxCommand_;
  if (boxEntry_ == IdOf(entry)) {
    // The same entry: an edit not yet saved stays, unless the entry now holds that very command.
    if (edited && Edit3.Text() != entry.uninstallString) {
      Edit1.SetText(entry.uninstallString);
      return;
    }
  } else if (edited) {
    // Another entry: the edit of the one before is saved or given up first, as the user says;
    // Cancel, the default, keeps the edit and its entry's row.
    const Entry* before = EntryOfId(*boxEntry_);
    const int answer =
        before ? platform_.ui.AskWithButtons("The uninstall command of " + ShownName(*before) + " (" +
                                                 SourceName(*before) + ") was changed but not saved.\n\n" +
                                                 Edit3.Text() + "\n\nSave it before going on?",
                                             "Save Changes?",
                                             {{platform::kIdYes, "&Save"}, {platform::kIdNo, "&Discard"},
                                              {platform::kIdCancel, "Cancel"}},
                                             platform::kIdCancel)
               : platform::kIdNo;
    if (answer == platform::kIdCancel) {
      ReselectEditedEntry(*before);
      return;
    }
    if (answer == platform::kIdYes) SaveCommand(*before, Edit3.Text());
  }
  // The Finder's answer was about the entry before.
  if (boxEntry_ != IdOf(entry)) EditChange();
  boxEntry_ = IdOf(entry);
  boxCommand_ = entry.uninstallString;
  Edit1.SetText(entry.uninstallString);
  Edit3.SetText(entry.uninstallString);
}

void TForm1::ReselectEditedEntry(const Entry& entry) {
  for (std::size_t i = 0; i < Entries.size() && i < rowOfEntry_.size(); ++i) {
    if (IdOf(Entries[i]) != IdOf(entry) || rowOfEntry_[i] < 0) continue;
    ListView1.SelectRows({rowOfEntry_[i]});
    ListView1.MakeVisible();
    break;
  }
  Edit1.SetText(entry.uninstallString);
  ShowWhy();
}

const Entry* TForm1::EntryOfId(const EntryId& id) const {
  for (const Entry& entry : Entries)
    if (IdOf(entry) == id) return &entry;
  return nullptr;
}

void TForm1::ListBox1KeyDown(int key) {
  ListBox1Click();
  // Delete removes the selected entries, after the question.
  constexpr int kVkDelete = 0x2E;
  if (key == kVkDelete) Button2Click();
}

void TForm1::ListBox1MouseDown() { ListBox1Click(); }

void TForm1::Button4Click() { FillListBox(); }

void TForm1::ListBox2Click() {
  const int data = ListBox2.ItemData(ListBox2.ItemIndex());
  if (data < 0 || data >= static_cast<int>(Entries.size())) {
    Label24.SetCaption("");
    return;
  }
  const Entry& entry = Entries[static_cast<size_t>(data)];
  const auto or_none = [](const std::string& text) { return text.empty() ? std::string("(none)") : text; };
  Label24.SetCaption("Display name: " + or_none(entry.displayName) + "\nCommand: " + or_none(entry.uninstallString));
}

void TForm1::ListBox1Click() {
  const bool selected = ListBox1.ItemIndex() != -1;
  Button6.SetEnabled(selected && !removing_);
  Button7.SetEnabled(selected);
}

std::string TForm1::CheckPath(const std::string& text) const {
  if (text.empty() || text.back() == '\\') return text;
  return text + "\\";
}
