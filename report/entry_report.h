#pragma once
// The report of every uninstall entry for scripts: tab-separated lines or one JSON array.
#include <string>
#include <vector>

#include "inventory/entry.h"
#include "platform/file_system.h"
#include "platform/system.h"

// Checks the status of every entry that the main list shows, as the window's scan does; every other
// entry keeps kStatusUnknown and is given the reason the main list leaves it out.
void CheckEntries(platform::FileSystem& files, platform::System& system, std::vector<Entry>* entries);
// The text on one line: each control character (below U+0020, DEL, U+0080 to U+009F) written as a
// visible stand-in, the C0 ones and DEL as their Unicode control pictures ("␉" for a tab).
std::string OneLine(const std::string& text);
// "64-bit\Key": how the command line names an entry.
std::string EntryName(const Entry& entry);

// A header line, then one line per entry: source, key name, display name, status, reason, command,
// separated by tabs, each line ended by a line feed; every field on one line (OneLine).
std::string TabSeparatedReport(const std::vector<Entry>& entries);
// One JSON array (UTF-8), one object per entry with the fields "source", "key", "displayName",
// "status" (null when not checked), "reason" and "command", ended by a line feed.
std::string JsonReport(const std::vector<Entry>& entries);
