#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/report.hpp"
#include "expected_output.hpp"

namespace {

std::string report_text(const std::array<test_case, case_count>& cases,
                        const std::array<const char*, slot_count>& names)
{
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    write_report(out, cases, names);
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

std::string repeat(const std::string& s, int times)
{
    std::string r;
    for (int i = 0; i < times; ++i) r += s;
    return r;
}

TEST(Report, WritesHeadingHeaderRowsAndLabelledSlotsInOrder)
{
    std::array<test_case, case_count> cases = initial_test_cases;
    for (test_case& tc : cases) {
        tc.result[1] = 1e-6;
        tc.result[2] = 9.0;  // measured but unlabelled: no row
        tc.result[3] = 2.5e-7;
    }
    cases[0].result[1] = 0.0;
    cases[1].result[1] = -2e-6;
    cases[2].result[1] = std::nan("");
    cases[3].result[1] = 4.6e-8;
    cases[4].result[1] = 1.5;

    std::array<const char*, slot_count> names{};
    names[31] = "last slot         ";
    names[3] = "quick+insert sort ";
    names[1] = "shell sort        ";

    const std::string expected =
        expected_report_header() +
        ",shell sort         ,         ---,         ---,         ---,       0.046, 1500000.000," +
        repeat("       1.000,", 9) + "\n"
        ",quick+insert sort  ," + repeat("       0.250,", 14) + "\n"
        ",last slot          ," + repeat("         ---,", 14) + "\n"
        "\n";
    EXPECT_EQ(report_text(cases, names), expected);
}

TEST(Report, WithoutLabelsHasOnlyTheHeaderRows)
{
    const std::string text = report_text(initial_test_cases, {});
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
}

}  // namespace
