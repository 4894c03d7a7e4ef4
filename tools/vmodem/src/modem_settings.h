#pragma once

#include <cstdint>
#include <string>

#include "country_table.h"
#include "gci_list.h"

// Which modem it is: the PC card of the %T19 dialect, or a modem that takes
// its country with the standard +GCI command.
enum class Personality { Card, Gci };

// Everything that decides how a modem answers: the state AT commands change
// and the behaviour knobs a test sets through the control channel.
struct ModemSettings {
    // Changed by AT commands (and by the control channel).
    bool echo = true;
    bool quiet = false;   // Q1: no result codes
    bool verbose = true;  // V1: result codes in words; V0: in numbers
    std::uint8_t country = kDefaultCountry;

    // Behaviour knobs.
    Personality personality = Personality::Card;
    int id = 1;          // which identification string I3 reports
    std::string idtext;  // non-empty: I3 reports this instead
    std::uint32_t delay_ms = 0;
    bool silent = false;       // never reply (echo still follows `echo`)
    std::string junk;          // sent right before each reply
    std::uint32_t split = 0;   // max bytes per write of a reply, 0 = whole
    std::uint32_t gap_ms = 0;  // pause between split writes
    bool cronly = false;       // end lines with CR instead of CR LF
    bool ignoreset = false;    // %T or +GCI= answers OK without changing the country
    std::string okword = "OK";
    bool seterror = false;      // %T answers ERROR
    std::uint32_t ring_ms = 0;  // RING every so often, on its own; 0 = never
    // Deaf so long after each open of its port: what arrives meanwhile is
    // lost, or with deafkeep answered line by line once the modem wakes.
    std::uint32_t deaf_ms = 0;
    bool deafkeep = false;

    // The gci personality's own.
    bool gcispace = true;  // "+GCI: B5"; off: "+GCI:B5"
    bool bare = false;     // the +GCI answers without "+GCI:" and the list without parentheses
    std::string gcilist = known_countries_list();  // what +GCI=? lists, and what +GCI= takes
    bool gcireset = false;  // a change of country puts the other settings back, as AT&F does
    bool gcierror = false;  // every +GCI command answers ERROR
};
