#pragma once
// How an uninstall command line is handed to the process starter.
#include <functional>
#include <string>

// For a line that does not begin with a double quote: the shortest prefix that ends in ".exe"
// (letter case ignored), is followed by a blank or the end, and names an existing file; when that
// prefix holds a blank it is put in double quotes, the rest of the line following unchanged.
// Every other line comes back unchanged. This keeps a file planted at, say, C:\Program.exe from
// running instead of C:\Program Files\App\uninst.exe.
std::string QuoteProgramPath(const std::string& commandLine,
                             const std::function<bool(const std::string&)>& isFile);
// The program that the command line starts: the text in the double quotes that begin the line as
// QuoteProgramPath gives it, or else its first word.
std::string ProgramOf(const std::string& commandLine, const std::function<bool(const std::string&)>& isFile);
