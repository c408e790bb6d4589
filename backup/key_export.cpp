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
bool CarriesKeyTree(platform::RegistryApi& api, const UndoEncoding& encoding, platform::Hkey root,
                    const std::string& keyPath) {
  if (!FitsKeyLine(keyPath)) return true;
  TNTRegistry reg(api);
  reg.SetRoot(root);
  if (!reg.OpenPath(keyPath, false)) return true;
  if (!encoding.Carries({KeyLine(RootName(root), keyPath)})) return false;
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
    if (!CarriesKeyTree(api, encoding, root, keyPath + "\\" + name)) return false;
  return true;
}

}  // namespace

UndoFormat TForm1::UndoFormatForKey(platform::Hkey root, const std::string& path) {
  const UndoEncoding regedit4 = UndoEncoding::Regedit4(platform_.system);
  return CarriesKeyTree(platform_.registry, regedit4, root, RemoveSlash(path)) ? UndoFormat::kRegedit4
                                                                               : UndoFormat::kUnicode;
}

void TForm1::RemoveRegistryKey(platform::Hkey root, const std::string& path) {
  const std::string rootName = RootName(root);
  if (rootName.empty()) return;
  const std::string keyPath = RemoveSlash(path);
  if (!FitsKeyLine(keyPath)) return;

  // The whole tree goes to one file, chosen before its first line is written.
  UndoBlock block(*this, [&] { return UndoFormatForKey(root, keyPath); });
  TNTRegistry reg(platform_.registry);
  reg.SetRoot(root);
  if (!reg.OpenPath(keyPath, false)) return;
  WriteReg(KeyLine(rootName, keyPath));

  TStrings subkeys, valueNames;
  reg.ListSubkeys(subkeys);
  reg.ListValueNames(valueNames);
  for (const std::string& name : valueNames) RemoveRegistryValue(root, keyPath, name);
  reg.ClosePath();

  for (const std::string& name : subkeys) RemoveRegistryKey(root, keyPath + "\\" + name);

  // Whatever is still in the key was not written to the undo file (a subkey that could not be
  // opened for export, something added meanwhile, a value the registry refused to delete), so
  // the key goes only when it is empty.
  if (!IsEmptyKey(reg, keyPath)) return;
  FlushUndo();
  reg.DeleteTree(keyPath);
}

void TForm1::RemoveRegistryValue(platform::Hkey root, const std::string& keyPath, const std::string& name) {
  TNTRegistry reg(platform_.registry);
  reg.SetRoot(root);
  if (!reg.OpenPath(keyPath, false)) return;

  // The value's own type code and every byte, whatever its kind and size; a read that fails
  // raises here, before anything is deleted.
  std::uint32_t typeCode = 0;
  std::string bytes;
  if (!reg.FetchWholeValue(name, typeCode, bytes)) return;

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
  reg.RemoveValue(name);
}
