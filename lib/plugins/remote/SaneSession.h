#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SaneReplies.h"

namespace sanenet {

class SaneSocket;

// Where the service listens and how long we wait for it.
struct SaneEndpoint {
  std::string host;
  uint16_t port = 6566;
  std::string user;      // sent at the start, and for resources the service protects
  std::string password;  // for resources the service protects; empty: none
  std::chrono::milliseconds connectTimeout{5000};
  std::chrono::milliseconds replyTimeout{10000};
  std::chrono::milliseconds scanTimeout{60000};  // the start of a frame and its data
};

// One frame of a scan as the service describes it, with its bytes.
struct Frame {
  ParametersReply parameters;
  int32_t byteOrder = 0;  // of 16-bit samples: 0x1234 little-endian, 0x4321 big-endian
  std::vector<uint8_t> bytes;
};

// A session with the scanner service: one control connection over which each call sends a
// request and decodes its reply; scans read their image over a data connection of their own.
// Every failure (connection, time-out, undecodable reply, a status other than success) throws
// SaneError with the reason. One thread uses a session; Abort may come from any thread.
class SaneSession {
 public:
  explicit SaneSession(SaneEndpoint endpoint);
  SaneSession(const SaneSession&) = delete;
  SaneSession& operator=(const SaneSession&) = delete;
  // Says goodbye to the service when the connection still works.
  ~SaneSession();

  std::vector<DeviceInfo> GetDevices();
  void Open(const std::string& device);
  std::vector<OptionDescriptor> GetOptionDescriptors();
  // Sets option `index` and returns the value the service kept and its info bits.
  ControlReply SetOption(int32_t index, const OptionValue& value);
  // One frame: starts it, reads its image; a status of the start comes back as `startStatus`
  // (NO_DOCS when the feeder is empty) with no frame.
  bool ReadFrame(Frame& frame, int32_t& startStatus);
  void Cancel();
  void Close();
  // Ends every blocked or later exchange at once (closing the source during a scan).
  void Abort();

 private:
  template <typename Reply, typename Decode>
  Reply Call(const WireWriter& request, Decode decode);
  template <typename Reply, typename Decode>
  Reply AuthorisedReply(Reply reply, Decode decode);
  void Authorise(const std::string& resource);
  void Send(const WireWriter& request);
  void ReadImage(Frame& frame);

  SaneEndpoint endpoint_;
  std::unique_ptr<SaneSocket> control_;
  std::mutex dataMutex_;              // guards data_ against Abort
  std::unique_ptr<SaneSocket> data_;  // the running frame's data connection
  int32_t handle_ = -1;
  std::atomic<bool> aborted_{false};
};

// The password that answers an MD5 challenge: "$MD5$" and the hex MD5 of salt then password.
std::string Md5Answer(const std::string& salt, const std::string& password);

}  // namespace sanenet
