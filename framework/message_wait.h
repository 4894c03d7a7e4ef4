// Waits of the UI thread that keep its windows alive.
#pragma once

// Dispatches the thread's pending messages until its queue is empty.
void DrainMessageQueue();
// Dispatches messages again and again, without sleeping, until the process
// clock has advanced by more than ms milliseconds.
void WaitWithMessages(int ms);
