// The framing of the commands a connection sends the modem.
#pragma once
#include <cstddef>

// The three commands a modem is sent, and the time its reply may take.
//
// The identification probe, six bytes with no terminating zero on the line;
// the identification line comes within kProbeWindow of the write.
constexpr char kProbeCommand[] = "ati3\r\n";
constexpr std::size_t kProbeCommandLength = sizeof kProbeCommand - 1;
constexpr unsigned kProbeWindow = 300;  // ms
// The country information: the whole reply comes within kCountryInfoWindow.
constexpr char kCountryInfoCommand[] = "i9";
constexpr unsigned kCountryInfoWindow = 200;  // ms
// The country setting, followed by the country's code: the "OK" line ends
// within kSetCountryWindow of the write.
constexpr char kSetCountryCommand[] = "%t19,0,";
constexpr long kSetCountryWindow = 2000;  // ms
// Room for a framed command: "at", at most 251 characters, CR and LF, zero.
constexpr std::size_t kFramedCommandSize = 256;

// Writes "at<command>\r\n" into out and returns its length. The command is
// text, never a format: a percent sign goes out unchanged. A command too long
// for out is cut so that the frame still ends with CR and LF.
std::size_t FrameAtCommand(const char* command, char (&out)[kFramedCommandSize]);
