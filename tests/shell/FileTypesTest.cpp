#include <gtest/gtest.h>

#include <algorithm>

#include "platform/FileType.h"
#include "shell/FileTypes.h"

namespace {

long CountRegistered(const platform::FileType* type) {
  const auto all = platform::FileType::Registered();
  return std::count(all.begin(), all.end(), type);
}

TEST(FileTypes, TextTypeRegisteredOnceAndDeregisteredAtRelease) {
  ASSERT_EQ(FileTypes::pText, nullptr);
  FileTypes::Initialize();
  ASSERT_NE(FileTypes::pText, nullptr);
  const auto& type = *FileTypes::pText;
  EXPECT_EQ(type.Name(), "text");
  EXPECT_EQ(type.Extensions(), "");
  EXPECT_EQ(type.MacType(), "TEXT");
  EXPECT_EQ(type.MacCreator(), "R*ch");
  EXPECT_TRUE(type.IsRegistered());
  EXPECT_EQ(CountRegistered(&type), 1);
  EXPECT_EQ(platform::FileType::Registered().size(), 1u);

  FileTypes::Release();
  EXPECT_EQ(FileTypes::pText, nullptr);
  EXPECT_TRUE(platform::FileType::Registered().empty());
}

}  // namespace
