#include "platform/memory/memory_platform.h"

#include <algorithm>
#include <cctype>

#include "platform/win_codes.h"

namespace platform {

namespace {
int Sign(int v) { return (v > 0) - (v < 0); }

std::string WithoutHyphens(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '-' && c != '\'') out += c;
  return out;
}
}  // namespace

// A word sort in the manner of lstrcmpA: letter case and hyphens are weighed only when all else is
// equal, and then a lower-case letter sorts before its capital.
int MemorySystem::CompareText(const std::string& a, const std::string& b) {
  const std::string x = WithoutHyphens(a), y = WithoutHyphens(b);
  const size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i) {
    const int cx = std::tolower(static_cast<unsigned char>(x[i]));
    const int cy = std::tolower(static_cast<unsigned char>(y[i]));
    if (cx != cy) return Sign(cx - cy);
  }
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  for (size_t i = 0; i < n; ++i) {
    if (x[i] == y[i]) continue;
    const bool lowerX = std::islower(static_cast<unsigned char>(x[i])) != 0;
    return lowerX ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return Sign(a.compare(b));
}

bool MemorySystem::Wow64DisableRedirection(std::uintptr_t* cell) {
  redirectionLog.push_back("disable");
  if (!wow64Available) return false;
  *cell = 0x5EED;
  if (redirection) redirection(false);
  return true;
}

void MemorySystem::Wow64RevertRedirection(std::uintptr_t value) {
  redirectionLog.push_back("revert " + std::to_string(value));
  if (redirection && value == 0x5EED) redirection(true);
}

TokenId MemorySystem::OpenProcessToken() {
  if (!tokenOpens) return 0;
  ++openTokens;
  return 0x7000 + openTokens;
}

void MemorySystem::CloseToken(TokenId) { --openTokens; }

bool MemorySystem::LookupPrivilege(const std::string& name, std::uint64_t* luid) {
  if (!privileges.count(name)) return false;
  auto it = std::find(luidNames_.begin(), luidNames_.end(), name);
  if (it == luidNames_.end()) it = luidNames_.insert(luidNames_.end(), name);
  *luid = 100 + (it - luidNames_.begin());
  return true;
}

bool MemorySystem::AdjustPrivileges(TokenId, const std::vector<PrivilegeSetting>& settings,
                                    std::vector<PrivilegeSetting>* previous) {
  if (previous) previous->clear();
  bool all = true;
  for (const PrivilegeSetting& setting : settings) {
    const size_t index = setting.luid - 100;
    if (index >= luidNames_.size()) {
      all = false;
      continue;
    }
    const std::string& name = luidNames_[index];
    const bool enable = (setting.attributes & kSePrivilegeEnabled) != 0;
    if (previous && privileges[name] != enable)
      previous->push_back({setting.luid, privileges[name] ? kSePrivilegeEnabled : 0u});
    privileges[name] = enable;
    privilegeLog.push_back((enable ? "enable " : "disable ") + name);
  }
  return all;
}

MutexId MemorySystem::CreateNamedMutex(const std::string& name, bool initialOwner, bool* alreadyExists) {
  const MutexId id = nextMutex_++;
  const bool exists = mutexHeld.count(name) > 0 && mutexHeld[name];
  *alreadyExists = exists || std::any_of(mutexes_.begin(), mutexes_.end(),
                                         [&](const auto& m) { return m.second == name; });
  mutexes_[id] = name;
  ++openMutexes;
  owns_[id] = false;
  if (initialOwner && !exists) {
    mutexHeld[name] = true;
    owns_[id] = true;
  }
  mutexLog.push_back("create " + name + (*alreadyExists ? " exists" : " new"));
  return id;
}

bool MemorySystem::WaitForMutex(MutexId mutex, std::uint32_t milliseconds) {
  const std::string& name = mutexes_.at(mutex);
  mutexLog.push_back("wait " + name + (milliseconds == kInfinite ? "" : " " + std::to_string(milliseconds) + " ms"));
  if (owns_[mutex]) return true;
  if (mutexHeld[name] && onMutexWait) onMutexWait(name);
  if (mutexHeld[name]) return false;  // the time ran out (or would wait for ever)
  mutexHeld[name] = true;
  owns_[mutex] = true;
  return true;
}

void MemorySystem::ReleaseNamedMutex(MutexId mutex) {
  const std::string& name = mutexes_.at(mutex);
  mutexLog.push_back("release " + name);
  if (owns_[mutex]) {
    mutexHeld[name] = false;
    owns_[mutex] = false;
  }
}

void MemorySystem::CloseMutex(MutexId mutex) {
  mutexLog.push_back("close " + mutexes_.at(mutex));
  mutexes_.erase(mutex);
  owns_.erase(mutex);
  --openMutexes;
}

ProcessId MemoryProcesses::StartProcess(const std::string& commandLine, std::uint16_t show) {
  auto it = startable.find(commandLine);
  if (it == startable.end()) return 0;
  started.push_back({commandLine, show, it->second, false});
  ++openProcesses;
  return started.size();
}

Wake MemoryProcesses::WaitForProcessOrInput(ProcessId process) {
  Child& child = started.at(process - 1);
  if (child.waitsLeft <= 0) return Wake::kProcessEnded;
  --child.waitsLeft;
  if (onInput) onInput(++wakes_);
  return Wake::kInput;
}

void MemoryProcesses::CloseProcess(ProcessId process) {
  started.at(process - 1).closed = true;
  --openProcesses;
}

std::vector<std::string> MemoryUi::Texts(const std::string& kind) const {
  std::vector<std::string> texts;
  for (const Shown& s : shown)
    if (s.kind == kind) texts.push_back(s.text);
  return texts;
}

int MemoryUi::AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t style) {
  shown.push_back({"ask", text, caption, style});
  if (answers.empty()) return kIdNo;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void MemoryUi::ShowMessage(const std::string& text) { shown.push_back({"message", text, "Tidewell", 0}); }

void MemoryUi::ShowError(const std::string& text) { shown.push_back({"error", text, "Tidewell", kMbIconError}); }

void MemoryUi::SoundBeep(std::uint32_t type) { shown.push_back({"beep", std::to_string(type), "", type}); }

int MemoryUi::ShellOpen(const std::string& file, const std::string& parameters, int show) {
  shown.push_back({"shell", parameters.empty() ? file : file + " " + parameters, "",
                   static_cast<std::uint32_t>(show)});
  auto it = shellResults.find(file);
  return it == shellResults.end() ? 42 : it->second;
}

bool MemoryUi::DispatchPendingMessages(int* quitCode) {
  while (!pendingMessages.empty()) {
    if (quitAfterMessages >= 0 && dispatched_ >= quitAfterMessages) {
      *quitCode = 0;
      return false;
    }
    auto message = std::move(pendingMessages.front());
    pendingMessages.pop_front();
    ++dispatched_;
    message();
  }
  if (quitAfterMessages >= 0 && dispatched_ >= quitAfterMessages) {
    *quitCode = 0;
    return false;
  }
  RunPosted();
  return true;
}

void MemoryUi::ProcessMessages() { ++processMessagesCalls; }

void MemoryUi::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(postedMutex_);
  posted_.push_back(std::move(task));
}

int MemoryUi::RunPosted() {
  int ran = 0;
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(postedMutex_);
      if (posted_.empty()) return ran;
      task = std::move(posted_.front());
      posted_.pop_front();
    }
    task();
    ++ran;
  }
}

void MemoryUi::ExitProgram(int code) { throw ProgramExit{code}; }

void MemoryPlatform::SetWow64() {
  system.wow64 = true;
  system.wow64Available = true;
  registry.SetWow64(true);
  files.SetWow64Folders(system.systemDirectory, system.windowsDirectory + "\\SysWOW64");
  system.redirection = [this](bool on) { files.SetRedirection(on); };
}

MemoryPlatform::MemoryPlatform() {
  files.AddDrive('C', kDriveFixed);
  files.AddFolder(system.windowsDirectory);
  files.AddFolder(system.systemDirectory);
  const std::string& exe = system.executablePath;
  files.AddFile(exe);
}

}  // namespace platform
