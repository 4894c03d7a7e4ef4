#include "detect/detected_modems.h"
#include "detect/modem_in_use.h"

int g_probePorts[kProbePortCount];
int g_probeIndex;
int g_modemPorts[kProbePortCount];
int g_modemCount;
int g_selectedModem;
unsigned g_modemListVersion;

void FillProbeOrder() {
    static const int kOrder[kProbePortCount] = {3, 4, 2, 1, 5, 6};
    for (int i = 0; i < kProbePortCount; ++i) g_probePorts[i] = kOrder[i];
}

void KeepSelectedModemInList() {
    if (g_selectedModem < 0 || g_selectedModem >= g_modemCount) g_selectedModem = 0;
}

int SelectedModemPort() {
    KeepSelectedModemInList();
    return g_modemCount > 0 ? g_modemPorts[g_selectedModem] : 0;
}
