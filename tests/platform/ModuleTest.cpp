#include "platform/Module.h"

#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using platform::Module;

// zlib is in every process that links libpng or libtiff and is always installed.
constexpr const char* kLibraryName = "libz.so.1";

TEST(ModuleTest, LoadsALibraryAndFindsItsExports) {
  Module module = Module::Load(kLibraryName);
  ASSERT_TRUE(module.IsLoaded()) << platform::LastModuleError();
  EXPECT_NE(module.Symbol("zlibVersion"), nullptr);
  EXPECT_EQ(module.Symbol("NoSuchExport"), nullptr);
  EXPECT_FALSE(platform::LastModuleError().empty());

  Module moved = std::move(module);
  EXPECT_FALSE(module.IsLoaded());
  EXPECT_TRUE(moved.IsLoaded());
}

TEST(ModuleTest, AMissingLibraryIsNotLoadedAndSaysWhy) {
  const Module module = Module::Load("libvelloran-does-not-exist.so");
  EXPECT_FALSE(module.IsLoaded());
  EXPECT_NE(platform::LastModuleError().find("libvelloran-does-not-exist.so"), std::string::npos);
}

TEST(ModuleTest, FindLoadedMatchesTheSonameButNeverLoads) {
  EXPECT_FALSE(Module::FindLoaded("libvelloran-does-not-exist.so").IsLoaded());
  // The C library is always loaded and carries its soname.
  const Module libc = Module::FindLoaded("libc.so.6");
  ASSERT_TRUE(libc.IsLoaded());
  EXPECT_NE(libc.Symbol("malloc"), nullptr);
}

TEST(ModuleTest, FindLoadedMatchesTheFileNameWhenTheSonameDiffers) {
  test_support::ScopedEnvironment env;
  // A copy under another name keeps the soname libz.so.1, so only the file name can match.
  const Module original = Module::Load(kLibraryName);
  ASSERT_TRUE(original.IsLoaded());
  const auto copy = env.Temp() / "libvelloran-renamed.so";
  bool copied = false;
  for (const char* folder : {"/lib/x86_64-linux-gnu/", "/usr/lib/x86_64-linux-gnu/", "/usr/lib/", "/lib/"}) {
    std::error_code error;
    if (std::filesystem::copy_file(std::string(folder) + kLibraryName, copy, error)) {
      copied = true;
      break;
    }
  }
  if (!copied) GTEST_SKIP() << "zlib not found in the usual folders";

  EXPECT_FALSE(Module::FindLoaded("libvelloran-renamed.so").IsLoaded());
  const Module renamed = Module::Load(copy.string());
  ASSERT_TRUE(renamed.IsLoaded()) << platform::LastModuleError();
  const Module found = Module::FindLoaded("libvelloran-renamed.so");
  ASSERT_TRUE(found.IsLoaded());
  EXPECT_EQ(found.Symbol("zlibVersion"), renamed.Symbol("zlibVersion"));
}

TEST(ModuleTest, OwnModulePathOfCodeLinkedIntoTheProgramIsTheProgram) {
  char buffer[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", buffer, sizeof(buffer) - 1), 0);
  EXPECT_EQ(std::filesystem::canonical(platform::OwnModulePath()), std::filesystem::canonical(buffer));
}

}  // namespace
