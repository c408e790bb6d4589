#pragma once
// What the shell's small answers mean: ShellExecuteW answers 32 or less when it started nothing.
#include <string>

// The words of the shell's documentation for the answer; empty for an answer that has none.
std::string ShellErrorText(int answer);
// The answer in a few words for the middle of a sentence ("the file was not found"), or "the shell
// answered" and the number.
std::string ShellErrorWords(int answer);
