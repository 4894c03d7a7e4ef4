// The COM ports the command line probes on Windows, from the names the
// system lists: COM1 to COM6 in the program's order always, then the others
// in number order, each once; and the names that are no COM port.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/probe_order.h"

namespace {

TEST(ProbeOrder, PortsToProbe) {
    using Names = std::vector<std::string>;
    const Names window = {"COM3", "COM4", "COM2", "COM1", "COM5", "COM6"};
    const struct {
        Names listed;
        Names others;  // probed after the window's six
    } rows[] = {
        {{}, {}},
        {{"COM12", "COM9", "com7", "COM9", "COM3"}, {"COM7", "COM9", "COM12"}},
        {{"COM256", "COM257", "COM0", "COM09", "LPT1", "COM", "COM1x", "", "\\Device\\Serial0"}, {"COM256"}},
    };
    for (const auto& row : rows) {
        Names want = window;
        want.insert(want.end(), row.others.begin(), row.others.end());
        EXPECT_EQ(ComPortsToProbe(row.listed), want) << ::testing::PrintToString(row.listed);
    }
}

}  // namespace
