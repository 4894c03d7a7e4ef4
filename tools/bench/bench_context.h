// What every part of the benchmark shares: its options, the virtual modem,
// the fake notification area, the program under test, and the design's waits.
#pragma once
#include <string>

#include "res/resource.h"
#include "tools/bench/options.h"
#include "tools/driver/fake_tray.h"
#include "tools/driver/vmodem_client.h"

namespace bench {

constexpr char kMainTitle[] = MAIN_WINDOW_TITLE;
constexpr char kDetectTitle[] = "Automatic Modem Detection";
constexpr int kSetButton = IDC_SET;
constexpr int kCurrentButton = IDC_CURRENT;
constexpr int kModemCom = 4;
constexpr int kProbeCom = 3;  // probed first, so a trial ends early

// The design's waits (ms).
constexpr double kOpen = 1000 + 500;
constexpr double kProbeWindow = 300;
constexpr double kDetectionNominal = 1 + 6 * (kOpen + kProbeWindow + kProbeWindow);
constexpr double kQueryNominal = kOpen + 200 + 100;
constexpr double kAnswerWindow = 2000;
constexpr double kSetOkNominal = kOpen + 100;  // + the modem's reply delay, 0 here
constexpr double kSetFailNominal = kOpen + kAnswerWindow + 100;
constexpr double kLatencyTarget = 20;
constexpr double kPortCpuTarget = 2;  // % of one core

class Context {
public:
    explicit Context(const Options& options) : opt(options) {}
    bool Setup(std::string* error);

    bool DetachAll();
    bool OnlyModemOn(int com);
    // Our clock minus the modem's, from the exchange with the shortest round trip.
    double ModemClockOffset(double* roundTrip = nullptr);

    const Options opt;
    drv::VModemClient modem;
    drv::FakeTray tray;
    std::string exe;  // korvane.exe
};

}  // namespace bench
