#include "sound/file_hooks.h"

namespace {
FileHooks fileHooks{};
}  // namespace

void SetFileHooks(FileOpenHook open, FileCloseHook close, FileReadHook read, FileSeekHook seek,
                  FileTellHook tell) {
    // A partial set would let the loader call through a null pointer later: all or nothing.
    if (open && close && read && seek && tell) {
        fileHooks = FileHooks{open, close, read, seek, tell};
    } else {
        fileHooks = FileHooks{};
    }
}

bool FileHooksSet() { return fileHooks.open != nullptr; }

Stream* StreamOpen(const char* name) {
    if (!FileHooksSet()) return nullptr;
    auto* stream = new Stream{};
    stream->handle = fileHooks.open(name);
    if (!stream->handle) {
        delete stream;
        return nullptr;
    }
    return stream;
}

void StreamClose(Stream* stream) {
    if (!stream) return;
    if (fileHooks.close) fileHooks.close(stream->handle);
    delete stream;
}

size_t StreamRead(void* destination, size_t bytes, Stream* stream) {
    if (!stream || !fileHooks.read) return 0;
    return fileHooks.read(destination, bytes, stream->handle);
}

int StreamSeek(Stream* stream, int64_t offsetBytes, int origin) {
    if (!stream || !fileHooks.seek) return 0;
    return fileHooks.seek(stream->handle, offsetBytes, origin);
}

int64_t StreamTell(Stream* stream) {
    if (!stream || !fileHooks.tell) return 0;
    return fileHooks.tell(stream->handle);
}
