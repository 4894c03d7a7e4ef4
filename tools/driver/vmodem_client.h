// A client of the virtual modem's control channel: one request line out,
// answer lines back up to "OK" or "ERR <reason>".
#pragma once
#include <winsock2.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace drv {

// One entry of a port's transcript: what the modem received (rx) from the
// program or sent (tx) to it, and when (the modem's clock, ms).
struct TranscriptEntry {
    bool received = false;
    std::int64_t ms = 0;
    std::string bytes;  // decoded from hex; none for a bulk send (a flood or an endless line)
};

struct VModemAnswer {
    bool ok = false;
    std::string error;                 // the reason of an ERR answer, or a transport failure
    std::optional<std::string> value;  // a "= value" line
    std::vector<std::string> lines;    // every other line before OK
};

class VModemClient {
public:
    VModemClient() = default;
    ~VModemClient();
    VModemClient(const VModemClient&) = delete;
    VModemClient& operator=(const VModemClient&) = delete;

    // The session's port (KORVANE_VMODEM_PORT); nullopt when it has no modem.
    static std::optional<int> SessionPort();
    bool Connect(int port, std::string* error);

    VModemAnswer Request(const std::string& line);
    // The request and reason of the last one that failed, for a row's message.
    const std::string& LastFailure() const { return lastFailure_; }

    bool Attach(int com) { return Request("attach " + std::to_string(com)).ok; }
    bool Detach(int com) { return Request("detach " + std::to_string(com)).ok; }
    bool Set(int com, const std::string& knob, const std::string& value) {
        return Request("set " + std::to_string(com) + " " + knob + " " + value).ok;
    }
    // Text with \r \n \t \\ \xHH escapes.
    bool Send(int com, const std::string& text) { return Request("send " + std::to_string(com) + " " + text).ok; }
    bool Clear(int com) { return Request("clear " + std::to_string(com)).ok; }
    std::optional<std::string> Termios(int com) { return Request("termios " + std::to_string(com)).value; }
    std::optional<std::int64_t> Now();
    std::optional<std::vector<TranscriptEntry>> Transcript(int com);
    // Every byte the modem received on the port since its transcript began, in order.
    std::optional<std::string> Received(int com);

private:
    VModemAnswer Exchange(const std::string& line);
    bool ReadLine(std::string* line, std::string* why);
    void Reconnect();

    SOCKET socket_ = INVALID_SOCKET;
    int port_ = 0;
    bool started_ = false;
    std::string lastFailure_;
    std::string pending_;
};

}  // namespace drv
