// The whole registration of an installer product removed from the command line, on Wine's real
// installer: two products installed by msiexec from packages with real files, sharing a component;
// the first broken as people break them (its cached package and its source deleted), so that its
// own uninstall fails; /remove-product takes its registration and nothing of the other's; the
// other still uninstalls, the shared file staying until then; a next version of the broken product
// installs and uninstalls; and the undo file merged back gives the registration back value by value.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "inventory/product_code.h"
#include "report/command_line.h"
#include "tests/support/registry_snapshot.h"
#include "tests/wine/console_run.h"
#include "tests/wine/msi_packages.h"
#include "tests/wine/tree_compare.h"
#include "tests/wine/undo_seeds.h"
#include "tests/wine/wine_test_support.h"

namespace {

using undo_seeds::kUninstallPath;

const std::string kUpgradeCode = "{5C0E1D3B-7C2F-4B8A-9D61-2E4F6A8B0C14}";
const std::string kSharedComponent = "{5D0E1D3B-7C2F-4B8A-9D61-2E4F6A8B0C15}";
const std::string kFolder = "TidewellRegistration";

const std::string kInstaller = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\";
const std::string kClasses = "SOFTWARE\\Classes\\Installer\\";
const std::string kMachineData = kInstaller + "UserData\\S-1-5-18\\";

PackageFile Shared(size_t size) { return {"Shared", kSharedComponent, "shared.txt", size}; }

// The broken product, the other one that shares a component with it, and the broken one's next
// version: its files each of another size than the first version's, since Wine leaves a file of
// the same size in place and then finds nothing to install.
const Package kBroken{"{5A0E1D3B-7C2F-4B8A-9D61-2E4F6A8B0C11}", "Tidewell Registration Broken", "1.0.0", kUpgradeCode,
                      {Shared(100), {"Own", "{5E0E1D3B-7C2F-4B8A-9D61-2E4F6A8B0C16}", "broken.txt", 200}}, kFolder};
const Package kOther{"{5B0E1D3B-7C2F-4B8A-9D61-2E4F6A8B0C13}", "Tidewell Registration Other", "1.0.0", "",
                     {Shared(100), {"Own", "{5F0E1D3B-7C2F-4B8A-9D61-2E4F6A8B0C17}", "other.txt", 150}}, kFolder};
const Package kNext{"{5A0E1D3B-7C2F-4B8A-9D61-2E4F6A8B0C12}", "Tidewell Registration Broken", "2.0.0", kUpgradeCode,
                    {Shared(300), {"Own", "{5E0E1D3B-7C2F-4B8A-9D61-2E4F6A8B0C16}", "broken.txt", 400}}, kFolder};

std::string Packed(const std::string& code) { return PackedProductCode(code); }

// A key of a product's registration, or one value (named by the packed product code) of a key that
// other products share; in the registry's view where the installer writes it.
struct Part {
  std::string path;
  std::string value;
  REGSAM view;
};

// Where the installer keeps a product installed for the machine: its own lists in the 64-bit view
// on 64-bit Windows, the uninstall entry of a 32-bit package in the 32-bit view.
std::vector<Part> PartsOf(const Package& package) {
  const std::string packed = Packed(package.productCode);
  std::vector<Part> parts = {
      {kClasses + "Products\\" + packed, "", KEY_WOW64_64KEY},
      {kClasses + "Features\\" + packed, "", KEY_WOW64_64KEY},
      {kMachineData + "Products\\" + packed, "", KEY_WOW64_64KEY},
      {kUninstallPath + package.productCode, "", KEY_WOW64_32KEY},
  };
  if (!package.upgradeCode.empty()) {
    parts.push_back({kClasses + "UpgradeCodes\\" + Packed(package.upgradeCode), packed, KEY_WOW64_64KEY});
    parts.push_back({kInstaller + "UpgradeCodes\\" + Packed(package.upgradeCode), packed, KEY_WOW64_64KEY});
  }
  for (const PackageFile& file : package.files)
    parts.push_back({kMachineData + "Components\\" + Packed(file.componentId), packed, KEY_WOW64_64KEY});
  return parts;
}

std::string ViewName(REGSAM view) { return view == KEY_WOW64_64KEY ? "64-bit|" : "32-bit|"; }

// One part as the registry holds it now, its keys named with their view; empty when it is gone.
regfile::Tree Snapshot(platform::RegistryApi& registry, const Part& part) {
  regfile::Tree tree;
  const regfile::Tree whole = regfile::Snapshot(registry, platform::kHkeyLocalMachine, part.path, part.view);
  for (const auto& [key, values] : whole) {
    if (part.value.empty()) {
      tree[ViewName(part.view) + key] = values;
    } else if (key == regfile::Upper(part.path) && values.count(regfile::Upper(part.value))) {
      tree[ViewName(part.view) + key][regfile::Upper(part.value)] = values.at(regfile::Upper(part.value));
    }
  }
  return tree;
}

// The product's whole registration as the registry holds it now.
regfile::Tree Registration(platform::RegistryApi& registry, const Package& package) {
  regfile::Tree tree;
  for (const Part& part : PartsOf(package)) {
    const regfile::Tree one = Snapshot(registry, part);
    tree.insert(one.begin(), one.end());
  }
  return tree;
}

// Deletes what is left of a product's registration, for a run that stopped half-way.
void Forget(const Package& package) {
  for (const Part& part : PartsOf(package)) {
    if (part.value.empty()) {
      undo_seeds::DeleteTree(HKEY_LOCAL_MACHINE, part.path, part.view);
      continue;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, platform::Widen(part.path).c_str(), 0, KEY_ALL_ACCESS | part.view, &key) !=
        ERROR_SUCCESS)
      continue;
    RegDeleteValueW(key, platform::Widen(part.value).c_str());
    RegCloseKey(key);
  }
}

bool Exists(const std::string& path) { return GetFileAttributesW(platform::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Expanded(const char* text) {
  char out[MAX_PATH] = {};
  ExpandEnvironmentStringsA(text, out, MAX_PATH);
  return out;
}

bool Wow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The products that name the component as one of its clients.
std::vector<std::string> Clients(const std::string& component) {
  std::vector<std::string> clients;
  wchar_t product[39];
  for (DWORD i = 0; MsiEnumClientsW(platform::Widen(component).c_str(), i, product) == ERROR_SUCCESS; ++i)
    clients.push_back(platform::Narrow(product));
  return clients;
}

std::vector<std::string> Related(const std::string& upgradeCode) {
  std::vector<std::string> related;
  wchar_t product[39];
  for (DWORD i = 0; MsiEnumRelatedProductsW(platform::Widen(upgradeCode).c_str(), 0, i, product) == ERROR_SUCCESS; ++i)
    related.push_back(platform::Narrow(product));
  return related;
}

bool Lists(const std::vector<std::string>& codes, const std::string& code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

class ProductRegistrationUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    top_ = TestFolder() + "product_registration\\";
    program_ = top_ + "program";
    installed_ = Expanded("%ProgramFiles%") + "\\" + kFolder + "\\";
    CleanUp();
    CreateDirectoryW(platform::Widen(top_).c_str(), nullptr);
    CreateDirectoryW(platform::Widen(program_).c_str(), nullptr);
    for (const char* program : {"Tidewell.com", "Tidewell.exe"})
      ASSERT_TRUE(CopyFileW(platform::Widen(TestFolder() + "..\\bin\\" + program).c_str(),
                            platform::Widen(program_ + "\\" + program).c_str(), FALSE));
  }
  void TearDown() override { CleanUp(); }

  void CleanUp() {
    for (const Package* package : {&kNext, &kOther, &kBroken}) {
      RunProgram("msiexec.exe /x " + package->productCode + " /qn", Output::kNone);
      Forget(*package);
    }
    RemoveTree(top_.substr(0, top_.size() - 1));
    RemoveTree(installed_.substr(0, installed_.size() - 1));
  }

  // The package's folder: the package and, beside it, the source of its files.
  std::string SourceOf(const Package& package) { return top_ + package.productCode.substr(1, 8) + package.version; }

  DWORD Install(const Package& package) {
    const std::string folder = SourceOf(package);
    CreateDirectoryW(platform::Widen(folder).c_str(), nullptr);
    const std::string path = folder + "\\product.msi";
    if (!MakePackage(path, package)) {
      ADD_FAILURE() << "cannot make the package of " << package.name;
      return 0xFFFFFFFF;
    }
    return RunProgram("msiexec.exe /i \"" + path + "\" /qn", Output::kNone).exitCode;
  }
  DWORD Uninstall(const Package& package) {
    return RunProgram("msiexec.exe /x " + package.productCode + " /qn", Output::kNone).exitCode;
  }
  // The copy of Tidewell.exe, which answers the same commands without a window, its streams piped.
  Finished Tidewell(const std::string& arguments) {
    return RunProgram("\"" + program_ + "\\Tidewell.exe\" " + arguments, Output::kPipe);
  }
  size_t FileSize(const std::string& name) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(platform::Widen(installed_ + name).c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
  }

  std::string top_, program_, installed_;
  WinePlatform wine_;
};

// The steps in this order: the registration removed, merged back from the undo file and removed
// again (by Tidewell.exe this time) before the other product uninstalls and the next version
// installs. Merged back any later, it would name the broken product again as a client of the
// shared component that the other one's uninstall has removed, and as an older version that the
// next version's install would try (and fail) to remove.
TEST_F(ProductRegistrationUnderWine, ABrokenProductsRegistrationGoesWholeAndComesBackWhole) {
  platform::RegistryApi& registry = wine_.real.registry;
  ASSERT_EQ(0u, Install(kBroken));
  ASSERT_EQ(0u, Install(kOther));
  ASSERT_EQ(INSTALLSTATE_DEFAULT, ProductState(kBroken.productCode));
  ASSERT_EQ(INSTALLSTATE_DEFAULT, ProductState(kOther.productCode));
  for (const Package* package : {&kBroken, &kOther}) {
    for (const Part& part : PartsOf(*package)) {
      ASSERT_FALSE(Snapshot(registry, part).empty())
          << package->name << ": the installer wrote " << ViewName(part.view) << part.path << " " << part.value;
    }
  }
  for (const char* file : {"shared.txt", "broken.txt", "other.txt"}) ASSERT_TRUE(Exists(installed_ + file)) << file;
  ASSERT_TRUE(Lists(Related(kUpgradeCode), kBroken.productCode));

  // Broken as people break it: the installer's cached copy of its package and its source deleted.
  wchar_t cached[MAX_PATH] = L"";
  DWORD cachedSize = MAX_PATH;
  ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
            MsiGetProductInfoW(platform::Widen(kBroken.productCode).c_str(), L"LocalPackage", cached, &cachedSize));
  ASSERT_TRUE(DeleteFileW(cached)) << platform::Narrow(cached);
  RemoveTree(SourceOf(kBroken));
  const regfile::Tree broken = Registration(registry, kBroken), other = Registration(registry, kOther);
  const DWORD refused = Uninstall(kBroken);
  std::printf("%s prefix: msiexec /x of the product without its package and source: exit code %lu\n",
              Wow64() ? "64-bit" : "32-bit", static_cast<unsigned long>(refused));
  // Error 1612: the installation source for this product is not available; nothing changed.
  ASSERT_EQ(static_cast<DWORD>(ERROR_INSTALL_SOURCE_ABSENT), refused);
  ASSERT_EQ(0, CompareTrees(broken, Registration(registry, kBroken), false));

  const auto removed = [&](const Finished& run) {
    EXPECT_EQ(static_cast<DWORD>(kExitSuccess), run.exitCode) << run.out << run.error;
    EXPECT_EQ(0u, run.out.rfind("removed ", 0)) << run.out;
    EXPECT_NE(std::string::npos, run.out.find(kBroken.productCode)) << run.out;
    EXPECT_EQ(run.out.size() - 1, run.out.find('\n')) << "one line: " << run.out;
    EXPECT_EQ("", run.error);
    EXPECT_EQ(INSTALLSTATE_UNKNOWN, ProductState(kBroken.productCode));
    EXPECT_FALSE(Lists(Related(kUpgradeCode), kBroken.productCode));
    EXPECT_FALSE(Lists(Clients(kSharedComponent), kBroken.productCode));
    EXPECT_TRUE(Lists(Clients(kSharedComponent), kOther.productCode));
    for (const Part& part : PartsOf(kBroken)) {
      EXPECT_TRUE(Snapshot(registry, part).empty())
          << "left: " << ViewName(part.view) << part.path << " " << part.value << "\n"
          << regfile::Describe(Snapshot(registry, part));
    }
    EXPECT_EQ(0, CompareTrees(other, Registration(registry, kOther), false)) << "the other product's is untouched";
    EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(kOther.productCode));
    // The registration goes, not the files: the shared one is still the other product's.
    EXPECT_TRUE(Exists(installed_ + "shared.txt"));
  };
  removed(RunConsoleProgramIn(program_, "/remove-product " + kBroken.productCode));
  ASSERT_FALSE(HasFailure());
  const Finished again = RunConsoleProgramIn(program_, "/remove-product " + kBroken.productCode);
  EXPECT_EQ(static_cast<DWORD>(kExitFailure), again.exitCode) << again.out << again.error;
  EXPECT_NE(std::string::npos, again.out.find("not an installed product")) << again.out;

  // The undo file merged back by the registry editor that reaches every view: the registration as
  // it was, value by value, and the installer knows the product again, and again cannot uninstall it.
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW(platform::Widen(program_ + "\\Backup\\*.reg").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, find) << "an undo file was written";
  do {
    ASSERT_TRUE(undo_seeds::MergeWithEditor(Expanded("%SystemRoot%") + "\\regedit.exe", Wow64(),
                                            program_ + "\\Backup\\" + platform::Narrow(found.cFileName)));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  EXPECT_EQ(0, CompareTrees(broken, Registration(registry, kBroken), false)) << "merged back whole";
  EXPECT_EQ(0, CompareTrees(other, Registration(registry, kOther), false));
  EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(kBroken.productCode));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_SOURCE_ABSENT), Uninstall(kBroken));
  removed(Tidewell("/remove-product " + kBroken.productCode));
  ASSERT_FALSE(HasFailure());

  // The other product uninstalls as before; the shared file goes with its last client.
  EXPECT_EQ(0u, Uninstall(kOther));
  EXPECT_EQ(INSTALLSTATE_UNKNOWN, ProductState(kOther.productCode));
  EXPECT_TRUE(Registration(registry, kOther).empty()) << regfile::Describe(Registration(registry, kOther));
  EXPECT_FALSE(Exists(installed_ + "shared.txt"));
  EXPECT_FALSE(Exists(installed_ + "other.txt"));

  // The same version installs again (with its uninstall entry left, Wine's install would end with 0
  // and install nothing) and uninstalls.
  ASSERT_EQ(0u, Install(kBroken));
  EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(kBroken.productCode));
  EXPECT_EQ(0u, Uninstall(kBroken));
  EXPECT_EQ(INSTALLSTATE_UNKNOWN, ProductState(kBroken.productCode));
  EXPECT_FALSE(Exists(installed_ + "broken.txt"));
  // The next version installs, finding no older one to remove, and uninstalls.
  ASSERT_EQ(0u, Install(kNext));
  EXPECT_EQ(INSTALLSTATE_DEFAULT, ProductState(kNext.productCode));
  EXPECT_EQ(INSTALLSTATE_UNKNOWN, ProductState(kBroken.productCode));
  EXPECT_EQ(std::vector<std::string>{kNext.productCode}, Related(kUpgradeCode));
  EXPECT_EQ(kNext.files[0].size, FileSize("shared.txt"));
  EXPECT_EQ(kNext.files[1].size, FileSize("broken.txt"));
  EXPECT_EQ(0u, Uninstall(kNext));
  EXPECT_EQ(INSTALLSTATE_UNKNOWN, ProductState(kNext.productCode));
  EXPECT_TRUE(Registration(registry, kNext).empty()) << regfile::Describe(Registration(registry, kNext));
  EXPECT_FALSE(Exists(installed_ + "shared.txt"));
  EXPECT_FALSE(Exists(installed_ + "broken.txt"));
}

}  // namespace
