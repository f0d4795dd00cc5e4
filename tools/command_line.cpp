#include "tools/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>


namespace {

constexpr uint64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr uint64_t kUnitsPerNanosecond = 1'000'000'000;
constexpr int kDecimals = 18;

unsigned __int128 Units(TimeValue time) {
    return static_cast<unsigned __int128>(time.nanoseconds) * kUnitsPerNanosecond +
           time.belowNanosecond;
}
constexpr unsigned __int128 kUnitsPerSecond =
    static_cast<unsigned __int128>(kNanosecondsPerSecond) * kUnitsPerNanosecond;

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A decimal number with an optional exponent (1.5, .25, 2e3, 15E-1), as its digits and the power
// of ten they are scaled by; false for anything else.
bool SplitDecimal(std::string_view text, std::string* digits, int64_t* exponent) {
    const size_t e = text.find_first_of("eE");
    std::string_view mantissa = text.substr(0, e);
    *exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view power = text.substr(e + 1);
        const bool negative = !power.empty() && power[0] == '-';
        if (!power.empty() && (power[0] == '-' || power[0] == '+')) power.remove_prefix(1);
        // More than four digits of exponent only make zeros or a time past any bound.
        if (!AllDigits(power) || power.size() > 4) return false;
        for (char c : power) *exponent = *exponent * 10 + (c - '0');
        if (negative) *exponent = -*exponent;
    }
    const size_t point = mantissa.find('.');
    const std::string_view whole = mantissa.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
    if ((whole.empty() && fraction.empty()) || (!whole.empty() && !AllDigits(whole)) ||
        (!fraction.empty() && !AllDigits(fraction))) {
        return false;
    }
    *digits = std::string(whole) + std::string(fraction);
    *exponent -= static_cast<int64_t>(fraction.size());
    return true;
}

}  // namespace

// At most a day of 10^18 units (8.64e22) times a rate below 2^32: within 128 bits.
uint64_t FloorCount(TimeValue time, uint64_t perSecond) {
    return static_cast<uint64_t>(Units(time) * perSecond / kUnitsPerSecond);
}

uint64_t CeilCount(TimeValue time, uint64_t perSecond) {
    return static_cast<uint64_t>((Units(time) * perSecond + kUnitsPerSecond - 1) /
                                 kUnitsPerSecond);
}

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

bool OptionFault(int returned, const option* options, char** argv, std::string* error) {
    if (returned == ':') {
        *error = OptionName(options, optopt) + " needs a value";
        return true;
    }
    if (returned == '?') {
        *error = RefusedOption(options, optopt, argv[optind - 1]);
        return true;
    }
    return false;
}

bool ParseTimeOption(std::string_view name, std::string_view text, bool allowZero,
                     TimeValue* time, std::string* error) {
    const std::string typed(text);
    if (!text.empty() && text[0] == '-') {
        *error = std::string(name) + " cannot be negative: " + Quoted(text);
        return false;
    }
    std::string digits;
    int64_t exponent = 0;
    if (!SplitDecimal(text, &digits, &exponent)) {
        *error = std::string(name) + " needs a number of seconds such as 90 or 1.5, not " +
                 Quoted(text);
        return false;
    }
    // Units of 10^-18 s: the digits scaled by 10^(exponent + 18); what falls below a unit must be
    // zeros, and leading zeros do not count against the bound.
    const int64_t scale = exponent + kDecimals;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    const auto dropped = static_cast<size_t>(std::max<int64_t>(-scale, 0));
    if (dropped > 0) {
        const size_t kept = digits.size() > dropped ? digits.size() - dropped : 0;
        if (digits.find_first_not_of('0', kept) != std::string::npos) {
            *error = std::string(name) + " " + typed + " has more than 18 decimals";
            return false;
        }
        digits.resize(kept);
    } else if (!digits.empty()) {
        digits.append(static_cast<size_t>(std::min<int64_t>(scale, 60)), '0');
    }
    const unsigned __int128 maxUnits = kMaxTimeSeconds * kUnitsPerSecond;
    unsigned __int128 units = 0;
    bool tooLong = digits.size() > 30;
    for (size_t i = 0; !tooLong && i < digits.size(); ++i) {
        units = units * 10 + static_cast<unsigned>(digits[i] - '0');
        tooLong = units > maxUnits;
    }
    if (tooLong) {
        *error = std::string(name) + " " + typed + " is too long (at most " +
                 std::to_string(kMaxTimeSeconds) + " seconds)";
        return false;
    }
    if (units == 0 && !allowZero) {
        *error = std::string(name) + " needs more than 0 seconds";
        return false;
    }
    time->nanoseconds = static_cast<uint64_t>(units / kUnitsPerNanosecond);
    time->belowNanosecond = static_cast<uint64_t>(units % kUnitsPerNanosecond);
    return true;
}

bool ParseTimeListOption(std::string_view name, std::string_view text,
                         std::vector<TimeValue>* times, std::string* error) {
    times->clear();
    while (true) {
        const size_t comma = text.find(',');
        TimeValue time;
        if (!ParseTimeOption(name, text.substr(0, comma), true, &time, error)) return false;
        times->push_back(time);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool ParseWholeOption(std::string_view name, std::string_view text, int64_t low, int64_t high,
                      int64_t* value, std::string* error) {
    const std::string range = " (" + std::to_string(low) + " to " + std::to_string(high) + ")";
    if (!AllDigits(text)) {
        *error = std::string(name) + " needs a whole number" + range + ", not " + Quoted(text);
        return false;
    }
    const std::string_view significant =
        text.substr(std::min(text.find_first_not_of('0'), text.size() - 1));
    int64_t number = 0;
    bool inRange = significant.size() <= 18;
    for (size_t i = 0; inRange && i < significant.size(); ++i) {
        number = number * 10 + (significant[i] - '0');
    }
    inRange = inRange && number >= low && number <= high;
    if (!inRange) {
        *error = std::string(name) + " " + std::string(text) + " is out of range" + range;
        return false;
    }
    *value = number;
    return true;
}

bool ParseFileOption(std::string_view name, std::string_view text, std::string* value,
                     std::string* error) {
    if (text.empty()) {
        *error = std::string(name) + " needs a file name, not an empty one";
        return false;
    }
    *value = std::string(text);
    return true;
}

bool TakeOperands(int argc, char** argv, int first, int least, int most, const char* what,
                  std::vector<std::string>* operands, std::string* error) {
    operands->assign(argv + std::min(first, argc), argv + argc);
    const auto count = static_cast<int>(operands->size());
    if (count < least) {
        *error = std::string("no ") + what;
        return false;
    }
    if (most >= 0 && count > most) {
        *error = "unexpected operand " + Quoted((*operands)[static_cast<size_t>(most)]);
        return false;
    }
    for (const std::string& operand : *operands) {
        if (operand.empty()) {
            *error = std::string("an empty ") + what + " name";
            return false;
        }
    }
    return true;
}

int ReportUsageError(const char* tool, const std::string& error) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", tool, error.c_str(), tool);
    return kExitUsage;
}

int PrintToStandardOutput(const char* tool, const char* text) {
    std::fputs(text, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: cannot write standard output: %s\n", tool, std::strerror(errno));
        return 1;
    }
    return 0;
}

