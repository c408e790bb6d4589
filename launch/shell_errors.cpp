#include "launch/shell_errors.h"

namespace {

struct ShellError {
  int answer;
  const char* text;
  // For the middle of a sentence; null where the number is given instead.
  const char* words;
};

constexpr ShellError kShellErrors[] = {
    {0, "The operating system is out of memory or resources.", nullptr},
    {2, "The specified file was not found.", "the file was not found"},
    {3, "The specified path was not found.", "the path was not found"},
    {5, "Windows 95 only: The operating system denied access to the specified file.", "access denied"},
    {8, "Windows 95 only: There was not enough memory to complete the operation.", nullptr},
    {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).", nullptr},
    {26, "A sharing violation occurred.", nullptr},
    {27, "The filename association is incomplete or invalid.", nullptr},
    {28, "The DDE transaction could not be completed because the request timed out.", nullptr},
    {29, "The DDE transaction failed.", nullptr},
    {30, "The DDE transaction could not be completed because other DDE transactions were being processed.", nullptr},
    {31, "There is no application associated with the given filename extension.", nullptr},
    {32, "Windows 95 only: The specified dynamic-link library was not found.", nullptr},
};

const ShellError* Find(int answer) {
  for (const ShellError& error : kShellErrors)
    if (error.answer == answer) return &error;
  return nullptr;
}

}  // namespace

std::string ShellErrorText(int answer) {
  const ShellError* error = Find(answer);
  return error ? error->text : "";
}

std::string ShellErrorWords(int answer) {
  const ShellError* error = Find(answer);
  return error && error->words ? error->words : "the shell answered " + std::to_string(answer);
}
