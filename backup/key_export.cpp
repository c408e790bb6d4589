// Removing key trees and values, each written to the undo file before it leaves the registry.
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "backup/in_out_error.h"
#include "backup/undo_file.h"
#include "backup/undo_lines.h"
#include "registry/nt_registry.h"

namespace {

// A key line cannot escape a line break, so a key whose path holds one cannot be backed up.
bool FitsKeyLine(const std::string& keyPath) { return keyPath.find_first_of("\r\n") == std::string::npos; }

// Whether the file carries every key line, value name and text of the tree that a removal would
// write, read the way the removal reads it.
bool CarriesKeyTree(platform::RegistryApi& api, const UndoEncoding& encoding, const RegistryPlace& place,
                    const std::string& keyPath) {
  if (!FitsKeyLine(keyPath)) return true;
  TNTRegistry reg(api, place.view);
  reg.SetRoot(place.root);
  if (!reg.OpenPath(keyPath, false)) return true;
  if (!encoding.Carries({KeyLine(RootName(place.root), PathForEveryView(place, keyPath))})) return false;
  TStrings subkeys, valueNames;
  reg.ListSubkeys(subkeys);
  reg.ListValueNames(valueNames);
  for (const std::string& name : valueNames) {
    std::uint32_t typeCode = 0;
    std::string bytes;
    if (reg.FetchWholeValue(name, typeCode, bytes) && !CarriedValueLines(name, typeCode, bytes, encoding))
      return false;
  }
  reg.ClosePath();
  for (const std::string& name : subkeys)
    if (!CarriesKeyTree(api, encoding, place, keyPath + "\\" + name)) return false;
  return true;
}

}  // namespace

UndoFormat TForm1::UndoFormatForKey(const RegistryPlace& place, const std::string& path) {
  const UndoEncoding regedit4 = UndoEncoding::Regedit4(platform_.system);
  return CarriesKeyTree(platform_.registry, regedit4, place, RemoveSlash(path)) ? UndoFormat::kRegedit4
                                                                                : UndoFormat::kUnicode;
}

RemovalOutcome TForm1::RemoveRegistryKey(platform::Hkey root, const std::string& path) {
  return RemoveRegistryKey(RegistryPlace{root, 0}, path);
}

long TForm1::RemoveRegistryValue(platform::Hkey root, const std::string& keyPath, const std::string& name) {
  return RemoveRegistryValue(RegistryPlace{root, 0}, keyPath, name);
}

RemovalOutcome TForm1::RemoveRegistryKey(const RegistryPlace& place, const std::string& path) {
  RemovalOutcome outcome;
  const std::string rootName = RootName(place.root);
  if (rootName.empty()) return outcome;
  const std::string keyPath = RemoveSlash(path);
  TNTRegistry reg(platform_.registry, place.view);
  reg.SetRoot(place.root);
  if (!FitsKeyLine(keyPath)) {
    outcome.keysLeft = reg.PathExists(keyPath) ? 1 : 0;
    return outcome;
  }
  // The whole tree goes to one file, chosen before its first line is written.
  UndoBlock block(*this, [&] { return UndoFormatForKey(place, keyPath); });
  if (!reg.OpenPath(keyPath, false)) {
    // Gone already, or there but closed to this program: only the second is left behind.
    if (reg.PathExists(keyPath)) outcome.keysLeft = 1;
    return outcome;
  }
  WriteReg(KeyLine(rootName, PathForEveryView(place, keyPath)));

  TStrings subkeys, valueNames;
  reg.ListSubkeys(subkeys);
  reg.ListValueNames(valueNames);
  for (const std::string& name : valueNames) {
    const long refused = RemoveRegistryValue(place, keyPath, name);
    if (refused == platform::kErrorSuccess) continue;
    ++outcome.valuesLeft;
    outcome.accessDenied = outcome.accessDenied || refused == platform::kErrorAccessDenied;
  }
  reg.ClosePath();

  for (const std::string& name : subkeys) outcome.Add(RemoveRegistryKey(place, keyPath + "\\" + name));

  // Whatever is still in the key was not written to the undo file (a subkey that could not be
  // opened for export, something added meanwhile, a value the registry refused to delete), so
  // the key goes only when it is empty, and with the plain deletion that refuses a key that has
  // gained a subkey since: nothing leaves the registry without its lines.
  if (!IsEmptyKey(reg, keyPath)) {
    if (reg.PathExists(keyPath)) ++outcome.keysLeft;
    return outcome;
  }
  FlushUndo();
  if (!reg.DeleteKey(keyPath)) {
    ++outcome.keysLeft;
    // The plain deletion answers "access denied" for a key that has gained a subkey, too.
    const bool refused = reg.LastError == platform::kErrorAccessDenied && IsEmptyKey(reg, keyPath);
    outcome.accessDenied = outcome.accessDenied || refused;
  }
  return outcome;
}

long TForm1::RemoveRegistryValue(const RegistryPlace& place, const std::string& keyPath, const std::string& name) {
  TNTRegistry reg(platform_.registry, place.view);
  reg.SetRoot(place.root);
  if (!reg.OpenPath(keyPath, false)) return platform::kErrorSuccess;

  // The value's own type code and every byte, whatever its kind and size; a read that fails
  // raises here, before anything is deleted.
  std::uint32_t typeCode = 0;
  std::string bytes;
  if (!reg.FetchWholeValue(name, typeCode, bytes)) return platform::kErrorSuccess;

  const auto carried = [&](UndoFormat format) {
    return CarriedValueLines(name, typeCode, bytes, UndoEncoding::Of(format, platform_.system));
  };
  UndoBlock block(*this, [&] { return carried(UndoFormat::kRegedit4) ? UndoFormat::kRegedit4 : UndoFormat::kUnicode; });
  // A value that changed since its file was chosen, into one the file cannot carry, stops the
  // removal here, before it is deleted.
  const auto lines = carried(UndoFormatInUse());
  if (!lines)
    throw EInOutError("Cannot write the value \"" + name + "\" to the undo file " + UndoFileName(UndoFormatInUse()) +
                      ": it holds characters the file cannot carry");
  // The value's lines go in with one write and reach the disk before the value is deleted: a stop
  // between two lines would leave a value cut short that a merge would put back in place of the
  // whole one.
  AppendUndoLines(*this, *lines, true);
  if (reg.RemoveValue(name) || reg.LastError == platform::kErrorFileNotFound) return platform::kErrorSuccess;
  return reg.LastError;
}
