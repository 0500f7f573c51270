// The flags that bring a user's data in, the same in every program that
// takes them.
#pragma once

#include <memory>

#include "bench/engine/flags.hpp"
#include "inputs/user_data.hpp"

inline constexpr flag_spec input_flags[] = {
    {"input", "FILE", "your data as one more pattern, named after the file"},
    {"input_type", "TYPE", "its element type: int32 (the default), int64, double, kv16 or string"},
    {"input_text", "", "one value per line, not little-endian binary records (strings are always lines)"},
    {"input_sizes", "N,N,...", "the sizes to cut it into (default: the suite's sizes up to its length)"},
};

// The data --input names, read as the input flags say; null without
// --input. Throws flag_error or input_error with one line.
std::unique_ptr<user_data> read_input(const parsed_flags& flags);
