// The pauses and reply windows of a modem connection. They are data: the
// operations take them, so a caller can run them at the program's pace or
// with other values.
#pragma once
#include <chrono>

struct ModemTiming {
    using Ms = std::chrono::milliseconds;
    // Opening: from the open to the line settings, and from the start of
    // reception to the first command.
    Ms settle{1000};
    Ms readerStart{500};
    // The identification line ends within probeWindow of "ati3"; a detection
    // run opens the next port nextProbe after its verdict.
    Ms probeWindow{300};
    Ms nextProbe{300};
    // The country information is taken queryWindow after its command.
    Ms queryWindow{200};
    // The acknowledgement line of a setting ends within setWindow of its
    // command; equal to the window is not yet late.
    Ms setWindow{2000};
    // From the stop of reception to the close: after a query or a setting,
    // and when the program quits.
    Ms commandRelease{100};
    Ms quitRelease{100};
    // Prompt: a wait ends as soon as its answer is complete (the
    // identification seen, a final OK or ERROR), the windows above being only
    // its upper bounds, and a detection probes all its ports at once.
    // Otherwise every window is waited out, but for a setting's OK.
    bool prompt = false;
};

// The program's own pace, the window's.
constexpr ModemTiming kProgramPace{};

// The command line's pace: the settling pause stays, which a card needs
// after its port is opened; nothing else is waited for that has not to be.
constexpr ModemTiming kPromptPace = [] {
    ModemTiming timing;
    timing.readerStart = timing.nextProbe = timing.commandRelease = ModemTiming::Ms(0);
    timing.prompt = true;
    return timing;
}();
