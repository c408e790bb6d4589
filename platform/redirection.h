#pragma once
// The file-system redirection of a 32-bit program on 64-bit Windows, off for a while.
#include <cstdint>

#include "platform/system.h"

namespace platform {

// Turns this thread's file-system redirection off for as long as it lives, so that the System
// folder is the 64-bit one; on a system without redirection it does nothing.
class RedirectionOff {
 public:
  explicit RedirectionOff(System& system) : system_(system), off_(system.Wow64DisableRedirection(&cell_)) {}
  ~RedirectionOff() {
    if (off_) system_.Wow64RevertRedirection(cell_);
  }
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

 private:
  System& system_;
  std::uintptr_t cell_ = 0;
  bool off_;
};

}  // namespace platform
