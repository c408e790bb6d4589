// The scan under Wine with and without the status checks, side by side in one run:
//   scan_bench [entries] [rounds]
// Seeds the entries under a scratch name prefix in the real registry (a third of them with an
// uninstaller that exists, a third with an installer product code, a third whose file is gone),
// times FillListBox both ways in alternating rounds, prints the medians and their ratio, and
// removes what it seeded.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/form1.h"
#include "tests/wine/wine_form.h"

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kFolder = "C:\\TidewellScanBench\\";

std::string EntryName(int i) { return "TidewellScanBench " + std::to_string(i); }

void SetText(HKEY key, const char* name, const std::string& text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), text.size() + 1);
}

void Seed(int entries) {
  CreateDirectoryA(kFolder.c_str(), nullptr);
  for (int i = 0; i < entries; ++i) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kUninstall + EntryName(i)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    SetText(key, "DisplayName", "Scan Bench Program " + std::to_string(i));
    std::string command;
    switch (i % 3) {
      case 0: {
        const std::string program = kFolder + "unins" + std::to_string(i) + ".exe";
        HANDLE file = CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        command = "\"" + program + "\" /SILENT";
        break;
      }
      case 1: command = "MsiExec.exe /X{6F1D2B4A-0000-4C4B-9E0A-" + std::to_string(100000000000 + i) + "}"; break;
      default: command = "C:\\Program Files\\Gone Vendor\\App " + std::to_string(i) + "\\uninstall.exe /S"; break;
    }
    SetText(key, "UninstallString", command);
    RegCloseKey(key);
  }
}

void Unseed(int entries) {
  for (int i = 0; i < entries; ++i) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kUninstall + EntryName(i)).c_str());
    if (i % 3 == 0) DeleteFileA((kFolder + "unins" + std::to_string(i) + ".exe").c_str());
  }
  RemoveDirectoryA(kFolder.c_str());
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
  WineForm wine;
  TForm1& form = wine.form;
  Seed(entries);
  form.FormCreate();
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> with, without;
  for (int round = 0; round < rounds; ++round) {
    for (bool check : {true, false}) {
      form.CheckEntryStatus = check;
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      form.FillListBox();
      QueryPerformanceCounter(&end);
      (check ? with : without).push_back(1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart);
    }
  }
  const int listed = form.ListView1.Count();
  Unseed(entries);
  std::printf("scan of %d seeded entries (%d rows listed), median of %d rounds:\n", entries, listed, rounds);
  std::printf("  with status checks    %8.1f ms\n", Median(with));
  std::printf("  without status checks %8.1f ms\n", Median(without));
  std::printf("  ratio                 %8.2f\n", Median(with) / Median(without));
  return 0;
}
