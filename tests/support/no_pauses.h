// The window's pace with no pause of opening or closing: its windows alone,
// for tests that time the windows or need a connection with no pauses at all.
#pragma once
#include "core/modem_timing.h"

constexpr ModemTiming kNoPauses = [] {
    ModemTiming timing;
    timing.settle = timing.readerStart = timing.nextProbe = ModemTiming::Ms(0);
    timing.commandRelease = timing.quitRelease = ModemTiming::Ms(0);
    return timing;
}();
