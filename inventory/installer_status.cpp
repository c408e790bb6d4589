#include "inventory/installer_status.h"

std::string ForgottenProductReason(const std::string& productCode) {
  return "the system installer does not know product " + productCode;
}

std::string KnownProductReason(const std::string& productCode) {
  return "the system installer knows product " + productCode;
}
