#pragma once
// The notice under the pages and the panel at the window's bottom, with the link to the help page.
#include <vector>

#include "app/controls.h"

class MainWindow;

class Footer {
 public:
  explicit Footer(MainWindow& window) : window_(window) {}

  TLabel warrantyLine{"warrantyLine"};
  TPanel panel{"bottomPanel"};
  TLabel freeSoftwareLine{"freeSoftwareLine"}, mottoLine{"mottoLine"}, helpLink{"helpLink"};
  TImage logo{"logo"};

  void Build();
  void AddControls(std::vector<TControl*>* controls);
  void OnHelpLink();

 private:
  MainWindow& window_;
};
