#include "flags.hpp"

#include <algorithm>
#include <cstdio>

parsed_flags::parsed_flags(const std::vector<std::string>& args, std::span<const flag_spec> specs)
{
    for (const std::string& arg : args) {
        const std::string_view a = arg;
        const auto spec = std::find_if(specs.begin(), specs.end(), [&](const flag_spec& s) {
            return a.substr(0, 2) == "--" && a.substr(2, s.name.size()) == s.name &&
                   (a.size() == 2 + s.name.size() || a[2 + s.name.size()] == '=');
        });
        if (spec == specs.end()) {
            rest_.push_back(arg);
            continue;
        }
        const bool has_value = a.size() > 2 + spec->name.size();
        std::string value = has_value ? arg.substr(3 + spec->name.size()) : "";
        const std::string flag = "--" + std::string(spec->name);
        if (spec->value.empty()) {
            if (!has_value) value = "true";
            if (value != "true" && value != "false") {
                throw flag_error(flag + " takes true or false, not '" + value + "'");
            }
        } else if (!has_value) {
            throw flag_error(flag + " needs a value: " + flag + "=" + std::string(spec->value));
        }
        std::vector<std::string>& kept = values_[std::string(spec->name)];
        if (!spec->collects) kept.clear();
        kept.push_back(std::move(value));
    }
}

bool parsed_flags::boolean(std::string_view name) const
{
    const auto v = value(name);
    return v && *v == "true";
}

std::optional<std::string> parsed_flags::value(std::string_view name) const
{
    const auto found = values_.find(name);
    if (found == values_.end() || found->second.empty()) return std::nullopt;
    return found->second.back();
}

std::vector<std::string> parsed_flags::values(std::string_view name) const
{
    const auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>{} : found->second;
}

std::vector<std::string> split_list(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(sep, start)) != std::string::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string flags_help(std::span<const flag_spec> specs)
{
    std::string out;
    for (const flag_spec& s : specs) {
        std::string left = "  --";
        left.append(s.name);
        if (!s.value.empty()) left.append("=").append(s.value);
        left.resize(std::max<std::size_t>(left.size() + 2, 28), ' ');
        out += left + std::string(s.help);
        if (s.choices != nullptr) out += "; one of: " + s.choices();
        out += "\n";
    }
    return out;
}

std::optional<unsigned> whole_number(std::string_view text, unsigned lowest, unsigned highest)
{
    if (text.empty() || text.size() > 9) return std::nullopt;
    unsigned value = 0;
    for (const char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(ch - '0');
    }
    if (value < lowest || value > highest) return std::nullopt;
    return value;
}

unsigned whole_number_flag(std::string_view flag, const std::string& text, unsigned lowest, unsigned highest)
{
    const auto n = whole_number(text, lowest, highest);
    if (!n) {
        throw flag_error("--" + std::string(flag) + " must be a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not '" + text + "'");
    }
    return *n;
}

int refuse(const char* program, const std::string& why)
{
    std::fprintf(stderr, "%s: %s\n", program, why.c_str());
    return 1;
}
