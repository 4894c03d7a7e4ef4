#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "control_requests.h"
#include "unique_fd.h"

// Listens on 127.0.0.1 for control connections, splits what clients send
// into request lines and queues each answer back to its client. Sockets are
// non-blocking; the event loop drives everything.
class ControlServer {
public:
    using Handler = std::function<ControlAnswer(std::string_view line)>;

    struct ClientPoll {
        int id;
        int fd;
        short events;
    };

    // Port 0 picks a free port. Throws std::system_error.
    ControlServer(std::uint16_t port, Handler handler);

    std::uint16_t port() const { return port_; }
    int listen_fd() const { return listener_.get(); }
    bool quit_requested() const { return quit_; }

    void accept_clients();
    std::vector<ClientPoll> client_polls() const;
    void handle_client(int id, short revents);
    // Last attempt to deliver pending answers (before the program ends).
    void flush_all();

private:
    struct Client {
        UniqueFd fd;
        std::string in;
        std::string out;
        bool discarding = false;  // inside an overlong line, dropping it up to its LF
        bool peer_done = false;   // the client will send nothing more
        bool broken = false;
    };

    void read_from(Client& c);
    void process_lines(Client& c);
    void answer(Client& c, std::string_view line);
    void write_to(Client& c);

    UniqueFd listener_;
    std::uint16_t port_ = 0;
    Handler handler_;
    std::map<int, Client> clients_;
    int next_id_ = 0;
    bool quit_ = false;
};
