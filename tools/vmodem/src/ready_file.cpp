#include "ready_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

ReadyFile::ReadyFile(std::string path, std::optional<std::uint16_t> control_port) : path_(std::move(path)) {
    if (path_.empty()) return;
    const std::string temp = path_ + ".new" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::trunc);
        out << "pid " << getpid() << "\n";
        if (control_port) out << "control " << *control_port << "\n";
        out.flush();
        if (!out) throw std::system_error(errno, std::generic_category(), "write " + temp);
    }
    if (std::rename(temp.c_str(), path_.c_str()) != 0) {
        int saved = errno;
        std::remove(temp.c_str());
        throw std::system_error(saved, std::generic_category(), "rename to " + path_);
    }
}

ReadyFile::~ReadyFile() {
    if (!path_.empty()) std::remove(path_.c_str());
}
