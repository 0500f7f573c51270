#include "counts.hpp"

#include <algorithm>
#include <stdexcept>

#include "bench/suite.hpp"
#include "inputs/patterns.hpp"
#include "inputs/sizes.hpp"

namespace {

template <class T>
void count_type(const std::vector<contender>& all, bool full_grid,
                const std::function<bool(const std::string&)>& wanted, std::vector<count_record>& out)
{
    const std::string_view type = element_traits<T>::name;
    std::vector<T> a;
    for (const contender& c : all) {
        const typed_sort<T>& s = c.of<T>();
        // A parallel sort is counted in its sequential form, where it has one.
        if (s.sort == nullptr || c.use_threads != nullptr) continue;
        for (const pattern_info& p : all_patterns) {
            for (const std::uint32_t n : suite_sizes) {
                if (n > size_cap(c, p) || (!in_default_run(type, p.p, n, false) && !full_grid)) continue;
                if (!wanted(benchmark_name(c.id, p.name, n, type, false))) continue;
                count_record r{c.id, std::string(type), std::string(p.name), n, {}, {}};
                if (s.count != nullptr) {
                    a.resize(n);
                    fill_elements(p.p, std::span(a), 1);
                    const sorts::op_counts counts = s.count(a.data(), n);
                    if (!std::is_sorted(a.begin(), a.end())) {
                        throw std::runtime_error("the counting form of " + c.id + " did not sort " + r.pattern + "/" +
                                                 std::to_string(n) + "/" + r.type);
                    }
                    r.comparisons = counts.comparisons;
                    if (counts.moves != not_counted) r.moves = counts.moves;
                }
                out.push_back(std::move(r));
            }
        }
    }
}

}  // namespace

std::vector<count_record> count_all(const std::vector<contender>& all, bool full_grid,
                                    const std::function<bool(const std::string&)>& wanted)
{
    std::vector<count_record> out;
    for_each_type([&]<class T>(T) { count_type<T>(all, full_grid, wanted, out); });
    return out;
}

std::optional<std::string> first_instability(const contender& c)
{
    sort_fn<kv16>* sort = c.of<kv16>().sort;
    if (sort == nullptr) return std::nullopt;
    if (c.use_threads != nullptr) c.use_threads(2);
    std::vector<kv16> a;
    for (const pattern_info& p : all_patterns) {
        for (const std::uint32_t n : {10u, 100u, 1000u, 10000u}) {
            a.resize(n);
            fill_elements(p.p, std::span(a), 1);
            sort(a.data(), n);
            for (std::uint32_t i = 1; i < n; ++i) {
                if (a[i].key == a[i - 1].key && a[i].value < a[i - 1].value) {
                    return std::string(p.name) + "/" + std::to_string(n);
                }
            }
        }
    }
    return std::nullopt;
}
