// The modem's command interpreter as rows: knobs, what the host sends, and
// every byte the modem puts on the line (echo and replies, in order). The
// replies whose content the core's operation rows read through this same
// engine (the countries and codes, the errors and refusals they meet, the
// sync line) are held by those rows, and a fault in a command the program
// never sends can mislead none of them; these rows hold the rest, the forms
// of the replies and the states a modem is left in, which those rows take
// in any form, so a fault there would pass them silently. The pace of the
// replies (delay, split, gap) is measured by the program's own timing rows,
// and the sync command (E0Q0V1, one line of three commands) is what brings
// the core's rows' numeric and quiet modems to answer in words.
#include <gtest/gtest.h>

#include <sstream>

#include "engine_knobs.h"
#include "modem_engine.h"

namespace {

const std::string kId1 = "\r\nQTRXFM330HWNF1*GEN\r\n", kOk = "\r\nOK\r\n";
std::string info(const std::string& text) { return "\r\n" + text + "\r\n"; }
// An input that rings the line instead of sending the modem anything.
const std::string kRings = "(the line rings)";

struct Row {
    const char* what;
    const char* knobs;  // "name=value ..."
    std::vector<std::string> inputs;
    std::string wire;
};

TEST(ModemEngine, Rows) {
    // clang-format off
    const Row rows[] = {
        {"echo, information, result, and the LF echoed last", "", {"ati3\r\n"}, "ati3\r" + kId1 + kOk + "\n"},
        {"echo switched off after its line", "", {"ate0\r", "at\r"}, "ate0\r" + kOk + kOk},
        {"the second identification", "echo=0 id=2", {"ATI3\r"}, info("QTRXPM330HWTF1*GEN") + kOk},
        {"a silent modem still echoes", "silent=1", {"ati3\r"}, "ati3\r"},
        // The gci personality: the country by its T.35 code with +GCI.
        {"gci: the country with a space, the list", "personality=gci echo=0 gcilist=00,B4,B5",
         {"AT+GCI?\r", "AT+GCI=?\r"}, info("+GCI: B5") + kOk + info("+GCI: (00,B4,B5)") + kOk},
        {"gci: no space, a range", "personality=gci echo=0 gcispace=0 gcilist=00-FF", {"AT+GCI?\r", "AT+GCI=?\r"},
         info("+GCI:B5") + kOk + info("+GCI:(00-FF)") + kOk},
        {"gci bare: the code and the list alone on their lines", "personality=gci echo=0 bare=1 gcilist=00,B5,F6",
         {"AT+GCI?\r", "AT+GCI=?\r"}, info("B5") + kOk + info("00,B5,F6") + kOk},
        {"gci: a change of country resets echo, no change does not", "personality=gci echo=0 gcireset=1",
         {"AT+GCI=B5\r", "AT\r", "AT+GCI=B4\r", "AT\r"}, kOk + kOk + kOk + "AT\r" + kOk},
        // The states another program may leave a modem in, and the commands that change them.
        {"numbers: results as digits and CR, information without its header", "echo=0 verbose=0",
         {"ATI3\r", "ATX\r"}, "QTRXFM330HWNF1*GEN\r\n0\r4\r"},
        {"quiet numbers say nothing", "echo=0 verbose=0 quiet=1", {"AT\r", "ATI9\r"}, "UNITED STATES\r\n"},
        {"junk, CR-only line ends and another OK word", "echo=0 junk=\\x01z cronly=1 okword=ok",
         {"ATI9\r", "ATX\r"}, "\x01z\rUNITED STATES\r\rok\r\x01z\rERROR\r"},
        // RING, in the form of the modem's results, or not at all.
        {"RING in words", "", {kRings}, "\r\nRING\r\n"},
        {"RING in numbers", "verbose=0", {kRings}, "2\r"},
        {"no RING from a quiet modem", "quiet=1", {kRings}, ""},
        {"no RING from a silent one", "silent=1", {kRings}, ""},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ModemEngine modem;
        std::istringstream knobs(row.knobs);
        for (std::string knob; knobs >> knob;)
            ASSERT_EQ(set_knob(modem.settings(), knob.substr(0, knob.find('=')), knob.substr(knob.find('=') + 1)),
                      std::nullopt);
        std::string wire;
        for (const std::string& input : row.inputs) {
            if (input == kRings) {
                wire += modem.ring();
                continue;
            }
            for (const Emission& e : modem.feed(input)) wire += e.bytes;
        }
        EXPECT_EQ(wire, row.wire);
    }
}

}  // namespace
