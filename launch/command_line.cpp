#include "launch/command_line.h"

#include "inventory/file_tests.h"
#include "inventory/finder.h"
#include "inventory/finding.h"
#include "inventory/status.h"
#include "platform/win_codes.h"

namespace {

using Kind = Finding::Kind;

std::string WithBackslash(std::string folder) {
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

// "Nothing was run: " and why, what the status check found where it was asked, and the command.
ProgramToStart Refused(const std::string& commandLine, const std::string& why, const Finding* finding = nullptr) {
  const std::string found = finding ? "Status check: " + FindingLine(*finding) + "\n" : "";
  return {{}, {}, "Nothing was run: " + why + ".\n" + found + "Command: " + ShownInLine(commandLine)};
}

// Handed to the system without its folder, such a name would be looked for first in this
// program's own folder and the current one, where anyone may have put a file of that name.
ProgramToStart FromSystemFolders(platform::FileSystem& files, platform::System& system, const std::string& name,
                                 const std::string& commandLine) {
  // The system adds ".exe" to a name without an extension.
  const std::string file = name.find('.') == std::string::npos ? name + ".exe" : name;
  const std::string systemFolder = system.SystemDirectory();
  const std::string windowsFolder = system.WindowsDirectory();
  for (const std::string& folder : {systemFolder, windowsFolder}) {
    if (IsFile(files, WithBackslash(folder) + file)) return {WithBackslash(folder) + file, commandLine, {}};
  }
  return Refused(commandLine, file + " is in neither " + systemFolder + " nor " + windowsFolder +
                                  ", the only folders where a program named without its folder is looked for");
}

bool EndsWithExe(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return end == ".exe";
}

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') || path.rfind("\\\\", 0) == 0;
}

// The file that the status check finds at the start of the command. It is the program only where
// the command's own text names it whole: its name ends at the closing quote, or unquoted at a
// blank or the end, never at a mark inside a name. Unquoted and followed by more, the name must be
// the file's own and end in ".exe": the rest may be more of the path, and C:\Program.exe, found for
// "C:\Program Files\Gone\uninst.exe /S" with ".exe" added, or a file C:\Program, is never taken for it.
ProgramToStart FromStatusCheck(platform::FileSystem& files, platform::System& system, const std::string& line,
                               bool quoted, bool sixtyFourBit) {
  FinderOptions options;
  options.sixtyFourBit = sixtyFourBit;
  Finder finder(files, system, options);
  const ProgramPiece piece = FirstPieceOf(finder, line);
  const Finding& finding = piece.finding;
  if (piece.start == std::string::npos) return Refused(line, "the command names no file to look for");
  if (!finding.Found()) return Refused(line, "the program's file is not there", &finding);
  const std::string file = finding.text.substr(0, finding.text.find_last_not_of(' ') + 1);
  // The name as the command writes it, without the ".exe" that the system would add.
  const std::string named = finding.kind == Kind::kSearchedExe ? file.substr(0, file.size() - 4) : file;
  const std::string written = finder.Expanded(piece.text);
  const bool namedWhole = written.compare(0, named.size(), named) == 0 &&
                          (written.size() == named.size() || written[named.size()] == (quoted ? '"' : ' '));
  const bool kindOfFile = finding.kind == Kind::kFile || finding.kind == Kind::kSearched ||
                          finding.kind == Kind::kSearchedExe || finding.kind == Kind::kNetworkPath;
  const bool followed = !quoted && written.size() > named.size();
  if (!kindOfFile || piece.start != (quoted ? 1u : 0u) || !IsAbsolute(file) || !namedWhole ||
      (followed && (finding.kind == Kind::kSearchedExe || !EndsWithExe(named))))
    return Refused(line, "which file is the program cannot be told for certain", &finding);
  if (!IsFile(files, file)) return Refused(line, file + " is not a program's file", &finding);
  // The child reads its arguments after the program's name: a name with blanks goes in quotes.
  const bool quote =
      !quoted && named.find(' ') != std::string::npos && line.compare(0, named.size(), named) == 0;
  return {file, quote ? "\"" + named + "\"" + line.substr(named.size()) : line, {}};
}

}  // namespace

ProgramToStart ResolveProgram(platform::FileSystem& files, platform::System& system, const std::string& commandLine,
                              bool sixtyFourBit) {
  const std::size_t begin = commandLine.find_first_not_of(' ');
  if (begin == std::string::npos) return Refused(commandLine, "the command is empty");
  const std::string line = commandLine.substr(begin);
  const bool quoted = line[0] == '"';
  // The program's name as the system reads it: the text in the quotes, or the first word.
  const std::string name = quoted ? line.substr(1, line.find('"', 1) - 1) : line.substr(0, line.find(' '));
  if (name.empty()) return Refused(line, "the command names no program");
  if (name.find_first_of("\\/:%") == std::string::npos) return FromSystemFolders(files, system, name, line);
  return FromStatusCheck(files, system, line, quoted, sixtyFourBit);
}
