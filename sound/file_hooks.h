// The sound engine never opens files itself: the host registers these five callbacks and the
// loader reads through a Stream over them.
#pragma once

#include <cstddef>
#include <cstdint>

using FileOpenHook = void* (*)(const char* name);              // null = failure
using FileCloseHook = void (*)(void* handle);
using FileReadHook = size_t (*)(void* destination, size_t bytes, void* handle);  // bytes read
using FileSeekHook = int (*)(void* handle, int64_t offsetBytes, int origin);
using FileTellHook = int64_t (*)(void* handle);                // bytes from the start

constexpr int kSeekFromStart = 0;
constexpr int kSeekFromCurrent = 1;

struct FileHooks {
    FileOpenHook open;
    FileCloseHook close;
    FileReadHook read;
    FileSeekHook seek;
    FileTellHook tell;
};

// Stores all five hooks when every one is non-null; otherwise clears the set.
void SetFileHooks(FileOpenHook open, FileCloseHook close, FileReadHook read, FileSeekHook seek,
                  FileTellHook tell);
// True while a complete set is registered.
bool FileHooksSet();

struct Stream {
    void* handle;
};

Stream* StreamOpen(const char* name);
void StreamClose(Stream* stream);
// Each returns the hook's result, or 0 without calling it for a null Stream.
size_t StreamRead(void* destination, size_t bytes, Stream* stream);
int StreamSeek(Stream* stream, int64_t offsetBytes, int origin);
int64_t StreamTell(Stream* stream);
