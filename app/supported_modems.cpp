#include "app/supported_modems.h"

#include <cstddef>
#include <cstring>

namespace {

// The names under which the system announces the supported cards' ports.
const char* const g_supportedModems[] = {
    "Brimoth Portaline V.90 Fax Modem (RTI)",  "PC Card V.90 Fax Modem (RT)", "PC Card V.90 Fax Modem (RTI)",
    "Brimoth Portaline 56K PC Card Fax Modem", "56K PC Card Fax Modem",       "",
};

constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_PORT_A, dbcp_name);

}  // namespace

bool IsSupportedModemPort(const DEV_BROADCAST_HDR* record) {
    if (!record || record->dbch_size < kNameOffset + 1) return false;
    if (record->dbch_devicetype != DBT_DEVTYP_PORT) return false;
    const char* name = reinterpret_cast<const DEV_BROADCAST_PORT_A*>(record)->dbcp_name;
    const std::size_t room = record->dbch_size - kNameOffset;
    if (!std::memchr(name, '\0', room)) return false;
    for (const char* const* entry = g_supportedModems; **entry; ++entry) {
        if (std::strcmp(name, *entry) == 0) return true;
    }
    return false;
}
