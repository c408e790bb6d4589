#include "backup/undo_comment.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "backup/undo_lines.h"
#include "tidewell_version.h"

namespace {

constexpr const char* kLead = "; Tidewell ";

constexpr struct {
  UndoAction action;
  const char* words;
  bool whole;
} kActions[] = {
    {UndoAction::kRemovedEntry, "removed entry", true},
    {UndoAction::kChangedCommand, "changed the uninstall command of", false},
    {UndoAction::kRemovedProduct, "removed installer product", true},
    {UndoAction::kRestoredEntry, "restored entry", true},
    {UndoAction::kRestoredProduct, "restored installer product", true},
    {UndoAction::kRestoredValues, "restored the values of", false},
    {UndoAction::kRemovedRegistration, "removed installer registration", false},
    {UndoAction::kRestoredRegistration, "restored installer registration", false},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "yyyy-mm-dd hh:mm:ss", digits where digits go.
bool IsTime(const std::string& text) {
  const std::string shape = "0000-00-00 00:00:00";
  if (text.size() != shape.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i)
    if (shape[i] == '0' ? !IsDigit(text[i]) : text[i] != shape[i]) return false;
  return true;
}

// The length in bytes of the UTF-8 sequence that begins with this byte; 1 for a byte that begins none.
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

// The text with each character the file cannot carry as "?".
std::string Carried(const std::string& text, const UndoEncoding& encoding) {
  std::string bytes;
  if (encoding.EncodeLine(text, &bytes)) return text;
  std::string carried;
  for (size_t at = 0; at < text.size();) {
    const size_t length = std::min(SequenceLength(static_cast<unsigned char>(text[at])), text.size() - at);
    const std::string character = text.substr(at, length);
    carried += encoding.EncodeLine(character, &bytes) ? character : "?";
    at += length;
  }
  return carried;
}

}  // namespace

const char* ActionWords(UndoAction action) {
  for (const auto& known : kActions)
    if (known.action == action) return known.words;
  return "";
}

bool HoldsWholeKey(UndoAction action) {
  for (const auto& known : kActions)
    if (known.action == action) return known.whole;
  return false;
}

bool HoldsRegistration(UndoAction action) {
  return action == UndoAction::kRemovedRegistration || action == UndoAction::kRestoredRegistration;
}

UndoComment CommentNow(platform::System& system, UndoAction action, std::string name, std::string source) {
  const platform::LocalTime now = system.Now();
  char when[32];
  std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", now.date.year, now.date.month, now.date.day,
                now.hour, now.minute, now.second);
  return UndoComment{TIDEWELL_VERSION, when, action, ActionWords(action), std::move(name), std::move(source)};
}

std::string CommentLine(const UndoComment& comment, const UndoEncoding& encoding) {
  std::string line = kLead + comment.version + ", " + comment.when + ", " + comment.what + " \"" +
                     EscapeRegText(comment.name) + "\"";
  if (!comment.source.empty()) line += " (" + comment.source + ")";
  return Carried(line, encoding);
}

std::vector<std::string> CommentLines(const UndoComment& comment, const UndoEncoding& encoding) {
  std::vector<std::string> lines{CommentLine(comment, encoding)};
  const std::string account = "user:";
  if (comment.source.compare(0, account.size(), account) != 0) return lines;
  const std::string name = comment.source.substr(account.size());
  lines.push_back(Carried("; In the hive of " + name +
                              ", below HKEY_USERS: the registry editor merges this block only while that hive is "
                              "loaded, as it is while " + name + " is logged on. Tidewell's Restore loads it itself.",
                          encoding));
  return lines;
}

bool IsProgramComment(const std::string& line) {
  const std::string lead = kLead;
  return line.size() > lead.size() && line.compare(0, lead.size(), lead) == 0 && IsDigit(line[lead.size()]);
}

std::optional<UndoComment> ReadCommentLine(const std::string& line) {
  if (!IsProgramComment(line)) return std::nullopt;
  UndoComment comment;
  size_t at = std::string(kLead).size();
  const size_t versionEnd = line.find(", ", at);
  if (versionEnd == std::string::npos) return std::nullopt;
  comment.version = line.substr(at, versionEnd - at);
  at = versionEnd + 2;
  comment.when = line.substr(at, 19);
  if (!IsTime(comment.when) || line.compare(at + 19, 2, ", ") != 0) return std::nullopt;
  at += 21;
  const size_t quote = line.find(" \"", at);
  if (quote == std::string::npos || quote == at) return std::nullopt;
  comment.what = line.substr(at, quote - at);
  for (const auto& known : kActions)
    if (comment.what == known.words) comment.action = known.action;
  // The name, escaped as a quoted text is, up to its closing quote.
  for (at = quote + 2;; ++at) {
    if (at >= line.size()) return std::nullopt;
    char c = line[at];
    if (c == '"') break;
    if (c == '\\') {
      if (++at >= line.size()) return std::nullopt;
      switch (line[at]) {
        case 'n': c = '\n'; break;
        case 'r': c = '\r'; break;
        case '"': c = '"'; break;
        case '\\': c = '\\'; break;
        default: return std::nullopt;
      }
    }
    comment.name += c;
  }
  const std::string rest = line.substr(at + 1);
  if (rest.empty()) return comment;
  if (rest.size() < 4 || rest.compare(0, 2, " (") != 0 || rest.back() != ')') return std::nullopt;
  comment.source = rest.substr(2, rest.size() - 3);
  if (comment.source.find_first_of("()") != std::string::npos) return std::nullopt;
  return comment;
}
