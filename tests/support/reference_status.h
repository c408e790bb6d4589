#pragma once
// The status check as it stood before the scan-wide memo and the skipped short pieces: every piece
// looked for, every query asked anew, nothing remembered. The differential tests hold the
// program's answers to this one's.
#include <array>
#include <string>

#include "inventory/file_tests.h"
#include "inventory/finder.h"
#include "inventory/status.h"
#include "platform/redirection.h"

namespace reference {

inline bool Probe(platform::FileSystem& files, const std::string& t) {
  if (FileTest(files, t)) return true;
  const size_t k = t.rfind('\\');
  if (k == std::string::npos) return true;
  const std::string directory = t.substr(0, k);
  const std::string name = t.substr(k + 1);
  if (DirectorySearch(files, directory, name)) return true;
  if (FolderTest(files, k + 1 == t.size() ? directory : t)) return true;
  return DirectorySearch(files, directory, name + ".exe");
}

inline bool FindSpace(platform::FileSystem& files, const std::string& text, bool sixtyFourBit) {
  std::string s;
  for (char c : text)
    if (!(c == '\\' && !s.empty() && s.back() == '\\')) s += c;
  std::string unescaped;
  for (size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '"')) unescaped += s[i];
  s = unescaped;
  while (!s.empty() && s[0] == '"') {
    const std::string rest = s.substr(1);
    const size_t close = rest.find('"');
    s = close == std::string::npos ? rest : rest.substr(0, close);
  }
  while (!s.empty() && s[0] == '@') s.erase(0, 1);
  if (!s.empty() && s[0] == '\\' && s.find(":\\") == std::string::npos) return true;
  if (s.find('%') != std::string::npos) {
    if (sixtyFourBit) s = AsSixtyFourBitVariables(s);
    std::string expanded;
    const std::uint32_t count = files.ExpandEnvironment(s, platform::kMaxPath, &expanded);
    if (count != 0 && count < platform::kMaxPath && !expanded.empty()) s = expanded;
  }
  if (!s.empty() && s[0] == '%') return true;
  const auto from = [&](int position) { return position - 1 >= static_cast<int>(s.size()) ? std::string() : s.substr(position - 1); };
  int cut = 0;
  cut = GetNonChar(cut, ':', from(3), 3);
  cut = GetNonChar(cut, '/', from(3), 3);
  cut = GetNonChar(cut, '*', s, 1);
  cut = GetNonChar(cut, '?', s, 1);
  cut = GetNonChar(cut, '"', from(2), 2);
  cut = GetNonChar(cut, '<', s, 1);
  cut = GetNonChar(cut, '>', s, 1);
  cut = GetNonChar(cut, '|', s, 1);
  if (cut > 0) s.resize(static_cast<size_t>(cut - 1));
  if (s.empty()) return false;
  if (s.back() == '\\') s.pop_back();
  if (s.size() >= 3 && s[1] == ':' && s[2] == '\\') {
    const std::uint32_t type = files.DriveType(s.substr(0, 3));
    if (type == platform::kDriveRemovable || type == platform::kDriveRemote || type == platform::kDriveCdrom ||
        type == platform::kDriveRamdisk)
      return false;
  }
  if (Probe(files, s)) return true;
  if (PatternSearch(files, s + ".*")) return true;

  constexpr std::array<char, 11> marks = {',', ';', '\'', '%', '-', '_', '!', '(', '@', '$', '#'};
  const size_t length = s.size();
  const size_t lastBackslash = s.rfind('\\') + 1;
  size_t pendingBlank = 0, backslashMark = 0;
  std::array<size_t, marks.size()> remembered{};
  bool numericTail = true;
  for (size_t i = length + 1; i-- > 0;) {
    const char c = i > 0 ? s[i - 1] : '\0';
    if (c == '.' || c == '\\' || pendingBlank != 0 || i == 0) {
      if (numericTail && i < length && Probe(files, s.substr(0, lastBackslash - 1))) return true;
      if (pendingBlank != 0 && Probe(files, s.substr(0, pendingBlank - 1))) return true;
      for (size_t m : remembered)
        if (m != 0 && Probe(files, s.substr(0, m - 1))) return true;
      if (backslashMark != 0 && FileTest(files, s.substr(0, backslashMark - 1))) return true;
      pendingBlank = 0;
    }
    if (i == 0) break;
    if (c == ' ') pendingBlank = i;
    if (c == '\\') backslashMark = i;
    for (size_t k = 0; k < marks.size(); ++k)
      if (c == marks[k]) remembered[k] = i;
    if (!(c >= '0' && c <= '9') && c != '\\') numericTail = false;
  }
  return false;
}

// The status icon of a command, every rule applied as written, every piece looked for with
// `findPiece`.
template <class FindPiece>
int CheckUninstallWith(platform::FileSystem& files, const std::string& text, FindPiece findPiece) {
  const auto upper = [](std::string t) {
    for (char& c : t)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return t;
  };
  std::string s = text;
  for (;;) {
    const size_t quote = s.find('"');
    if (quote != std::string::npos && quote < 3) {
      s = s.substr(quote + 1);
      continue;
    }
    if (upper(s).find("RUNDLL32 ") != std::string::npos) {
      s = s.size() > 9 ? s.substr(9) : std::string();
      continue;
    }
    if (upper(s).find("RUNDLL ") != std::string::npos) {
      s = s.size() > 7 ? s.substr(7) : std::string();
      continue;
    }
    const size_t blank = s.find(' ');
    if (blank != std::string::npos && blank < 4) {
      s = s.substr(blank + 1);
      continue;
    }
    const size_t drive = s.size() > 2 ? s.find(":\\", 2) : std::string::npos;
    if (drive == std::string::npos)
      return findPiece(s) ? kGoodLink : CheckDriveType(files, s.substr(0, 3));
    const size_t q = drive - 1;
    if (!findPiece(s.substr(0, q)) && q > 3) return CheckDriveType(files, s.substr(0, 3));
    s = s.substr(q);
  }
}

inline int CheckUninstall(platform::FileSystem& files, const std::string& text, bool sixtyFourBit) {
  return CheckUninstallWith(files, text, [&](const std::string& piece) { return FindSpace(files, piece, sixtyFourBit); });
}

// The check as the window made it before: answers remembered within each search of a piece only.
inline int PerCallMemoStatus(platform::FileSystem& files, Finder& finder, const std::string& text) {
  return CheckUninstallWith(files, text, [&](const std::string& piece) { return finder.nFindSpace(piece); });
}

inline int StatusOfCommand(platform::FileSystem& files, platform::System& system, const std::string& command,
                           bool sixtyFourBit) {
  if (!sixtyFourBit) return CheckUninstall(files, command, false);
  platform::RedirectionOff off(system);
  return CheckUninstall(files, command, true);
}

}  // namespace reference
