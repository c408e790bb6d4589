#include "launch/command_line.h"

#include <cctype>

namespace {
bool EndsWithExeAt(const std::string& line, size_t end) {
  static const char kExe[] = ".exe";
  if (end < 4) return false;
  for (size_t i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(line[end - 4 + i])) != kExe[i]) return false;
  return true;
}
}  // namespace

std::string QuoteProgramPath(const std::string& commandLine,
                             const std::function<bool(const std::string&)>& isFile) {
  if (commandLine.empty() || commandLine[0] == '"') return commandLine;
  for (size_t end = 4; end <= commandLine.size(); ++end) {
    if (end < commandLine.size() && commandLine[end] != ' ') continue;
    if (!EndsWithExeAt(commandLine, end)) continue;
    const std::string program = commandLine.substr(0, end);
    if (!isFile(program)) continue;
    if (program.find(' ') == std::string::npos) return commandLine;
    return "\"" + program + "\"" + commandLine.substr(end);
  }
  return commandLine;
}

std::string ProgramOf(const std::string& commandLine, const std::function<bool(const std::string&)>& isFile) {
  const std::string line = QuoteProgramPath(commandLine, isFile);
  const std::size_t start = line.find_first_not_of(' ');
  if (start == std::string::npos) return {};
  if (line[start] == '"') {
    const std::size_t end = line.find('"', start + 1);
    return line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
  }
  const std::size_t end = line.find(' ', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
