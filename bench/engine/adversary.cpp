#include "adversary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

// McIlroy's adversary over the ids 0 .. n-1 that the array holds.
struct adversary {
    std::vector<std::int32_t> value;  // gas until frozen
    std::int32_t gas;
    std::int32_t solid = 0;  // the next value to freeze to
    std::int32_t candidate = 0;

    explicit adversary(std::uint32_t n) : value(n, static_cast<std::int32_t>(n)), gas(static_cast<std::int32_t>(n)) {}

    static bool less(void* state, const std::int32_t& x, const std::int32_t& y)
    {
        adversary& a = *static_cast<adversary*>(state);
        const auto ix = static_cast<std::size_t>(x), iy = static_cast<std::size_t>(y);
        if (a.value[ix] == a.gas && a.value[iy] == a.gas) {
            a.value[x == a.candidate ? ix : iy] = a.solid++;
        }
        if (a.value[ix] == a.gas) {
            a.candidate = x;
        } else if (a.value[iy] == a.gas) {
            a.candidate = y;
        }
        return a.value[ix] < a.value[iy];
    }
};

}  // namespace

adversary_result run_adversary(const count_ref<std::int32_t>& count, std::uint32_t n)
{
    adversary a(n);
    std::vector<std::int32_t> ids(n);
    for (std::uint32_t i = 0; i < n; ++i) ids[i] = static_cast<std::int32_t>(i);
    sorts::op_counts counts;
    {
        const sorts::under_test_scope<std::int32_t> scope({adversary::less, &a});
        counts = count(ids.data(), n);
    }
    adversary_result r{counts.comparisons, std::move(a.value), false};
    r.sorted_input = std::is_sorted(r.input.begin(), r.input.end());
    const double lg_n_factorial = std::lgamma(n + 1.0) / std::log(2.0);
    r.below_lower_bound = r.comparisons != not_counted && static_cast<double>(r.comparisons) < lg_n_factorial;
    return r;
}

std::string adversary_file(const std::string& dir, const std::string& contender, std::uint32_t n)
{
    return dir + "/adversary-" + contender + "-" + std::to_string(n) + ".int32";
}

bool write_int32_file(const std::string& path, std::span<const std::int32_t> values)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(values.data(), sizeof(std::int32_t), values.size(), f) == values.size();
    return std::fclose(f) == 0 && written;
}

std::string replay_command(const std::vector<std::string>& libraries, const std::string& file, const std::string& id,
                           std::uint32_t n)
{
    std::string command = "sortbench-counts";
    for (const std::string& library : libraries) command += " --contender=" + library;
    const std::string name = std::filesystem::path(file).stem().string();
    return command + " --input=" + file + " --input_sizes=" + std::to_string(n) + " --filter='^" + id + "/" + name +
           "/" + std::to_string(n) + "$'";
}
