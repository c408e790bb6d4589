#include "backup/product_registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "restore/undo_reader.h"
#include "restore/undo_restore.h"
#include "tests/support/installer_seeds.h"
#include "tests/support/registry_snapshot.h"

namespace {

using namespace platform;
using installer_seeds::SeededProduct;
using installer_seeds::SeedRegistration;

constexpr const char* kFolder = "C:\\Tools\\Tidewell\\Backup";
constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kUninstall32 = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kOtherUser = "S-1-5-21-1111111111-2222222222-3333333333-1001";
const std::string kSharedComponent = "{5E1D0C4B-0000-4000-8000-00000000C0DE}";
const std::string kSharedPatch = "{0A7C1E55-0000-4000-8000-0000000000AB}";

// The whole registry as tests compare it: the machine's and the user's keys.
std::string Everything(MemoryRegistry& r) {
  return regfile::Describe(regfile::Snapshot(r, kHkeyLocalMachine, "SOFTWARE")) +
         regfile::Describe(regfile::Snapshot(r, kHkeyCurrentUser, "Software"));
}

struct Case {
  const char* name;
  bool wow64;
  // Seeded first, with nothing of the product: other products, some sharing its keys.
  std::vector<SeededProduct> others;
  SeededProduct product;
  std::vector<std::string> summary;
  const char* scope;
  UndoFormat file;
};

std::vector<Case> Cases(const std::string& userSid) {
  const std::string a = "{A1B2C3D4-E5F6-4718-9A0B-1C2D3E4F5061}";
  const std::string c = "{C0FFEE00-1234-4567-89AB-CDEF01234567}";
  return {
      {"the machine's product of a 32-bit package on 64-bit Windows, sharing a component and a patch",
       true,
       {{"{B0000000-0000-4000-8000-00000000000B}", "{B1000000-0000-4000-8000-00000000000B}", "Neighbour", "S-1-5-18",
         {kSharedComponent, "{0B000000-0000-4000-8000-0000000000C1}"}, {kSharedPatch},
         std::string(kUninstall) + "{B0000000-0000-4000-8000-00000000000B}"},
        {"{D0000000-0000-4000-8000-00000000000D}", "", "Old Tool", "S-1-5-18", {}, {},
         std::string(kUninstall32) + "{D0000000-0000-4000-8000-00000000000D}"}},
       {a, "{A9000000-0000-4000-8000-0000000000A9}", "Tide Ledger", "S-1-5-18",
        {kSharedComponent, "{0A000000-0000-4000-8000-0000000000C2}"}, {kSharedPatch, "{0A000000-0000-4000-8000-00000000FFFF}"},
        std::string(kUninstall32) + a},
       {"installer product: 3 keys, 4 values", "features: 1 key, 1 value", "upgrade code: 2 values",
        "installed state: 6 keys, 5 values", "components: 2 values", "uninstall entry: 1 key, 3 values",
        "patches: 2 keys, 2 values"},
       "machine",
       UndoFormat::kRegedit4},
      {"the user's own product assigned by policy on 32-bit Windows, its entry in the machine's list as "
       "Wine writes it; another user's install of it stays",
       false,
       {{"{E0000000-0000-4000-8000-00000000000E}", "{E1000000-0000-4000-8000-00000000000E}", "Nachbar", userSid,
         {kSharedComponent}, {}, "", false, true},
        {c, "", "Морской журнал 潮", kOtherUser, {kSharedComponent}, {}, "", false, false, false}},
       {c, "{C9000000-0000-4000-8000-0000000000C9}", "Морской журнал 潮", userSid, {kSharedComponent}, {},
        std::string(kUninstall) + c, false, true},
       {"installer product: 3 keys, 4 values", "features: 1 key, 1 value", "upgrade code: 2 values",
        "installed state: 4 keys, 3 values", "components: 1 value", "uninstall entry: 1 key, 3 values",
        "policy registration: 2 keys, 3 values"},
       "user",
       UndoFormat::kUnicode},
  };
}

TEST(ProductRegistrationTest, EveryPlaceGoesToOneBlockAndComesBackFromIt) {
  for (const Case& c : Cases(MemorySystem().userSid)) {
    SCOPED_TRACE(c.name);
    MemoryPlatform p;
    p.system.wow64 = p.system.wow64Available = c.wow64;
    p.registry.SetWow64(c.wow64);
    const InstallerPlaces places{c.wow64, p.system.userSid};
    for (const SeededProduct& other : c.others) SeedRegistration(p.registry, other);
    for (const char* list : {kUninstall, kUninstall32}) p.registry.AddKey(kHkeyLocalMachine, std::string(list).substr(0, std::string(list).size() - 1));
    const std::string without = Everything(p.registry);
    SeedRegistration(p.registry, c.product);
    const std::string with = Everything(p.registry);

    const ProductRegistration found = FindRegistration(p.registry, places, c.product.code);
    EXPECT_EQ(c.summary, RegistrationSummary(found));
    EXPECT_EQ(c.product.name, found.name);
    EXPECT_EQ(c.scope, found.Scope());

    UndoFile undo(p.files, p.system, kFolder, "Undo20261207");
    const RemovalOutcome outcome = RemoveRegistration(undo, p.registry, places, c.product.code);
    EXPECT_TRUE(outcome.Complete());
    EXPECT_FALSE(outcome.alreadyGone);
    // Every key found, and the keys of shared places that it left empty.
    EXPECT_LE(found.Keys(), outcome.keysRemoved);
    EXPECT_EQ(found.Values(), outcome.valuesRemoved);
    EXPECT_EQ(undo.FileName(c.file), outcome.undoFile);
    EXPECT_TRUE(FindRegistration(p.registry, places, c.product.code).Empty());
    EXPECT_EQ(without, Everything(p.registry)) << "what other products hold stays, and nothing of this one";

    // One block, which puts all of it back.
    const UndoContents contents = ReadUndoFile(p.files, p.system, outcome.undoFile);
    ASSERT_EQ(1u, contents.records.size());
    const UndoRecord& record = contents.records.front();
    const RecordTarget target = TargetOf(record, c.wow64);
    EXPECT_EQ(RecordKind::kRegistration, target.kind);
    EXPECT_EQ(found.code, target.keyName);
    EXPECT_EQ(c.scope, target.source);
    EXPECT_EQ(c.product.name, RecordName(record, target));
    EXPECT_EQ(RecordState::kAbsent, StateOf(p.registry, record, c.wow64));
    UndoFile scratch(p.files, p.system, "C:\\Scratch", "Undo");
    EXPECT_TRUE(RestoreRecord(p.registry, scratch, record, c.wow64).restored);
    EXPECT_EQ(with, Everything(p.registry));
    EXPECT_EQ(RecordState::kPresent, StateOf(p.registry, record, c.wow64));
  }
}

TEST(ProductRegistrationTest, AProductThatIsNotThereRemovesNothing) {
  MemoryPlatform p;
  SeedRegistration(p.registry, {"{B0000000-0000-4000-8000-00000000000B}", "", "Neighbour", "S-1-5-18", {kSharedComponent}});
  const std::string before = Everything(p.registry);
  UndoFile undo(p.files, p.system, kFolder, "Undo20261207");
  for (const char* code : {"{A1B2C3D4-E5F6-4718-9A0B-1C2D3E4F5061}", "not a code", ""}) {
    SCOPED_TRACE(code);
    EXPECT_TRUE(FindRegistration(p.registry, {false, p.system.userSid}, code).Empty());
    EXPECT_TRUE(RemoveRegistration(undo, p.registry, {false, p.system.userSid}, code).alreadyGone);
  }
  EXPECT_EQ(before, Everything(p.registry));
  EXPECT_FALSE(p.files.FileExistsAt(undo.FileName()));
}

}  // namespace
