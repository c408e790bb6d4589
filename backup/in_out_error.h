#pragma once
// The undo file's input/output error: its text names the file and the system's reason.
#include <cstdint>
#include <stdexcept>
#include <string>

class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(const std::string& text, std::uint32_t code = 0) : std::runtime_error(text), code_(code) {}
  // The system's error code, 0 when there is none.
  std::uint32_t Code() const { return code_; }

 private:
  std::uint32_t code_;
};
