#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Announces that the program is fully set up: writes "pid <pid>" and, with a
// control channel, "control <tcp-port>" lines to `path` atomically (temp file
// then rename), and removes the file again when destroyed. An empty path
// does nothing.
class ReadyFile {
public:
    ReadyFile(std::string path, std::optional<std::uint16_t> control_port);  // throws
    ~ReadyFile();
    ReadyFile(const ReadyFile&) = delete;
    ReadyFile& operator=(const ReadyFile&) = delete;

private:
    std::string path_;
};
