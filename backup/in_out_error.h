#pragma once
// The undo file's input/output error: its text names the file and the system's reason.
#include <stdexcept>
#include <string>

class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
