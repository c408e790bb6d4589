#include "backup/removal_outcome.h"

namespace {

std::string Count(int n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

}  // namespace

std::string IncompleteRemovalMessage(const std::string& what, const RemovalOutcome& outcome) {
  if (outcome.Complete()) return {};
  std::string left;
  if (outcome.keysLeft > 0) left = Count(outcome.keysLeft, "key", "keys");
  if (outcome.valuesLeft > 0) left += (left.empty() ? "" : " and ") + Count(outcome.valuesLeft, "value", "values");
  const bool one = outcome.keysLeft + outcome.valuesLeft == 1;
  std::string text = "Tidewell could not remove all of '" + what + "': " + left + (one ? " remains" : " remain");
  if (outcome.accessDenied) {
    text += ", because the registry refused the change (access denied). Run Tidewell as an administrator to remove it";
  }
  return text + ". What was removed is in the day's undo file.";
}
