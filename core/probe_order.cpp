#include "core/probe_order.h"

std::string ComPortName(int number) { return "COM" + std::to_string(number); }
