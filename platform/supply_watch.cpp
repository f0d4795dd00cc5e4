#include "platform/supply_watch.h"

#include <algorithm>

bool NoteSupply(SupplyWatch* watch, int64_t elapsedFrames, int64_t deliveredFrames) {
    const int64_t lag = elapsedFrames - deliveredFrames;
    // While the device fills its first buffers it takes sound faster than it plays it: the lag
    // is trusted from the first callback after that, which sets where the baseline starts.
    if (deliveredFrames < watch->warmUpFrames) return false;
    if (!watch->started) {
        watch->baselineFrames = lag;
        watch->started = true;
        return false;
    }
    if (lag > watch->baselineFrames + watch->thresholdFrames) {
        ++watch->drySpells;
        watch->dryFrames += lag - watch->baselineFrames;
        watch->baselineFrames = lag;
        return true;
    }
    watch->baselineFrames = std::max(watch->baselineFrames, lag);
    return false;
}
