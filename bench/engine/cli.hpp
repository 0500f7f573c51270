// The command line of every measuring program, in one unit: its own flags
// and the input flags parsed in one pass, --help with the lists of types,
// patterns and contenders made from their tables, the filter, whole numbers
// in range, the thread limit, the user's data, a refusal in one line and the
// check that the output reached its file.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bench/engine/flags.hpp"
#include "inputs/user_data.hpp"

// The names --help lists, from their tables.
std::string type_names();       // the element types
std::string pattern_names();    // the built-in patterns
std::string contender_names();  // the built-in contenders

// The flags that bring a user's data in, the same in every program that
// takes them.
extern const std::span<const flag_spec> input_flags;

struct program_spec {
    const char* name;                  // as refusals name it
    const char* usage;                 // the first line of --help
    std::span<const flag_spec> flags;  // its own
    bool takes_input = true;           // the input flags as well
};

class command_line {
public:
    // Throws flag_error for a flag given wrongly, and for an argument that no
    // flag knows unless `keeps_rest` (which leaves it in rest()).
    command_line(const program_spec& program, std::vector<std::string> args, bool keeps_rest = false);

    const parsed_flags& flags() const { return own_; }
    const std::vector<std::string>& rest() const { return input_.rest(); }

    bool help() const { return own_.boolean("help"); }
    std::string help_text() const;
    // Writes help_text() to standard output: finish()'s status.
    int show_help() const;

    // --format: false for console (the default), true for json; flag_error
    // for anything else.
    bool as_json() const;

    // --`flag` as a whole number from `lowest` to `highest`; `fallback`
    // when not given.
    unsigned number(std::string_view flag, unsigned lowest, unsigned highest, unsigned fallback) const;

    // Whether a name matches --`flag`'s regular expression (every name
    // without it). flag_error for an expression that does not compile.
    std::function<bool(const std::string&)> filter(std::string_view flag = "filter") const;

    // The parallel sorts' largest thread count: --threads (or the suite's
    // older --max_threads), else the SORTBENCH_MAX_THREADS variable, else
    // `fallback`, else the hardware's threads. flag_error naming the flag or
    // the variable that was wrong.
    unsigned thread_limit(std::optional<unsigned> fallback = {}) const;

    // The data --input names, read as the input flags say; null without
    // --input. Throws flag_error or input_error with one line.
    std::unique_ptr<user_data> input() const;

    // "name: why" on standard error, as one line; status 1.
    int refuse(const std::string& why) const;

    // Flushes `out` (and closes it unless it is standard output): 0, or a
    // refusal naming the write error, since output that did not reach its
    // destination is a failure too.
    int finish(std::FILE* out) const;

private:
    program_spec program_;
    parsed_flags own_;
    parsed_flags input_;
};

// Runs body() and returns its status; any std::exception it throws becomes a
// refusal of `program` in one line.
int run_program(const char* program, const std::function<int()>& body);
