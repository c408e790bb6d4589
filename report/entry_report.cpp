#include "report/entry_report.h"

#include <nlohmann/json.hpp>

#include "inventory/product_code.h"
#include "inventory/status.h"
#include "platform/text_encoding.h"

namespace {

// Why the main list leaves an entry out; empty for a listed one.
std::string UnlistedReason(const Entry& entry) {
  if (!entry.readError.empty()) return "not listed: its values could not be read: " + entry.readError;
  if (entry.displayName.empty()) return "not listed: no display name";
  if (entry.uninstallString.empty()) return "not listed: no uninstall command";
  return {};
}

void AppendUtf8(char32_t code, std::string* text) {
  if (code < 0x80) {
    *text += static_cast<char>(code);
  } else if (code < 0x800) {
    *text += static_cast<char>(0xC0 | (code >> 6));
    *text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *text += static_cast<char>(0xE0 | (code >> 12));
    *text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *text += static_cast<char>(0xF0 | (code >> 18));
    *text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A control character's stand-in: its control picture (U+2400 to U+241F, U+2421 for DEL), or the
// replacement character for the C1 controls, which have none; 0 for any other character.
char32_t StandInFor(char32_t code) {
  if (code < 0x20) return 0x2400 + code;
  if (code == 0x7F) return 0x2421;
  if (code >= 0x80 && code <= 0x9F) return 0xFFFD;
  return 0;
}

}  // namespace

void CheckEntries(platform::FileSystem& files, platform::System& system, std::vector<Entry>* entries) {
  ScanChecker checker(files, system);
  for (Entry& entry : *entries) {
    if (!entry.Listed()) {
      entry.status = kStatusUnknown;
      entry.reason = UnlistedReason(entry);
      continue;
    }
    ApplyStatus(entry, checker.Check(entry));
  }
}

std::string OneLine(const std::string& text) {
  std::string line;
  for (const char32_t code : platform::CodePointsOf(platform::ShownText(text)))
    AppendUtf8(StandInFor(code) ? StandInFor(code) : code, &line);
  return line;
}

std::string EntryName(const Entry& entry) { return std::string(SourceName(entry)) + "\\" + entry.keyName; }

std::string TabSeparatedReport(const std::vector<Entry>& entries) {
  std::string report = "source\tkey\tdisplay name\tstatus\treason\tcommand\n";
  for (const Entry& entry : entries) {
    for (const std::string& field : {std::string(SourceName(entry)), entry.keyName, entry.displayName,
                                     std::string(StatusName(entry.status)), entry.reason})
      report += OneLine(field) + "\t";
    report += OneLine(entry.uninstallString) + "\n";
  }
  return report;
}

std::string JsonReport(const std::vector<Entry>& entries) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const Entry& entry : entries) {
    nlohmann::ordered_json object;
    object["source"] = SourceName(entry);
    // A name's unpaired surrogate (the registry allows one) shows as U+FFFD, as everywhere.
    object["key"] = platform::ShownText(entry.keyName);
    object["displayName"] = platform::ShownText(entry.displayName);
    object["status"] = entry.status == kStatusUnknown ? nlohmann::ordered_json() : nlohmann::ordered_json(StatusName(entry.status));
    object["reason"] = platform::ShownText(entry.reason);
    object["command"] = platform::ShownText(entry.uninstallString);
    // The installer's product that the entry belongs to: what /remove-product takes.
    const ProductReference product = ProductOfEntry(entry);
    object["productCode"] =
        product.kind == ProductReference::Kind::kProduct ? nlohmann::ordered_json(product.code) : nlohmann::ordered_json();
    array.push_back(std::move(object));
  }
  // A byte that is no UTF-8 (none comes from the registry's wide calls) is written as U+FFFD rather
  // than ending the report. Every character beyond ASCII is written as its \u escape: the report
  // then reads the same whatever code page the reader decodes it in (Windows PowerShell reads a
  // program's pipe in the console's OEM code page).
  return array.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
