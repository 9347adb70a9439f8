#include "net/HostAnswer.h"

#include <algorithm>

#include "net/modGetIPInfo.h"

namespace tolvex {

namespace {

constexpr std::uint16_t kVersionRequested = 257;  // Windows Sockets 1.1
constexpr int kHostNameLength = 256;

}  // namespace

HostRecord askHost(Sockets& sockets) {
    HostRecord answer;
    WsaData data;
    if (sockets.WSAStartup(kVersionRequested, data) != 0) {
        answer.error = -1;
        return answer;
    }
    std::string name;
    if (sockets.gethostname(name, kHostNameLength) == -1) {
        answer.error = sockets.WSAGetLastError();
    } else {
        name.erase(std::min(name.find('\0'), name.size()));
        answer.name = name;
        if (const auto host = sockets.gethostbyname(name)) {
            answer.addresses.emplace();
            for (const auto& address : host->h_addr_list) {
                std::string text = modGetIPInfo::dottedAddress(address, host->h_length);
                if (!text.empty()) {
                    answer.addresses->push_back(std::move(text));
                }
            }
        }
    }
    sockets.WSACleanup();
    return answer;
}

int AnsweringSockets::WSAStartup(std::uint16_t /*versionRequested*/, WsaData& data) {
    data.wVersion = kVersionRequested;
    data.iMaxSockets = 32767;
    return 0;
}

int AnsweringSockets::WSACleanup() {
    return 0;
}

int AnsweringSockets::gethostname(std::string& name, int /*length*/) {
    if (!m_answer.name) {
        return -1;
    }
    name = *m_answer.name;
    return 0;
}

int AnsweringSockets::WSAGetLastError() {
    return m_answer.error;
}

std::optional<HostEntry> AnsweringSockets::gethostbyname(const std::string& /*name*/) {
    if (!m_answer.addresses) {
        return std::nullopt;
    }
    HostEntry entry;
    for (const auto& text : *m_answer.addresses) {
        if (auto bytes = parseDottedAddress(text)) {
            entry.h_addr_list.push_back(std::move(*bytes));
        }
    }
    return entry;
}

}  // namespace tolvex
