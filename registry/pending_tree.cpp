// Placeholders until this area is built; each throws so that nothing pretends to work.
#include <stdexcept>

#include "registry/nt_registry.h"

bool TNTRegistry::DeleteTree(const std::string&) { throw std::logic_error("not built yet"); }
void TNTRegistry::MoveTree(const std::string&, const std::string&, bool) { throw std::logic_error("not built yet"); }
bool TNTRegistry::LoadHive(const std::string&, const std::string&) { throw std::logic_error("not built yet"); }
bool TNTRegistry::UnloadHive(const std::string&) { throw std::logic_error("not built yet"); }
bool TNTRegistry::SaveKeyToFile(const std::string&, const std::string&) { throw std::logic_error("not built yet"); }
void TNTRegistry::CopyValues(platform::Hkey, platform::Hkey) { throw std::logic_error("not built yet"); }
void TNTRegistry::CopyTree(platform::Hkey, platform::Hkey) { throw std::logic_error("not built yet"); }
void TNTRegistry::MoveValue(platform::Hkey, platform::Hkey, const std::string&) { throw std::logic_error("not built yet"); }
