// sortbench-rounds: a group of contenders in paired rounds on every case of
// the grid they all take, written as JSON (tools/ab.py reads a pair and says
// whether B is faster than A; tools/paired_table.py reads any group).
//
//   sortbench-rounds --group=A,B[,...]|all [--reference=NAME] [--contender=[NAME=]PATH ...]
//                    [--filter=REGEX] [--full_grid] [--width=PCT] [--budget_s=S] [--min_rounds=N]
//                    [--rounds=N] [--round_ms=MS] [--threads=N] [--processes=K] [--out=FILE]
//   sortbench-rounds --combine=FILE --combine=FILE ... [--out=FILE]
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/engine/cli.hpp"
#include "bench/engine/processes.hpp"
#include "bench/engine/rounds.hpp"

namespace {

constexpr flag_spec flags[] = {
    {"group", "A,B[,...]|all",
     "the contenders to time against each other, two or more; all: every contender, each case with those that take "
     "it",
     false, contender_names},
    {"reference", "NAME", "with --group=all, what the others are related to (default std_sort)"},
    {"contender", "[NAME=]PATH", "a contender library (include/sortbench/contender.h), named NAME if given; repeatable",
     true},
    {"filter", "REGEX", "only the cases whose name pattern/size[/type][/cold] it matches"},
    {"full_grid", "", "every element type on every pattern, size and cache state, not only the default run's"},
    {"width", "PCT", "stop a case once every ratio's 95% interval is within +-PCT% (default 2)"},
    {"budget_s", "S", "or once the case has run S seconds, shared by its processes (default 20)"},
    {"min_rounds", "N", "rounds per case and process before the interval is looked at (default 20 in one process, shared by several)"},
    {"rounds", "N", "rounds per case, at most (default 200)"},
    {"round_ms", "MS", "each member's share of a round, at least, in milliseconds (default 2)"},
    {"threads", "N", "threads for a parallel member (default: SORTBENCH_MAX_THREADS, else the hardware's)"},
    {"processes", "K",
     "run the rounds in K processes, each with its own address-space layout, and give each ratio's interval over "
     "them (default 3); 1: this process's rounds alone"},
    {"layouts", "",
     "with --processes=K (3 or more), A and B named as --contender=NAME=PATH: process k loads A's placement copy k, "
     "B's copy k+1 and, as a third member NAME_placed, A's copy k+2 (LIB.layoutN.so beside LIB.so)"},
    {"combine", "FILE", "instead of running, merge the files of separate processes of one group into one; repeatable",
     true},
    {"out", "FILE", "write the JSON there instead of to standard output"},
    {"help", "", "this list"},
};

constexpr program_spec program{"sortbench-rounds", "usage: sortbench-rounds --group=A,B [flags]", flags};


json read_rounds_file(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw std::runtime_error(path + ": " + std::strerror(errno));
    json doc = json::parse(in, nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || !doc.contains("cases") || !doc.contains("group")) {
        throw std::runtime_error(path + ": not sortbench-rounds JSON");
    }
    return doc;
}

int write_document(const command_line& line, const json& doc)
{
    std::FILE* out = stdout;
    const std::string path = line.flags().value("out").value_or("");
    if (!path.empty() && (out = std::fopen(path.c_str(), "w")) == nullptr) {
        return line.refuse(path + ": " + std::strerror(errno));
    }
    write_json(out, doc);
    return line.finish(out);
}

// The n-th placement copy of a library, LIB.layoutN.so beside LIB.so, as
// cmake/LayoutCopies.cmake builds them.
std::string placement_copy(const std::string& library, unsigned n)
{
    const std::filesystem::path path(library);
    const std::filesystem::path copy =
        path.parent_path() / (path.stem().string() + ".layout" + std::to_string(n) + path.extension().string());
    if (!std::filesystem::is_regular_file(copy)) {
        throw flag_error(copy.string() + ": no placement copy " + std::to_string(n) + " of " +
                         path.filename().string() + " (cmake/LayoutCopies.cmake builds them)");
    }
    return copy.string();
}

// Each process's own flags for --layouts: the group's first two libraries
// at placements of their own, and the first at a third placement beside.
std::vector<std::vector<std::string>> placement_flags(const parsed_flags& given, const std::vector<std::string>& names,
                                                      unsigned processes)
{
    if (processes < 3 || names.size() != 2) {
        throw flag_error("--layouts needs --processes=3 or more and a group of two");
    }
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        std::string path;
        for (const std::string& c : given.values("contender")) {
            if (c.rfind(name + "=", 0) == 0) path = c.substr(name.size() + 1);
        }
        if (path.empty()) {
            throw flag_error("--layouts moves the code of libraries: name " + name + " with --contender=" + name +
                             "=PATH");
        }
        paths.push_back(path);
    }
    std::vector<std::vector<std::string>> out;
    for (unsigned k = 0; k < processes; ++k) {
        out.push_back({"--group=" + names[0] + "," + names[1] + "," + names[0] + "_placed",
                       "--contender=" + names[0] + "=" + placement_copy(paths[0], k + 1),
                       "--contender=" + names[1] + "=" + placement_copy(paths[1], (k + 1) % processes + 1),
                       "--contender=" + names[0] + "_placed=" + placement_copy(paths[0], (k + 2) % processes + 1)});
    }
    return out;
}

// The same command once per process, each writing its own file, merged.
// The budget is the case's in all: each process has its share, so that
// more processes make a verdict surer, not slower.
int in_processes(const command_line& line, const std::vector<std::string>& args, unsigned processes,
                 double budget_seconds, const std::vector<std::vector<std::string>>& placements)
{
    const scratch_folder scratch;
    std::vector<std::vector<std::string>> runs;
    const unsigned share = std::max(1U, static_cast<unsigned>(budget_seconds / processes));
    std::vector<std::string> common = without_flag(without_flag(without_flag(args, "processes"), "out"), "budget_s");
    if (!placements.empty()) common = without_flag(without_flag(without_flag(common, "layouts"), "group"), "contender");
    // The default least number of rounds is shared too, so that a case's
    // shortest verdict costs about what one process's did. Six rounds each
    // at the least: the fewest whose extremes bound the median at 95%
    // (1 - 2/2^6 = 97%), which the process's own stop rule needs.
    if (!line.flags().given("min_rounds")) {
        const unsigned each = std::max(6U, (rounds_options{}.min_rounds + processes - 1) / processes);
        common.push_back("--min_rounds=" + std::to_string(each));
    }
    for (unsigned k = 1; k <= processes; ++k) {
        std::vector<std::string> one = common;
        if (!placements.empty()) one.insert(one.end(), placements[k - 1].begin(), placements[k - 1].end());
        one.push_back("--budget_s=" + std::to_string(share));
        one.push_back("--processes=1");
        one.push_back("--out=" + scratch.file(std::to_string(k) + ".json"));
        runs.push_back(std::move(one));
    }
    run_again(runs, [&](std::size_t k) { std::fprintf(stderr, "process %zu of %u\n", k + 1, processes); });
    std::vector<json> documents;
    for (unsigned k = 1; k <= processes; ++k) documents.push_back(read_rounds_file(scratch.file(std::to_string(k) + ".json")));
    return write_document(line, merge_processes(documents));
}

int rounds_main(const command_line& line, const std::vector<std::string>& args)
{
    if (line.help()) return line.show_help();
    const parsed_flags& given = line.flags();
    if (given.given("combine")) {
        std::vector<json> documents;
        for (const std::string& path : given.values("combine")) documents.push_back(read_rounds_file(path));
        return write_document(line, merge_processes(documents));
    }
    if (!given.value("group")) throw flag_error("--group=A,B names the contenders to compare");
    std::vector<std::string> names = split_list(*given.value("group"), ',');
    const bool all = names == std::vector<std::string>{"all"};
    if (all) {
        names = {given.value("reference").value_or("std_sort")};
    } else if (given.value("reference")) {
        throw flag_error("--reference goes with --group=all; otherwise the first of the group is the reference");
    } else if (names.size() < 2) {
        throw flag_error("--group needs two contenders or more, not '" + *given.value("group") + "'");
    }
    rounds_options options;
    options.min_rounds = line.number("min_rounds", 2, 100000, options.min_rounds);
    options.rounds = line.number("rounds", options.min_rounds, 100000, std::max(options.min_rounds, options.rounds));
    options.budget_seconds = line.number("budget_s", 1, 86400, static_cast<unsigned>(options.budget_seconds));
    if (const auto text = given.value("width")) {
        double pct = 0;
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), pct);
        if (error != std::errc{} || end != text->data() + text->size() || !(pct >= 0.1 && pct <= 50)) {
            throw flag_error("--width: a percentage from 0.1 to 50, not '" + *text + "'");
        }
        options.width = pct / 100;
    }
    options.round_seconds = line.number("round_ms", 1, 60000, 2) / 1000.0;
    const unsigned threads = line.thread_limit();
    const auto wanted = line.filter();
    const unsigned processes = line.number("processes", 1, 100, default_processes);

    bench_run run(given.values("contender"), line.input());
    std::vector<const contender*> group;
    for (const std::string& name : names) {
        const auto found = std::find_if(run.contenders().begin(), run.contenders().end(),
                                        [&](const contender& c) { return c.id == name; });
        if (found == run.contenders().end()) return line.refuse("no contender named '" + name + "'");
        if (std::find(group.begin(), group.end(), &*found) != group.end()) {
            return line.refuse("'" + name + "' is named twice in --group");
        }
        group.push_back(&*found);
    }
    if (all) {
        for (const contender& c : run.contenders()) {
            if (&c != group.front()) group.push_back(&c);
        }
    }
    const grid_options grid = rounds_grid(run, given.boolean("full_grid"), threads);
    if (group_cases(group, !all, grid, wanted).empty()) {
        return line.refuse("no case that every member takes matches the filter");
    }
    const auto placements = given.boolean("layouts") ? placement_flags(given, names, processes)
                                                     : std::vector<std::vector<std::string>>{};
    if (processes > 1) return in_processes(line, args, processes, options.budget_seconds, placements);
    std::size_t done = 0;
    const auto cases = run_group(run, group, !all, grid, wanted, options,
                                 [&](const std::string& name) { std::fprintf(stderr, "case %zu: %s\n", ++done, name.c_str()); });
    return write_document(line, rounds_document(group, options, threads, cases));
}

}  // namespace

int main(int argc, char** argv)
{
    return run_program(program.name, [&] {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return rounds_main(command_line(program, args), args);
    });
}
