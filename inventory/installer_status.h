#pragma once
// Entries of the system installer's products: the installer is asked whether it still knows the
// product, since MsiExec.exe, the file the command names, is always there.
#include <optional>
#include <string>

#include "inventory/entry.h"
#include "inventory/status.h"
#include "platform/system.h"

// The reason of an entry whose product the installer has forgotten.
std::string ForgottenProductReason(const std::string& productCode);
// Broken Link with its reason for an entry of a product that the installer does not know (its
// uninstall would fail: "This action is only valid for products that are currently installed");
// nothing when the entry names no product, names a malformed one, the installer knows the product
// (installed, advertised, or installed for another user), or the installer cannot be asked. Then
// the command's file decides, as for every entry.
std::optional<StatusResult> ForgottenProductStatus(platform::System& system, const Entry& entry);
// The reason of an entry whose product the installer knows, which decides its status.
std::string KnownProductReason(const std::string& productCode);
