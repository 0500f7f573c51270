// JSON as every program writes it: through nlohmann-json, keys in the order
// they are set, and numbers rounded where the figures carry no more digits.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdio>
#include <optional>
#include <string>

using json = nlohmann::ordered_json;

// `v` to `digits` significant digits, as a file writes it.
double significant(double v, int digits = 6);

// `v` rounded to `digits` significant digits, so that a file says what the
// measurement can tell and two runs' files compare equal where their figures
// do. Not finite: null.
json rounded(double v, int digits = 6);

// `v` with `decimals` digits after the point.
json fixed(double v, int decimals);

// Absent: null.
template <class T>
json or_null(const std::optional<T>& v)
{
    return v ? json(*v) : json(nullptr);
}

// Writes `doc` and a newline; false when the write failed.
bool write_json(std::FILE* out, const json& doc, int indent = 2);
