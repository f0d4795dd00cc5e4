// What the command-line tools share in reading their options with getopt_long: the grammar and
// range of times and whole numbers, operands, the names the messages give the options, the
// refusals and their words, and --help, --version and the line a bad command line gets.
#pragma once

#include <getopt.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "project_version.h"  // PrintVersion, every tool's --version

// Exit status of a command line that cannot be followed.
inline constexpr int kExitUsage = 2;

// A time as typed, exactly, to 18 decimals: whole nanoseconds and what follows them in units of
// 10^-18 s. Eighteen decimals tell every whole number of frames at any rate the tools take.
struct TimeValue {
    uint64_t nanoseconds = 0;
    uint64_t belowNanosecond = 0;  // 0 to 999,999,999
};
// The longest time any option takes: one day.
inline constexpr uint64_t kMaxTimeSeconds = 86'400;

// floor and ceil of the time times `perSecond`, without rounding error.
uint64_t FloorCount(TimeValue time, uint64_t perSecond);
uint64_t CeilCount(TimeValue time, uint64_t perSecond);

// True for a non-empty text of the digits 0 to 9 only: no sign, space or point.
bool AllDigits(std::string_view text);
// The option as the usage text names it, "--rate" or "-o", from the tool's option table (ended
// by an entry without a name).
std::string OptionName(const option* options, int value);
// What getopt_long turned away: `value` is the option it read (0 for an unknown long one) and
// `typed` the argument it was reading then.
std::string RefusedOption(const option* options, int value, std::string_view typed);
// For what getopt_long returned: true, with `error` set, when it is ':' (a value missing) or '?'
// (an unknown option, or a value given to one that takes none). Call with opterr 0 and ':'
// leading the short options.
bool OptionFault(int returned, const option* options, char** argv, std::string* error);

// Seconds as 90, 1.5, .25 or 1e3, from 0 to a day, to the nanosecond. `name` is the option, for
// the message; `allowZero` false refuses 0.
bool ParseTimeOption(std::string_view name, std::string_view text, bool allowZero,
                     TimeValue* time, std::string* error);
// Times separated by commas, each as ParseTimeOption takes it (0 allowed).
bool ParseTimeListOption(std::string_view name, std::string_view text,
                         std::vector<TimeValue>* times, std::string* error);
// A whole number from `low` to `high` in decimal digits, no sign.
bool ParseWholeOption(std::string_view name, std::string_view text, int64_t low, int64_t high,
                      int64_t* value, std::string* error);
// A file name option's value: refused when empty.
bool ParseFileOption(std::string_view name, std::string_view text, std::string* value,
                     std::string* error);

// The operands from argv[first] on: at least `least`, at most `most` (-1 for any number).
bool TakeOperands(int argc, char** argv, int first, int least, int most, const char* what,
                  std::vector<std::string>* operands, std::string* error);

// "TOOL: ERROR" and "Try 'TOOL --help'." on stderr; returns kExitUsage.
int ReportUsageError(const char* tool, const std::string& error);
// The text on standard output, which must arrive there: 0, or 1 with a line on stderr.
int PrintToStandardOutput(const char* tool, const char* text);
