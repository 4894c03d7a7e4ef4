#include "framework/message_wait.h"

#include <windows.h>

#include <ctime>

void DrainMessageQueue() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void WaitWithMessages(int ms) {
    const long start = static_cast<long>(std::clock());
    do {
        DrainMessageQueue();
    } while (static_cast<long>(std::clock()) <= start + ms);
}
