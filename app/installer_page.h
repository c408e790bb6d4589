#pragma once
// The Installer List page: the installer's products, marked where no entry belongs to one or its
// registration is incomplete, and the button that removes the selected product.
#include <vector>

#include "app/controls.h"

class MainWindow;

class InstallerPage {
 public:
  explicit InstallerPage(MainWindow& window) : window_(window) {}

  TTabSheet sheet{"installerSheet"};
  TLabel help{"installerHelp"};
  TListBox products{"installerProducts", true};
  TButton deleteButton{"deleteProductButton"};
  // What the lines' marks mean.
  TLabel marks{"installerMarks"};

  void Build();
  void AddControls(std::vector<TControl*>* controls);
  // A line for each product of the last scan; the first that could not be read, or empty.
  std::string Fill();
  void OnDeleteProduct();

 private:
  MainWindow& window_;
};
