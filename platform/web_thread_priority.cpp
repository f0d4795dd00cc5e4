// A page without threads: the page's device mixes in the page's own thread, so no mixing thread
// asks for a priority.
#include "platform/audio_device.h"

void RaiseThreadToTimeCritical() {}
