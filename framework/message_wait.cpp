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
    const long end = static_cast<long>(std::clock()) + ms;
    for (;;) {
        DrainMessageQueue();
        const long now = static_cast<long>(std::clock());
        if (now > end) return;
        // Asleep until the thread has a message, or until one tick past the
        // end; MWMO_INPUTAVAILABLE wakes for a message the drain left behind too.
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now + 1), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}
