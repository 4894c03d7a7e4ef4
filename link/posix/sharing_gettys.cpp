#include "link/posix/sharing_gettys.h"

namespace {

// Each documents the arrangement: mgetty ("How mgetty works"), vgetty (mgetty
// with voice, the same line handling), HylaFAX's faxgetty, and uugetty
// (getty_ps, and System V's: "the line can be used in both directions").
const char* const kSharingGettys[] = {"mgetty", "vgetty", "faxgetty", "uugetty"};

}  // namespace

bool SharesLineThroughLocks(const std::string& command) {
    for (const char* getty : kSharingGettys)
        if (command == getty) return true;
    return false;
}
