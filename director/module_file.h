// The five FileHooks callbacks that make the module carried in the embedded data block look like an
// open file, so the ordinary load path reads the built-in song. There is one in-memory file: every
// open returns the same handle and rewinds the one shared read position.
#pragma once

#include <cstddef>
#include <cstdint>

// Set to the embedded module's length by every open.
extern int32_t moduleSize;
// The read position shared by every handle, 0..moduleSize.
extern int32_t moduleReadPos;

// Any name opens the module; the handle is always the value 1.
void* ModuleOpen(const char* name);
void ModuleClose(void* handle);
// Copies up to `bytes` bytes from the read position; returns the count copied (0 at the end).
size_t ModuleRead(void* destination, size_t bytes, void* handle);
// Origin (low 8 bits): 0 from the start, 1 from the current position, anything else from the end.
// The position is kept within 0..moduleSize. Returns 0.
int ModuleSeek(void* handle, int64_t offsetBytes, int origin);
int64_t ModuleTell(void* handle);
