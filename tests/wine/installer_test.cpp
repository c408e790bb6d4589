// Entries of the system installer's products on Wine's real installer: products installed by
// msiexec from packages this test builds with the installer's own database calls, one of them
// then forgotten by the installer; their statuses in the window's scan and in Tidewell.exe's
// report, which is compared field by field with the scan; the report written to a file, a pipe
// and nowhere; bad switches; and /remove and /remove-broken /yes merged back by the registry
// editor, value by value.
#include <windows.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "inventory/product_code.h"
#include "report/entry_report.h"
#include "tests/support/registry_snapshot.h"
#include "tests/wine/console_run.h"
#include "tests/wine/msi_packages.h"
#include "tests/wine/tree_compare.h"
#include "tests/wine/undo_seeds.h"
#include "tests/wine/wine_form.h"
#include "tests/wine/wine_test_support.h"

namespace {

using undo_seeds::kUninstallPath;

const std::string kKnown = "{7A1C2C39-1F4E-4E57-9E10-0B6B3B6D2C11}";
const std::string kForgotten = "{7B1C2C39-1F4E-4E57-9E10-0B6B3B6D2C12}";
const std::string kUnlisted = "{7C1C2C39-1F4E-4E57-9E10-0B6B3B6D2C13}";
const std::string kNeverInstalled = "{7D1C2C39-1F4E-4E57-9E10-0B6B3B6D2C14}";
const std::string kPackageGone = "{7F1C2C39-1F4E-4E57-9E10-0B6B3B6D2C15}";
const std::string kUserData = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";

std::wstring W(const std::string& text) { return platform::Widen(text); }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

class InstallerUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = TestFolder() + "installer_program\\";
    RemoveTree(program_.substr(0, program_.size() - 1));
    CreateDirectoryW(W(program_).c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(W(TestFolder() + "..\\bin\\Tidewell.exe").c_str(), W(program_ + "Tidewell.exe").c_str(), FALSE));
  }
  void TearDown() override {
    for (const std::string& code : {kKnown, kForgotten, kUnlisted, kPackageGone}) {
      RunProgram("msiexec.exe /x " + code + " /qn", Output::kNone);
      const std::string packed = PackedProductCode(code);
      undo_seeds::DeleteTree(HKEY_CLASSES_ROOT, "Installer\\Products\\" + packed);
      undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUserData + packed, KEY_WOW64_64KEY);
      undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + code);
    }
    for (const std::string& key : seeded_) undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + key);
    for (const std::string& key : seededUser_) undo_seeds::DeleteTree(HKEY_CURRENT_USER, kUninstallPath + key);
    RemoveTree(program_.substr(0, program_.size() - 1));
    RemoveTree(TestFolder() + "inno");
  }

  // Builds the product's package and installs it with msiexec, quietly.
  void Install(const std::string& code, const std::string& name) {
    const std::string package = TestFolder() + "installer_test.msi";
    ASSERT_TRUE(MakePackage(package, {code, name}));
    const Finished installed = RunProgram("msiexec.exe /i \"" + package + "\" /qn", Output::kNone);
    DeleteFileW(W(package).c_str());
    ASSERT_EQ(0u, installed.exitCode) << "msiexec /i " << name;
  }
  void Entry(const std::string& key, const std::string& name, const std::string& command, bool user = false) {
    HKEY root = user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY entry = undo_seeds::Create(root, kUninstallPath + key);
    ASSERT_TRUE(entry);
    undo_seeds::Set(entry, "DisplayName", REG_SZ, undo_seeds::Text(name));
    undo_seeds::Set(entry, "UninstallString", REG_SZ, undo_seeds::Text(command));
    RegCloseKey(entry);
    (user ? seededUser_ : seeded_).push_back(key);
  }
  Finished Tidewell(const std::string& arguments, Output output = Output::kPipe) {
    return RunProgram("\"" + program_ + "Tidewell.exe\" " + arguments, output);
  }
  // The entries of the window's scan by their command-line names.
  std::map<std::string, ::Entry> Scanned() {
    wine_.form.FormCreate();
    std::map<std::string, ::Entry> entries;
    for (const ::Entry& entry : wine_.form.Entries) entries[EntryName(entry)] = entry;
    return entries;
  }

  std::string program_;
  std::vector<std::string> seeded_, seededUser_;
  WineForm wine_;
};

TEST_F(InstallerUnderWine, KnownAndForgottenProductsInTheWindowAndInTheReport) {
  Install(kKnown, "Tidewell Known Product");
  Install(kForgotten, "Tidewell Forgotten Product");
  Install(kUnlisted, "Tidewell Unlisted Product");
  Install(kPackageGone, "Tidewell Product Without Its Package");
  // The copy of the package that the installer keeps, deleted as people delete them to free space.
  wchar_t cached[MAX_PATH] = L"";
  DWORD cachedSize = MAX_PATH;
  ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
            MsiGetProductInfoW(W(kPackageGone).c_str(), L"LocalPackage", cached, &cachedSize));
  ASSERT_TRUE(DeleteFileW(cached)) << platform::Narrow(cached);
  // Inno Setup's uninstallers, one with its data file and one without.
  const std::string inno = TestFolder() + "inno\\";
  CreateDirectoryW(W(inno).c_str(), nullptr);
  for (const char* file : {"unins000.exe", "unins000.dat", "unins001.exe"}) {
    HANDLE made = CreateFileW(W(inno + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, made) << file;
    CloseHandle(made);
  }
  Entry("TidewellInnoWithData", "Tidewell Inno With Data", "\"" + inno + "unins000.exe\" /SILENT");
  Entry("TidewellInnoWithoutData", "Tidewell Inno Without Data", "\"" + inno + "unins001.exe\" /SILENT");
  ASSERT_EQ(INSTALLSTATE_DEFAULT, ProductState(kForgotten));
  // The installer forgets a product whose registration is deleted; its uninstall entry stays.
  undo_seeds::DeleteTree(HKEY_CLASSES_ROOT, "Installer\\Products\\" + PackedProductCode(kForgotten));
  // The installer keeps UserData in the registry's 64-bit view on 64-bit Windows.
  undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUserData + PackedProductCode(kForgotten), KEY_WOW64_64KEY);
  undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, kUninstallPath + kUnlisted);
  std::printf("MsiQueryProductStateW: installed %d, registration deleted %d, never installed %d\n",
              ProductState(kKnown), ProductState(kForgotten), ProductState(kNeverInstalled));
  ASSERT_EQ(INSTALLSTATE_DEFAULT, ProductState(kKnown));
  ASSERT_EQ(INSTALLSTATE_UNKNOWN, ProductState(kForgotten));
  ASSERT_EQ(INSTALLSTATE_UNKNOWN, ProductState(kNeverInstalled));
  Entry("TidewellNeverInstalled", "Tidewell \"Never\" Installed", "MsiExec.exe /X" + kNeverInstalled);
  Entry("TidewellMalformed", "Tidewell Malformed", "MsiExec.exe /X{7E1C2C39-1F4E-4E57-9E10}");
  Entry("TidewellUserForgotten", "Tidewell User \xc3\x89" "diteur", "msiexec /x " + kNeverInstalled, true);

  std::map<std::string, ::Entry> scanned = Scanned();
  const std::string forgotten = "the system installer does not know product ";
  const struct {
    std::string name;
    int status;
    std::string reason;
  } expected[] = {
      {"32-bit\\" + kKnown, kGoodLink, "the system installer knows product " + kKnown},
      {"32-bit\\" + kPackageGone, kBrokenLink,
       "the installer's cached package " + platform::Narrow(cached) + " is gone: its uninstall will fail"},
      {"32-bit\\TidewellInnoWithData", kGoodLink, "Found " + inno + "unins000.exe"},
      {"32-bit\\TidewellInnoWithoutData", kBrokenLink, "its data file unins001.dat is gone"},
      {"32-bit\\" + kForgotten, kBrokenLink, forgotten + kForgotten},
      {"32-bit\\TidewellNeverInstalled", kBrokenLink, forgotten + kNeverInstalled},
      {"32-bit\\TidewellMalformed", kGoodLink, ""},
      {"user\\TidewellUserForgotten", kBrokenLink, forgotten + kNeverInstalled},
  };
  for (const auto& e : expected) {
    ASSERT_TRUE(scanned.count(e.name)) << e.name;
    EXPECT_EQ(e.status, scanned[e.name].status) << e.name;
    if (!e.reason.empty()) {
      EXPECT_EQ(e.reason, scanned[e.name].reason) << e.name;
    }
  }
  // The Installer List: the forgotten product is gone from it; the one without an entry is marked.
  const std::vector<std::string> lines = wine_.form.installer.products.Items();
  const auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  EXPECT_TRUE(has("Tidewell Known Product - {" + PackedProductCode(kKnown)));
  EXPECT_TRUE(has("Tidewell Unlisted Product [no entry] - {" + PackedProductCode(kUnlisted)));
  for (const std::string& line : lines) EXPECT_EQ(std::string::npos, line.find(PackedProductCode(kForgotten))) << line;

  // The report, to a file as JSON and to a pipe as tab-separated lines, says what the scan says.
  const Finished json = Tidewell("/list /json", Output::kFile);
  ASSERT_EQ(0u, json.exitCode) << json.error;
  EXPECT_EQ("", json.error);
  const nlohmann::json array = nlohmann::json::parse(json.out);
  const Finished tsv = Tidewell("/list", Output::kPipe);
  ASSERT_EQ(0u, tsv.exitCode) << tsv.error;
  std::vector<std::string> rows = Split(tsv.out, '\n');
  ASSERT_EQ("", rows.back());
  rows.pop_back();
  ASSERT_EQ(scanned.size() + 1, rows.size()) << tsv.out;
  ASSERT_EQ(scanned.size(), array.size()) << json.out;
  EXPECT_EQ("source\tkey\tdisplay name\tstatus\treason\tcommand", rows[0]);
  for (size_t i = 0; i < array.size(); ++i) {
    const nlohmann::json& object = array[i];
    const std::string name = object["source"].get<std::string>() + "\\" + object["key"].get<std::string>();
    ASSERT_TRUE(scanned.count(name)) << name;
    const ::Entry& entry = scanned[name];
    EXPECT_EQ(entry.displayName, object["displayName"].get<std::string>()) << name;
    EXPECT_EQ(StatusName(entry.status), object["status"].is_null() ? "" : object["status"].get<std::string>()) << name;
    if (entry.Listed()) {
      EXPECT_EQ(entry.reason, object["reason"].get<std::string>()) << name;
    }
    EXPECT_EQ(entry.uninstallString, object["command"].get<std::string>()) << name;
    const std::vector<std::string> fields = Split(rows[i + 1], '\t');
    ASSERT_EQ(6u, fields.size()) << rows[i + 1];
    EXPECT_EQ((std::vector<std::string>{SourceName(entry.source), OneLine(entry.keyName), OneLine(entry.displayName),
                                        StatusName(entry.status), OneLine(object["reason"].get<std::string>()),
                                        OneLine(entry.uninstallString)}),
              fields);
  }
  // The installer's own uninstall fails without the cached package, as the status says it will.
  const Finished uninstall = RunProgram("msiexec.exe /x " + kPackageGone + " /qn", Output::kNone);
  std::printf("msiexec /x of a product whose cached package is gone: exit code %lu, state after %d\n",
              static_cast<unsigned long>(uninstall.exitCode), ProductState(kPackageGone));
  // Error 1612: the installation source for this product is not available; the product stays.
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_SOURCE_ABSENT), uninstall.exitCode);
  EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(kPackageGone));
}

TEST_F(InstallerUnderWine, SwitchesExitCodesAndStreams) {
  const struct {
    const char* arguments;
    DWORD exitCode;
    bool outEmpty;
    bool errorOneLine;
  } cases[] = {
      {"/bogus", 2, true, true},
      {"/json", 2, true, true},
      {"/remove", 2, true, true},
      {"/list /remove x", 2, true, true},
      {"/remove-broken /json", 2, true, true},
      {"/?", 0, false, false},
      {"/list", 0, false, false},
  };
  for (const auto& c : cases) {
    for (const Output output : {Output::kFile, Output::kPipe}) {
      const Finished finished = Tidewell(c.arguments, output);
      EXPECT_EQ(c.exitCode, finished.exitCode) << c.arguments;
      EXPECT_EQ(c.outEmpty, finished.out.empty()) << c.arguments << ": " << finished.out;
      if (c.errorOneLine) {
        EXPECT_EQ(0u, finished.error.rfind("Tidewell: ", 0)) << c.arguments << ": " << finished.error;
        EXPECT_EQ(finished.error.size() - 1, finished.error.find('\n')) << c.arguments << ": " << finished.error;
      } else {
        EXPECT_EQ("", finished.error) << c.arguments;
      }
    }
    // Without any standard handle or console the program still answers by its exit code.
    EXPECT_EQ(c.exitCode, Tidewell(c.arguments, Output::kNone).exitCode) << c.arguments;
  }
  EXPECT_EQ(0u, Tidewell("/?").out.rfind("Tidewell: the list of installed programs", 0));
}

TEST_F(InstallerUnderWine, RemovalsFromTheCommandLineMergeBackWhole) {
  const std::vector<std::string> keys = {"TidewellCliAlpha", "TidewellCliGone", "TidewellCliForgotten"};
  ASSERT_TRUE(undo_seeds::SeedEveryType(HKEY_LOCAL_MACHINE, kUninstallPath + keys[0], "Tidewell CLI \"Alpha\""));
  ASSERT_TRUE(undo_seeds::SeedEveryType(HKEY_LOCAL_MACHINE, kUninstallPath + keys[1], "Tidewell CLI Gone"));
  HKEY gone = undo_seeds::Create(HKEY_LOCAL_MACHINE, kUninstallPath + keys[1]);
  undo_seeds::Set(gone, "UninstallString", REG_SZ, undo_seeds::Text("C:\\Tidewell CLI\\gone\\unins000.exe"));
  RegCloseKey(gone);
  ASSERT_TRUE(undo_seeds::SeedEveryType(HKEY_LOCAL_MACHINE, kUninstallPath + keys[2], "Tidewell CLI Forgotten"));
  HKEY forgotten = undo_seeds::Create(HKEY_LOCAL_MACHINE, kUninstallPath + keys[2]);
  undo_seeds::Set(forgotten, "UninstallString", REG_SZ, undo_seeds::Text("MsiExec.exe /X" + kNeverInstalled));
  RegCloseKey(forgotten);
  seeded_ = keys;
  Entry("TidewellCliGood", "Tidewell CLI Good", "\"" + TestFolder() + "installer_test.exe\" /uninstall");
  const auto snapshot = [&] {
    regfile::Tree all;
    for (const std::string& key : seeded_) {
      const regfile::Tree one = regfile::Snapshot(wine_.real.registry, platform::kHkeyLocalMachine, kUninstallPath + key);
      all.insert(one.begin(), one.end());
    }
    return all;
  };
  const regfile::Tree before = snapshot();

  const Finished removed = Tidewell("/remove 32-bit\\TidewellCliAlpha tidewellclinothing");
  EXPECT_EQ(1u, removed.exitCode) << removed.out << removed.error;
  EXPECT_EQ("removed 32-bit\\TidewellCliAlpha\nnot removed tidewellclinothing: no such entry\n", removed.out);

  const Finished listed = Tidewell("/remove-broken");
  EXPECT_EQ(0u, listed.exitCode);
  EXPECT_NE(std::string::npos, listed.out.find("would remove 32-bit\\TidewellCliGone: ")) << listed.out;
  EXPECT_NE(std::string::npos, listed.out.find("would remove 32-bit\\TidewellCliForgotten: the system installer does "
                                               "not know product " + kNeverInstalled)) << listed.out;
  EXPECT_EQ(std::string::npos, listed.out.find("TidewellCliGood")) << listed.out;
  const Finished broken = Tidewell("/remove-broken /yes");
  EXPECT_EQ(0u, broken.exitCode) << broken.out;
  EXPECT_NE(std::string::npos, broken.out.find("removed 32-bit\\TidewellCliGone\n")) << broken.out;
  EXPECT_NE(std::string::npos, broken.out.find("removed 32-bit\\TidewellCliForgotten\n")) << broken.out;
  for (const std::string& key : keys)
    EXPECT_TRUE(regfile::Snapshot(wine_.real.registry, platform::kHkeyLocalMachine, kUninstallPath + key).empty()) << key;
  EXPECT_FALSE(regfile::Snapshot(wine_.real.registry, platform::kHkeyLocalMachine, kUninstallPath + "TidewellCliGood")
                   .empty());

  // Every file of the program's Backup folder merged: the removed entries come back as they were.
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(W(program_ + "Backup\\*.reg").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, find) << "an undo file was written";
  do {
    ASSERT_TRUE(undo_seeds::MergeWithRegedit(program_ + "Backup\\" + platform::Narrow(found.cFileName)));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  std::printf("Removed from the command line and merged back by regedit:\n");
  EXPECT_EQ(0, CompareTrees(before, snapshot(), true));
}

}  // namespace
