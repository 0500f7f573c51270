#include "noise.hpp"

#include <cstdio>
#include <string>

void flag_noisy(std::vector<benchmark::BenchmarkReporter::Run>& runs)
{
    for (const auto& run : runs) {
        // A percentage aggregate holds its value as the accumulated time.
        if (run.run_type != benchmark::BenchmarkReporter::Run::RT_Aggregate ||
            run.aggregate_name != "cv" || !(run.real_accumulated_time > noisy_cv)) {
            continue;
        }
        char label[64];
        std::snprintf(label, sizeof label, "NOISY: cv %.1f%% > %.0f%%",
                      100 * run.real_accumulated_time, 100 * noisy_cv);
        for (auto& r : runs) {
            r.report_label = r.report_label.empty() ? label : r.report_label + " " + label;
        }
        return;
    }
}
