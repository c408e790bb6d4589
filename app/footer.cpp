#include "app/footer.h"

#include "app/design.h"
#include "app/main_window.h"
#include "app/resource_ids.h"
#include "launch/web_link.h"

void Footer::Build() {
  // The notice under the pages and the panel at the bottom.
  Place(warrantyLine, nullptr, 8, 352, 521, 10);
  Text(warrantyLine, "Tidewell is an open-source project and comes with no warranty of any kind.", false);
  warrantyLine.TextAlignment = TextAlign::kRight;
  warrantyLine.Font = TFontSpec{"Small Fonts", 6, false, false, clWindowText};

  Place(panel, nullptr, 0, window_.design.height - 49, window_.design.width, 49);
  panel.Alignment = Align::kBottom;
  panel.Lowered = true;
  panel.SetColors(clWhite, clWindowText);
  Place(freeSoftwareLine, &panel, 8, 3, 73, 45);
  Text(freeSoftwareLine, "Free software by the Tidewell developers.");
  freeSoftwareLine.Font.size = 7;
  Place(mottoLine, &panel, 64, 3, 409, 20);
  Text(mottoLine, "Keep the list of installed programs honest.", false);
  mottoLine.TextAlignment = TextAlign::kCenter;
  mottoLine.Font = TFontSpec{"Arial", 10, true, true, clBlue};
  Place(helpLink, &panel, 96, 20, 345, 25);
  Text(helpLink, "Click here to read the Tidewell help page:\nwhat the icons mean, backups and the Finder.");
  helpLink.TextAlignment = TextAlign::kCenter;
  helpLink.HandCursor = true;
  helpLink.Hint = "Opens the Tidewell help page";
  Place(logo, &panel, 492, 4, 38, 42);
  logo.ResourceId = kPictureTidewell;
  warrantyLine.Anchors = logo.Anchors = kAnchorRight | kAnchorBottom;
  panel.Anchors = kUnder;
  mottoLine.Anchors = helpLink.Anchors = kWidens;
}

void Footer::AddControls(std::vector<TControl*>* controls) {
  controls->insert(controls->end(), {&warrantyLine, &panel, &freeSoftwareLine, &mottoLine, &helpLink, &logo});
}

void Footer::OnHelpLink() {
  const platform::Platform& platform = window_.Platform();
  const std::string failure = OpenWebLink(platform.ui, HelpPageAddress(window_.ExeFolder()));
  if (!failure.empty()) platform.ui.ShowMessage(failure);
}
