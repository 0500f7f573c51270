// A sort's published claims, checked against its counts. A claim is a line
// "PATTERN: CLASS" (the comparisons on that pattern grow as CLASS),
// "worst: CLASS" (on any input) or "stable", optionally followed by
// "# where it was stated".
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/growth/growth.hpp"
#include "bench/growth/worst.hpp"

struct claim {
    std::string subject;  // a pattern's name, "worst" or "stable"
    std::optional<growth_class> grows;  // empty for "stable"
    std::string source;   // after '#', where it was stated
    std::string text;     // the claim without its source
};

struct parsed_claims {
    std::vector<claim> claims;
    std::vector<std::string> unreadable;  // each line that is not a claim, with why
};

// Reads claim lines; blank lines and lines that begin with '#' are skipped.
parsed_claims parse_claims(std::string_view text);

enum class verdict { held, broken, not_judged };

struct judged_claim {
    std::string contender;
    claim what;
    verdict result = verdict::not_judged;
    std::string evidence;  // the figures that decide it, or why it was not judged
};

// How a claim is decided, in one line each (max_excess is 0.05):
//   PATTERN: f   held when count / f(n), fitted from 10^4 to 10^6, has an exponent of at most max_excess
//   worst: f     held when the worst found at n / 10 and at n, over f(n), has an exponent of at most max_excess
//   stable       held when the stability check saw no equal keys out of order

// The worst cases found for "worst": at n / 10 (a tenth of the budget)
// and at n.
struct worst_found {
    std::uint32_t small_n = 0, n = 0;
    worst_result small, large;
};

struct claims_options {
    growth_options growth;
    worst_options worst;
};

// Judges each claim of each contender: its own, or, where `tried` holds
// any, those on every one instead.
// `found` receives each worst-case search that was run (contender, result).
std::vector<judged_claim> judge_claims(std::span<const contender* const> contenders, const std::vector<claim>& tried,
                                       const claims_options& options,
                                       std::vector<std::pair<std::string, worst_found>>* found = nullptr);

// One claim against what was measured: `series` on its pattern, `worst`
// for "worst" (each null where not counted), `unstable` for "stable"
// (empty: none seen; null: not checked).
judged_claim judge(const std::string& contender, const claim& c, const growth_series* series, const worst_found* worst,
                   const std::optional<std::string>* unstable);

// The console's rules name the sizes fitted, from `growth`.
void write_claims(std::FILE* out, const std::vector<judged_claim>& judged, const growth_options& growth, bool as_json);

std::string_view verdict_name(verdict v);
