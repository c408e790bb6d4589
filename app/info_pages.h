#pragma once
// The pages that only tell: the Introduction, Accuracy and what each status means.
#include <vector>

#include "app/controls.h"

class InfoPages {
 public:
  TTabSheet introductionSheet{"introductionSheet"}, accuracySheet{"accuracySheet"}, statusSheet{"statusSheet"};
  TMemo introductionText{"introductionText"};
  TLabel developersLine{"developersLine"};
  TLabel accuracyIcons{"accuracyIcons"}, accuracyFinder{"accuracyFinder"}, accuracyRestore{"accuracyRestore"};
  // The icons in the order Good Link, Missing Disk, Broken Link, as the list shows them.
  TImage goodLinkIcon{"goodLinkIcon"}, missingDiskIcon{"missingDiskIcon"}, brokenLinkIcon{"brokenLinkIcon"};
  TLabel goodLinkText{"goodLinkText"}, missingDiskText{"missingDiskText"}, brokenLinkText{"brokenLinkText"};

  void Build();
  void AddControls(std::vector<TControl*>* controls);
};
