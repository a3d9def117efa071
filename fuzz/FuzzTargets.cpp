#include "FuzzTargets.h"

namespace fuzz {

const std::vector<Target>& allTargets()
{
    static const std::vector<Target> targets = {
        {"stream", fuzzStream},         {"handshake", fuzzHandshake}, {"devicemsg", fuzzDeviceMsg},
        {"adboutput", fuzzAdbOutput},   {"adbrunner", fuzzAdbRunner}, {"config", fuzzConfig},
        {"controlmsg", fuzzControlMsg}, {"keymap", fuzzKeyMap},
    };
    return targets;
}

} // namespace fuzz
