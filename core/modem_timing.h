// The pauses and reply windows of a modem connection. They are data: the
// operations take them, so a caller can run them at the program's pace or
// with other values.
#pragma once
#include <chrono>

struct ModemTiming {
    using Ms = std::chrono::milliseconds;
    // Opening: from the open to the line settings, and from the start of
    // reception to the first command. At the prompt pace settle is no pause
    // but the bound of the readiness wait (below).
    Ms settle{1000};
    Ms readerStart{500};
    // Prompt: from the open the sync command goes out every syncInterval
    // until the modem answers one. A command and its answer take about 10 ms
    // on a 19200 bit/s line, and a listening modem answers within a few tens
    // of milliseconds: a ready modem is rarely asked twice, and one that
    // wakes is served within a tenth of a second.
    Ms syncInterval{100};
    // The identification line ends within probeWindow of "ati3"; a detection
    // run opens the next port nextProbe after its verdict.
    Ms probeWindow{300};
    Ms nextProbe{300};
    // The country information is taken queryWindow after its command.
    Ms queryWindow{200};
    // The answer to a +GCI question ends within gciWindow of it. A modem's
    // list of codes may be long (256 codes are 800 characters, 420 ms at
    // 19200 bit/s), so the prompt pace, which ends the wait at the final
    // result code anyway, bounds it more widely than the window's pace.
    Ms gciWindow{200};
    // The acknowledgement line of a setting ends within setWindow of its
    // command; equal to the window is not yet late.
    Ms setWindow{2000};
    // From the stop of reception to the close: after a query or a setting,
    // and when the program quits.
    Ms commandRelease{100};
    Ms quitRelease{100};
    // Prompt: the modem is waited for, not a fixed pause; a wait ends as
    // soon as its answer is complete (the identification seen, a final
    // result code), the windows above being only its upper bounds, and a
    // detection probes all its ports at once. Otherwise every pause and
    // window is waited out, but for a setting's OK, and no sync is sent.
    bool prompt = false;
};

// The program's own pace, the window's.
constexpr ModemTiming kProgramPace{};

// The command line's pace: nothing is waited for that has not to be; a
// modem is given up settle after the open when it has not answered by then.
constexpr ModemTiming kPromptPace = [] {
    ModemTiming timing;
    timing.readerStart = timing.nextProbe = timing.commandRelease = ModemTiming::Ms(0);
    timing.gciWindow = ModemTiming::Ms(1000);
    timing.prompt = true;
    return timing;
}();
