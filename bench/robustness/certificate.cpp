#include "certificate.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <thread>

#include "bench/engine/jobs.hpp"
#include "bench/engine/json.hpp"
#include "platform/call_costs.hpp"

namespace {

constexpr element_form all_forms[] = {element_form::counted, element_form::int32, element_form::int64,
                                      element_form::string};

bool in_loops(outcome o)
{
    return o == outcome::quadratic || o == outcome::no_progress;
}

std::string grade_of(outcome o)
{
    return o == outcome::kept ? "safe" : o == outcome::quadratic ? "warning" : "unsafe";
}

// The worst of the runs `wanted` picks: loops apart from the rest, which
// have the loops' own column.
certificate_cell worst_cell(const std::vector<fault_record>& records, const std::function<bool(const fault_record&)>& wanted,
                            bool loops, const std::string& none)
{
    const fault_record* worst = nullptr;
    unsigned runs = 0, tried = 0;
    for (const fault_record& r : records) {
        if (!wanted(r)) continue;
        ++tried;
        if (in_loops(r.r.what) != loops) continue;
        if (worst == nullptr || r.r.what > worst->r.what) {
            worst = &r;
            runs = 0;
        }
        if (r.r.what == worst->r.what) ++runs;
    }
    if (tried == 0) return {none, "n/a", "", 0};
    if (worst == nullptr || worst->r.what == outcome::kept) return {loops ? "none" : "safe", "safe", "", 0};
    return {describe(worst->r, worst->c.n), grade_of(worst->r.what), worst->c.name(), runs};
}

bool in_column(const fault_record& r, fault_column column)
{
    return info_of(r.c.kind).column == column;
}

std::string figure(double x, const char* format)
{
    char text[64];
    std::snprintf(text, sizeof text, format, x);
    return text;
}

certificate_cell adversary_cell(const adversary_result& a, std::uint32_t n, bool counted)
{
    if (!counted) return {"n/a (no comparison to count)", "n/a", "", 0};
    if (a.comparisons == not_counted) return {"n/a (samples at random)", "n/a", "", 0};
    if (a.sorted_input) return {"not applicable (the adversary's input is sorted)", "n/a", "", 0};
    if (a.below_lower_bound) {
        return {"not applicable (fewer than lg n! comparisons: the adversary's input came out in long runs)", "n/a", "", 0};
    }
    const double n_log_n = n * std::log2(static_cast<double>(n));
    const double times = static_cast<double>(a.comparisons) / n_log_n;
    // Quadratic when past n^2 / 16: a crafted input then costs a denial of
    // service.
    const bool quadratic = static_cast<double>(a.comparisons) > static_cast<double>(n) * n / 16;
    return {figure(times, "%.2f n log2 n"), quadratic ? "warning" : "safe", "", 0};
}

// The short word a console cell shows.
std::string short_verdict(const certificate_cell& cell)
{
    if (cell.grade == "safe" || cell.grade == "n/a") {
        if (cell.verdict.starts_with("not applicable")) return "not applicable";
        if (cell.grade == "n/a") return "n/a";
        return cell.verdict.starts_with("safe") ? "safe" : cell.verdict;
    }
    std::string v = cell.verdict;
    if (v.starts_with("threw, ")) v = v.substr(7);
    const std::size_t paren = v.find(" (");
    if (paren != std::string::npos && !v.starts_with("QUADRATIC") && !v.starts_with("NO PROGRESS")) v = v.substr(0, paren);
    if (v.starts_with("QUADRATIC")) return "QUADRATIC";
    if (v.starts_with("NO PROGRESS")) return "NO PROGRESS";
    if (cell.verdict.find("moved-from") != std::string::npos) v += "*";
    return v;
}

std::string quoted(const std::string& s)
{
    return "'" + s + "'";
}

}  // namespace

grid_options certificate_grid(const certificate_options& options)
{
    grid_options grid;
    grid.warm_only = true;
    grid.sequential_only = true;
    grid.patterns = options.patterns;
    grid.sizes = options.sizes;
    return grid;
}

std::vector<std::uint64_t> sweep_points(std::uint64_t total, unsigned k)
{
    std::vector<std::uint64_t> points;
    for (unsigned i = 0; i < k; ++i) points.push_back(total * i / k);
    if (total > 0) points.push_back(total - 1);
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

std::vector<fault_record> fault_sweep(const contender& c, const certificate_options& options)
{
    const fault_target target = target_of(c);
    std::vector<fault> kinds = options.faults;
    if (kinds.empty()) {
        for (const fault_info& f : fault_table()) kinds.push_back(f.kind);
    }
    if (c.pinned_target) return {};
    // One task per case and form: its clean run, then every fault at the
    // points the clean run gives.
    std::vector<fault_case> tasks;
    for_each_case<std::int32_t>({&c}, certificate_grid(options), [&](const grid_case& g) {
        for (const element_form form : all_forms) {
            if (has_form(target, form)) tasks.push_back({fault::clean, form, g.p, g.n, 0});
        }
    });
    const auto run_task = [&](const fault_case& clean) {
        std::vector<fault_record> out;
        const fault_result base = run_fault(target, clean, options.seconds);
        out.push_back({c.id, clean, base});
        for (const fault kind : kinds) {
            const fault_column column = info_of(kind).column;
            if (column == fault_column::allocation && !allocations_counted()) continue;
            // A string record has no field to set: there it would only throw.
            if (kind == fault::observed && clean.form == element_form::string) continue;
            std::vector<std::uint64_t> points;
            if (column == fault_column::allocation) {
                points = sweep_points(base.allocations, options.points);
            } else {
                points = sweep_points(base.comparisons, options.points);
                // The observed fault past the last call sets every field
                // and never throws.
                if (kind == fault::observed) points.push_back(base.comparisons);
            }
            if (points.empty()) points.push_back(0);
            unsigned loops = 0;
            for (const std::uint64_t point : points) {
                fault_case fc = clean;
                fc.kind = kind;
                fc.point = point;
                out.push_back({c.id, fc, run_fault(target, fc, options.seconds)});
                if (in_loops(out.back().r.what) && ++loops == options.loops_seen) break;
            }
        }
        return out;
    };
    // Each run is a child process of its own, so two go at once on a
    // machine with two threads; the records keep the tasks' order.
    std::vector<std::vector<fault_record>> done(tasks.size());
    run_jobs(tasks.size(), std::max(1u, std::min(std::thread::hardware_concurrency(), 4u)),
             [&](std::size_t i) { done[i] = run_task(tasks[i]); });
    std::vector<fault_record> out;
    for (std::vector<fault_record>& d : done) out.insert(out.end(), d.begin(), d.end());
    return out;
}

certificate_row certify(const contender& c, const std::vector<fault_record>& records, std::uint32_t adversary_size)
{
    std::vector<fault_record> mine;
    std::copy_if(records.begin(), records.end(), std::back_inserter(mine),
                 [&](const fault_record& r) { return r.contender == c.id; });
    certificate_row row;
    row.contender = c.id;
    const auto column = [](fault_column k) { return [k](const fault_record& r) { return in_column(r, k); }; };
    row.inconsistent = worst_cell(mine, column(fault_column::inconsistent), false, "n/a (no comparison reaches it)");
    row.throwing = worst_cell(mine, column(fault_column::throwing), false, "n/a (no comparison reaches it)");
    // What else an observed run shows (a throw's losses) is the throwing
    // column's; this one says whether a change was kept.
    row.observation = {"n/a (no comparison reaches it)", "n/a", "", 0};
    for (const fault_record& r : mine) {
        if (!in_column(r, fault_column::observation)) continue;
        if (row.observation.grade == "n/a") row.observation = {"safe", "safe", "", 0};
        if (!r.r.stale) continue;
        if (row.observation.runs++ == 0) {
            row.observation = {"STALE (a change the comparison made is missing)", "unsafe", r.c.name(), 1};
        }
    }
    row.allocation = worst_cell(mine, column(fault_column::allocation), false,
                                allocations_counted() ? "n/a (no comparison reaches it)"
                                                      : "n/a (another layer owns malloc here)");
    if (row.allocation.grade == "safe") {
        // How it stayed safe: it allocates nothing, it sorts without the
        // memory, or it throws with every element kept.
        bool allocates = false, threw = false;
        for (const fault_record& r : mine) {
            if (!in_column(r, fault_column::allocation)) continue;
            allocates = allocates || r.r.allocations > 0;
            threw = threw || (r.c.kind == fault::allocation && r.r.threw);
        }
        row.allocation.verdict = !allocates ? "safe (allocates nothing)"
                                 : threw    ? "safe (throws, every element kept)"
                                            : "safe (sorts without the memory)";
    }
    row.loops = worst_cell(mine, [](const fault_record&) { return true; }, true, "n/a (no comparison reaches it)");
    const count_ref<std::int32_t>& count = c.of<std::int32_t>().count;
    if (count && !c.pinned_target) row.adversary_run = run_adversary(count, adversary_size);
    row.adversary = adversary_cell(row.adversary_run, adversary_size, count && !c.pinned_target);
    return row;
}

void write_certificate(std::FILE* out, const std::vector<certificate_row>& rows, const std::string& replay,
                       std::uint32_t adversary_size, bool as_json)
{
    const auto command = [&](const certificate_row& row, const certificate_cell& cell) {
        return replay + " --certificate --filter=" + quoted("^" + row.contender + "$") + " --replay=" + cell.first_case;
    };
    const auto columns = [](const certificate_row& row) {
        return std::vector<std::pair<const char*, const certificate_cell*>>{
            {"inconsistent", &row.inconsistent}, {"throwing", &row.throwing},       {"observation", &row.observation},
            {"allocation", &row.allocation},     {"loops", &row.loops},             {"adversary", &row.adversary}};
    };
    if (as_json) {
        auto list = json::array();
        for (const certificate_row& row : rows) {
            json cells = json::object();
            for (const auto& [name, cell] : columns(row)) {
                json c{{"verdict", cell->verdict}, {"grade", cell->grade}};
                if (!cell->first_case.empty()) {
                    c["case"] = cell->first_case;
                    c["runs"] = cell->runs;
                    c["replay"] = command(row, *cell);
                }
                cells[name] = c;
            }
            list.push_back({{"contender", row.contender}, {"adversary_size", adversary_size}, {"columns", cells}});
        }
        auto faults = json::array();
        for (const fault_info& f : fault_table()) faults.push_back({{"fault", f.key}, {"models", f.models}});
        write_json(out, json{{"certificate", list}, {"faults", faults}});
        return;
    }
    std::fprintf(out, "%-17s %-22s %-20s %-12s %-14s %-12s %s\n", "contender", "inconsistent", "throwing",
                 "observation", "allocation", "loops", ("adversary (n=" + std::to_string(adversary_size) + ")").c_str());
    for (const certificate_row& row : rows) {
        std::fprintf(out, "%-17s %-22s %-20s %-12s %-14s %-12s %s\n", row.contender.c_str(),
                     short_verdict(row.inconsistent).c_str(), short_verdict(row.throwing).c_str(),
                     short_verdict(row.observation).c_str(), short_verdict(row.allocation).c_str(),
                     short_verdict(row.loops).c_str(),
                     row.adversary.grade == "n/a" ? short_verdict(row.adversary).c_str()
                                                  : row.adversary.verdict.c_str());
    }
    // The legend only under a table that has a starred cell.
    const bool starred = std::any_of(rows.begin(), rows.end(), [&](const certificate_row& row) {
        const auto cells = columns(row);
        return std::any_of(cells.begin(), cells.end(), [](const auto& named) {
            return named.second->verdict.find("moved-from") != std::string::npos;
        });
    });
    if (starred) std::fprintf(out, "\n* a moved-from element was left in the array\n");
    for (const certificate_row& row : rows) {
        bool named = false;
        for (const auto& [name, cell] : columns(row)) {
            // A sort no comparison reaches (a radix or vector sort) has
            // nothing more to say than its row does.
            const bool unreached = cell->verdict.find("no comparison") != std::string::npos;
            if ((cell->first_case.empty() && cell->grade != "n/a") || unreached) continue;
            if (!named) std::fprintf(out, "\n%s\n", row.contender.c_str());
            named = true;
            std::fprintf(out, "  %-13s %s", name, cell->verdict.c_str());
            if (!cell->first_case.empty()) {
                std::fprintf(out, ", in %u run%s, first %s\n    %s", cell->runs, cell->runs == 1 ? "" : "s",
                             cell->first_case.c_str(), command(row, *cell).c_str());
            }
            std::fputc('\n', out);
        }
    }
}

void write_fault_runs(std::FILE* out, const std::vector<fault_record>& records, bool as_json)
{
    if (as_json) {
        auto list = json::array();
        for (const fault_record& r : records) {
            list.push_back({{"contender", r.contender},
                            {"fault", info_of(r.c.kind).key},
                            {"form", name_of(r.c.form)},
                            {"input", std::string(r.c.p->name) + "/" + std::to_string(r.c.n)},
                            {"point", r.c.point},
                            {"case", r.c.name()},
                            {"outcome", key_of(r.r.what)},
                            {"threw", r.r.threw},
                            {"moved_from", r.r.moved_from},
                            {"comparisons", r.r.comparisons},
                            {"allocations", r.r.allocations}});
        }
        write_json(out, list);
        return;
    }
    // Each contender and fault: the worst outcome, how many of its runs
    // showed it, and the first of them.
    std::vector<std::pair<std::string, fault>> order;
    std::map<std::pair<std::string, fault>, std::vector<const fault_record*>> runs;
    for (const fault_record& r : records) {
        const std::pair key{r.contender, r.c.kind};
        if (runs.find(key) == runs.end()) order.push_back(key);
        runs[key].push_back(&r);
    }
    std::fprintf(out, "%-17s %-18s %s\n", "contender", "fault", "worst outcome (runs showing it of runs; first case)");
    for (const auto& key : order) {
        const std::vector<const fault_record*>& mine = runs[key];
        const fault_record* worst = mine.front();
        for (const fault_record* r : mine) {
            if (r->r.what > worst->r.what) worst = r;
        }
        const auto showing = std::count_if(mine.begin(), mine.end(),
                                           [&](const fault_record* r) { return r->r.what == worst->r.what; });
        std::string cell = describe(worst->r, worst->c.n) + " (" + std::to_string(showing) + " of " +
                           std::to_string(mine.size());
        if (worst->r.what != outcome::kept) cell += "; " + worst->c.name();
        cell += ")";
        std::fprintf(out, "%-17s %-18s %s\n", key.first.c_str(), info_of(key.second).key, cell.c_str());
    }
}
