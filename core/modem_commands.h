// What the program says to the modem and what it takes for an answer.
#pragma once
#include <cstddef>

// The identification probe, written as it is: six bytes, no terminating zero
// on the line. A supported card answers with a line holding one of its two
// identification strings, in this letter case.
constexpr char kProbeCommand[] = "ati3\r\n";
constexpr std::size_t kProbeCommandLength = sizeof kProbeCommand - 1;
constexpr char kModemId1[] = "QTRXFM330HWNF1*GEN";
constexpr char kModemId2[] = "QTRXPM330HWTF1*GEN";

// The country information: the modem's reply names its country.
constexpr char kCountryInfoCommand[] = "i9";

// The country setting, followed by the country's one or two code characters;
// acknowledged by a line that is exactly kAcknowledgement.
constexpr char kSetCountryCommand[] = "%t19,0,";
constexpr char kAcknowledgement[] = "OK";

// Brings a modem into the mode the command line reads, from whatever state
// another program left it in: echo off (E0), result codes on (Q0), in words
// (V1). The modem keeps these until it is reset or loses power.
constexpr char kSyncCommand[] = "E0Q0V1";

// Room for a framed command: "at", at most 251 characters, CR and LF, zero.
constexpr std::size_t kFramedCommandSize = 256;

// True when a reply captured without its line ends holds nothing but the
// modem's echo of the command ("ati9" for "i9"), ASCII letter case ignored:
// no modem answered it.
bool IsOnlyEcho(const char* reply, const char* command);

// Writes "at<command>\r\n" into out and returns its length. The command is
// text, never a format: a percent sign goes out unchanged. A command too long
// for out is cut so that the frame still ends with CR and LF.
std::size_t FrameAtCommand(const char* command, char (&out)[kFramedCommandSize]);

// The standard country command of other modems, followed by "?" for the
// country's code, "=?" for the codes supported and "=" with a code to set
// one; each answered by a final OK or ERROR. A modem is one when it answers
// the bare attention command ("at") with OK.
constexpr char kAttentionCommand[] = "";
constexpr char kGciQueryCommand[] = "+GCI?";
constexpr char kGciListCommand[] = "+GCI=?";
constexpr char kGciSetCommand[] = "+GCI=";
