// Preloaded into a tool by its tests (LD_PRELOAD): the first output that takes its name (by
// rename, by a rename that keeps what is there, or by a link where the file system has no such
// rename) raises SIGTERM at once, as an interrupt arriving just after one output took its name and
// before the next did.
#include <dlfcn.h>
#include <fcntl.h>

#include <csignal>
#include <cstdio>

namespace {

bool raised = false;

int RaiseAfterFirst(int result) {
    if (result == 0 && !raised) {
        raised = true;
        std::raise(SIGTERM);
    }
    return result;
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
    using Rename = int (*)(const char*, const char*);
    static const auto next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    return RaiseAfterFirst(next(from, to));
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned int flags) {
    using Renameat2 = int (*)(int, const char*, int, const char*, unsigned int);
    static const auto next = reinterpret_cast<Renameat2>(dlsym(RTLD_NEXT, "renameat2"));
    return RaiseAfterFirst(next(fromFolder, from, toFolder, to, flags));
}

extern "C" int link(const char* from, const char* to) {
    using Link = int (*)(const char*, const char*);
    static const auto next = reinterpret_cast<Link>(dlsym(RTLD_NEXT, "link"));
    return RaiseAfterFirst(next(from, to));
}
