#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/report.hpp"
#include "expected_output.hpp"

namespace {

std::string report_text(std::span<const report_row> rows)
{
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    write_report(out, rows);
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

TEST(Report, WritesHeadingHeaderRowsAndRowsInOrder)
{
    report_row shell{"shell sort        ", {}};
    report_row quick{"quick+insert sort ", {}};
    const report_row last{"last row          ", {}};  // nothing measured
    shell.seconds.fill(1e-6);
    quick.seconds.fill(2.5e-7);
    shell.seconds[0] = 0.0;
    shell.seconds[1] = -2e-6;
    shell.seconds[2] = std::nan("");
    shell.seconds[3] = 4.6e-8;
    shell.seconds[4] = 1.5;
    const report_row rows[] = {shell, quick, last};

    const std::string expected =
        expected_report_header() +
        ",shell sort         ,         ---,         ---,         ---,       0.046, 1500000.000," +
        repeat("       1.000,", 9) + "\n"
        ",quick+insert sort  ," + repeat("       0.250,", 14) + "\n"
        ",last row           ," + repeat("         ---,", 14) + "\n"
        "\n";
    EXPECT_EQ(report_text(rows), expected);
}

TEST(Report, WithoutRowsHasOnlyTheHeaderRows)
{
    const std::string text = report_text({});
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
}

}  // namespace
