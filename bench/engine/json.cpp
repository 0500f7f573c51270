#include "json.hpp"

#include <cmath>
#include <cstdlib>

namespace {

json printed(double v, const char* format, int digits)
{
    if (!std::isfinite(v)) return nullptr;
    char text[64];
    std::snprintf(text, sizeof text, format, digits, v);
    return std::strtod(text, nullptr);
}

}  // namespace

double significant(double v, int digits)
{
    const json j = printed(v, "%.*g", digits);
    return j.is_null() ? v : j.get<double>();
}

json rounded(double v, int digits)
{
    return printed(v, "%.*g", digits);
}

json fixed(double v, int decimals)
{
    return printed(v, "%.*f", decimals);
}

bool write_json(std::FILE* out, const json& doc, int indent)
{
    // A name or path that is not UTF-8 is written with U+FFFD in place of its
    // bad bytes rather than not at all.
    const std::string text = doc.dump(indent, ' ', false, json::error_handler_t::replace) + "\n";
    return std::fwrite(text.data(), 1, text.size(), out) == text.size();
}
