#include "registry/key_walk.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <string>
#include <vector>

#include "platform/memory/memory_registry.h"

using namespace platform;

namespace {

constexpr const char* kTop = "SOFTWARE\\Top";

class KeyWalkTest : public ::testing::Test {
 protected:
  void TearDown() override {
    top.ClosePath();
    EXPECT_EQ(0, mem.OpenHandles()) << "a registry handle leaked";
  }

  // A has A1 (with A1x) and A2, B has B1, C has nothing; one value in each key but A2.
  void SeedTree() {
    for (const char* key : {"", "\\A", "\\A\\A1", "\\A\\A1\\A1x", "\\B", "\\B\\B1", "\\C"})
      mem.SetValue(kHkeyLocalMachine, std::string(kTop) + key, "v", kRegDword, std::string(4, '\0'));
    mem.AddKey(kHkeyLocalMachine, std::string(kTop) + "\\A\\A2");
  }
  TNTRegistry& Top() {
    top.SetRoot(kHkeyLocalMachine);
    EXPECT_TRUE(top.OpenPath(std::string("\\") + kTop, false));
    return top;
  }

  MemoryRegistry mem;
  TNTRegistry top{mem};
};

TEST_F(KeyWalkTest, EveryKeyIsVisitedBeforeItsSubkeysWhereTheVisitsLetTheWalkGo) {
  const struct {
    const char* what;
    const char* skip;
    const char* stop;
    std::vector<std::string> visits;
    bool whole;
  } cases[] = {
      {"every key", nullptr, nullptr, {"", "A", "A\\A1", "A\\A1\\A1x", "A\\A2", "B", "B\\B1", "C"}, true},
      {"passing over A", "A", nullptr, {"", "A", "B", "B\\B1", "C"}, true},
      {"ending at A1", nullptr, "A\\A1", {"", "A", "A\\A1"}, false},
      {"passing over the top", "", nullptr, {""}, true},
  };
  SeedTree();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> visits;
    const bool whole = WalkKeyTree(mem, Top(), [&](TNTRegistry& key, const std::string& path) {
      visits.push_back(path);
      // The key in hand is the one named by the path, open in its own wrapper.
      EXPECT_EQ(4, key.ValueSize("v") + (path == "A\\A2" ? 5 : 0)) << path;
      if (c.skip && path == c.skip) return WalkStep::kSkip;
      return c.stop && path == c.stop ? WalkStep::kStop : WalkStep::kDescend;
    });
    EXPECT_EQ(c.whole, whole);
    EXPECT_EQ(c.visits, visits);
    top.ClosePath();
  }
}

// A subkey that refuses every open is handed over with the registry's answer; the walk goes on
// with its siblings and counts it as one key, whatever is below it.
TEST_F(KeyWalkTest, ASubkeyThatDoesNotOpenIsHandedOverAndTheWalkGoesOn) {
  SeedTree();
  mem.LimitAccess(kHkeyLocalMachine, std::string(kTop) + "\\A\\A1", 0);
  std::vector<std::string> visits, unopened;
  WalkKeyTree(
      mem, Top(),
      [&](TNTRegistry&, const std::string& path) {
        visits.push_back(path);
        return WalkStep::kDescend;
      },
      [&](const std::string& path, long error) { unopened.push_back(path + " " + std::to_string(error)); });
  EXPECT_EQ((std::vector<std::string>{"", "A", "A\\A2", "B", "B\\B1", "C"}), visits);
  EXPECT_EQ(std::vector<std::string>{"A\\A1 5"}, unopened);
  const TreeCount count = CountKeyTree(mem, top);
  EXPECT_EQ(7, count.keys) << "A1 counts once, A1x not at all";
  EXPECT_EQ(5, count.values);
}

// Each subkey opens below its parent's handle: keys whose paths the registry's calls cut (past
// 32,766 units from the top) are reached, and a walk down more levels than Windows allows (512)
// runs on a thread whose stack a recursion of that depth would overflow.
TEST_F(KeyWalkTest, DeepTreesAndLongPathsAreWalkedWhole) {
  const struct {
    const char* what;
    int levels;
    size_t nameLength;
  } cases[] = {
      {"names of 255 characters, paths past the cut", 140, 255},
      {"3,000 levels", 3000, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryRegistry deep;
    Hkey parent = 0;
    ASSERT_EQ(kErrorSuccess, deep.CreateKeyEx(kHkeyLocalMachine, kTop, 0, kKeyAllAccess, &parent));
    for (int level = 1; level <= c.levels; ++level) {
      std::string name = "k" + std::to_string(level);
      name.resize(std::max(name.size(), c.nameLength), 'x');
      Hkey child = 0;
      ASSERT_EQ(kErrorSuccess, deep.CreateKeyEx(parent, name.c_str(), 0, kKeyAllAccess, &child));
      deep.SetValueEx(child, "v", kRegDword, reinterpret_cast<const std::uint8_t*>(&level), 4);
      deep.CloseKey(parent);
      parent = child;
    }
    deep.CloseKey(parent);

    struct Walk {
      MemoryRegistry* registry;
      TreeCount count;
      size_t longestPath = 0;
    } walk{&deep, {}, 0};
    // 256 KB: a recursion would need a frame per level of at least a wrapper and a list of names.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(0, pthread_create(&thread, &attributes, [](void* argument) -> void* {
      auto& w = *static_cast<Walk*>(argument);
      TNTRegistry reg(*w.registry);
      reg.SetRoot(kHkeyLocalMachine);
      if (!reg.OpenPath(std::string("\\") + kTop, false)) return nullptr;
      w.count = CountKeyTree(*w.registry, reg);
      WalkKeyTree(*w.registry, reg, [&](TNTRegistry&, const std::string& path) {
        w.longestPath = std::max(w.longestPath, path.size());
        return WalkStep::kDescend;
      });
      return nullptr;
    }, &walk));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(c.levels + 1, walk.count.keys);
    EXPECT_EQ(c.levels, walk.count.values);
    EXPECT_GT(walk.longestPath, c.nameLength == 255 ? 32766u : 0u);
    EXPECT_EQ(0, deep.OpenHandles());
  }
}

}  // namespace
