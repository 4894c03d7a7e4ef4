#include "link/posix/detectable_ports.h"

#include <algorithm>

#include "link/posix/serial_ports.h"
#include "link/posix/sharing_gettys.h"
#include "link/posix/terminals.h"

std::vector<std::string> DetectablePorts(const LeftOut& leftOut, const std::string& sysClassTty,
                                         const HoldersOf& holdersOf) {
    const std::vector<std::string> consoles = ConsoleNames(sysClassTty);
    std::vector<std::string> ports;
    for (const std::string& device : SystemSerialPorts(sysClassTty)) {
        const std::string name = device.substr(device.rfind('/') + 1);
        if (std::find(consoles.begin(), consoles.end(), name) != consoles.end()) {
            leftOut(device, "the kernel's console (" + sysClassTty + "/console/active)");
            continue;
        }
        std::vector<PortHolder> logins;
        for (const PortHolder& holder : holdersOf(device))
            if (holder.session && !SharesLineThroughLocks(holder.command)) logins.push_back(holder);
        if (!logins.empty()) {
            leftOut(device, "the terminal of a login session (" + DescribeHolders(logins) + ")");
            continue;
        }
        ports.push_back(device);
    }
    return ports;
}
