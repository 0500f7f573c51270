#include "report.hpp"

#include <cstdint>

#include "sjis.hpp"

void write_report(std::FILE* out, std::span<const report_row> rows)
{
    std::fprintf(out, "\n*** %s (%dbytes) %s SORT %s\n", "int",
                 static_cast<int>(sizeof(std::int32_t)), sjis::no, sjis::tesuto);
    std::fputs("\n", out);

    // Field widths count bytes: each Japanese character takes two columns.
    std::fprintf(out, ",%18s ,", sjis::kosuu);
    for (const test_case& tc : test_cases) {
        std::fprintf(out, "%10d%s,", tc.num, sjis::ko);
    }
    std::fputs("\n", out);

    // The base count `loop` is shown, a tenth of the calls actually made.
    std::fprintf(out, ",%18s ,", sjis::kaisuu_heikin);
    for (const test_case& tc : test_cases) {
        std::fprintf(out, "   (%5d%s),", tc.loop, sjis::kai);
    }
    std::fputs("\n", out);

    for (const report_row& row : rows) {
        std::fprintf(out, ",%-18s ,", row.label);
        for (const double seconds : row.seconds) {
            const double v = seconds * 1000000.0;
            if (v > 0) {  // false for NaN too
                std::fprintf(out, "%12.3f,", v);
            } else {
                std::fprintf(out, "%12s,", "---");
            }
        }
        std::fputs("\n", out);
    }
    std::fputs("\n", out);
}
