// The browser's key names (KeyboardEvent.code, which names the physical key whatever the layout)
// turned into the DirectInput scan codes keyDown is indexed by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct WebKey {
    const char* code;
    uint8_t directInputCode;
};

// The keys of a 102/105-key PC keyboard, the same set the SDL backend reports.
extern const WebKey kWebKeys[];
extern const size_t kWebKeyCount;

// The DirectInput scan code of a KeyboardEvent.code; 0 for keys a DirectInput keyboard did not
// report.
uint8_t DirectInputScanCodeOfWebKey(std::string_view code);
