#pragma once
// Short (8.3) forms of paths, built by hand where the platform keeps none.
#include <string>

#include "platform/file_system.h"

// The short form of `path`, component by component: an existing component by its alternate
// name (or its own name when it has none), a missing one by the built 8.3 form of its name.
// `parentLevel` is true when `path` names a folder above the path first asked for.
std::string BuildShortPath(platform::FileSystem& files, const std::string& path, bool parentLevel);
// The path's short form as the platform gives it when that names an existing entry, otherwise the
// form BuildShortPath makes.
std::string ShortFileName(platform::FileSystem& files, const std::string& path);
