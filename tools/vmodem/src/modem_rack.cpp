#include "modem_rack.h"

#include <filesystem>

ModemRack::ModemRack(std::string dir, const Clock& clock) : dir_(std::move(dir)), clock_(clock) {
    std::filesystem::create_directories(dir_);
}

ModemPort& ModemRack::attach(int n) {
    // Built before the old modem goes, so a failure leaves the old one in place.
    auto port = std::make_unique<ModemPort>(dir_ + "/com" + std::to_string(n), clock_);
    port->set_present(true);
    ports_.at(n) = std::move(port);
    return *ports_.at(n);
}

void ModemRack::detach(int n) { ports_.at(n).reset(); }

ModemPort* ModemRack::find(int n) { return n >= kFirstPort && n <= kLastPort ? ports_[n].get() : nullptr; }

const ModemPort* ModemRack::find(int n) const {
    return n >= kFirstPort && n <= kLastPort ? ports_[n].get() : nullptr;
}
