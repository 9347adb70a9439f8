#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/Sockets.h"

namespace tolvex {

// What the sockets layer says about the host: its name (or the error number
// gethostname failed with) and the addresses the resolver gives for that
// name, each in dotted form, in the resolver's order (no value: the
// resolver's null answer).
struct HostAnswer {
    std::optional<std::string> name;
    int error = 0;
    std::optional<std::vector<std::string>> addresses;

    bool operator==(const HostAnswer&) const = default;
};

// Asks the sockets functions as the network panel does: start-up, the host's
// name, the look-up of that name, clean-up. A start-up that fails leaves
// the name unanswered with error -1.
HostAnswer askHost(Sockets& sockets);

// Sockets that answer from a HostAnswer (another machine's, read from a
// snapshot): start-up and clean-up succeed, gethostname gives the name or
// fails with its error number, and every look-up gives the addresses.
class AnsweringSockets : public Sockets {
  public:
    explicit AnsweringSockets(HostAnswer answer) : m_answer(std::move(answer)) {}

    int WSAStartup(std::uint16_t versionRequested, WsaData& data) override;
    int WSACleanup() override;
    int gethostname(std::string& name, int length) override;
    int WSAGetLastError() override;
    std::optional<HostEntry> gethostbyname(const std::string& name) override;

  private:
    HostAnswer m_answer;
};

// The bytes of a dotted IPv4 address ("192.0.2.7"); no value when the text
// is not four decimal numbers of 0 to 255.
std::optional<std::vector<std::uint8_t>> parseDottedAddress(const std::string& text);

}  // namespace tolvex
