#include "app/finder_page.h"

#include "app/design.h"
#include "app/main_window.h"
#include "inventory/finder_page.h"
#include "platform/text_encoding.h"

std::string CheckPath(const std::string& text) {
  if (text.empty() || text.back() == '\\') return text;
  return text + "\\";
}

void FinderPage::Build() {
  Place(intro, &sheet, 16, 3, 489, 13);
  Text(intro, "Use this Finder to see if a file in the uninstall string exists on your computer.", false);
  Place(commandCaption, &sheet, 16, 22, 78, 13);
  Text(commandCaption, "Uninstall String:", false);
  Place(command, &sheet, 96, 19, 409, 21, 0);
  command.ReadOnly = true;
  Place(pasteButton, &sheet, 32, 43, 337, 17, 1);
  pasteButton.SetCaption("Paste Highlighted Text from Uninstall String to the Text Box below");
  Place(path, &sheet, 16, 63, 305, 21, 2);
  Place(findButton, &sheet, 320, 64, 65, 21, 3);
  findButton.SetCaption("&Find");
  path.DefaultButton = &findButton;
  Place(result, &sheet, 400, 43, 105, 42);
  result.SetCaption("Result");
  Place(lookedFor, &sheet, 16, 87, 489, 13);
  Text(lookedFor, "", false);
  intro.Anchors = command.Anchors = lookedFor.Anchors = kWidens;
  result.Anchors = kAnchorTop | kAnchorRight;
}

void FinderPage::AddControls(std::vector<TControl*>* controls) {
  controls->insert(controls->end(),
                   {&intro, &commandCaption, &command, &pasteButton, &path, &findButton, &result, &lookedFor});
}

void FinderPage::OnPaste() { path.SetText(command.SelText()); }

void FinderPage::OnFind() {
  const platform::Platform& platform = window_.Platform();
  if (path.Text().find_first_not_of(" \t\"") == std::string::npos) {
    // No path: no answer, which the panel would show as if about a file.
    ClearResult();
    platform.ui.ShowMessage("Type or paste the path of a file or folder into the box, then press Find.");
    return;
  }
  // A command pasted from the entry in the box is looked for as the status check looks for that
  // entry's files.
  const Entry* boxEntry = window_.change.BoxEntry();
  const AddressAnswer answer =
      FindAddress(platform.files, platform.system, winDir, sysDir, path.Text(), boxEntry && boxEntry->SixtyFourBit());
  lookedFor.SetCaption(answer.path == path.Text() ? "" : "Looked for " + answer.path);
  if (answer.exists) {
    result.SetCaption("Exists");
    result.SetColors(clLime, clBlack);
    platform.ui.SoundBeep(platform::kMbOk);
  } else {
    result.SetCaption("NonExistent");
    result.SetColors(clRed, clWhite);
    platform.ui.SoundBeep(platform::kMbIconHand);
  }
}

void FinderPage::ClearResult() {
  result.SetCaption("Result");
  result.SetColors(clBtnFace, clWindowText);
  lookedFor.SetCaption("");
}

void FinderPage::Test(const std::string& commandText, const std::string& checkedFile) {
  command.SetText(commandText);
  command.Select(0, static_cast<int>(platform::Utf16Length(commandText)));
  window_.pageControl.SetActivePage(kFinderPage);
  path.SetText(checkedFile);
  if (checkedFile.empty()) ClearResult();
  else OnFind();
}
