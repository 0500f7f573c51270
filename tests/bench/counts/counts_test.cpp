// sortbench-counts' figures: exact counts of a few cases, the fields derived
// from them, and the lines they are written as.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/counts/counts.hpp"
#include "bench/engine/json.hpp"
#include "bench/engine/bench_run.hpp"

namespace {

// AddressSanitizer's qsort interceptor calls the comparison n - 1 times of
// its own before the C library sorts.
#ifdef SORTBENCH_SANITIZED
constexpr std::uint64_t qsort_interceptor = 999;
#else
constexpr std::uint64_t qsort_interceptor = 0;
#endif

std::string written(const std::vector<count_record>& records, bool as_json)
{
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    write_counts(out, records, as_json);
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

// Golden counts, the same on every machine: a sort that counts through its
// elements (shell_sort, pdqsort), through its own comparison and tally
// (my_QSORT, on records), through the C library's callback (c_qsort, whose
// moves nothing sees) and one that makes no comparisons (vqsort).
TEST(Counts, GoldenFiguresOfAFewCases)
{
    const bench_run run;
    const auto records = count_all(run.contenders(), {true, 1}, [](const std::string& name) {
        return name == "shell_sort/random/1000" || name == "my_QSORT/random/1000/kv16" ||
               name == "c_qsort/random/1000" || name == "pdqsort/ascending/1000" || name == "vqsort/random/1000";
    });
    struct golden {
        std::string contender, type;
        std::optional<std::uint64_t> comparisons, moves;
    };
    const std::vector<golden> want{
        {"shell_sort", "int32", 14092, 28611}, {"c_qsort", "int32", 8699 + qsort_interceptor, std::nullopt},
        {"pdqsort", "int32", 2010, 6},         {"vqsort", "int32", std::nullopt, std::nullopt},
        {"my_QSORT", "kv16", 14809, 10683},
    };
    ASSERT_EQ(records.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].contender);
        EXPECT_EQ(records[i].contender, want[i].contender);
        EXPECT_EQ(records[i].type, want[i].type);
        EXPECT_EQ(records[i].size, 1000u);
        EXPECT_EQ(records[i].comparisons, want[i].comparisons);
        EXPECT_EQ(records[i].moves, want[i].moves);
    }
    // 14,092 comparisons of 1,000 elements: 14.092 each, over
    // 1000 log2 1000 = 9965.784 1.41404, over log2(1000!) = 8529.398 1.65217.
    EXPECT_DOUBLE_EQ(*records[0].comparisons_per_element(), 14.092);
    EXPECT_NEAR(*records[0].comparisons_per_n_log2_n(), 1.414039, 1e-6);
    EXPECT_NEAR(*records[0].comparisons_over_bound(), 1.652168, 1e-6);
    EXPECT_FALSE(records[3].comparisons_per_element().has_value());
    EXPECT_FALSE((count_record{"x", "int32", "random", 1, 0, 0}.comparisons_per_n_log2_n().has_value()));

    // Six significant digits, as the counts have always been written.
    EXPECT_EQ(json::parse(written({records[0], records[2]}, true)),
              json::parse(R"([{"contender": "shell_sort", "type": "int32", "pattern": "random", "size": 1000,
                               "comparisons": 14092, "moves": 28611, "comparisons_per_element": 14.092,
                               "comparisons_per_n_log2_n": 1.41404, "comparisons_over_log2_n_factorial": 1.65217},
                              {"contender": "pdqsort", "type": "int32", "pattern": "ascending", "size": 1000,
                               "comparisons": 2010, "moves": 6, "comparisons_per_element": 2.01,
                               "comparisons_per_n_log2_n": 0.20169,
                               "comparisons_over_log2_n_factorial": 0.235656}])"));
    EXPECT_EQ(written({records[3]}, false),
              "contender        type    pattern                  size    comparisons          moves   cmp/elem   "
              "cmp/nlog2n   cmp/lg(n!)\n"
              "vqsort           int32   random                   1000            n/a            n/a        n/a   "
              "       n/a          n/a\n");
}

}  // namespace
