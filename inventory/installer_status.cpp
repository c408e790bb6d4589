#include "inventory/installer_status.h"

#include "inventory/product_code.h"
#include "platform/win_codes.h"

std::string ForgottenProductReason(const std::string& productCode) {
  return "the system installer does not know product " + productCode;
}

std::string KnownProductReason(const std::string& productCode) {
  return "the system installer knows product " + productCode;
}

std::optional<StatusResult> ForgottenProductStatus(platform::System& system, const Entry& entry) {
  const ProductReference product = ProductOfEntry(entry);
  if (product.kind != ProductReference::Kind::kProduct) return std::nullopt;
  int state = 0;
  // An invalid argument or any other answer is no verdict that the product is gone.
  if (!system.QueryProductState(product.code, &state) || state != platform::kInstallStateUnknown) return std::nullopt;
  return StatusResult{kBrokenLink, ForgottenProductReason(product.code), {}};
}
