#include "worst.hpp"

#include <algorithm>
#include <bit>
#include <random>
#include <stdexcept>

#include "bench/engine/adversary.hpp"
#include "inputs/patterns.hpp"

namespace {

// Draws are taken raw from the engine and reduced by %, never through a
// library distribution, whose results differ between standard libraries.
class draws {
public:
    explicit draws(std::uint64_t seed) : rng_(seed) {}
    std::size_t below(std::size_t k) { return k == 0 ? 0 : static_cast<std::size_t>(rng_() % k); }
    // A length from 2 to n, as likely a few elements as a few thousand.
    std::size_t length(std::size_t n)
    {
        const auto bits = static_cast<std::size_t>(std::bit_width(n));
        const std::size_t top = std::size_t{1} << below(bits);
        return std::min(n, 2 + below(top));
    }

private:
    std::mt19937_64 rng_;
};

// One local change of `a`.
void change(std::vector<std::int32_t>& a, draws& d)
{
    const std::size_t n = a.size();
    if (n < 2) return;
    const std::size_t len = d.length(n);
    const std::size_t i = d.below(n - len + 1);
    const auto block = a.begin() + static_cast<std::ptrdiff_t>(i);
    const auto end = block + static_cast<std::ptrdiff_t>(len);
    switch (d.below(8)) {
    case 0:
        std::swap(a[d.below(n)], a[d.below(n)]);
        break;
    case 1: {
        const std::size_t j = std::min(n - 1, i + 1 + d.below(8));
        std::swap(a[i], a[j]);
        break;
    }
    case 2:
        std::reverse(block, end);
        break;
    case 3: {
        // The block moves to the right or left by up to its own length.
        const std::size_t shift = 1 + d.below(len - 1);
        std::rotate(block, block + static_cast<std::ptrdiff_t>(shift), end);
        break;
    }
    case 4:
        std::sort(block, end);
        break;
    case 5:
        std::sort(block, end, std::greater<>());
        break;
    case 6: {
        // Merges the ascending run through i with the run after it.
        std::size_t lo = i, mid = i + 1;
        while (lo > 0 && a[lo - 1] <= a[lo]) --lo;
        while (mid < n && a[mid - 1] <= a[mid]) ++mid;
        std::size_t hi = std::min(n, mid + 1);
        while (hi < n && a[hi - 1] <= a[hi]) ++hi;
        const auto first = a.begin();
        std::inplace_merge(first + static_cast<std::ptrdiff_t>(lo), first + static_cast<std::ptrdiff_t>(mid),
                           first + static_cast<std::ptrdiff_t>(hi));
        break;
    }
    default: {
        const std::size_t few = std::min<std::size_t>(len, 16);
        for (std::size_t k = few; k > 1; --k) std::swap(block[static_cast<std::ptrdiff_t>(k - 1)], block[static_cast<std::ptrdiff_t>(d.below(k))]);
        break;
    }
    }
}

}  // namespace

worst_result search_worst(const count_ref<std::int32_t>& count, const worst_options& options)
{
    const std::uint32_t n = options.n;
    worst_result r;
    std::vector<std::int32_t> scratch(n);
    const auto evaluate = [&](const std::vector<std::int32_t>& a) {
        std::copy(a.begin(), a.end(), scratch.begin());
        const std::uint64_t c = count(scratch.data(), n).comparisons;
        ++r.evaluations;
        r.spent += c;
        return c;
    };

    const bool every = options.start.empty();
    bool named = every;
    std::vector<std::int32_t> a(n);
    for (const pattern_info& p : all_patterns) {
        // The random pattern is counted always: the figure a worst case is read against.
        if (!every && p.name != options.start && p.p != pattern::random) continue;
        fill_pattern(p.p, a, 1);
        const std::uint64_t c = evaluate(a);
        if (p.p == pattern::random) r.random_comparisons = c;
        if (!every && p.name != options.start) continue;
        named = true;
        if (r.input.empty() || c > r.comparisons) {
            r.input = a;
            r.comparisons = c;
            r.start = p.name;
        }
    }
    if (every || options.start == "adversary") {
        named = true;
        const adversary_result adversary = run_adversary(count, n);
        ++r.evaluations;
        r.spent += adversary.comparisons;
        if (r.input.empty() || adversary.comparisons > r.comparisons) {
            r.input = adversary.input;
            r.comparisons = adversary.comparisons;
            r.start = "adversary";
        }
    }
    if (!named) throw std::invalid_argument("no pattern '" + options.start + "', nor the adversary");
    r.start_comparisons = r.comparisons;

    draws d(options.seed);
    std::vector<std::int32_t> next;
    while (r.spent < options.budget) {
        next = r.input;
        // Several changes at once as often as one: a large array needs many
        // before its count moves, a small one few.
        for (std::size_t k = std::size_t{1} << d.below(4); k > 0; --k) change(next, d);
        const std::uint64_t c = evaluate(next);
        if (c >= r.comparisons) {
            if (c > r.comparisons) ++r.improvements;
            r.input.swap(next);
            r.comparisons = c;
        }
    }
    return r;
}

std::string worst_file(const std::string& dir, const std::string& contender, const worst_options& options)
{
    return dir + "/worst-" + contender + "-" + std::to_string(options.n) + "-seed" + std::to_string(options.seed) +
           ".int32";
}
