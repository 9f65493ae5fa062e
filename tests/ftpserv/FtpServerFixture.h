#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "FtpTestClient.h"
#include "connectors/CFtpServer.h"

namespace test_support {

inline constexpr const char* kUser = "scan";
inline constexpr const char* kPassword = "s3cret";

// A running server on a free port over a fresh root folder, with a recording sink.
class FtpServerFixture : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(root());
    std::filesystem::create_directories(outside());
    std::ofstream(outside() / "keep.txt") << "keep";
    server_.Subscribe(&events_);
    server_.SetLimits(Limits());
    ASSERT_TRUE(server_.Start(root().u16string(), u"scan", u"s3cret", 0));
    port_ = server_.BoundPort();
    ASSERT_NE(port_, 0);
  }

  virtual FtpServerLimits Limits() const {
    FtpServerLimits limits;
    limits.failedLoginDelay = std::chrono::milliseconds(20);
    return limits;
  }

  std::filesystem::path root() const { return temporary_.path() / "root"; }
  std::filesystem::path outside() const { return temporary_.path() / "outside"; }
  std::string Url(const std::string& path = "/") const {
    return std::string("ftp://") + kUser + ":" + kPassword + "@127.0.0.1:" + std::to_string(port_) + path;
  }
  std::filesystem::path WriteSource(const std::string& name, size_t size) const {
    const auto path = temporary_.path() / name;
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(static_cast<char>('A' + i % 26));
    return path;
  }
  // A client logged in over IPv4 loopback.
  std::unique_ptr<FtpTestClient> LoggedIn() const {
    auto client = std::make_unique<FtpTestClient>("127.0.0.1", port_);
    EXPECT_TRUE(client->Login(kUser, kPassword));
    return client;
  }

  TemporaryFolder temporary_;
  EventRecorder events_;
  CFtpServer server_;
  uint16_t port_ = 0;
};

}  // namespace test_support
