#include "connectors/CFtpServer.h"

#include "FtpService.h"

CFtpServer::CFtpServer() : service_(std::make_unique<ftpserv::FtpService>()) {}

CFtpServer::~CFtpServer() = default;

bool CFtpServer::Start(const std::u16string& root, const std::u16string& user, const std::u16string& password,
                       int32_t port) {
  return service_->Start(root, user, password, port);
}

void CFtpServer::Stop() { service_->Stop(); }

void CFtpServer::Subscribe(CFtpServerEvents* sink) { service_->events().Subscribe(sink); }

void CFtpServer::Unsubscribe() { service_->events().Unsubscribe(); }

void CFtpServer::GetReceivedFiles(std::vector<std::string>& files) { service_->received().TakeInto(files); }

void CFtpServer::SetLimits(const FtpServerLimits& limits) { service_->SetLimits(limits); }

uint16_t CFtpServer::BoundPort() const { return service_->BoundPort(); }
