// The framing of the commands a connection sends the modem.
#pragma once
#include <cstddef>

// The identification probe, six bytes with no terminating zero on the line.
constexpr char kProbeCommand[] = "ati3\r\n";
constexpr std::size_t kProbeCommandLength = sizeof kProbeCommand - 1;
// Room for a framed command: "at", at most 251 characters, CR and LF, zero.
constexpr std::size_t kFramedCommandSize = 256;

// Writes "at<command>\r\n" into out and returns its length. The command is
// text, never a format: a percent sign goes out unchanged. A command too long
// for out is cut so that the frame still ends with CR and LF.
std::size_t FrameAtCommand(const char* command, char (&out)[kFramedCommandSize]);
