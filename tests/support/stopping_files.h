#pragma once
// A file system that passes every call on to another one and ends the program at a chosen call,
// before that call happens: what a process killed at that moment leaves behind. Closing calls are
// never the chosen one, so that handles unwind as the system would close them.
#include <stdexcept>
#include <string>

#include "platform/file_system.h"

struct ProgramStopped : std::runtime_error {
  ProgramStopped() : std::runtime_error("program stopped") {}
};

class StoppingFiles : public platform::FileSystem {
 public:
  explicit StoppingFiles(platform::FileSystem& inner) : inner_(inner) {}

  // Calls are counted from 1; 0 never stops.
  void StopAtCall(int call) {
    stopAt_ = call;
    calls_ = 0;
  }
  int Calls() const { return calls_; }

  platform::FindId FindFirst(const std::string& pattern, platform::FindData* data) override {
    Count();
    return inner_.FindFirst(pattern, data);
  }
  bool FindNext(platform::FindId find, platform::FindData* data) override {
    Count();
    return inner_.FindNext(find, data);
  }
  void FindEnd(platform::FindId find) override { inner_.FindEnd(find); }
  std::uint32_t Attributes(const std::string& path) override {
    Count();
    return inner_.Attributes(path);
  }
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    Count();
    return inner_.SetAttributes(path, attributes);
  }
  std::uint32_t SearchDirectory(const std::string& directory, const std::string& file, const char* extension,
                                std::uint32_t bufferLength, std::string* found) override {
    Count();
    return inner_.SearchDirectory(directory, file, extension, bufferLength, found);
  }
  std::uint32_t ExpandEnvironment(const std::string& source, std::uint32_t size, std::string* expanded) override {
    return inner_.ExpandEnvironment(source, size, expanded);
  }
  std::uint32_t DriveType(const std::string& root) override { return inner_.DriveType(root); }
  std::uint32_t ShortPathName(const std::string& path, std::uint32_t bufferLength, std::string* shortPath) override {
    return inner_.ShortPathName(path, bufferLength, shortPath);
  }
  bool MakeDirectory(const std::string& path) override {
    Count();
    return inner_.MakeDirectory(path);
  }
  bool RemoveFile(const std::string& path) override {
    Count();
    return inner_.RemoveFile(path);
  }
  bool RenameFile(const std::string& from, const std::string& to, std::uint32_t* error) override {
    Count();
    return inner_.RenameFile(from, to, error);
  }
  bool RenameFileReplacing(const std::string& from, const std::string& to, std::uint32_t* error) override {
    Count();
    return inner_.RenameFileReplacing(from, to, error);
  }
  platform::FileId OpenFile(const std::string& path, platform::FileOpen mode, std::uint32_t* error) override {
    Count();
    return inner_.OpenFile(path, mode, error);
  }
  bool ReadFile(platform::FileId file, char* buffer, std::uint32_t size, std::uint32_t* read,
                std::uint32_t* error) override {
    Count();
    return inner_.ReadFile(file, buffer, size, read, error);
  }
  bool WriteFile(platform::FileId file, const char* data, std::uint32_t size, std::uint32_t* error) override {
    Count();
    return inner_.WriteFile(file, data, size, error);
  }
  bool FlushFile(platform::FileId file, std::uint32_t* error) override {
    Count();
    return inner_.FlushFile(file, error);
  }
  bool CloseFile(platform::FileId file, std::uint32_t* error) override { return inner_.CloseFile(file, error); }
  std::string ErrorText(std::uint32_t error) override { return inner_.ErrorText(error); }
  std::string ReadProfileString(const std::string& section, const std::string& key, const std::string& fallback,
                                const std::string& file) override {
    return inner_.ReadProfileString(section, key, fallback, file);
  }

 private:
  void Count() {
    if (++calls_ == stopAt_) throw ProgramStopped();
  }

  platform::FileSystem& inner_;
  int stopAt_ = 0;
  int calls_ = 0;
};
