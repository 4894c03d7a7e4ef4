// The one reply capture of the program: received characters other than CR and
// LF since the last reset, capped at 78. The reader thread appends; the UI
// thread resets it and takes consistent copies.
#pragma once
#include <atomic>
#include <mutex>

constexpr unsigned kReplyCap = 78;

// Written by the reader thread (Feed) and the UI thread (reset, terminating
// zero); both under g_replyLock.
extern char g_reply[80];
extern std::atomic<unsigned> g_replyLen;
extern std::mutex g_replyLock;

// Holds the capture for one Feed call and appends to it.
class ReplyCaptureWriter {
public:
    ReplyCaptureWriter() : m_hold(g_replyLock) {}
    void Append(char c) {
        const unsigned len = g_replyLen.load();
        g_reply[len] = c;
        if (len < kReplyCap) g_replyLen.store(len + 1);
    }

private:
    std::lock_guard<std::mutex> m_hold;
};

void ResetReply();
// Ends the capture at the length reached and copies it (with its zero) to out[80].
void TakeReply(char* out);
