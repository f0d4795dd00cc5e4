// What the command-line tools share in reading their options with getopt_long: the names the
// messages give the options, and the refusals.
#pragma once

#include <getopt.h>

#include <string>
#include <string_view>

// True for a non-empty text of the digits 0 to 9 only: no sign, space or point.
bool AllDigits(std::string_view text);
// The option as the usage text names it, "--rate" or "-o", from the tool's option table (ended
// by an entry without a name).
std::string OptionName(const option* options, int value);
// What getopt_long turned away: `value` is the option it read (0 for an unknown long one) and
// `typed` the argument it was reading then.
std::string RefusedOption(const option* options, int value, std::string_view typed);
