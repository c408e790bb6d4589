#pragma once
// A Ui for Windows tests: records what the program shows and answers its questions from a queue,
// while the message queue, the shell and the process exit stay those of the real Ui.
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/win32/win32_ui.h"

class RecordingUi : public platform::Win32Ui {
 public:
  struct Shown {
    std::string kind;
    std::string text;
    std::string caption;
    std::uint32_t style;
  };
  std::vector<Shown> shown;
  std::deque<int> answers;

  std::vector<std::string> Texts(const std::string& kind) const {
    std::vector<std::string> texts;
    for (const Shown& s : shown)
      if (s.kind == kind) texts.push_back(s.text);
    return texts;
  }

  int AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t style) override {
    shown.push_back({"ask", text, caption, style});
    if (answers.empty()) return IDNO;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  // Asked as AskMessageBox is; the lines under the question are kept.
  std::vector<std::vector<std::string>> listLines;
  int AskWithList(const std::string& text, const std::string& caption, const std::vector<std::string>& lines) override {
    listLines.push_back(lines);
    return AskMessageBox(text, caption, MB_YESNO);
  }
  void ShowMessage(const std::string& text) override { shown.push_back({"message", text, "", 0}); }
  void ShowError(const std::string& text) override { shown.push_back({"error", text, "", MB_ICONERROR}); }
  void SoundBeep(std::uint32_t type) override { shown.push_back({"beep", std::to_string(type), "", type}); }
  std::vector<int> shellAnswers;  // what the real shell answered, call by call
  int ShellOpen(const std::string& file, const std::string& parameters, int show) override {
    shown.push_back({"shell", file, parameters, static_cast<std::uint32_t>(show)});
    shellAnswers.push_back(Win32Ui::ShellOpen(file, parameters, show));
    return shellAnswers.back();
  }
};
