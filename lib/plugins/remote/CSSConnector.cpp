#include "connectors/CSSConnector.h"

#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "EventRelay.h"
#include "RemoteHost.h"
#include "RemoteScanJob.h"
#include "SaneSession.h"
#include "ScannerOptions.h"

namespace sanenet {

// Everything a connector holds, apart from the object the caller owns.
class ConnectorState {
 public:
  explicit ConnectorState(std::string host) : hostText(std::move(host)) {}

  // A new session with the service; throws SaneError.
  std::unique_ptr<SaneSession> Connect() const {
    const std::optional<HostAndPort> host = ParseRemoteHost(hostText);
    if (!host) throw SaneError("\"" + hostText + "\" is not a host name with an optional port");
    SaneEndpoint endpoint;
    endpoint.host = host->host;
    endpoint.port = host->port;
    {
      const std::lock_guard lock(mutex);
      endpoint.user = user;
      endpoint.password = password;
      endpoint.connectTimeout = timeouts.connect;
      endpoint.replyTimeout = timeouts.reply;
      endpoint.scanTimeout = timeouts.scan;
    }
    return std::make_unique<SaneSession>(std::move(endpoint));
  }

  // The scanner's options, asked once per connector.
  std::vector<OptionDescriptor> Options(const std::string& scanner) {
    {
      const std::lock_guard lock(mutex);
      if (const auto found = optionCache.find(scanner); found != optionCache.end()) return found->second;
    }
    const std::unique_ptr<SaneSession> session = Connect();
    session->Open(scanner);
    std::vector<OptionDescriptor> options = session->GetOptionDescriptors();
    const std::lock_guard lock(mutex);
    optionCache[scanner] = options;
    return options;
  }

  // Runs `query`; a failure goes to the sink and gives false.
  bool Ask(const std::function<void()>& query) {
    try {
      query();
      return true;
    } catch (const SaneError& error) {
      relay->Message("Remote scanner " + hostText + ": " + error.what());
      return false;
    }
  }

  bool Supported(const std::string& scanner, std::vector<int32_t>& values,
                 std::vector<int32_t> (*list)(const std::vector<OptionDescriptor>&)) {
    return Ask([&] {
      const std::vector<int32_t> found = list(Options(scanner));
      values.insert(values.end(), found.begin(), found.end());
    });
  }

  // Cancels the running scan and waits a bounded time for its thread; a thread that does not
  // end in time is left to finish on its own (it holds only shared state).
  void StopScan() {
    if (!job) return;
    job->Cancel();
    if (job->WaitUntilDone(kStopTimeout)) {
      worker.join();
    } else {
      worker.detach();
    }
    job.reset();
  }

  static constexpr std::chrono::milliseconds kStopTimeout{5000};

  const std::string hostText;
  const std::shared_ptr<EventRelay> relay = std::make_shared<EventRelay>();
  mutable std::mutex mutex;  // guards the credentials, the time-outs and the cache
  std::string user;
  std::string password;
  SSConnectorTimeouts timeouts;
  std::map<std::string, std::vector<OptionDescriptor>> optionCache;
  std::shared_ptr<RemoteScanJob> job;  // the caller's thread only
  std::thread worker;
};

}  // namespace sanenet

using sanenet::ConnectorState;

CSSConnector::CSSConnector(std::string host) : state_(std::make_shared<ConnectorState>(std::move(host))) {}

CSSConnector::~CSSConnector() {
  state_->relay->Detach();
  state_->StopScan();
}

void CSSConnector::Subscribe(CSSConnectorEvents* sink) { state_->relay->Attach(sink); }

void CSSConnector::Unsubscribe() { state_->relay->Detach(); }

bool CSSConnector::CheckConnection() {
  return state_->Ask([&] { state_->Connect(); });
}

bool CSSConnector::GetAvailableScanners(std::vector<std::string>& scanners) {
  return state_->Ask([&] {
    for (const sanenet::DeviceInfo& device : state_->Connect()->GetDevices()) scanners.push_back(device.name);
  });
}

bool CSSConnector::GetSupportedColorFormats(const std::string& scanner, std::vector<int32_t>& values) {
  return state_->Supported(scanner, values, sanenet::SupportedColorFormats);
}

bool CSSConnector::GetSupportedPaperSources(const std::string& scanner, std::vector<int32_t>& values) {
  return state_->Supported(scanner, values, sanenet::SupportedPaperSources);
}

bool CSSConnector::GetSupportedResolutions(const std::string& scanner, std::vector<int32_t>& values) {
  return state_->Supported(scanner, values, sanenet::SupportedResolutions);
}

bool CSSConnector::GetSupportedOrientations(const std::string& scanner, std::vector<int32_t>& values) {
  return state_->Supported(scanner, values, sanenet::SupportedOrientations);
}

bool CSSConnector::GetSupportedSimplexDuplex(const std::string& scanner, std::vector<int32_t>& values) {
  return state_->Supported(scanner, values, sanenet::SupportedSimplexDuplex);
}

bool CSSConnector::GetSupportedPaperSizes(const std::string& scanner, std::vector<int32_t>& values) {
  return state_->Supported(scanner, values, sanenet::SupportedPaperSizes);
}

bool CSSConnector::StartScanning(const std::string& scanner, const std::string& folder, int32_t bitDepth,
                                 int32_t duplex, int32_t orientation, int32_t resolution, int32_t paperSize,
                                 int32_t paperSource) {
  if (state_->job && !state_->job->WaitUntilDone(std::chrono::milliseconds(0))) {
    state_->relay->Message("Remote scanner " + state_->hostText + ": a scan of this connection still runs");
    return false;
  }
  state_->StopScan();  // joins the finished thread
  std::unique_ptr<sanenet::SaneSession> session;
  const bool opened = state_->Ask([&] {
    session = state_->Connect();
    session->Open(scanner);
  });
  if (!opened) return false;
  const sanenet::ScanRequest request{bitDepth, duplex, orientation, resolution, paperSize, paperSource};
  state_->job = std::make_shared<sanenet::RemoteScanJob>(std::move(session), folder, request, state_->relay);
  state_->worker = std::thread([job = state_->job] { job->Run(); });
  return true;
}

void CSSConnector::SetCredentials(const std::string& user, const std::string& password) {
  const std::lock_guard lock(state_->mutex);
  state_->user = user;
  state_->password = password;
}

void CSSConnector::SetTimeouts(const SSConnectorTimeouts& timeouts) {
  const std::lock_guard lock(state_->mutex);
  state_->timeouts = timeouts;
}

bool CSSConnector::WaitForScan(std::chrono::milliseconds timeout) {
  return !state_->job || state_->job->WaitUntilDone(timeout);
}
