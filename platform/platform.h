#pragma once
// The whole boundary to the operating system, as one bundle of references.
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry_api.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace platform {

struct Platform {
  RegistryApi& registry;
  FileSystem& files;
  System& system;
  Processes& processes;
  Ui& ui;
};

}  // namespace platform
