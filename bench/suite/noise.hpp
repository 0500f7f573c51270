// The noise flag: a benchmark whose repetitions spread by more than 5%
// (coefficient of variation, standard deviation over mean) is marked, so that
// nobody reads a noisy figure as a real difference.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

inline constexpr double noisy_cv = 0.05;

// Labels every run of one benchmark "NOISY: cv X% > 5%" when its cv
// aggregate exceeds noisy_cv; runs without a cv aggregate stay as they are.
void flag_noisy(std::vector<benchmark::BenchmarkReporter::Run>& runs);

// A reporter that flags noisy benchmarks before Base prints them.
template <class Base>
class flagging_reporter : public Base {
public:
    using Base::Base;

    void ReportRuns(const std::vector<benchmark::BenchmarkReporter::Run>& runs) override
    {
        std::vector<benchmark::BenchmarkReporter::Run> flagged = runs;
        flag_noisy(flagged);
        Base::ReportRuns(flagged);
    }
};
