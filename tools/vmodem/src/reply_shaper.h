#pragma once

#include <string>
#include <vector>

#include "at_command_executor.h"
#include "emission.h"
#include "modem_settings.h"

// Turns the outcome of one command line into timed writes: information text
// and the result code, preceded by the junk bytes, delayed and split as the
// settings ask. Empty when nothing is said.
std::vector<Emission> shape_reply(const CommandResult& result, const ModemSettings& settings);

// A result code as the modem writes it: "\r\nWORD\r\n" in words (V1),
// "N\r" in numbers (V0); nothing in quiet mode (Q1).
std::string result_code(const ModemSettings& settings, const std::string& word, int number);
