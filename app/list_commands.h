#pragma once
// The commands on the main list's selected entries, from its buttons, keys and context menu: each
// asks its question naming what it acts on, calls the unit that does the work and shows the outcome.
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/main_list.h"
#include "backup/product_registration.h"
#include "backup/removal_outcome.h"
#include "inventory/entry.h"

class MainWindow;

class ListCommands {
 public:
  explicit ListCommands(MainWindow& window) : window_(window) {}

  // The entries whose last removal left something of them in the registry: the main list keeps
  // them, by their key name once their display name is gone, for as long as they are there.
  std::vector<EntryId> PartlyRemoved;
  bool IsPartlyRemoved(const Entry& entry) const;
  // The main list shows an entry with a display name and an uninstall command, and a partly
  // removed one.
  bool ShownInMainList(const Entry& entry) const { return entry.Listed() || IsPartlyRemoved(entry); }
  // Set while several entries are being removed: the window's messages go on meanwhile, and the
  // buttons that change the registry stay disabled, whatever the selection.
  bool Busy() const { return removing_; }

  void OnRemoveEntry();
  void OnUninstall();
  // Asks, naming the entry, then removes it (a copy: the scan after it replaces the entries). For a
  // Broken Link entry of an installer's product that the installer still registers, the question
  // offers the product's whole registration instead.
  void RemoveEntry(Entry entry);
  // Removes the selected entries after one question that lists them, one after another, each
  // backed up first; the first that fails stops the rest, and one message says what was removed.
  void RemoveSelectedEntries();
  // Asks, naming the product and counting what of it goes from where, then removes the installer
  // product's whole registration, backed up first; `shownName` names it as the list showed it.
  void RemoveInstallerRegistration(const std::string& productCode, const std::string& shownName);
  // The product of the one selected entry, when the installer still registers it: what the context
  // menu's Remove Installer Registration acts on; empty otherwise.
  std::string SelectedRegisteredProduct() const;
  // Where the installer's keys are for this program and user.
  InstallerPlaces Places() const;

  // The list's context menu and its commands on the selected entry.
  void OnEntryContextMenu();
  void TestInFinder();
  void CopyCommand();
  void OpenKeyInRegistryEditor();
  void OpenUninstallerFolder();
  // Selects exactly the Broken Link entries shown.
  void SelectBrokenLinks();

 private:
  // Runs the removal of the entry, remembering whether it left something behind.
  RemovalOutcome RemoveEntryKey(const Entry& entry);
  // The buttons whose commands change the registry.
  std::vector<TButton*> RegistryButtons();

  MainWindow& window_;
  bool removing_ = false;
};
