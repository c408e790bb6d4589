#include "report/restore_command.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "backup/undo_file.h"
#include "platform/text_encoding.h"
#include "report/entry_report.h"
#include "restore/undo_restore.h"

namespace {

using Json = nlohmann::ordered_json;

// "32-bit\Key" for an entry, "machine\Key" for a product, as /remove names entries; the whole key
// for any other.
std::string BlockName(const RecordTarget& target) {
  return target.source.empty() ? target.keyName : target.source + "\\" + target.keyName;
}

bool Exists(platform::FileSystem& files, const std::string& path) {
  return files.Attributes(path) != platform::kInvalidFileAttributes;
}

Json TextOrNull(const std::string& text) { return text.empty() ? Json() : Json(text); }

int ListBlocks(const CommandLine& line, const UndoContents& contents, const std::string& file, bool wow64,
               platform::RegistryApi& registry, platform::Console& console) {
  if (line.json) {
    Json document;
    document["file"] = file;
    document["format"] = contents.format == UndoFormat::kUnicode ? "Windows Registry Editor Version 5.00" : "REGEDIT4";
    document["skippedLines"] = contents.skippedLines;
    document["firstSkippedLine"] = contents.skippedLines > 0 ? Json(contents.firstSkippedLine) : Json();
    Json blocks = Json::array();
    for (const UndoRecord& record : contents.records) {
      const RecordTarget target = TargetOf(record, wow64);
      Json block;
      block["line"] = record.line;
      block["when"] = record.comment ? Json(record.comment->when) : Json();
      block["what"] = RecordWhat(record);
      block["name"] = record.keys.empty() ? Json() : Json(RecordName(record, target));
      block["source"] = TextOrNull(target.source);
      block["key"] = record.keys.empty() ? Json() : Json(target.keyName);
      Json keys = Json::array();
      for (const UndoPart& part : record.Parts())
        for (const UndoKeyLines& key : part.keys) keys.push_back(part.rootName + key.path);
      block["keys"] = keys;
      block["state"] = StateName(StateOf(registry, record, wow64));
      block["unreadable"] = TextOrNull(UnreadableText(record));
      blocks.push_back(block);
    }
    document["blocks"] = blocks;
    // Beyond ASCII as \u escapes, as the entries' report.
    return console.WriteOut(document.dump(2, ' ', true, Json::error_handler_t::replace) + "\n") ? kExitSuccess
                                                                                                  : kExitFailure;
  }
  std::string report = "line\twhen\twhat\tsource\tkey\tname\tstate\twhy\n";
  for (const UndoRecord& record : contents.records) {
    const RecordTarget target = TargetOf(record, wow64);
    const std::string when = record.comment ? record.comment->when : "";
    const std::string name = record.keys.empty() ? "" : RecordName(record, target);
    const std::string key = record.keys.empty() ? "" : target.keyName;
    report += std::to_string(record.line) + "\t" + when + "\t" + OneLine(RecordWhat(record)) + "\t" + target.source + "\t" +
              OneLine(key) + "\t" + OneLine(name) + "\t" + StateName(StateOf(registry, record, wow64)) + "\t" +
              OneLine(UnreadableText(record)) + "\n";
  }
  if (!console.WriteOut(report)) return kExitFailure;
  if (contents.skippedLines > 0)
    console.WriteError("Tidewell: " + std::to_string(contents.skippedLines) + " line" +
                       (contents.skippedLines == 1 ? " outside the blocks was" : "s outside the blocks were") +
                       " skipped, the first at line " + std::to_string(contents.firstSkippedLine) + "\n");
  return kExitSuccess;
}

// The blocks that the command line chooses, in the order it names them; a name that chooses none,
// or more than one, is said with why.
class Choice {
 public:
  Choice(const std::vector<UndoRecord>& records, bool wow64) : records_(records), wow64_(wow64) {}

  void All() {
    for (size_t i = 0; i < records_.size(); ++i) Take(i);
  }
  void Line(int number) {
    for (size_t i = 0; i < records_.size(); ++i)
      if (records_[i].line == number) return Take(i);
    missed_.push_back("line " + std::to_string(number) + ": no block begins at that line");
  }
  // SOURCE\KEY or KEY, as /remove names entries; products by machine\KEY or user\KEY too. Of an
  // entry's blocks, those that begin at one of `lines` (/line N given with the names) when there are any.
  void Named(const std::string& given, const std::vector<int>& lines) {
    const size_t slash = given.find('\\');
    const std::string source = slash == std::string::npos ? "" : platform::LowerCaseAscii(given.substr(0, slash));
    const std::string key = platform::UpperCaseText(slash == std::string::npos ? given : given.substr(slash + 1));
    const bool account = source.rfind(SourceName(Source::kOtherUser), 0) == 0;
    if (!source.empty() && !account && source != "64-bit" && source != "32-bit" && source != "user" && source != "machine") {
      missed_.push_back(OneLine(given) + ": unknown source \"" + OneLine(given.substr(0, slash)) +
                        "\": 64-bit, 32-bit, user, user:NAME or machine");
      return;
    }
    std::vector<size_t> found;
    std::vector<std::string> sources;
    for (size_t i = 0; i < records_.size(); ++i) {
      if (records_[i].keys.empty()) continue;
      const RecordTarget target = TargetOf(records_[i], wow64_);
      if (target.kind == RecordKind::kOtherKey || platform::UpperCaseText(target.keyName) != key) continue;
      if (!source.empty() && platform::UpperCaseText(target.source) != platform::UpperCaseText(source)) continue;
      found.push_back(i);
      if (std::find(sources.begin(), sources.end(), target.source) == sources.end()) sources.push_back(target.source);
    }
    bool atLine = false;
    for (size_t i : found) {
      if (std::find(lines.begin(), lines.end(), records_[i].line) == lines.end()) continue;
      Take(i);
      claimed_.push_back(records_[i].line);
      atLine = true;
    }
    if (atLine) return;
    if (found.empty()) {
      missed_.push_back(OneLine(given) + ": no block of that entry in the file");
    } else if (sources.size() > 1) {
      std::string listed;
      for (const std::string& s : sources) listed += (listed.empty() ? "" : ", ") + s;
      missed_.push_back(OneLine(given) + ": more than one list has it (" + listed + "): name it as SOURCE\\KEY");
    } else if (found.size() > 1) {
      std::string lines;
      for (size_t i : found) lines += (lines.empty() ? "" : ", ") + std::to_string(records_[i].line);
      missed_.push_back(OneLine(given) + ": " + std::to_string(found.size()) + " blocks name it (lines " + lines +
                        "): choose one with /line N");
    } else {
      Take(found.front());
    }
  }

  // The first of `lines` that begins no block of an entry named, said with why; empty when every
  // one does.
  std::string Disagreement(const std::vector<int>& lines) const {
    for (int number : lines) {
      if (std::find(claimed_.begin(), claimed_.end(), number) != claimed_.end()) continue;
      std::string why = "no block begins at that line";
      for (const UndoRecord& record : records_) {
        if (record.line != number) continue;
        const std::string name = record.keys.empty() ? "one without a key"
                                                     : OneLine(BlockName(TargetOf(record, wow64_))) + "'s";
        why = "the block that begins there is " + name;
      }
      return "/line " + std::to_string(number) + " does not agree with the entries named: " + why;
    }
    return {};
  }

  const std::vector<size_t>& Chosen() const { return chosen_; }
  // What chose nothing, each with why.
  const std::vector<std::string>& Missed() const { return missed_; }

 private:
  void Take(size_t index) {
    if (std::find(chosen_.begin(), chosen_.end(), index) == chosen_.end()) chosen_.push_back(index);
  }

  const std::vector<UndoRecord>& records_;
  bool wow64_;
  std::vector<size_t> chosen_;
  std::vector<std::string> missed_;
  // The lines of the blocks that an entry named chose.
  std::vector<int> claimed_;
};

}  // namespace

std::string UndoFileNamed(const platform::Platform& platform, const std::string& given) {
  if (Exists(platform.files, given) || given.find_first_of("\\/:") != std::string::npos) return given;
  for (const std::string& folder :
       {BackupFolderOf(platform.system.ExecutablePath()), UserBackupFolder(platform.files)}) {
    if (!folder.empty() && Exists(platform.files, folder + "\\" + given)) return folder + "\\" + given;
  }
  return given;
}

int RestoreFromUndoFile(const CommandLine& line, const platform::Platform& platform, platform::Console& console) {
  const bool wow64 = platform.system.IsWow64();
  const std::string file = UndoFileNamed(platform, line.undoFile);
  const UndoContents contents = ReadUndoFile(platform.files, platform.system, file);
  if (!contents.problem.empty()) {
    console.WriteError("Tidewell: " + OneLine(file) + " cannot be read as an undo file: " + OneLine(contents.problem) + "\n");
    return kExitFailure;
  }
  if (line.list) {
    // Other accounts' keys are read in their hives, loaded while the blocks are listed.
    const RecordHives hives(platform.registry, platform.system, platform.files, contents.records, wow64);
    return ListBlocks(line, contents, file, wow64, platform.registry, console);
  }

  Choice choice(contents.records, wow64);
  if (line.all) choice.All();
  for (const std::string& target : line.targets) choice.Named(target, line.lines);
  if (line.targets.empty()) {
    for (int number : line.lines) choice.Line(number);
  } else if (const std::string disagreement = choice.Disagreement(line.lines); !disagreement.empty()) {
    console.WriteError("Tidewell: " + disagreement + "; nothing was restored\n");
    return kExitFailure;
  }
  bool all = choice.Missed().empty();
  for (const std::string& missed : choice.Missed()) console.WriteOut("not restored " + missed + "\n");

  // Restores go as the window's Restore Selected: whatever they overwrite to the day's undo file
  // beside the program first, under the same lock.
  UndoFile undo(platform.files, platform.system, BackupFolderOf(platform.system.ExecutablePath()),
                UndoStemOf(platform.system.Today()), UserBackupFolder(platform.files));
  std::vector<std::string> restored;
  for (size_t index : choice.Chosen()) {
    const UndoRecord& record = contents.records[index];
    const std::string name = (record.keys.empty() ? std::string("no key") : OneLine(BlockName(TargetOf(record, wow64)))) +
                             " (line " + std::to_string(record.line) + ")";
    RecordRestore outcome;
    try {
      outcome = RestoreRecord(platform.registry, undo, record, wow64);
    } catch (const std::exception& error) {
      console.WriteOut("not restored " + name + ": " + OneLine(error.what()) + "\n");
      console.WriteError("Tidewell: stopped at " + name + "; nothing after it was restored.\n");
      return kExitFailure;
    }
    if (outcome.restored) {
      restored.push_back(name);
      console.WriteOut("restored " + name +
                       (outcome.undoFile.empty() ? "" : ": what it replaced is in " + OneLine(outcome.undoFile)) + "\n");
      continue;
    }
    all = false;
    console.WriteOut("not restored " + name + ": " + OneLine(outcome.problem) + "\n");
    if (outcome.accessDenied) {
      std::string before;
      for (const std::string& done : restored) before += (before.empty() ? "" : ", ") + done;
      console.WriteError("Tidewell: stopped at " + name +
                         ", which the registry refused for lack of rights: run it from an elevated prompt. Nothing "
                         "after it was restored; restored before it: " +
                         (before.empty() ? "nothing" : before) + ".\n");
      return kExitNeedsElevation;
    }
  }
  return all ? kExitSuccess : kExitFailure;
}
