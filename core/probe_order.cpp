#include "core/probe_order.h"

#include <algorithm>

std::string ComPortName(int number) { return "COM" + std::to_string(number); }

int ComPortNumber(const std::string& name) {
    const bool com = name.size() >= 4 && name.size() <= 6 && (name[0] | 0x20) == 'c' && (name[1] | 0x20) == 'o' &&
                     (name[2] | 0x20) == 'm' && name[3] != '0';
    int number = 0;
    for (std::size_t i = 3; com && i < name.size() && number <= kHighestComPort; ++i)
        number = name[i] >= '0' && name[i] <= '9' ? number * 10 + (name[i] - '0') : kHighestComPort + 1;
    return com && number >= 1 && number <= kHighestComPort ? number : 0;
}

std::vector<std::string> ComPortsToProbe(const std::vector<std::string>& listed) {
    std::vector<int> others;
    for (const std::string& name : listed) {
        const int number = ComPortNumber(name);
        if (number > 0 &&
            std::find(std::begin(kProbeOrder), std::end(kProbeOrder), number) == std::end(kProbeOrder))
            others.push_back(number);
    }
    std::sort(others.begin(), others.end());
    others.erase(std::unique(others.begin(), others.end()), others.end());
    std::vector<std::string> ports;
    for (int number : kProbeOrder) ports.push_back(ComPortName(number));
    for (int number : others) ports.push_back(ComPortName(number));
    return ports;
}
