// Where a detection run looks for the modem: COM ports, in this order.
#pragma once
#include <string>

constexpr int kProbePortCount = 6;
constexpr int kProbeOrder[kProbePortCount] = {3, 4, 2, 1, 5, 6};

// "COM<number>": the name under which the system opens COM port number.
std::string ComPortName(int number);
