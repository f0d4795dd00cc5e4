#include "tools/command_line.h"

#include <algorithm>

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string OptionName(const option* options, int value) {
    for (const option* o = options; o->name; ++o) {
        if (o->val == value) return std::string("--") + o->name;
    }
    return std::string("-") + static_cast<char>(value);
}

std::string RefusedOption(const option* options, int value, std::string_view typed) {
    for (const option* o = options; o->name; ++o) {
        // Only a long option given a value it does not take comes back as a known one.
        if (o->val == value) return OptionName(options, value) + " takes no value";
    }
    if (value != 0) return "unknown option " + OptionName(options, value);
    return "unknown option " + std::string(typed.substr(0, typed.find('=')));
}
