#include "tools/driver/vmodem_client.h"

#include <ws2tcpip.h>

#include <cstdlib>
#include <sstream>

namespace drv {

namespace {
constexpr DWORD kAnswerTimeout = 15000;  // ms; the modem answers in microseconds, a loaded host in seconds

// Parses one transcript line ("rx 120 61740d0a", "tx 300 flood 4096").
std::optional<TranscriptEntry> ParseTranscriptLine(const std::string& line) {
    std::istringstream in(line);
    std::string direction, data;
    TranscriptEntry entry;
    std::uint64_t bulkCount = 0;
    if (!(in >> direction >> entry.ms) || (direction != "rx" && direction != "tx")) return std::nullopt;
    entry.received = direction == "rx";
    if (!(in >> data)) return entry;  // nothing but the time: no bytes
    if (in >> bulkCount) return entry;  // a bulk send: its label and count
    if (data.size() % 2 || data.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    for (size_t i = 0; i < data.size(); i += 2)
        entry.bytes.push_back(static_cast<char>(std::stoi(data.substr(i, 2), nullptr, 16)));
    return entry;
}

}  // namespace

VModemClient::~VModemClient() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (started_) WSACleanup();
}

std::optional<int> VModemClient::SessionPort() {
    const char* port = std::getenv("KORVANE_VMODEM_PORT");
    if (!port || !*port) return std::nullopt;
    return std::atoi(port);
}

bool VModemClient::Connect(int port, std::string* error) {
    port_ = port;
    pending_.clear();
    // A program started again on the same client connects anew: the old
    // connection is closed, not left open to count against the modem's clients.
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    WSADATA data;
    if (!started_) started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket_ == INVALID_SOCKET ||
        connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *error = "cannot connect to the virtual modem on port " + std::to_string(port);
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        socket_ = INVALID_SOCKET;
        return false;
    }
    const DWORD timeout = kAnswerTimeout;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    return true;
}

bool VModemClient::ReadLine(std::string* line, std::string* why) {
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            *line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        char buffer[4096];
        const int got = recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0) {
            *why = got == 0 ? "the modem closed the connection" : "recv failed, error " + std::to_string(WSAGetLastError());
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(got));
    }
}

VModemAnswer VModemClient::Request(const std::string& line) {
    VModemAnswer answer = Exchange(line);
    if (!answer.ok) lastFailure_ = "\"" + line + "\": " + answer.error;
    return answer;
}

VModemAnswer VModemClient::Exchange(const std::string& line) {
    VModemAnswer answer;
    // A reconnection that failed once is tried again here, so that one
    // refused connection does not fail every later request of the process.
    if (socket_ == INVALID_SOCKET && !Connect(port_, &answer.error)) return answer;
    const std::string out = line + "\n";
    if (send(socket_, out.data(), static_cast<int>(out.size()), 0) != static_cast<int>(out.size())) {
        answer.error = "send failed";
        Reconnect();
        return answer;
    }
    std::string reply, why;
    while (ReadLine(&reply, &why)) {
        if (reply == "OK") {
            answer.ok = true;
            return answer;
        }
        if (reply.rfind("ERR", 0) == 0) {
            answer.error = reply.size() > 4 ? reply.substr(4) : reply;
            return answer;
        }
        if (reply.rfind("= ", 0) == 0)
            answer.value = reply.substr(2);
        else
            answer.lines.push_back(reply);
    }
    // A read that timed out leaves the stream where a late answer would be
    // taken for the next request's: start the next one on a fresh connection.
    answer.error = "no answer: " + why;
    Reconnect();
    return answer;
}

void VModemClient::Reconnect() {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
    std::string ignored;
    Connect(port_, &ignored);
}

std::optional<std::int64_t> VModemClient::Now() {
    const std::optional<std::string> value = Request("now").value;
    if (!value) return std::nullopt;
    return std::strtoll(value->c_str(), nullptr, 10);
}

std::optional<std::vector<TranscriptEntry>> VModemClient::Transcript(int com) {
    const VModemAnswer answer = Request("transcript " + std::to_string(com));
    if (!answer.ok) return std::nullopt;
    std::vector<TranscriptEntry> entries;
    for (const std::string& line : answer.lines) {
        std::optional<TranscriptEntry> entry = ParseTranscriptLine(line);
        if (!entry) return std::nullopt;
        entries.push_back(*entry);
    }
    return entries;
}

std::optional<std::string> VModemClient::Received(int com) {
    const std::optional<std::vector<TranscriptEntry>> entries = Transcript(com);
    if (!entries) return std::nullopt;
    std::string bytes;
    for (const TranscriptEntry& e : *entries)
        if (e.received) bytes += e.bytes;
    return bytes;
}

}  // namespace drv
