// Faults on the line while an operation waits for its reply: the modem
// vanishing, floods before a reply or after it, and an endless line. Each ends
// in one of the operation's outcomes, leaves no thread, handle or port behind
// (a connection ended while bytes arrive included), and the next operation works.
#include <gtest/gtest.h>

#include "tests/ui/scenario.h"

namespace {

const std::string kFailure = "box=Error!  Country code setting failed!; tips=";
const std::string kSuccess = "box=Congratulations, country code set successfully.; tip=Germany";
const std::string kFlood = " do flood 4 1048576";

TEST(Faults, ModemVanishing) {
    Play(Home(), {
                     {"during a query, its reply due at 150 ms", "4: delay=150",
                      "when 4 got ati9 do set 4 present 0|query", "tip=Unknow Country; level=same", true},
                     {"during the wait of a setting, its OK due at 1500 ms", "4: delay=1500",
                      "when 4 got at%t do set 4 present 0|set Germany", kFailure + "; level=same"},
                     {"the modem back: the next setting succeeds", "4:", "set Germany", kSuccess},
                 });
}

TEST(Faults, FloodsAndEndlessLines) {
    Play(Home(),
         {
             {"1 MiB of random bytes during a query, before its reply", "4: delay=150",
              "when 4 got ati9" + kFlood + "|query", "tip=Unknow Country"},
             {"the flood over, the country is recognised again", "4:", "query", "tip=United States; level=same"},
             {"the OK on a line of its own amid an endless line",
              "4:", "do endless 4 1|set Germany|do endless 4 0", kSuccess + "; level=same"},
             {"OK, then 1 MiB of random bytes", "4:", "when 4 got at%t" + kFlood + "|set Germany", kSuccess},
             {"ERROR, then 1 MiB of random bytes", "4: seterror=1", "when 4 got at%t" + kFlood + "|set Germany",
              kFailure, true},
         });
}

}  // namespace
