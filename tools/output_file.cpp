#include "tools/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <utility>

namespace {

namespace fs = std::filesystem;

constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
// The kernel's own limit on the links one lookup follows.
constexpr int kMaxLinksFollowed = 40;
// Outputs open at once in one tool: a render writes two.
constexpr int kMaxTemporaries = 8;
// Child processes writing at once: the capture runs one ffmpeg at a time.
constexpr int kMaxChildren = 4;
// Short and of fixed length, so that any name that fits its folder has a temporary that does too.
constexpr char kTemporaryPattern[] = ".partial-XXXXXX";
constexpr size_t kFileBufferBytes = 256 * 1024;

// What the signal handler removes. A slot's path is complete before `used` is set and stays as it
// is while set; the slots change only with the handled signals held back.
struct TemporarySlot {
    std::atomic<bool> used;
    char path[PATH_MAX];
};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler reads the slots");
TemporarySlot temporaries[kMaxTemporaries];
// The watched children's ids, 0 in a free slot.
std::atomic<pid_t> children[kMaxChildren];
static_assert(std::atomic<pid_t>::is_always_lock_free, "the signal handler reads the ids");

sigset_t HandledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kHandledSignals) sigaddset(&set, signal);
    return set;
}

// Held while a temporary exists on disk and the registry does not say so yet, or no longer does.
using SignalsHeld = HandledSignalsHeld;

// Only async-signal-safe calls from here on. A child is ended at once (its work is being thrown
// away) and waited for, so that nothing writes into the folder once the temporaries are removed.
void RemoveTemporariesAndStop(int signal) {
    for (std::atomic<pid_t>& child : children) {
        const pid_t pid = child.load(std::memory_order_acquire);
        if (pid <= 0) continue;
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    for (TemporarySlot& slot : temporaries) {
        if (slot.used.load(std::memory_order_acquire)) unlink(slot.path);
    }
    // SA_RESETHAND put the default action back. The signal raised again waits while this
    // handler holds it back, and ends the process the moment it is let through.
    raise(signal);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    _exit(128 + signal);
}

void ReleaseSlot(const std::string& path) {
    for (TemporarySlot& slot : temporaries) {
        if (slot.used.load(std::memory_order_relaxed) && path == slot.path) {
            slot.used.store(false, std::memory_order_release);
            return;
        }
    }
}

// Removes the temporary, keeping errno for the caller's message.
void RemoveTemporary(OutputFile* output) {
    if (output->temporary.empty()) return;
    const int error = errno;
    SignalsHeld held;
    unlink(output->temporary.c_str());
    ReleaseSlot(output->temporary);
    output->temporary.clear();
    errno = error;
}

// The name a write to `path` lands on: `path` itself unless it is a symbolic link, whose target
// (relative to the link's folder) is followed in turn.
bool FollowLinks(std::string path, std::string* target) {
    for (int followed = 0; followed <= kMaxLinksFollowed; ++followed) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            *target = std::move(path);
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t length = readlink(path.c_str(), link.data(), link.size());
        if (length < 0) return false;
        link.resize(static_cast<size_t>(length));
        const bool absolute = !link.empty() && link[0] == '/';
        path = absolute ? link : (fs::path(path).parent_path() / link).string();
    }
    errno = ELOOP;
    return false;
}

// The mode a file created now would get. Reading the mask means setting it; no other thread of
// these tools creates files meanwhile.
mode_t CreatedFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool OpenTemporary(OutputFile* output, const std::string& target) {
    const std::string pattern = (fs::path(target).parent_path() / kTemporaryPattern).string();
    int fd = -1;
    {
        SignalsHeld held;
        TemporarySlot* slot = nullptr;
        for (TemporarySlot& candidate : temporaries) {
            if (!candidate.used.load(std::memory_order_relaxed)) {
                slot = &candidate;
                break;
            }
        }
        if (!slot) {
            errno = EMFILE;
            return false;
        }
        if (pattern.size() >= sizeof slot->path) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::memcpy(slot->path, pattern.c_str(), pattern.size() + 1);
        // Created exclusively: a name planted in the folder, link or not, is never opened.
        fd = mkostemp(slot->path, O_CLOEXEC);
        if (fd < 0) return false;
        slot->used.store(true, std::memory_order_release);
        output->temporary = slot->path;
    }
    output->target = target;
    // The finished file gets the mode any new file would, not mkstemp's owner-only one.
    if (fchmod(fd, CreatedFileMode()) != 0 || !(output->file = fdopen(fd, "wb"))) {
        const int error = errno;
        close(fd);
        errno = error;
        RemoveTemporary(output);
        return false;
    }
    // A file is written in large pieces: the default buffer of a few KiB costs a system call per
    // thousand frames of a render. Pipes and devices keep it, so that a player downstream starts
    // at once. Should the buffer not be had, the default one serves.
    std::setvbuf(output->file, nullptr, _IOFBF, kFileBufferBytes);
    return true;
}

// Devices and FIFOs are written as they are; a name that turned into a regular file since it was
// looked at goes the temporary's way after all.
bool OpenInPlace(OutputFile* output, const std::string& path, bool* regular) {
    const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status {};
    *regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (!*regular && (output->file = fdopen(fd, "wb"))) {
        output->target = path;
        return true;
    }
    const int error = errno;
    close(fd);
    errno = error;
    return false;
}

// Gives the temporary the target's name; a file kept by OutputMode::Keep that appeared there since
// the open stays (EEXIST), where the file system can tell.
bool RenameTemporary(const OutputFile& output) {
    const char* from = output.temporary.c_str();
    const char* to = output.target.c_str();
    if (output.mode == OutputMode::Replace) return std::rename(from, to) == 0;
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: a hard link is made only where no name is.
    if (link(from, to) != 0) return false;
    unlink(from);
    return true;
}

}  // namespace

HandledSignalsHeld::HandledSignalsHeld() {
    const sigset_t set = HandledSignals();
    pthread_sigmask(SIG_BLOCK, &set, &previous);
}

HandledSignalsHeld::~HandledSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

bool WatchChildProcess(pid_t pid) {
    for (std::atomic<pid_t>& child : children) {
        pid_t free = 0;
        if (child.compare_exchange_strong(free, pid, std::memory_order_release)) return true;
    }
    return false;
}

void ForgetChildProcess(pid_t pid) {
    for (std::atomic<pid_t>& child : children) {
        pid_t watched = pid;
        if (child.compare_exchange_strong(watched, 0, std::memory_order_release)) return;
    }
}

void RemoveTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndStop;
    action.sa_mask = HandledSignals();
    action.sa_flags = SA_RESETHAND;
    for (int signal : kHandledSignals) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(signal, &action, nullptr);
        }
    }
}

bool OpenOutputFile(OutputFile* output, const std::string& path, OutputMode mode) {
    *output = OutputFile{};
    output->mode = mode;
    if (path == kStandardOutputName) {
        output->file = stdout;
        output->target = path;
        return true;
    }
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        bool regular = false;
        if (OpenInPlace(output, path, &regular)) return true;
        if (!regular) return false;
    }
    std::string target;
    if (!FollowLinks(path, &target)) return false;
    // The temporary comes first: a name that cannot be written is "not writable" before it is
    // "already there".
    if (!OpenTemporary(output, target)) {
        // A folder that exists but takes no new file (read-only, or one of the kernel's such as
        // /proc) is not writable, whatever word the creation failed with.
        const int error = errno;
        const fs::path folder = fs::path(target).parent_path();
        struct stat folderStatus {};
        const bool folderExists = stat(folder.empty() ? "." : folder.c_str(), &folderStatus) == 0 &&
                                  S_ISDIR(folderStatus.st_mode);
        errno = folderExists && (error == ENOENT || error == EPERM || error == EROFS) ? EACCES
                                                                                      : error;
        return false;
    }
    if (mode == OutputMode::Keep && lstat(target.c_str(), &status) == 0) {
        DiscardOutputFile(output);
        errno = EEXIST;
        return false;
    }
    return true;
}

std::string CannotWrite(const std::string& path, int error) {
    std::string reason;
    switch (error) {
        case EEXIST: reason = "the file already exists (-f replaces it)"; break;
        case EACCES:
        case EPERM:
        case EROFS: reason = "not writable"; break;
        default: reason = std::strerror(error); break;
    }
    return "cannot write " + (path == kStandardOutputName ? "standard output" : path) + ": " +
           reason;
}

bool CloseOutputFile(OutputFile* output) {
    std::FILE* file = std::exchange(output->file, nullptr);
    if (!file) return true;
    int error = 0;
    if (std::fflush(file) != 0) {
        error = errno;
    } else if (std::ferror(file)) {
        error = EIO;
    } else if (!output->temporary.empty() && output->syncBeforeRename &&
               fsync(fileno(file)) != 0) {
        // On disk before it takes the name, or a crash could leave the name empty.
        error = errno;
    }
    if (file != stdout && std::fclose(file) != 0 && error == 0) error = errno;
    if (error == 0) return true;
    errno = error;
    RemoveTemporary(output);
    return false;
}

bool CommitOutputFile(OutputFile* output) {
    if (output->target.empty()) {
        errno = EBADF;
        return false;
    }
    if (!CloseOutputFile(output)) return false;
    if (output->temporary.empty()) return true;
    SignalsHeld held;
    if (!RenameTemporary(*output)) {
        RemoveTemporary(output);
        return false;
    }
    ReleaseSlot(output->temporary);
    output->temporary.clear();
    return true;
}

void DiscardOutputFile(OutputFile* output) {
    std::FILE* file = std::exchange(output->file, nullptr);
    const int error = errno;
    if (file && file != stdout) std::fclose(file);
    errno = error;
    RemoveTemporary(output);
}

bool SameOutputFile(const std::string& a, const std::string& b) {
    struct Identity {
        bool exists;
        dev_t device;
        ino_t inode;
        std::string name;  // of a file yet to be created
    };
    const auto identify = [](const std::string& path) {
        struct stat status {};
        const bool exists = path == kStandardOutputName ? fstat(STDOUT_FILENO, &status) == 0
                                                        : stat(path.c_str(), &status) == 0;
        if (exists) return Identity{true, status.st_dev, status.st_ino, ""};
        std::string target;
        std::error_code error;
        if (!FollowLinks(path, &target)) return Identity{false, 0, 0, ""};
        const fs::path absolute = fs::absolute(target, error);
        return Identity{false, 0, 0, fs::weakly_canonical(absolute, error).string()};
    };
    const Identity first = identify(a);
    const Identity second = identify(b);
    if (first.exists || second.exists) {
        return first.exists && second.exists && first.device == second.device &&
               first.inode == second.inode;
    }
    return !first.name.empty() && first.name == second.name;
}
