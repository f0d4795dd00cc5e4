// A page without threads: Emscripten's C library declares the scheduling calls but has nothing
// behind them. The page never starts the mixing thread that asks for them; were one asked, it is
// refused, as a desktop refuses a session without the privilege.
#include <pthread.h>
#include <sched.h>

#include <cerrno>

extern "C" int pthread_setschedparam(pthread_t, int, const sched_param*) { return EPERM; }
extern "C" int sched_get_priority_max(int) {
    errno = ENOSYS;
    return -1;
}
