#include "robustness.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

grid_options stability_grid(unsigned threads)
{
    grid_options grid;
    grid.warm_only = true;
    grid.widest_only = true;
    grid.max_threads = std::max(2U, threads);
    grid.sizes = {10, 100, 1000, 10000};
    return grid;
}

std::optional<std::string> first_instability(const contender& c, unsigned threads)
{
    std::optional<std::string> found;
    std::vector<kv16> a;
    for_each_case<kv16>({&c}, stability_grid(threads), [&](const grid_case& g) {
        if (found) return;
        if (c.parallel()) c.use_threads(g.threads);
        a.resize(g.n);
        fill_elements(g.p->p, std::span(a), 1);
        c.of<kv16>().sort(a.data(), g.n);
        for (std::uint32_t i = 1; i < g.n; ++i) {
            if (a[i].key == a[i - 1].key && a[i].value < a[i - 1].value) {
                found = std::string(g.p->name) + "/" + std::to_string(g.n);
                return;
            }
        }
    });
    return found;
}

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
