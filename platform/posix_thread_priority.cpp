// Real-time priority through POSIX scheduling, for the native platforms.
#include <pthread.h>
#include <sched.h>

#include "platform/audio_device.h"

void RaiseThreadToTimeCritical() {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}
