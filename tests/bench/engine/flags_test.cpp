// The flag parser every program uses, and the thread limit it reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "bench/engine/cli.hpp"
#include "bench/engine/flags.hpp"

namespace {

constexpr flag_spec specs[] = {
    {"full_grid", "", "a boolean"},
    {"max_threads", "N", "a value"},
    {"contender", "PATH", "a value kept every time", true},
};

TEST(Flags, BooleansValuesAndTheRest)
{
    const parsed_flags f({"--full_grid", "--max_threads=4", "--benchmark_filter=x", "--contender=a.so",
                          "--max_threads=8", "--contender=b.so", "--full_grid_extra"},
                         specs);
    EXPECT_TRUE(f.boolean("full_grid"));
    EXPECT_EQ(f.value("max_threads"), "8");
    EXPECT_EQ(f.values("contender"), (std::vector<std::string>{"a.so", "b.so"}));
    EXPECT_EQ(f.rest(), (std::vector<std::string>{"--benchmark_filter=x", "--full_grid_extra"}));

    EXPECT_FALSE(parsed_flags({"--full_grid=false"}, specs).boolean("full_grid"));
    EXPECT_TRUE(parsed_flags({"--full_grid=false", "--full_grid=true"}, specs).boolean("full_grid"));
    EXPECT_FALSE(parsed_flags({}, specs).given("full_grid"));
    EXPECT_FALSE(parsed_flags({}, specs).value("max_threads").has_value());
}

TEST(Flags, RefuseABadSpellingInOneLine)
{
    const auto message = [](std::vector<std::string> args) {
        try {
            parsed_flags f(args, specs);
        } catch (const flag_error& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message({"--full_grid=yes"}), "--full_grid takes true or false, not 'yes'");
    EXPECT_EQ(message({"--full_grid="}), "--full_grid takes true or false, not ''");
    EXPECT_EQ(message({"--max_threads"}), "--max_threads needs a value: --max_threads=N");
    EXPECT_EQ(message({"--max_threads="}), "accepted");  // an empty value is for the caller to judge
}

TEST(Flags, WholeNumbersInRange)
{
    EXPECT_EQ(whole_number("1", 1, 65536), 1u);
    EXPECT_EQ(whole_number("128", 1, 65536), 128u);
    EXPECT_EQ(whole_number("65536", 1, 65536), 65536u);
    for (const char* bad : {"", "0", "-1", "65537", "99999", "4x", " 4", "1e3", "999999999999"}) {
        EXPECT_FALSE(whole_number(bad, 1, 65536).has_value()) << '"' << bad << '"';
    }
    EXPECT_NE(flags_help(specs).find("  --max_threads=N"), std::string::npos);
}

}  // namespace

// One thread limit in every program: --threads, the suite's older
// --max_threads, then the variable; whichever is wrong is named.
TEST(Flags, ThreadLimitNamesWhatWasWrong)
{
    static constexpr flag_spec own[] = {{"threads", "N", ""}, {"max_threads", "N", ""}};
    const program_spec program{"p", "", own};
    const auto limit = [&](std::vector<std::string> args, std::optional<unsigned> fallback = {}) {
        return command_line(program, std::move(args)).thread_limit(fallback);
    };
    ::setenv("SORTBENCH_MAX_THREADS", "3", 1);
    EXPECT_EQ(limit({"--threads=5"}), 5u);
    EXPECT_EQ(limit({"--max_threads=6"}), 6u);
    EXPECT_EQ(limit({}), 3u);
    ::setenv("SORTBENCH_MAX_THREADS", "many", 1);
    try {
        limit({}, 1);
        ADD_FAILURE() << "SORTBENCH_MAX_THREADS=many accepted";
    } catch (const flag_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("the SORTBENCH_MAX_THREADS variable", 0), 0u) << e.what();
    }
    ::unsetenv("SORTBENCH_MAX_THREADS");
    EXPECT_EQ(limit({}, 1), 1u);
    try {
        limit({"--threads=0"});
        ADD_FAILURE() << "--threads=0 accepted";
    } catch (const flag_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("--threads must be", 0), 0u) << e.what();
    }
}
