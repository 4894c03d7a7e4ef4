#include "detect/detected_modems.h"
#include "detect/modem_in_use.h"

int g_probePorts[kProbePortCount];
int g_probeIndex;
int g_modemPorts[kProbePortCount];
int g_modemCount;
int g_selectedModem;
unsigned g_modemListVersion;

void FillProbeOrder() {
    for (int i = 0; i < kProbePortCount; ++i) g_probePorts[i] = kProbeOrder[i];
}

void KeepSelectedModemInList() {
    if (g_selectedModem < 0 || g_selectedModem >= g_modemCount) g_selectedModem = 0;
}

int SelectedModemPort() {
    KeepSelectedModemInList();
    return g_modemCount > 0 ? g_modemPorts[g_selectedModem] : 0;
}
