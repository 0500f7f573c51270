#include "cli.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <thread>

#include "bench/engine/bench_run.hpp"
#include "inputs/patterns.hpp"

namespace {

template <class Names>
std::string joined(const Names& names)
{
    std::string out;
    for (const auto& name : names) {
        if (!out.empty()) out += ", ";
        out += name;
    }
    return out;
}

constexpr flag_spec input_flag_table[] = {
    {"input", "FILE", "your data as one more pattern, named after the file"},
    {"input_type", "TYPE", "its element type (default int32)", false, type_names},
    {"input_text", "", "one value per line, not little-endian binary records (strings are always lines)"},
    {"input_sizes", "N,N,...", "the sizes to cut it into (default: the suite's sizes up to its length)"},
};

}  // namespace

const std::span<const flag_spec> input_flags = input_flag_table;

std::string type_names()
{
    std::vector<std::string> names;
    for_each_type([&]<class T>(T) { names.emplace_back(element_traits<T>::name); });
    return joined(names);
}

std::string pattern_names()
{
    std::vector<std::string> names;
    for (const pattern_info& p : all_patterns) names.emplace_back(p.name);
    return joined(names);
}

std::string contender_names()
{
    const bench_run run;
    std::vector<std::string> names;
    for (const contender& c : run.contenders()) names.push_back(c.id);
    return joined(names);
}

command_line::command_line(const program_spec& program, std::vector<std::string> args, bool keeps_rest)
    : program_(program),
      own_(args, program.flags),
      input_(own_.rest(), program.takes_input ? input_flags : std::span<const flag_spec>{})
{
    if (!keeps_rest && !input_.rest().empty()) throw flag_error("unknown argument: " + input_.rest().front());
}

int command_line::show_help() const
{
    std::fputs(help_text().c_str(), stdout);
    return finish(stdout);
}

bool command_line::as_json() const
{
    const std::string format = own_.value("format").value_or("console");
    if (format != "console" && format != "json") throw flag_error("--format takes console or json, not '" + format + "'");
    return format == "json";
}

std::string command_line::help_text() const
{
    std::string text = std::string(program_.usage) + "\n\n" + flags_help(program_.flags);
    if (program_.takes_input) text += flags_help(input_flags);
    return text;
}

unsigned command_line::number(std::string_view flag, unsigned lowest, unsigned highest, unsigned fallback) const
{
    const auto text = own_.value(flag);
    return text ? whole_number_flag(flag, *text, lowest, highest) : fallback;
}

std::function<bool(const std::string&)> command_line::filter(std::string_view flag) const
{
    const auto text = own_.value(flag);
    if (!text) return [](const std::string&) { return true; };
    try {
        return [re = std::regex(*text)](const std::string& name) { return std::regex_search(name, re); };
    } catch (const std::regex_error&) {
        throw flag_error("--" + std::string(flag) + ": not a regular expression: " + *text);
    }
}

unsigned command_line::thread_limit(std::optional<unsigned> fallback) const
{
    for (const std::string_view flag : {"threads", "max_threads"}) {
        if (const auto text = own_.value(flag)) return whole_number_flag(flag, *text, 1, 65536);
    }
    if (const char* env = std::getenv("SORTBENCH_MAX_THREADS")) {
        const auto n = whole_number(env, 1, 65536);
        if (!n) {
            throw flag_error("the SORTBENCH_MAX_THREADS variable must be a whole number from 1 to 65536, not '" +
                             std::string(env) + "'");
        }
        return *n;
    }
    return fallback ? *fallback : std::max(1u, std::thread::hardware_concurrency());
}

std::unique_ptr<user_data> command_line::input() const
{
    const auto path = input_.value("input");
    if (!path) {
        for (const flag_spec& f : input_flags) {
            if (input_.given(f.name)) throw flag_error("--" + std::string(f.name) + " needs --input=FILE");
        }
        return nullptr;
    }
    std::vector<std::uint32_t> sizes;
    if (const auto list = input_.value("input_sizes")) {
        for (const std::string& item : split_list(*list, ',')) {
            const auto n = whole_number(item, 1, 999999999);
            if (!n) throw flag_error("--input_sizes takes sizes from 1 to 999999999, not '" + item + "'");
            sizes.push_back(*n);
        }
    }
    return read_user_data(*path, input_.value("input_type").value_or("int32"), input_.boolean("input_text"),
                          std::move(sizes));
}

int command_line::refuse(const std::string& why) const
{
    return ::refuse(program_.name, why);
}

int command_line::finish(std::FILE* out) const
{
    const bool failed = std::fflush(out) != 0 || std::ferror(out);
    const int error = errno;
    const bool closed = out == stdout || std::fclose(out) == 0;
    if (failed || !closed) return refuse("write error: " + std::string(std::strerror(failed ? error : errno)));
    return 0;
}

int run_program(const char* program, const std::function<int()>& body)
{
    try {
        return body();
    } catch (const std::exception& e) {
        return refuse(program, e.what());
    }
}
