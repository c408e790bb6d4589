#include "platform/memory/memory_platform.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>

#include "platform/text_encoding.h"
#include "platform/win_codes.h"

namespace platform {

namespace {
std::u32string WithoutHyphens(const std::u32string& text) {
  std::u32string out;
  for (char32_t c : text)
    if (c != U'-' && c != U'\'') out += c;
  return out;
}

// The letter without its accents, for the letters of Latin-1 and Latin Extended-A; a "." in the
// tables keeps the letter as it is.
char32_t BaseLetter(char32_t c) {
  static constexpr char kLatin1[] = "AAAAAA.CEEEEIIII.NOOOOO.OUUUUY..aaaaaa.ceeeeiiii.nooooo.ouuuuy.y";
  static constexpr char kExtendedA[] =
      "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi..JjKk.LlLlLlLlLlNnNnNn...OoOoOo..RrRrRrSsSsSsSsTtTtTt"
      "UuUuUuUuUuUuWwYyYZzZzZz.";
  const char* table = nullptr;
  char32_t first = 0;
  if (c >= 0xC0 && c <= 0xFF) {
    table = kLatin1;
    first = 0xC0;
  } else if (c >= 0x100 && c <= 0x17F) {
    table = kExtendedA;
    first = 0x100;
  }
  if (!table || table[c - first] == '.') return c;
  return static_cast<char32_t>(table[c - first]);
}

bool IsLowerCase(char32_t c) { return UpperCaseOf(c) != c; }

// The weight of a character in the first round, as the word sort orders them: marks before digits,
// digits before letters; a letter weighs without its accent or case.
std::uint32_t LetterWeight(char32_t c) {
  constexpr std::uint32_t kDigits = 1u << 24, kLetters = 2u << 24;
  if (c < 0x80 && !std::isalnum(static_cast<int>(c))) return c;
  if (c >= '0' && c <= '9') return kDigits | c;
  const char32_t base = BaseLetter(c);
  return kLetters | (base >= 'a' && base <= 'z' ? base - 32 : UpperCaseOf(base));
}

}  // namespace

// A word sort in the manner of lstrcmpW: letters first without their accents and case ("\u00c9clair"
// sorts with the E's), then the length, then accents, then case, where a small letter sorts before
// its capital; hyphens and apostrophes weigh only when all else is equal. The key holds those rounds
// one after the other, each weight in four bytes, most significant first: the letters' weights and
// a zero weight after them (a text that is the start of another sorts first), then the capitals'
// weights, the small letters' marks, the whole length, and the whole text's characters. With letter
// case ignored (lstrcmpiW), every letter stands as its capital.
std::string MemorySystem::SortKey(const std::string& text, bool ignoreCase) {
  const std::u32string whole = CodePointsOf(ignoreCase ? UpperCaseText(text) : text), x = WithoutHyphens(whole);
  std::string key;
  const auto add = [&](std::uint32_t weight) {
    for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>((weight >> shift) & 0xFF);
  };
  for (char32_t ch : x) add(LetterWeight(ch));
  add(0);
  for (char32_t ch : x) add(UpperCaseOf(ch));
  for (char32_t ch : x) add(IsLowerCase(ch) ? 0 : 1);
  add(static_cast<std::uint32_t>(whole.size()));
  for (char32_t ch : whole) add(ch);
  return key;
}

namespace {
// Converts with iconv; false when a character has no form in the target or the input is not
// well formed in the source.
bool Convert(const std::string& to, const std::string& from, const std::string& text, std::string* out) {
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string result(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* outAt = result.data();
  size_t outLeft = result.size();
  const size_t done = iconv(converter, &in, &inLeft, &outAt, &outLeft);
  iconv_close(converter);
  if (done == static_cast<size_t>(-1) || inLeft != 0) return false;
  result.resize(result.size() - outLeft);
  *out = std::move(result);
  return true;
}
}  // namespace

std::string MemorySystem::FromAnsiCodePage(const std::string& ansi) const {
  const std::string codePage = "CP" + std::to_string(ansiCodePage);
  std::string text;
  for (size_t at = 0; at < ansi.size();) {
    // One or two bytes make a character; a byte that starts none is replaced on its own.
    bool read = false;
    for (size_t length = 1; length <= 2 && at + length <= ansi.size() && !read; ++length) {
      std::string piece;
      if (Convert("UTF-8", codePage, ansi.substr(at, length), &piece)) {
        text += piece;
        at += length;
        read = true;
      }
    }
    if (!read) {
      text += "\xef\xbf\xbd";
      ++at;
    }
  }
  return text;
}

bool MemorySystem::FromAnsiCodePage(const std::string& ansi, std::string* text) {
  return Convert("UTF-8", "CP" + std::to_string(ansiCodePage), ansi, text);
}

// Exact as WC_NO_BEST_FIT_CHARS is: a character the table maps one way only (glibc's CP932 takes
// the yen sign to 0x5C, which reads back as a backslash) does not count as carried.
bool MemorySystem::ToAnsiCodePage(const std::string& text, std::string* ansi) {
  const std::string codePage = "CP" + std::to_string(ansiCodePage);
  std::string bytes, back;
  if (!Convert(codePage, "UTF-8", text, &bytes) || !Convert("UTF-8", codePage, bytes, &back) || back != text)
    return false;
  *ansi = std::move(bytes);
  return true;
}

bool MemorySystem::Wow64DisableRedirection(std::uintptr_t* cell) {
  {
    const std::lock_guard<std::mutex> lock(redirectionMutex_);
    redirectionLog.push_back("disable");
  }
  if (!wow64Available) return false;
  *cell = 0x5EED;
  ++redirectionOff_;
  if (redirection) redirection(false);
  return true;
}

void MemorySystem::Wow64RevertRedirection(std::uintptr_t value) {
  {
    const std::lock_guard<std::mutex> lock(redirectionMutex_);
    redirectionLog.push_back("revert " + std::to_string(value));
  }
  if (value == 0x5EED) --redirectionOff_;
  if (redirection && value == 0x5EED) redirection(true);
}

bool MemorySystem::ProductLocalPackage(const std::string& productCode, std::string* path) {
  std::lock_guard<std::mutex> lock(productMutex_);
  productQueries_.push_back("package of " + productCode);
  if (!installerAvailable) return false;
  const auto found = localPackages.find(productCode);
  if (found == localPackages.end()) return false;
  *path = found->second;
  return true;
}

// Asked from the status checks' worker thread as well as from the tests' own.
bool MemorySystem::QueryProductState(const std::string& productCode, int* state) {
  std::lock_guard<std::mutex> lock(productMutex_);
  productQueries_.push_back(productCode);
  if (!installerAvailable) return false;
  *state = kInstallStateUnknown;
  for (const auto& [code, known] : productStates)
    if (UpperCaseText(code) == UpperCaseText(productCode)) *state = known;
  return true;
}

std::vector<std::string> MemorySystem::ProductQueries() const {
  std::lock_guard<std::mutex> lock(productMutex_);
  return productQueries_;
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

ProcessId MemoryProcesses::StartProcess(const std::string& application, const std::string& commandLine,
                                        std::uint16_t show, std::uint32_t* error) {
  auto it = startable.find(commandLine);
  if (it == startable.end()) {
    const auto refused = refusals.find(commandLine);
    if (error) *error = refused == refusals.end() ? kErrorFileNotFound : refused->second;
    return 0;
  }
  started.push_back({commandLine, application, show, it->second, false});
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

std::uint32_t MemoryProcesses::ExitCode(ProcessId process) {
  const auto code = exitCodes.find(started.at(process - 1).commandLine);
  return code == exitCodes.end() ? 0 : code->second;
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

int MemoryUi::AskWithList(const std::string& text, const std::string& caption,
                          const std::vector<std::string>& lines) {
  listLines.push_back(lines);
  return AskMessageBox(text, caption, kMbYesNo);
}

int MemoryUi::AskWithButtons(const std::string& text, const std::string& caption, const std::vector<Button>& buttons,
                             int defaultId) {
  std::vector<std::string> captions;
  for (const Button& button : buttons) captions.push_back((button.id == defaultId ? "*" : "") + button.caption);
  buttonCaptions.push_back(captions);
  shown.push_back({"ask", text, caption, 0});
  if (answers.empty()) return defaultId;
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

int MemoryUi::ChooseFromMenu(const std::vector<std::string>& items, MenuPlace place) {
  menus.push_back(items);
  menuPlaces.push_back(place);
  if (menuChoices.empty()) return -1;
  const int choice = menuChoices.front();
  menuChoices.pop_front();
  return choice;
}

void MemoryUi::CopyText(const std::string& text) { clipboard = text; }

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
  if (redirectionOff && redirectionOff()) ++shellOpensWithRedirectionOff;
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

void MemoryUi::ProcessMessages() {
  ++processMessagesCalls;
  // As the window's own call: the queued messages are dispatched, a quit is left for the main loop.
  while (!pendingMessages.empty() && (quitAfterMessages < 0 || dispatched_ < quitAfterMessages)) {
    auto message = std::move(pendingMessages.front());
    pendingMessages.pop_front();
    ++dispatched_;
    message();
  }
  RunPosted();
}

void MemoryUi::Post(std::function<void()> task) { tasks_.Post(std::move(task)); }

void MemoryUi::PostAfter(std::chrono::milliseconds delay, std::function<void()> task) {
  tasks_.PostAfter(delay, std::move(task));
}

int MemoryUi::RunPosted() {
  int ran = 0;
  // A timer's task only when nothing else waits: the one due first.
  for (std::function<void()> task; (task = tasks_.Take());) {
    task();
    ++ran;
  }
  return ran;
}

void MemoryUi::ExitProgram(int code) { throw ProgramExit{code}; }

void MemoryPlatform::SetWow64() {
  system.wow64 = true;
  system.wow64Available = true;
  registry.SetWow64(true);
  files.SetWow64Folders(system.systemDirectory, system.windowsDirectory + "\\SysWOW64");
  system.redirection = [this](bool on) { files.SetRedirection(on); };
  ui.redirectionOff = [this] { return system.RedirectionOff(); };
}

MemoryPlatform::MemoryPlatform() {
  files.AddDrive('C', kDriveFixed);
  files.AddFolder(system.windowsDirectory);
  files.AddFolder(system.systemDirectory);
  const std::string& exe = system.executablePath;
  files.AddFile(exe);
}

}  // namespace platform
