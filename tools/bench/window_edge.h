// The one bisection of the benchmark: the largest reply delay that a reply
// window still takes.
#pragma once
#include <functional>
#include <optional>
#include <string>

namespace bench {

// A trial: whether a reply after the delay (ms) was taken; nothing when the
// trial did not end.
using EdgeTrial = std::function<std::optional<bool>(int delayMs)>;

// Bisects between lo (taken) and hi (missed) down to resolution ms. With
// checkBracket the two ends are tried first. The edge, or nothing with the
// reason in *failure.
std::optional<int> FindWindowEdge(int lo, int hi, int resolution, bool checkBracket, const EdgeTrial& trial,
                                  std::string* failure);

}  // namespace bench
