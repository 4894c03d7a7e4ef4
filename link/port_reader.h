// The record that a port connection hands to its reader thread, and the line
// matcher that turns received bytes into lines, pattern hits and the reply
// capture. Portable: the native fuzz build compiles it as it is.
#pragma once
#include <atomic>
#include <mutex>

struct CPortReader {
    // Reader thread only.
    unsigned lineLen = 0;
    // Written by the reader thread (set) and by the UI thread (cleared by the
    // country setting before it sends); read by both.
    std::atomic<int> found{0};
    // Reader thread only.
    char line[81] = {};
    // Written by the UI thread through SetPattern, read by the reader thread;
    // both under patternLock, so a line is tested against whole patterns only.
    char patterns[2][80] = {};
    bool wholeLine[2] = {};

    // Appends the received bytes to the line being assembled and to the reply
    // capture; raises found when a finished line contains an active pattern.
    void Feed(const char* bytes, int count);
    // Replaces pattern 0 or 1 (empty text: inactive). A whole-line pattern
    // matches only a line that is exactly its text, others any line holding it.
    void SetPattern(int index, const char* text, bool wholeLineOnly = false);

private:
    bool LineMatches();
    std::mutex patternLock;
};

// Identification strings that a supported modem gives in reply to "ati3".
extern const char kModemId1[];
extern const char kModemId2[];
