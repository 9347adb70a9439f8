#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/Sockets.h"
#include "wmi/HostRecord.h"

namespace tolvex {

// Asks the sockets functions as the network panel does: start-up, the host's
// name, the look-up of that name, clean-up. A start-up that fails leaves
// the name unanswered with error -1.
HostRecord askHost(Sockets& sockets);

// Sockets that answer from a HostRecord (another machine's, read from a
// snapshot): start-up and clean-up succeed, gethostname gives the name or
// fails with its error number, and every look-up gives the addresses.
class AnsweringSockets : public Sockets {
  public:
    explicit AnsweringSockets(HostRecord answer) : m_answer(std::move(answer)) {}

    int WSAStartup(std::uint16_t versionRequested, WsaData& data) override;
    int WSACleanup() override;
    int gethostname(std::string& name, int length) override;
    int WSAGetLastError() override;
    std::optional<HostEntry> gethostbyname(const std::string& name) override;

  private:
    HostRecord m_answer;
};

}  // namespace tolvex
