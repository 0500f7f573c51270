// A user's data as a pattern: the file formats, each bad input in one line,
// and a file written from a built-in pattern, which must be that pattern
// again: the same arrays, counts and profile.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/counts/counts.hpp"
#include "bench/engine/bench_run.hpp"

namespace {

class UserData : public testing::Test {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("sortbench_user_data_" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string file(const std::string& name, const std::string& bytes)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    template <class T>
    std::string binary(const std::string& name, const std::vector<T>& values)
    {
        return file(name, std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T)));
    }

    // The one line a bad file gives, without its directory.
    std::string refusal(const std::string& path, std::string_view type, bool text, std::vector<std::uint32_t> sizes = {},
                        std::uint64_t memory = UINT64_MAX)
    {
        try {
            read_user_data(path, type, text, sizes, memory);
        } catch (const input_error& e) {
            std::string message = e.what();
            message.erase(0, dir.string().size() + 1);
            return message;
        }
        return "accepted";
    }
};

TEST_F(UserData, ReadsEachFormat)
{
    const auto ints = read_user_data(binary<std::int64_t>("ints.bin", {5, -3, INT64_MIN, 5}), "int64", false);
    EXPECT_EQ(ints->values<std::int64_t>(), (std::vector<std::int64_t>{5, -3, INT64_MIN, 5}));
    EXPECT_EQ(ints->pattern().name, "ints");
    EXPECT_EQ(ints->pattern().shape, 0u);  // one equal pair is no run to go quadratic on
    const auto runs = read_user_data(binary<std::int64_t>("runs.bin", std::vector<std::int64_t>(64, 7)), "int64", false);
    EXPECT_EQ(runs->pattern().shape, unsigned{repeats_values});
    // In three million values one run costs less than the sort, but a run
    // past the cap would recurse deeper than those routines ever do.
    for (const std::uint32_t run : {quadratic_cap, quadratic_cap + 1}) {
        std::vector<std::int32_t> big(3000000);
        for (std::size_t i = 0; i < big.size(); ++i) big[i] = i < run ? -1 : static_cast<std::int32_t>(i);
        const auto read = read_user_data(binary<std::int32_t>("big.bin", big), "int32", false);
        EXPECT_EQ(read->pattern().shape, run > quadratic_cap ? unsigned{repeats_values} : 0u) << run;
    }
    EXPECT_EQ(ints->sizes(), (std::vector<std::uint32_t>{4}));  // shorter than every suite size

    const auto records = read_user_data(binary<kv16>("pairs.bin", {{1, 20}, {2, 10}}), "kv16", false);
    EXPECT_EQ(records->values<kv16>()[1].key, 10u);
    EXPECT_EQ(records->pattern().shape, 0u);

    const auto numbers = read_user_data(file("n.txt", " 1.5\r\n-2e3\ninf\n"), "double", true);
    EXPECT_EQ(numbers->values<double>(), (std::vector<double>{1.5, -2000, std::numeric_limits<double>::infinity()}));

    const auto words = read_user_data(file("w.txt", "pear\r\n\napple\nfig"), "string", false);
    std::vector<std::string> got;
    for (const text& t : words->values<text>()) got.emplace_back(as_view(t));
    EXPECT_EQ(got, (std::vector<std::string>{"pear", "", "apple", "fig"}));

    std::vector<std::int32_t> many(25000, 1);
    const auto cut = read_user_data(binary("many.bin", many), "int32", false);
    EXPECT_EQ(cut->sizes().back(), 10000u);  // the suite's sizes up to the file's length
    EXPECT_EQ(read_user_data(binary("many.bin", many), "int32", false, {7, 25000})->sizes(),
              (std::vector<std::uint32_t>{7, 25000}));
}

TEST_F(UserData, RefusesBadInputInOneLine)
{
    EXPECT_EQ(refusal(file("empty.bin", ""), "int32", false), "empty.bin: empty");
    EXPECT_EQ(refusal(file("short.bin", std::string(11, 'x')), "int64", false),
              "short.bin: byte 8: a truncated record (3 of 8 bytes)");
    EXPECT_EQ(refusal(file("words.txt", "1\n2\nthree\n"), "int32", true),
              "words.txt: line 3: not a number of type int32: 'three'");
    EXPECT_EQ(refusal(file("big.txt", "4294967296\n"), "int32", true),
              "big.txt: line 1: not a number of type int32: '4294967296'");
    EXPECT_EQ(refusal(file("nan.txt", "1\nnan\n"), "double", true), "nan.txt: line 2: a NaN");
    EXPECT_EQ(refusal(binary<double>("nan.bin", {1.0, std::nan("")}), "double", false), "nan.bin: byte 8: a NaN");
    EXPECT_EQ(refusal(binary<std::int32_t>("n.bin", {1, 2}), "int32", false, {3}),
              "n.bin: size 3 is not within the file's 2 values");
    EXPECT_EQ(refusal(binary<std::int32_t>("huge.bin", std::vector<std::int32_t>(1 << 18)), "int32", false, {},
                      std::uint64_t{1} << 20),
              "huge.bin: 1 MiB of data needs about 5 MiB, more than the 1 MiB of memory available");
    EXPECT_EQ(refusal(binary<std::int32_t>("zipf.bin", {1}), "int32", false),
              "zipf.bin: its name 'zipf' is a built-in pattern's; rename the file");
    EXPECT_EQ(refusal(file("k.txt", "1\n"), "kv16", true), "k.txt: kv16 files are binary records, not text");
}

// The arrays of zipf written to a file read back as zipf's own arrays: the
// same inputs to the suite, and the same counts from every contender.
TEST_F(UserData, AFileWrittenFromAPatternIsThatPattern)
{
    const std::string path = (dir / "written.bin").string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    write_pattern<std::int64_t>(out, pattern::zipf, 1000, 33);
    std::fclose(out);

    bench_run run({}, read_user_data(path, "int64", false, {1000}));
    const auto mine = run.inputs<std::int64_t>(pattern::from_file, 1000).input;
    EXPECT_EQ(mine, run.inputs<std::int64_t>(pattern::zipf, 1000).input);

    const auto counts = count_all(run.contenders(), {true, 1, run.data()}, [](const std::string& name) {
        return name.ends_with("/zipf/1000/int64") || name.ends_with("/written/1000/int64");
    });
    std::map<std::string, std::pair<std::optional<std::uint64_t>, std::optional<std::uint64_t>>> zipf, written;
    for (const count_record& r : counts) (r.pattern == "zipf" ? zipf : written)[r.contender] = {r.comparisons, r.moves};
    EXPECT_EQ(zipf.size(), 13u);
    EXPECT_EQ(written, zipf);
}

// Every built-in pattern, written to a file, is found as itself.
TEST_F(UserData, EachPatternsProfileIsNearestToItself)
{
    for (const pattern_info& p : all_patterns) {
        const std::string path = (dir / ("w_" + std::string(p.name) + ".bin")).string();
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        write_pattern<std::int32_t>(out, p.p, 20000, 1);
        std::fclose(out);
        EXPECT_EQ(profile(*read_user_data(path, "int32", false)).nearest, p.name);
    }
}

// Near a pattern but not equal to it: three arrays of another size, each
// made with its own seed, then 1 in 200 elements swapped with a random
// other. A measure scaled by the wrong length, or taken of the file as one
// array (three descending arrays read as one are saws), moves the nearest
// pattern away. Patterns that three measures cannot tell from their
// neighbours once perturbed (ascending from push_front) are not asked.
TEST_F(UserData, AProfileFindsThePatternItIsNear)
{
    for (const pattern p : {pattern::random, pattern::descending, pattern::few_distinct, pattern::distinct_256}) {
        std::vector<std::int32_t> values;
        for (std::uint32_t seed = 1; seed <= 3; ++seed) {
            std::vector<std::int32_t> a(7001);
            fill_pattern(p, a, seed);
            values.insert(values.end(), a.begin(), a.end());
        }
        std::mt19937 rng(7);
        for (std::size_t k = 0; k < values.size() / 200; ++k) std::swap(values[rng() % values.size()], values[rng() % values.size()]);
        const std::string name(pattern_name(p));
        EXPECT_EQ(profile(*read_user_data(binary("near_" + name + ".bin", values), "int32", false), 7001).nearest, name)
            << name;
    }
}

// A share of the data is its runs first .. first + count - 1, whole.
TEST_F(UserData, ASharesArraysAreItsRuns)
{
    std::vector<std::int64_t> values(105);
    std::iota(values.begin(), values.end(), 0);
    const auto data = read_user_data(binary("shares.bin", values), "int64", false);
    const auto held_out = data->share(25, 2, 2);
    EXPECT_EQ(held_out->count(), 50u);
    EXPECT_EQ(held_out->sizes(), std::vector<std::uint32_t>{25});
    std::vector<std::int64_t> a(25);
    held_out->fill(std::span(a), 1);
    EXPECT_EQ(a.front(), 75);
    EXPECT_EQ(a.back(), 99);
    EXPECT_THROW(data->share(25, 3, 2), std::invalid_argument);
}

}  // namespace
