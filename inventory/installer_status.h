#pragma once
// Entries of the system installer's products: the installer is asked whether it still knows the
// product, since MsiExec.exe, the file the command names, is always there.
#include <string>

// The reason of an entry whose product the installer has forgotten: Broken Link, since its
// uninstall would fail ("This action is only valid for products that are currently installed").
std::string ForgottenProductReason(const std::string& productCode);
// The reason of an entry whose product the installer knows (installed, advertised, or installed
// for another user), which decides its status.
std::string KnownProductReason(const std::string& productCode);
