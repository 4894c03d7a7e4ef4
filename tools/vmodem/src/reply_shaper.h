#pragma once

#include <vector>

#include "at_command_executor.h"
#include "emission.h"
#include "modem_settings.h"

// Turns the outcome of one command line into timed writes: information text
// and the verbose result code framed by line ends, preceded by the junk
// bytes, delayed and split as the settings ask. Empty when nothing is said.
std::vector<Emission> shape_reply(const CommandResult& result, const ModemSettings& settings);
