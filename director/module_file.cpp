#include "director/module_file.h"

#include <algorithm>
#include <cstring>

#include "assets/embedded_data.h"

int32_t moduleSize = 0;
int32_t moduleReadPos = 0;

namespace {

// Positions outside the module would let a later read copy from outside it, so every seek result is
// clamped to 0..moduleSize; the 64-bit arithmetic keeps a huge offset from wrapping first.
int32_t ClampToModule(int64_t position) {
    return static_cast<int32_t>(std::clamp<int64_t>(position, 0, moduleSize));
}

}  // namespace

void* ModuleOpen(const char*) {
    moduleReadPos = 0;
    moduleSize = static_cast<int32_t>(embeddedModuleBytes);
    return reinterpret_cast<void*>(uintptr_t{1});
}

void ModuleClose(void*) {}

size_t ModuleRead(void* destination, size_t bytes, void*) {
    const int64_t remaining = std::max<int64_t>(int64_t{moduleSize} - moduleReadPos, 0);
    const int64_t count = std::min<uint64_t>(bytes, static_cast<uint64_t>(remaining));
    if (count == 0) return 0;
    std::memcpy(destination, embeddedModule + moduleReadPos, static_cast<size_t>(count));
    moduleReadPos += static_cast<int32_t>(count);
    return static_cast<size_t>(count);
}

int ModuleSeek(void*, int64_t offsetBytes, int origin) {
    // Saturating so that an offset near the 64-bit limits still lands on a clamp, not a wrap.
    const auto saturatingAdd = [](int64_t a, int64_t b) {
        int64_t sum = 0;
        if (__builtin_add_overflow(a, b, &sum)) return b < 0 ? INT64_MIN : INT64_MAX;
        return sum;
    };
    const auto saturatingSub = [](int64_t a, int64_t b) {
        int64_t difference = 0;
        if (__builtin_sub_overflow(a, b, &difference)) return b < 0 ? INT64_MAX : INT64_MIN;
        return difference;
    };
    switch (origin & 0xFF) {
        case 0: moduleReadPos = ClampToModule(offsetBytes); break;
        case 1: moduleReadPos = ClampToModule(saturatingAdd(moduleReadPos, offsetBytes)); break;
        default: moduleReadPos = ClampToModule(saturatingSub(moduleSize, offsetBytes)); break;
    }
    return 0;
}

int64_t ModuleTell(void*) { return moduleReadPos; }
