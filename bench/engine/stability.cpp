#include "stability.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "inputs/patterns.hpp"

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
