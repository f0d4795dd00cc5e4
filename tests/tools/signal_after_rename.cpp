// Preloaded into a tool by its tests (LD_PRELOAD): the first rename that succeeds raises SIGTERM
// at once, as an interrupt arriving just after one output took its name and before the next did.
#include <dlfcn.h>

#include <csignal>
#include <cstdio>

extern "C" int rename(const char* from, const char* to) {
    using Rename = int (*)(const char*, const char*);
    static const auto next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    static bool raised = false;
    const int result = next(from, to);
    if (result == 0 && !raised) {
        raised = true;
        std::raise(SIGTERM);
    }
    return result;
}
