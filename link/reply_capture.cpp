#include "link/reply_capture.h"

#include <cstring>

char g_reply[80];
std::atomic<unsigned> g_replyLen{0};
std::mutex g_replyLock;

void ResetReply() {
    std::lock_guard<std::mutex> hold(g_replyLock);
    g_replyLen.store(0);
}

void TakeReply(char* out) {
    std::lock_guard<std::mutex> hold(g_replyLock);
    const unsigned len = g_replyLen.load();
    g_reply[len] = '\0';
    std::memcpy(out, g_reply, len + 1);
}
