#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/Yield.h"
#include "settings/BrioEasyPrefs.h"
#include "tests/settings/PrefsTestSupport.h"

using namespace BrioEasyPrefs;
using testsupport::Entries;
using testsupport::StoreEntries;

namespace {

class PrefsEntries : public ::testing::Test {
 protected:
  void SetUp() override { InitModuleState(); }
  void TearDown() override { ReleaseModuleState(); }
};

// Yields that one call makes.
template <class F>
std::uint64_t YieldsOf(F&& call) {
  const auto before = platform::YieldCount();
  call();
  return platform::YieldCount() - before;
}

}  // namespace

TEST(PrefsModuleState, StartsWithIndexZeroOnlyAndIsGoneAfterRelease) {
  InitModuleState();
  EXPECT_EQ(PrefNames(), List{""});
  EXPECT_EQ(PrefItems(), List{""});
  EXPECT_FALSE(PrefFile());
  ReleaseModuleState();
  EXPECT_FALSE(PrefFile());
  EXPECT_THROW(PrefNames(), platform::NilObjectException);
  EXPECT_THROW(PrefItems(), platform::NilObjectException);
  EXPECT_THROW(GetPrefString("a", "b"), platform::NilObjectException);
  EXPECT_THROW(SetPrefString("a", "b"), platform::NilObjectException);
}

TEST_F(PrefsEntries, NewStoreGivesDefaultsAndStaysEmpty) {
  EXPECT_EQ(GetPrefString("Key1", "F1"), "F1");
  EXPECT_EQ(GetPrefString("", "default"), "default");  // index 0 is no entry
  EXPECT_TRUE(GetPrefBoolean("Shift1", true));
  EXPECT_FALSE(GetPrefBoolean("Shift1", false));
  EXPECT_EQ(StoreEntries(), Entries{});
}

TEST_F(PrefsEntries, SetAppendsNewNamesInOrderAndReplacesInPlace) {
  SetPrefString("Key1", "F1");
  EXPECT_EQ(StoreEntries(), (Entries{{"Key1", "F1"}}));
  SetPrefString("Key1", "F2");
  EXPECT_EQ(StoreEntries(), (Entries{{"Key1", "F2"}}));
  SetPrefString("b", "2");
  SetPrefString("c", "");
  SetPrefString("", "empty name");
  SetPrefString("KEY1", "F3");  // the one String equality: ASCII case does not matter
  EXPECT_EQ(StoreEntries(), (Entries{{"Key1", "F3"}, {"b", "2"}, {"c", ""}, {"", "empty name"}}));
  EXPECT_EQ(GetPrefString("c", "default"), "");  // stored empty text, not the default
  EXPECT_EQ(GetPrefString("", "default"), "empty name");
}

TEST_F(PrefsEntries, BooleansReadTrueOnlyForTrueAndTheDefaultOnlyWhenMissing) {
  struct Case {
    std::optional<std::string> stored;
    bool defaultValue;
    bool expected;
  } cases[] = {
      {std::nullopt, true, true}, {std::nullopt, false, false}, {"true", false, true},
      {"TRUE", false, true},      {"True", false, true},        {"false", true, false},
      {"", true, false},          {"yes", true, false},         {"1", true, false},
      {" true", true, false},
  };
  for (const auto& c : cases) {
    ReleaseModuleState();
    InitModuleState();
    if (c.stored) SetPrefString("Shift1", *c.stored);
    EXPECT_EQ(GetPrefBoolean("Shift1", c.defaultValue), c.expected)
        << (c.stored ? *c.stored : "(missing)") << " default " << c.defaultValue;
    EXPECT_EQ(PrefNames().size(), c.stored ? 2u : 1u);  // a miss stores nothing
  }
}

TEST_F(PrefsEntries, SetPrefBooleanStoresLowerCaseTextInPlace) {
  SetPrefString("before", "x");
  SetPrefBoolean("Alt1", false);
  EXPECT_EQ(StoreEntries(), (Entries{{"before", "x"}, {"Alt1", "false"}}));
  SetPrefBoolean("Alt1", true);
  EXPECT_EQ(StoreEntries(), (Entries{{"before", "x"}, {"Alt1", "true"}}));
}

TEST_F(PrefsEntries, ScanYieldsAfterEveryEntryThatDoesNotMatch) {
  const int n = 5;
  for (int i = 1; i <= n; ++i) SetPrefString("name" + std::to_string(i), "v");
  EXPECT_EQ(YieldsOf([] { GetPrefString("missing", ""); }), std::uint64_t{n});
  EXPECT_EQ(YieldsOf([] { GetPrefBoolean("missing", true); }), std::uint64_t{n});
  for (int k = 1; k <= n; ++k) {
    const std::string name = "name" + std::to_string(k);
    EXPECT_EQ(YieldsOf([&] { GetPrefString(name, ""); }), std::uint64_t(k - 1)) << name;
    EXPECT_EQ(YieldsOf([&] { SetPrefString(name, "w"); }), std::uint64_t(k - 1)) << name;
  }
  EXPECT_EQ(YieldsOf([] { SetPrefString("new", "v"); }), std::uint64_t{n});  // none after append
  EXPECT_EQ(YieldsOf([] { GetPrefString("", ""); }), std::uint64_t{n + 1});
}
