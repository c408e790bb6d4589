#include "inventory/product_code.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The command's words: separated by blanks outside quotes, the quotes themselves left out.
std::vector<std::string> WordsOf(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  bool inWord = false;
  for (char c : command) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (IsBlank(c) && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

bool NamesMsiExec(const std::string& program) {
  const size_t slash = program.find_last_of("\\/");
  const std::string name = UpperAscii(slash == std::string::npos ? program : program.substr(slash + 1));
  return name == "MSIEXEC" || name == "MSIEXEC.EXE";
}

ProductReference ReferenceOf(const std::string& argument) {
  if (IsProductCode(argument)) return {ProductReference::Kind::kProduct, UpperAscii(argument)};
  if (!argument.empty() && argument.front() == '{') return {ProductReference::Kind::kMalformed, {}};
  return {};
}

}  // namespace

bool IsProductCode(const std::string& text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

ProductReference ProductOfCommand(const std::string& command) {
  const std::vector<std::string> words = WordsOf(command);
  if (words.empty() || !NamesMsiExec(words.front())) return {};
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word.size() < 2 || (word[0] != '/' && word[0] != '-')) continue;
    const std::string name = UpperAscii(word.substr(1));
    const std::string next = i + 1 < words.size() ? words[i + 1] : std::string();
    if (name == "X" || name == "I" || name == "UNINSTALL" || name == "PACKAGE") return ReferenceOf(next);
    // The product code written straight after the switch letter, as installers write it.
    if ((name[0] == 'X' || name[0] == 'I') && name[1] == '{') return ReferenceOf(word.substr(2));
  }
  return {};
}

ProductReference ProductOfEntry(const Entry& entry) {
  const ProductReference ofCommand = ProductOfCommand(entry.uninstallString);
  if (ofCommand.kind != ProductReference::Kind::kNone) return ofCommand;
  if (entry.windowsInstaller && IsProductCode(entry.keyName))
    return {ProductReference::Kind::kProduct, UpperAscii(entry.keyName)};
  return {};
}

std::string ProductCodeOfPacked(const std::string& packed) {
  if (packed.size() != 32 || packed.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return {};
  const std::string digits = UpperAscii(packed);
  // Packing is its own inverse once the digits stand in the code's groups.
  const std::string code = "{" + digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-" + digits.substr(12, 4) + "-" +
                           digits.substr(16, 4) + "-" + digits.substr(20, 12) + "}";
  const std::string unpacked = PackedProductCode(code);
  return "{" + unpacked.substr(0, 8) + "-" + unpacked.substr(8, 4) + "-" + unpacked.substr(12, 4) + "-" +
         unpacked.substr(16, 4) + "-" + unpacked.substr(20, 12) + "}";
}

std::string PackedProductCode(const std::string& code) {
  if (!IsProductCode(code)) return {};
  const std::string upper = UpperAscii(code);
  std::string packed;
  for (const auto& [start, length] : {std::pair{1, 8}, std::pair{10, 4}, std::pair{15, 4}}) {
    std::string group = upper.substr(start, length);
    std::reverse(group.begin(), group.end());
    packed += group;
  }
  for (size_t i = 20; i < 37; i += 2) {
    if (upper[i] == '-') ++i;
    packed += upper[i + 1];
    packed += upper[i];
  }
  return packed;
}
