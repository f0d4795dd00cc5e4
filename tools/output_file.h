// The files a tool writes, written so that a failed or interrupted run never harms what the name
// held before. A regular file, or a name not yet taken, is written under a temporary name of its
// own beside it and takes the name only once complete; anything else (a device, a FIFO, standard
// output) is written in place, since replacing it would destroy it. A symbolic link is followed to
// the file it names, and that file is the one replaced or written.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>

// The output name that means standard output.
inline constexpr char kStandardOutputName[] = "-";

// Whether a regular file already at the name may be replaced. A user's file is kept unless the
// user asked (-f); files the build makes are replaced.
enum class OutputMode : uint8_t { Keep, Replace };

struct OutputFile {
    std::FILE* file = nullptr;  // where to write; null once closed
    std::string temporary;      // the name written to, empty when written in place
    std::string target;         // the name the temporary takes, links followed
    // Whether a temporary goes to the disk itself before it takes its name, so that a crash of
    // the machine cannot leave the name empty. Set after the open; a tool writing thousands of
    // small files (captured frames) turns it off, where it would cost more than the rest.
    bool syncBeforeRename = true;
    OutputMode mode = OutputMode::Keep;
};

// On SIGINT, SIGTERM, SIGHUP and SIGPIPE, removes every temporary still open and ends the
// process by the same signal, so its parent sees it as interrupted (a shell: status 128 + signal).
// A signal ignored when this is called stays ignored. Call once, before the first open.
void RemoveTemporariesOnSignals();

// Holds back the handled signals while it lives (a signal that comes meanwhile waits, and acts
// when it ends). A run that commits several outputs commits them all under one, so that an
// interrupt leaves every name as it was or every name new, never some of each.
struct HandledSignalsHeld {
    sigset_t previous;
    HandledSignalsHeld();
    ~HandledSignalsHeld();
    HandledSignalsHeld(const HandledSignalsHeld&) = delete;
    HandledSignalsHeld& operator=(const HandledSignalsHeld&) = delete;
};

// A child process that writes into a temporary (the capture's ffmpeg). On a handled signal it is
// killed and waited for before the temporaries are removed, so that it cannot create one again
// once they are gone. Start and watch it with the handled signals held, and forget it after it
// has ended but before it is reaped, so that the id is never one the system has given again.
// False when too many are watched already.
bool WatchChildProcess(pid_t pid);
void ForgetChildProcess(pid_t pid);

// Opens `path` for writing; false with errno set when it cannot be written (EISDIR for a folder,
// EEXIST for a file kept by OutputMode::Keep, EACCES for a folder that takes no new file). The
// commit keeps a file that appeared at the name meanwhile, too.
bool OpenOutputFile(OutputFile* output, const std::string& path, OutputMode mode);

// "cannot write PATH: REASON" for an open, write or commit that failed with `error` (an errno).
std::string CannotWrite(const std::string& path, int error);

// Writes out what is buffered (to the disk itself for a temporary) and closes the file; the
// temporary keeps its own name. A tool writing several files closes them all before it commits
// any, so that a last write failing in one leaves the others' names as they were. False with errno
// set when a write or the close failed; the temporary is then removed.
bool CloseOutputFile(OutputFile* output);

// Closes the file if still open and gives the temporary the target's name. False with errno set
// when a write, the close or the rename failed; the temporary is then removed.
bool CommitOutputFile(OutputFile* output);

// Closes the file and removes the temporary; the name keeps what it held.
void DiscardOutputFile(OutputFile* output);

// Whether writing `a` and `b` would write one file: the same device and inode, or the same name
// not yet taken once links are followed. "-" is the file standard output is open on.
bool SameOutputFile(const std::string& a, const std::string& b);
