#pragma once
// The real platform: every interface backed by the Win32 calls, owned together.
#include "platform/platform.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_process.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_ui.h"

namespace platform {

class Win32Platform {
 public:
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Win32Registry registry;
  Win32FileSystem files;
  Win32System system;
  Win32Processes processes;
  Win32Ui ui;
  Platform platform() { return Platform{registry, files, system, processes, ui}; }
};

}  // namespace platform
