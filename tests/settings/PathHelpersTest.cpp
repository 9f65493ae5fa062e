#include "settings/PathHelpers.h"

#include "platform/Network.h"
#include "platform/SystemInfo.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

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

TEST(ExpandPathTemplateTest, AUserNameThatSpellsATokenDoesNotLoopForever) {
  if (geteuid() != 0) GTEST_SKIP() << "needs to switch to a user without an account";
  // A user without an account entry is known by $USER, which can hold anything.
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    setenv("USER", "<user_name>", 1);
    if (setuid(54321) != 0) _exit(2);
    alarm(10);  // a loop that never ends fails the test instead of hanging it
    _exit(ExpandPathTemplate("@/home/<user_name>") == "/home/<user_name>" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "expansion did not end";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(GetLocalIpAddressTest, IsAnAddressOtherMachinesCanReach) {
  const std::string address = GetLocalIpAddress();
  if (platform::InterfaceIPv4Addresses().empty()) GTEST_SKIP() << "no network interface besides loopback";
  ASSERT_FALSE(address.empty());
  EXPECT_FALSE(platform::IsLoopbackIPv4(address)) << address;
}

}  // namespace
