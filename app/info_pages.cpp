#include "app/info_pages.h"

#include "app/design.h"
#include "app/resource_ids.h"

void InfoPages::Build() {
  // Introduction.
  Place(introductionText, &introductionSheet, 8, 8, 497, 73, 0);
  introductionText.Borderless = true;
  introductionText.Lines = {
      "Over time the list of installed programs fills with entries whose programs are gone,",
      "and finding those broken entries by hand in the registry is slow and risky.",
      "Tidewell checks every entry and shows with an icon which entries are bad.",
      "Select an entry and press Remove Entry to take it off the list (a backup is kept).",
      "Press Uninstall Program to run the selected program's own uninstaller.",
  };
  std::string memoText;
  for (const std::string& line : introductionText.Lines) memoText += (memoText.empty() ? "" : "\r\n") + line;
  introductionText.SetText(memoText);
  Place(developersLine, &introductionSheet, 8, 84, 497, 13);
  Text(developersLine, "The Tidewell developers");
  developersLine.TextAlignment = TextAlign::kRight;

  // Accuracy.
  Place(accuracyIcons, &accuracySheet, 8, 4, 497, 26);
  Text(accuracyIcons,
       "The icons show whether an entry is good, but some uninstall strings cannot be tested "
       "reliably; that is what the Finder is for.");
  Place(accuracyFinder, &accuracySheet, 8, 34, 497, 26);
  Text(accuracyFinder,
       "Use the Finder to test each file named in an uninstall string. An entry whose file does not "
       "exist may be removed.");
  Place(accuracyRestore, &accuracySheet, 8, 64, 497, 26);
  Text(accuracyRestore, "An entry removed by accident can be restored from the Backups page.");

  // Status: the icons in the order Good Link, Missing Disk, Broken Link, as the list shows them.
  const struct {
    TImage* image;
    TLabel* label;
    int resource;
    const char* text;
  } rows[] = {
      {&goodLinkIcon, &goodLinkText, kIconGoodLink,
       "Good Link: each file named in the uninstall string was found. Use Uninstall Program to uninstall."},
      {&missingDiskIcon, &missingDiskText, kIconMissingDisk,
       "Missing Disk: the uninstall string names a file on a removable, CD, network or RAM drive, which "
       "is not looked at. The right disk may not be inserted."},
      {&brokenLinkIcon, &brokenLinkText, kIconBrokenLink,
       "Broken Link: the uninstaller was not found; or it is there but will fail, since a file its command "
       "names, its data file or the system installer's cached package is gone; or the system installer no "
       "longer knows the product. Check with the Finder before Remove Entry."},
  };
  int top = 3;
  for (const auto& row : rows) {
    // The Broken Link line names every kind, on three lines.
    const int height = row.label == &brokenLinkText ? 39 : 26;
    Place(*row.image, &statusSheet, 12, top, 17, 17);
    row.image->ResourceId = row.resource;
    Place(*row.label, &statusSheet, 36, top, 469, height);
    Text(*row.label, row.text);
    top += height + 1;
  }
  introductionText.Anchors = kGrows;
  for (TControl* control : {static_cast<TControl*>(&accuracyIcons), static_cast<TControl*>(&accuracyFinder),
                            static_cast<TControl*>(&accuracyRestore), static_cast<TControl*>(&goodLinkText),
                            static_cast<TControl*>(&missingDiskText), static_cast<TControl*>(&brokenLinkText)})
    control->Anchors = kWidens;
  developersLine.Anchors = kUnder;
}

void InfoPages::AddControls(std::vector<TControl*>* controls) {
  controls->insert(controls->end(), {&introductionText, &developersLine, &accuracyIcons, &accuracyFinder, &accuracyRestore,
                                     &goodLinkIcon, &missingDiskIcon, &brokenLinkIcon, &goodLinkText, &missingDiskText,
                                     &brokenLinkText});
}
