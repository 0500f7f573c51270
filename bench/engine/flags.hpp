// The command-line flags of sortbench-patterns and sortbench-counts, parsed
// one way: a boolean is --name (true) or --name=true|false, a value is
// --name=VALUE, and a flag given twice keeps its last value unless it is one
// that collects every value.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct flag_spec {
    std::string_view name;   // without the leading "--"
    std::string_view value;  // what the value is, e.g. "PATH"; empty for a boolean
    std::string_view help;   // one line
    bool collects = false;   // every value is kept, in order
    std::string (*choices)() = nullptr;  // what it takes, made from a table, for --help
};

// A flag given wrongly: its message is the one line to show.
struct flag_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class parsed_flags {
public:
    // The flags of `specs` in `args`; every other argument goes to rest().
    // Throws flag_error for a boolean with a value other than true or false,
    // or a value flag without a value.
    parsed_flags(const std::vector<std::string>& args, std::span<const flag_spec> specs);

    bool given(std::string_view name) const { return values_.count(std::string(name)) != 0; }
    bool boolean(std::string_view name) const;                     // false when not given
    std::optional<std::string> value(std::string_view name) const;  // the last value given
    std::vector<std::string> values(std::string_view name) const;   // every value, in order
    const std::vector<std::string>& rest() const { return rest_; }

private:
    std::map<std::string, std::vector<std::string>, std::less<>> values_;
    std::vector<std::string> rest_;
};

// The items of a list such as "a,b,c", split at `sep`; empty items stay.
std::vector<std::string> split_list(const std::string& text, char sep);

// One line per flag, "  --name=VALUE   help", for --help.
std::string flags_help(std::span<const flag_spec> specs);

// `text` as a whole number from `lowest` to `highest`, in decimal digits
// only; nothing when it is not one.
std::optional<unsigned> whole_number(std::string_view text, unsigned lowest, unsigned highest);

// The value of --`flag`, `text`, as such a number; flag_error otherwise.
unsigned whole_number_flag(std::string_view flag, const std::string& text, unsigned lowest, unsigned highest);

// Says "program: why" on standard error, as one line; returns status 1.
int refuse(const char* program, const std::string& why);
