#pragma once
// The system installer's product that an uninstall entry belongs to, and the product codes' packed
// form that names the installer's own keys.
#include <string>

#include "inventory/entry.h"

// What an entry says about a product of the system installer.
struct ProductReference {
  enum class Kind {
    kNone,       // not an installer's entry: its command alone decides its status
    kMalformed,  // MsiExec is handed something that begins as a product code and is not one
    kProduct,    // the product `code`, in upper case
  };
  Kind kind = Kind::kNone;
  std::string code;
};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits of either letter case.
bool IsProductCode(const std::string& text);
// The product that a command hands to MsiExec to uninstall or maintain: "MsiExec.exe /X{code}",
// "/I{code}", "/x {code}", "/uninstall {code}", "/package {code}", with "-" for "/", any letter
// case, with or without a path or quotes around the program.
ProductReference ProductOfCommand(const std::string& command);
// The product of an entry: its command's; otherwise its key name, when that is a product code and
// the entry's WindowsInstaller value is 1.
ProductReference ProductOfEntry(const Entry& entry);
// The product code as the installer names its Products keys (each group's hexadecimal digits
// reversed, the last two groups' bytes each with their two digits swapped), in upper case; empty
// when the text is no product code.
std::string PackedProductCode(const std::string& code);
// The product code "{...}" in upper case of a packed one (32 hexadecimal digits); empty for any other text.
std::string ProductCodeOfPacked(const std::string& packed);
