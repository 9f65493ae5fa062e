#include "settings/PathHelpers.h"

#include "platform/Network.h"
#include "platform/SystemInfo.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace {

using test_support::ScopedEnvironment;

TEST(CreateFolderPathTest, CreatesEveryMissingFolder) {
  ScopedEnvironment env;
  const auto deep = env.Temp() / "a" / "b" / "c";
  EXPECT_TRUE(CreateFolderPath(deep.string()));
  EXPECT_TRUE(std::filesystem::is_directory(deep));
  EXPECT_TRUE(CreateFolderPath((env.Temp() / "x" / "y").string() + "/"));
  EXPECT_TRUE(std::filesystem::is_directory(env.Temp() / "x" / "y"));
}

TEST(CreateFolderPathTest, AnExistingFolderCountsAsSuccess) {
  ScopedEnvironment env;
  EXPECT_TRUE(CreateFolderPath(env.Temp().string()));
  EXPECT_TRUE(CreateFolderPath(env.Temp().string() + "/"));
}

TEST(CreateFolderPathTest, FailsWhenAFileIsInTheWay) {
  ScopedEnvironment env;
  ScopedEnvironment::WriteFile(env.Temp() / "file", "x");
  EXPECT_FALSE(CreateFolderPath((env.Temp() / "file" / "sub").string()));
  EXPECT_FALSE(CreateFolderPath((env.Temp() / "file").string()));
  EXPECT_FALSE(CreateFolderPath(""));
}

TEST(ExpandPathTemplateTest, AtSignExpandsEveryTokenAndOtherValuesStayAsTheyAre) {
  const std::string user = platform::UserName().value_or("UserNotFound");
  // Native processes are never 32-bit processes on a 64-bit system, so <x86> disappears.
  EXPECT_EQ(ExpandPathTemplate("@/srv/<user_name>/Program Files<x86>/<user_name><x86>"),
            "/srv/" + user + "/Program Files/" + user);
  EXPECT_EQ(ExpandPathTemplate("/srv/<user_name>/Program Files<x86>"), "/srv/<user_name>/Program Files<x86>");
  EXPECT_EQ(ExpandPathTemplate("@"), "");
  EXPECT_EQ(ExpandPathTemplate(""), "");
  EXPECT_EQ(ExpandPathTemplate("@/plain"), "/plain");
}

TEST(ExpandPathTemplateTest, AUserNameThatSpellsATokenEnds) {
  ScopedEnvironment env;
  // Only reached when the password database has no entry; this checks termination, whatever name
  // the account has.
  env.Set("USER", "<user_name>");
  const std::string expanded = ExpandPathTemplate("@/home/<user_name>");
  EXPECT_EQ(expanded.rfind("/home/", 0), 0u);
}

TEST(GetLocalIpAddressTest, IsAnAddressOtherMachinesCanReach) {
  const std::string address = GetLocalIpAddress();
  if (platform::InterfaceIPv4Addresses().empty()) GTEST_SKIP() << "no network interface besides loopback";
  ASSERT_FALSE(address.empty());
  EXPECT_FALSE(platform::IsLoopbackIPv4(address)) << address;
}

}  // namespace
