#pragma once

#include <cstdint>
#include <string>

#include "country_table.h"

// Everything that decides how a modem answers: the state AT commands change
// and the behaviour knobs a test sets through the control channel.
struct ModemSettings {
    // Changed by AT commands (and by the control channel).
    bool echo = true;
    bool quiet = false;  // Q1: no result codes
    std::uint8_t country = kDefaultCountry;

    // Behaviour knobs.
    int id = 1;               // which identification string I3 reports
    std::string idtext;       // non-empty: I3 reports this instead
    std::uint32_t delay_ms = 0;
    bool silent = false;      // never reply (echo still follows `echo`)
    std::string junk;         // sent right before each reply
    std::uint32_t split = 0;  // max bytes per write of a reply, 0 = whole
    std::uint32_t gap_ms = 0; // pause between split writes
    bool cronly = false;      // end lines with CR instead of CR LF
    bool ignoreset = false;   // %T answers OK without changing the country
    std::string okword = "OK";
    bool seterror = false;    // %T answers ERROR
};
