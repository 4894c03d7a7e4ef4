// Where a detection run looks for the modem: COM ports, in this order.
#pragma once
#include <string>
#include <vector>

constexpr int kProbePortCount = 6;
constexpr int kProbeOrder[kProbePortCount] = {3, 4, 2, 1, 5, 6};
constexpr int kHighestComPort = 256;

// "COM<number>": the name under which the system opens COM port number.
std::string ComPortName(int number);
// The number of "COM1" to "COM256", letter case ignored, no leading zero; 0 for any other text.
int ComPortNumber(const std::string& name);
// The ports the command line's detection probes: COM1 to COM6 in the
// program's order, then the other COM ports of those the system lists, in
// number order, each once.
std::vector<std::string> ComPortsToProbe(const std::vector<std::string>& listed);
