// Waits of the UI thread that keep its windows alive.
#pragma once

// Dispatches the thread's pending messages until its queue is empty.
void DrainMessageQueue();
// Dispatches the thread's messages as they come, and sleeps between them,
// until the process clock has advanced by more than ms milliseconds; the
// queue is drained at least once.
void WaitWithMessages(int ms);
