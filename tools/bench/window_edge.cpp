#include "tools/bench/window_edge.h"

namespace bench {

std::optional<int> FindWindowEdge(int lo, int hi, int resolution, bool checkBracket, const EdgeTrial& trial,
                                  std::string* failure) {
    if (checkBracket) {
        const std::optional<bool> low = trial(lo);
        if (!low || !*low) {
            *failure = "a reply after " + std::to_string(lo) + " ms was not taken";
            return std::nullopt;
        }
        const std::optional<bool> high = trial(hi);
        if (!high || *high) {
            *failure = "a reply after " + std::to_string(hi) + " ms was still taken";
            return std::nullopt;
        }
    }
    while (hi - lo > resolution) {
        const int mid = (lo + hi) / 2;
        const std::optional<bool> taken = trial(mid);
        if (!taken) {
            *failure = "a trial did not end";
            return std::nullopt;
        }
        (*taken ? lo : hi) = mid;
    }
    return lo;
}

}  // namespace bench
