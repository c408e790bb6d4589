#include "app/installer_page.h"

#include "app/design.h"
#include "app/main_window.h"
#include "backup/entry_commands.h"
#include "inventory/product_code.h"

namespace {

constexpr const char* kProductSeparator = " - {";
constexpr const char* kNothingToRemove = "There are no items in this list to remove.";

// What a line says of its product beyond its name: "[no entry]" when no uninstall entry belongs to
// it, "[incomplete]" when its registration lacks its name or its installed state, both as
// "[no entry, incomplete]"; empty for a product in order.
std::string ProductMarks(const Product& product) {
  std::string marks = product.hasEntry ? "" : "no entry";
  if (product.Incomplete()) marks += marks.empty() ? "incomplete" : ", incomplete";
  return marks.empty() ? marks : "[" + marks + "]";
}

// A line: the product's name and its marks, " - {" and its key name, or the key name alone for a
// product without name or marks; the user's own products are marked.
std::string InstallerLine(const Product& product) {
  std::string label = product.named ? product.productName : "";
  const std::string marks = ProductMarks(product);
  if (!marks.empty()) label += label.empty() ? marks : " " + marks;
  const std::string line = label.empty() ? product.keyName : label + kProductSeparator + product.keyName;
  return product.perUser ? line + " (user)" : line;
}

std::string ProductNamed(const Product& product) {
  return (product.named ? product.productName + " - " : "") + product.keyName +
         (product.perUser ? " (the user's installer product)" : " (the machine's installer product)");
}

}  // namespace

void InstallerPage::Build() {
  Place(help, &sheet, 8, 4, 177, 72);
  Text(help,
       "Some items of the system installer's list end up in the list of installed programs. The "
       "installer's list is shown here; the button below removes the selected item.");
  Place(products, &sheet, 192, 0, 313, 71, 0);
  products.Hint = "Listbox";
  products.SortKeyOf = window_.SystemOrder();
  Place(deleteButton, &sheet, 16, 80, 161, 17, 1);
  Place(marks, &sheet, 192, 73, 313, 26);
  Text(marks, "[no entry]: no uninstall entry belongs to the product. [incomplete]: its registration lacks its name "
              "or its installed state.");
  deleteButton.SetCaption("&Delete an entry >>");
  products.Anchors = kGrows;
  marks.Anchors = kUnder;
  deleteButton.Anchors = kBelow;
}

void InstallerPage::AddControls(std::vector<TControl*>* controls) {
  controls->insert(controls->end(), {&help, &products, &deleteButton, &marks});
}

std::string InstallerPage::Fill() {
  std::string unreadable;
  products.Clear();
  const std::vector<Product>& found = window_.Products;
  for (size_t i = 0; i < found.size(); ++i) {
    const Product& product = found[i];
    if (!product.readError.empty() && unreadable.empty())
      unreadable = "The installer product '" + product.keyName + "' could not be read: " + product.readError;
    products.Add(InstallerLine(product), static_cast<int>(i));
  }
  if (products.Count() == 0) products.Add(kNoItems);
  return unreadable;
}

void InstallerPage::OnDeleteProduct() {
  const platform::Platform& platform = window_.Platform();
  const int index = products.ItemIndex();
  if (index < 0 || index >= products.Count()) {
    platform.ui.ShowMessage(kSelectFirst);
    return;
  }
  const std::string line = products.Items()[index];
  if (line == kNoItems) {
    platform.ui.ShowMessage(kNothingToRemove);
    return;
  }
  // The product the line stands for; a line without one (not made by the scan) names a machine
  // product by its key name, which follows the last separator: a product's name may hold the
  // separator too, its key name (32 hexadecimal digits) never does.
  Product product;
  const int data = products.ItemData(index);
  if (data >= 0 && data < static_cast<int>(window_.Products.size())) {
    product = window_.Products[static_cast<size_t>(data)];
  } else {
    const auto separator = line.rfind(kProductSeparator);
    product.keyName =
        separator == std::string::npos ? line : line.substr(separator + std::string(kProductSeparator).size());
    product.named = separator != std::string::npos;
    if (product.named) product.productName = line.substr(0, separator);
  }
  // An empty name would address the product list itself.
  if (product.keyName.empty()) return;
  // A product is removed with its whole registration: its key alone would leave it half registered.
  const std::string code = ProductCodeOfPacked(product.keyName);
  if (!code.empty()) {
    window_.commands.RemoveInstallerRegistration(code, product.named ? product.productName : product.keyName);
    return;
  }
  if (!ProductRegistered(platform.registry, product)) {
    platform.ui.ShowMessage("The installer product " + product.keyName + " is not registered any more.");
    window_.FillListBox();
    return;
  }
  if (platform.ui.AskMessageBox(std::string(kRemoveQuestion) + "\n\n" + ProductNamed(product), kRemoveCaption,
                                 platform::kMbYesNo | platform::kMbDefButton2) != platform::kIdYes)
    return;
  const RemovalOutcome outcome = RemoveInstallerProduct(window_.Undo(), platform.registry, product);
  window_.FillListBox();
  if (outcome.Complete() && !outcome.undoFile.empty()) {
    window_.status.Notice("Removed the installer product " + (product.named ? product.productName : product.keyName) +
                              ", backed up in " + outcome.undoFile + ".",
                          outcome.undoFile);
  }
  if (!outcome.Complete())
    platform.ui.ShowError(IncompleteRemovalMessage(product.named ? product.productName : product.keyName, outcome));
  platform.ui.ProcessMessages();
}
