#include "app/port_steps.h"

#include <windows.h>

#include "framework/message_wait.h"
#include "link/at_command.h"

namespace {

constexpr DWORD kSettleDelay = 1000;      // after opening, before configuring
constexpr DWORD kReaderStartDelay = 500;  // after starting the reader, before the probe
constexpr DWORD kCommandPause = 100;      // teardown after a query or setting
constexpr int kQuitPause = 100;           // teardown when quitting, messages dispatched

}  // namespace

CPortReader* OpenPortTimed(PortConnection& link, std::atomic<int>& stopFlag, int port, bool probe) {
    link.Open(port);  // ends a connection still open first
    Sleep(kSettleDelay);
    link.Configure();
    stopFlag = 0;
    CPortReader* reader = probe ? link.StartReader(kModemId1, kModemId2) : link.StartReader("", "");
    Sleep(kReaderStartDelay);
    // Returns as soon as the write is issued: the probe window starts now,
    // also on a port that holds the write back.
    if (probe) link.Write(kProbeCommand, kProbeCommandLength);
    return reader;
}

void SendAtCommand(PortConnection& link, const char* command) {
    char framed[kFramedCommandSize];
    link.Write(framed, static_cast<DWORD>(FrameAtCommand(command, framed)));
}

void ClosePortNow(PortConnection& link) {
    link.RequestStop();
    link.End();
}

void ClosePortAfterCommandTimed(PortConnection& link) {
    link.RequestStop();
    Sleep(kCommandPause);
    link.End();
    Beep(0, 0);
}

void ReleasePortOnQuitTimed(PortConnection& link) {
    link.RequestStop();
    WaitWithMessages(kQuitPause);
    link.DropDtrAndPurge();
    link.End();
}
