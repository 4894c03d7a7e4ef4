// The modems found by the last detection run, and the order in which ports are probed.
// UI thread only.
#pragma once
#include "core/probe_order.h"

extern int g_probePorts[kProbePortCount];  // COM numbers in probe order
extern int g_probeIndex;                   // the port the run works on
extern int g_modemPorts[kProbePortCount];  // COM numbers of the modems found, in that order
extern int g_modemCount;
extern int g_selectedModem;  // the modem the country operations use
// Counts the runs that refilled the list, so that a selection made on an
// older list is never applied to a newer one.
extern unsigned g_modemListVersion;

// Copies the probe order into g_probePorts.
void FillProbeOrder();
// Brings g_selectedModem back into the list (to 0) when it points outside it.
void KeepSelectedModemInList();
