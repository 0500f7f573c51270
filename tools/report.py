#!/usr/bin/python3
# Debian's own interpreter: plotly comes as a Debian package (python3-plotly).
"""Writes one self-contained HTML page from companion-suite runs: the run's
environment and verdict, a ratio-to-std_sort table per element type, an
interactive chart per pattern and type (warm or cold, hover for median,
minimum, cv and repetitions, noisy points marked, capped cases named), the
thread axis where the run has it, operation counts where given, and with two
or more runs a comparison of each figure, new over old, with a Mann-Whitney
U test of the two runs' repetitions. The plotting library's script is embedded: the page opens from disk
with no network.

The ratio tables, the verdict and the charts take CPU time for sequential
sorts and wall time for parallel ones (the figure that holds on a busy
machine), and say so; --figure wall gives the old view.

Usage: tools/report.py [RUN.json [OLDER.json ...]] [--history STORE.db] [--counts COUNTS.json] [--robustness ROBUSTNESS.json]
                      [--certificate CERTIFICATE.json] [--advice ADVICE.json] [--growth GROWTH.json]
                      [--claims CLAIMS.json] [--figure held|wall|cpu]
                      -o report.html
The first run is the one shown; each further run is compared with it (first
over further, so below 1 means the first is faster). --history STORE.db
draws each series of a tools/history.py store over its commits, after the
run or alone.
"""

import html
import math
import re
from pathlib import Path

from benchdata import (ALPHA, FIGURES, MIN_SAMPLES, ArgumentParser, SuiteRun, ToolError, differ, figure_label, gmean,
                       held, load_counts, load_rounds, ratio_intervals, ratios_to, read_document, run_tool, tie)
from paired_table import ranked as paired_ranked
from timeline.views import history_parts

# Enough distinct colours for every contender of a run (plotly's default set
# has ten, and a run has more).
COLOURS = ["#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
           "#bcbd22", "#17becf", "#000000", "#aec7e8", "#ffbb78", "#98df8a", "#ff9896", "#c5b0d5",
           "#c49c94", "#f7b6d2", "#dbdb8d", "#9edae5"]


def noisy(run, f):
    return run.noisy_cv is not None and f.cv is not None and f.cv > run.noisy_cv


def human_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def verdict_on_input(run, figure="held"):
    """A sentence on the user's own data, where the run has it: the fastest
    at its largest size, and the best over its sizes of 1,000 and more."""
    mine, t = run.context.get("input_pattern"), run.context.get("input_type", "int32")
    values = {(c, n): ns for (c, p, n), ns in run.values(t, figure=figure).items() if p == mine} if mine else {}
    if not values:
        return []
    largest = max(n for _, n in values)
    fastest = min((ns, c) for (c, n), ns in values.items() if n == largest)
    text = (f"On your data ({mine}, {t}), the fastest at {largest:,} elements is {fastest[1]} "
            f"({human_time(fastest[0])})")
    table = {c: r for (c, p), r in ratios_to({(c, mine, n): ns for (c, n), ns in values.items()}).items()}
    if table:
        best = min(table, key=table.get)
        text += f"; over its sizes of 1,000 elements and more the best is {best} ({table[best]:.2f} of std_sort's time)"
    return [text + "."]


def explained(records, contender, t, type_bytes):
    """What the counts say of a contender on random input of a type, at the
    largest size counted: comparisons and moves per element, bytes moved."""
    mine = [r for r in records if r["contender"] == contender and r["type"] == t and r["pattern"] == "random"
            and r["comparisons_per_element"] is not None]
    if not mine:
        return ""
    r = max(mine, key=lambda r: r["size"])
    text = f" ({r['comparisons_per_element']:.1f} comparisons"
    if r["moves"] is not None:
        moves = r["moves"] / r["size"]
        text += f" and {moves:.1f} moves per element on random input at {r['size']:,}"
        if t in type_bytes:
            text += f", {moves * type_bytes[t]:,.0f} bytes moved per element"
    else:
        text += f" per element on random input at {r['size']:,}"
    return text + ")"


def verdict(run, counts=None, figure="held"):
    """Sentences that say which contender to pick, from this run's figures:
    on the user's data first, where the run has it; then per type, the best
    over all patterns it ran (geometric mean of its ratios to std_sort), and
    the fastest on random input at the largest size; with counts, what
    explains the best (comparisons, moves, bytes moved)."""
    sentences = verdict_on_input(run, figure)
    type_bytes = {}
    for item in str(run.context.get("type_bytes", "")).split(","):
        name, _, size = item.partition(":")
        if size.isdigit():
            type_bytes[name] = int(size)
    for t in run.types:
        medians = run.values(t, figure=figure)
        table = ratios_to(medians)
        patterns = {p for _, p in table}
        # Only contenders that ran every pattern uncapped can be compared over all of them.
        overall = {c: gmean(table[(c, p)] for p in patterns)
                   for c in {c for c, _ in table} if all((c, p) in table for p in patterns)}
        if not overall:
            continue
        best = min(overall, key=overall.get)
        text = f"On {t}, {best} is the best over all {len(patterns)} patterns at 1,000 elements and more " \
               f"({overall[best]:.2f} of std_sort's time, geometric mean)"
        if counts:
            text += explained(counts, best, t, type_bytes)
        random = {(c, n): ns for (c, p, n), ns in medians.items() if p == "random"}
        if random:
            largest = max(n for _, n in random)
            fastest = min((ns, c) for (c, n), ns in random.items() if n == largest)
            text += f"; on random input at {largest:,} elements the fastest is {fastest[1]} " \
                    f"({human_time(fastest[0])})"
        runner_up = sorted(overall, key=overall.get)[1:2]
        if runner_up:
            text += f", and the runner-up over all patterns is {runner_up[0]} ({overall[runner_up[0]]:.2f})"
            spans = ratio_intervals(run, t, figure=figure)
            ranges = [overall_range(spans, c, patterns) for c in (best, runner_up[0])]
            if ranges[0] and ranges[1] and tie(ranges[0], ranges[1]):
                text += (f"; the two are a tie: their repetitions' ranges overlap "
                         f"({ranges[0][0]:.2f}..{ranges[0][1]:.2f} and {ranges[1][0]:.2f}..{ranges[1][1]:.2f})")
        sentences.append(text + ".")
    return sentences


def overall_range(spans, contender, patterns):
    """The geometric mean over the patterns of a contender's ratio ranges;
    None where a pattern has none."""
    if not all((contender, p) in spans for p in patterns):
        return None
    return (gmean(spans[(contender, p)][0] for p in patterns), gmean(spans[(contender, p)][1] for p in patterns))


# Colours: a diverging scale on log2 of the ratio, blue faster, red slower.
def ratio_colour(ratio):
    x = max(-1.0, min(1.0, math.log2(ratio) / 4))
    if x < 0:
        r, g, b = (int(255 + (v - 255) * -x) for v in (33, 102, 172))
    else:
        r, g, b = (int(255 + (v - 255) * x) for v in (178, 24, 43))
    return f"rgb({r},{g},{b})"


def slug(*parts):
    return "-".join(re.sub(r"[^a-z0-9]+", "_", str(p).lower()) for p in parts)


def ratio_tables(run, figure="held"):
    out = []
    for t in run.types:
        table = ratios_to(run.values(t, figure=figure))
        if not table:
            continue
        spans = ratio_intervals(run, t, figure=figure)
        patterns = [p for p in run.patterns if any(k[1] == p for k in table)]
        out.append(f"<h3>{html.escape(t)}</h3><table class='ratios' data-type='{t}'><tr><th>contender</th>"
                   + "".join(f"<th>{html.escape(p)}</th>" for p in patterns) + "</tr>")
        for c in run.contenders:
            if not any((c, p) in table for p in patterns):
                continue
            cells = []
            for p in patterns:
                r = table.get((c, p))
                target = f"#{slug('chart', t, p)}"
                if r is None:
                    cells.append(f"<td class='empty'><a href='{target}'>capped</a></td>")
                elif c != "std_sort" and tie(spans.get((c, p))):
                    lo, hi = spans[(c, p)]
                    cells.append(f"<td class='tie' title='repetitions range {lo:.2f}..{hi:.2f}: a tie'>"
                                 f"<a href='{target}'>≈{r:.2f}</a></td>")
                else:
                    cells.append(f"<td style='background:{ratio_colour(r)}'><a href='{target}'>{r:.2f}</a></td>")
            out.append(f"<tr><th>{html.escape(c)}</th>" + "".join(cells) + "</tr>")
        out.append("</table>")
        absent = [c for c in run.contenders
                  if not any(n.contender == c and n.type == t for n in run.figures)
                  and any(n.contender == c and not n.threads for n in run.figures)]
        if absent:
            out.append(f"<p class='absent'>Not run on {html.escape(t)} (they do not take it): "
                       + ", ".join(html.escape(c) for c in absent) + ".</p>")
    return "\n".join(out)


def pattern_chart(run, t, p, go, figure="held"):
    """Nanoseconds per element against size, a line per contender and cache
    state with the range of its repetitions, over the floor; buttons show
    warm or cold."""
    fig = go.Figure()
    states = []
    for state in ("warm", "cold"):
        for trace in floor_band(run, t, p, state, go):
            fig.add_trace(trace)
            states.append(state)
        for c in run.contenders:
            mine = [(n, f) for n, f in run.figures.items()
                    if n.contender == c and n.pattern == p and n.type == t and n.state == state and not n.threads]
            kind = held(figure)
            points = sorted((n.size, f) for n, f in mine if f.of(kind) is not None)
            if not points:
                continue
            capped = any(f.error for _, f in mine)
            spreads = [f.spread_of(kind) for _, f in points]
            fig.add_trace(go.Scatter(
                x=[n for n, _ in points], y=[f.of(kind) / n for n, f in points], name=c + (" (capped)" if capped else ""),
                mode="lines+markers", visible=(state == "warm"), legendgroup=c,
                # The bar spans the repetitions, fastest to slowest: where two
                # contenders' bars overlap, the run does not tell them apart.
                error_y={"type": "data", "symmetric": False,
                         "array": [(s[1] - f.of(kind)) / n if s else 0 for (n, f), s in zip(points, spreads)],
                         "arrayminus": [(f.of(kind) - s[0]) / n if s else 0 for (n, f), s in zip(points, spreads)],
                         "thickness": 1, "width": 2},
                marker={"symbol": ["x" if noisy(run, f) else "circle" for _, f in points], "size": 7},
                customdata=[[f.value, f.minimum, 100 * (f.cv or 0), f.repetitions,
                             "NOISY" if noisy(run, f) else "", costs_line(run, f)] for _, f in points],
                hovertemplate=(f"<b>{c}</b> %{{x}} elements, {state}<br>median %{{customdata[0]:,.0f}} ns"
                               "<br>min %{customdata[1]:,.0f} ns<br>cv %{customdata[2]:.1f}% "
                               "over %{customdata[3]} repetitions %{customdata[4]}"
                               "<br>%{customdata[5]}<extra></extra>")))
            states.append(state)
    if not states:
        return None
    buttons = [{"label": s, "method": "update", "args": [{"visible": [x == s for x in states]}]}
               for s in ("warm", "cold") if s in states]
    threshold = f", cv over {run.noisy_cv:.0%}" if run.noisy_cv is not None else ""
    fig.update_layout(
        title={"text": f"{p}, {t}: nanoseconds per element of {figure_label(figure)} (x: noisy{threshold}; "
                       "grey band: reading and copying the arrays)", "x": 0.5},
        xaxis={"type": "log", "title": "elements"}, yaxis={"type": "log", "title": "ns per element"},
        updatemenus=[{"type": "buttons", "buttons": buttons, "direction": "right", "showactive": True,
                      "x": 0, "y": 1.02, "xanchor": "left", "yanchor": "bottom"}],
        colorway=COLOURS, height=460, margin={"t": 80})
    return fig


def counter_text(counters, key, fmt):
    return fmt.format(counters[key]) if key in counters else "n/a"


def per_call_text(counters, key):
    """A per-call counter as a table shows it: whole numbers from 100 on."""
    if key not in counters:
        return "n/a"
    return f"{counters[key]:,.0f}" if counters[key] >= 100 else f"{counters[key]:.2f}"


def costs_line(run, f):
    """What a call cost beside its time, for a hover."""
    c = f.counters
    return (f"CPU {counter_text(c, 'cpu_ns', '{:,.0f}')} ns, off CPU {counter_text(c, 'off_cpu', '{:.1%}')}, "
            f"{counter_text(c, 'copies', '{:,.1f}')} copies<br>"
            + ", ".join(f"{label} {per_call_text(c, key)}" for key, label in run.counter_labels.items())
            + " per call")


def floor_band(run, t, p, state, go):
    """Two traces, per element: a read-only pass over the arrays and a copy
    of them, timed in the same batches as the sorts (the fastest of any
    contender's benchmark at each size); the band between is the floor."""
    floors = {}
    for n, f in run.figures.items():
        c = f.counters
        if n.pattern == p and n.type == t and n.state == state and not n.threads and "copy_ns" in c:
            read, copy = floors.get(n.size, (math.inf, math.inf))
            floors[n.size] = (min(read, c.get("read_ns", math.inf)), min(copy, c["copy_ns"]))
    sizes = sorted(n for n, (r, c) in floors.items() if math.isfinite(r) and c > 0)
    if not sizes:
        return []
    common = {"mode": "lines", "line": {"color": "#999", "width": 1}, "legendgroup": "floor",
              "visible": state == "warm"}
    return [go.Scatter(x=sizes, y=[floors[n][0] / n for n in sizes], name=f"floor: read ({state})",
                       hovertemplate="read %{y:.3g} ns per element<extra></extra>", **common),
            go.Scatter(x=sizes, y=[floors[n][1] / n for n in sizes], name=f"floor: copy ({state})", fill="tonexty",
                       fillcolor="rgba(150,150,150,0.3)",
                       hovertemplate="copy %{y:.3g} ns per element<extra></extra>", **common)]


def costs_table(run):
    """Per type, on random input at its largest size: what one call cost
    beside its wall time."""
    out = []
    columns = [("CPU ns", "cpu_ns", "{:,.0f}"), ("off CPU", "off_cpu", "{:.1%}"), ("copies", "copies", "{:,.1f}")]
    counters = list(run.counter_labels.items())
    for t in run.types:
        mine = {n: f for n, f in run.figures.items() if n.type == t and n.pattern == "random" and not n.cold
                and not n.threads and f.value is not None}
        if not mine:
            continue
        largest = max(n.size for n in mine)
        out.append(f"<h3>{html.escape(t)}, random, {largest:,} elements, warm</h3><table class='costs'>"
                   "<tr><th>contender</th><th>wall ns</th>" + "".join(f"<th>{h}</th>" for h, _, _ in columns)
                   + "".join(f"<th>{html.escape(label)}</th>" for _, label in counters) + "</tr>")
        for n, f in sorted(mine.items(), key=lambda item: item[1].value):
            if n.size != largest:
                continue
            out.append(f"<tr><th>{html.escape(n.contender)}</th><td>{f.value:,.0f}</td>"
                       + "".join(f"<td>{counter_text(f.counters, k, fmt)}</td>" for _, k, fmt in columns)
                       + "".join(f"<td>{per_call_text(f.counters, k)}</td>" for k, _ in counters) + "</tr>")
        out.append("</table>")
    return "\n".join(out)


def paired_section(path):
    """The paired rounds of sortbench-rounds: per case, the members ranked by
    their median ratio to the reference, ties marked."""
    group, cases = load_rounds(Path(path))
    out = [f"<p>Against {html.escape(group[0])}, in rounds that run every member once in a new random order, "
           f"on {html.escape(cases[0].figure)} time: the median of the round-by-round ratios and its 95% interval "
           f"({html.escape(rests_on(cases[0].ratio(1).processes) if len(cases[0].members) > 1 else rests_on(1))}). "
           "A tie is an interval that crosses 1, or overlaps the one ranked above it.</p>",
           "<table class='paired'><tr><th>case</th><th>rank</th><th>member</th><th>ratio</th><th>95% interval</th>"
           "<th>copies</th></tr>"]
    for case in cases:
        for rank, member, r, copies, above, crossing in paired_ranked(case):
            cls = " class='tie'" if above or crossing else ""
            ratio = "1 (reference)" if r is None else ("≈" if crossing else "") + f"{r.ratio:.3f}"
            out.append(f"<tr{cls}><td>{html.escape(case.name)}</td><td>{rank}{' = above' if above else ''}</td>"
                       f"<th>{html.escape(member)}</th><td>{ratio}</td>"
                       f"<td>{'' if r is None else f'{r.low:.3f}..{r.high:.3f}'}</td>"
                       f"<td>{'n/a' if copies is None else f'{copies:,.1f}'}</td></tr>")
    out.append("</table>")
    return "\n".join(out)


def cachesim_section(path):
    """tools/cachesim.py's records: per element, instructions, D1 and LL
    misses, conditional branches and their simulated mispredictions."""
    name, records = read_document(Path(path))
    keys = ("contender", "type", "pattern", "size", "instructions", "d1_misses", "ll_misses", "branches",
            "mispredicted")
    if not isinstance(records, list) or not records or \
            not all(isinstance(r, dict) and all(k in r for k in keys) for r in records):
        raise ToolError(f"{name}: not tools/cachesim.py JSON (records with {', '.join(keys)})")
    out = ["<p>Under valgrind's cache and branch simulation, counted in the sort's call only; per element; "
           "the same on every run.</p><table class='cachesim'><tr><th>case</th><th>contender</th>"
           "<th>instructions</th><th>D1 misses</th><th>LL misses</th><th>branches</th><th>mispredicted</th></tr>"]
    for r in records:
        n = r["size"]
        out.append(f"<tr><td>{html.escape(r['pattern'])}/{n}/{html.escape(r['type'])}</td>"
                   f"<th>{html.escape(r['contender'])}</th>"
                   + "".join(f"<td>{r[k] / n:.2f}</td>" for k in keys[4:]) + "</tr>")
    out.append("</table>")
    return "\n".join(out)


def thread_chart(run, go):
    """Speedup over one thread against threads, random int32 input, a line per
    parallel contender and size."""
    series = {}
    for n, f in run.figures.items():
        if n.threads and n.pattern == "random" and n.type == "int32" and not n.cold and f.value is not None:
            series.setdefault((n.contender, n.size), {})[n.threads] = f.value
    if not series:
        return None
    fig = go.Figure()
    for (c, n), by in sorted(series.items()):
        if 1 not in by:
            continue
        threads = sorted(by)
        fig.add_trace(go.Scatter(x=threads, y=[by[1] / by[k] for k in threads], name=f"{c} {n:,}",
                                 mode="lines+markers",
                                 customdata=[by[k] / 1e6 for k in threads],
                                 hovertemplate="%{x} threads: %{y:.2f}x, %{customdata:.3f} ms<extra></extra>"))
    fig.update_layout(title="Parallel sorts on random int32: speedup over one thread",
                      xaxis={"title": "threads", "dtick": 1}, yaxis={"title": "speedup"}, height=430)
    return fig


def counts_chart(path, go):
    series = {}
    for r in load_counts(path):
        if r["pattern"] == "random" and r["type"] == "int32" and r["comparisons_per_element"] is not None:
            series.setdefault(r["contender"], []).append((r["size"], r["comparisons_per_element"]))
    fig = go.Figure()
    for c, points in series.items():
        points.sort()
        fig.add_trace(go.Scatter(x=[n for n, _ in points], y=[v for _, v in points], name=c, mode="lines+markers"))
    fig.update_layout(title="Comparisons per element, random int32 (sortbench-counts)",
                      xaxis={"type": "log", "title": "elements"}, yaxis={"title": "comparisons per element"},
                      height=430)
    return fig


def compared(new, old):
    """[(ratio of the figures, p, benchmark name)] of each benchmark both runs
    have with repetitions, new over old, p from a two-sided Mann-Whitney U
    test of their repetitions; and the smallest number of repetitions a side."""
    rows, fewest = [], None
    for name, f in new.figures.items():
        g = old.figures.get(name)
        if g is None or not f.samples or not g.samples:
            continue
        rows.append((f.value / g.value, differ(f.samples, g.samples).p, name))
        fewest = min(fewest or 10**9, len(f.samples), len(g.samples))
    if not rows:
        raise ToolError(f"{new.path} and {old.path} have no figure with repetitions in common")
    return rows, fewest


def comparison(new, old, go):
    """Each figure both runs have, new over old: slower or faster where the
    repetitions differ at p < ALPHA; the geometric mean of all ratios."""
    rows, fewest = compared(new, old)
    beyond = [r for r in rows if r[1] < ALPHA]
    slower = sorted((r for r in beyond if r[0] > 1), reverse=True)
    faster = sorted(r for r in beyond if r[0] < 1)
    fig = go.Figure(go.Histogram(x=[math.log2(r[0]) for r in rows], nbinsx=60))
    fig.update_layout(title=f"{Path(new.path).name} over {Path(old.path).name}: log2 of each figure's ratio",
                      xaxis={"title": "log2(new / old)"}, yaxis={"title": "figures"}, height=360)

    def table(items):
        return ("<table class='compare'><tr><th>benchmark</th><th>new / old</th><th>p</th></tr>"
                + "".join(f"<tr><td>{html.escape(str(n))}</td><td>{r:.3f}</td><td>{p:.4f}</td></tr>"
                          for r, p, n in items[:40]) + "</table>")

    warning = (f"<p class='warning'>As few as {fewest} repetitions a side: fewer than {MIN_SAMPLES}, so a real "
               f"difference may not reach p &lt; {ALPHA}. Run both with --benchmark_repetitions={MIN_SAMPLES} or "
               "more.</p>") if fewest < MIN_SAMPLES else ""
    text = (f"<p>{len(rows)} figures in both; by a two-sided Mann-Whitney U test of their repetitions at "
            f"p &lt; {ALPHA}, {len(slower)} slower and {len(faster)} faster; geometric mean of all ratios "
            f"{gmean(r[0] for r in rows):.3f}.</p>{warning}"
            f"<h4>Slower (largest first)</h4>{table(slower)}"
            f"<h4>Faster</h4>{table(faster)}")
    return fig, text


# What a sort did under a bad comparison, least costly first, and its colour.
# Each outcome of a fault run, least costly first, with its colour.
OUTCOMES = {"kept": ("kept", "#e6f4e6"), "unsorted": ("unsorted", "#f8d0d0"), "stale": ("stale", "#f8d0d0"),
            "quadratic": ("quadratic or worse", "#fff2cc"), "duplicated": ("duplicated", "#f8d0d0"),
            "lost": ("lost", "#f8d0d0"), "lost_and_duplicated": ("lost and duplicated", "#f8d0d0"),
            "no_progress": ("no progress", "#f08080"), "before": ("before the array", "#f08080"),
            "past": ("past the array", "#f08080"), "far": ("far outside the array", "#f08080"),
            "crashed": ("crashed", "#f08080")}
GRADES = {"safe": "#e6f4e6", "warning": "#fff2cc", "unsafe": "#f08080", "n/a": "#eeeeee"}


def robustness_table(path):
    """Contenders by fault: the worst outcome over every run, how many runs
    showed it, and the first of them."""
    name, records = read_document(Path(path))
    try:
        worst, count, contenders, faults = {}, {}, [], []
        order = list(OUTCOMES)
        for r in records:
            key = (r["contender"], r["fault"])
            contenders += [r["contender"]] if r["contender"] not in contenders else []
            faults += [r["fault"]] if r["fault"] not in faults else []
            rank = order.index(r["outcome"])
            if key not in worst or rank > order.index(worst[key]["outcome"]):
                worst[key], count[key] = r, 0
            count[key] += rank == order.index(worst[key]["outcome"])
    except (TypeError, KeyError, ValueError):
        raise ToolError(f"{name}: not sortbench-certificate --robustness JSON") from None
    rows = []
    for c in contenders:
        cells = []
        for f in faults:
            r = worst.get((c, f))
            if r is None:
                cells.append("<td class='empty'>-</td>")
                continue
            text, colour = OUTCOMES[r["outcome"]]
            text = ("threw, " if r["threw"] else "") + text
            where = "" if r["outcome"] == "kept" else f" ({count[(c, f)]} runs; {html.escape(r['case'])})"
            cells.append(f"<td style='background:{colour}'>{html.escape(text)}{where}</td>")
        rows.append(f"<tr><th>{html.escape(c)}</th>" + "".join(cells) + "</tr>")
    return ("<table class='robustness'><tr><th>contender</th>"
            + "".join(f"<th>{html.escape(f)}</th>" for f in faults) + "</tr>" + "".join(rows) + "</table>")


def growth_charts(path, go):
    """Per contender, comparisons per element against n, one line per
    pattern, named with the class its counts follow (sortbench-counts
    --growth)."""
    name, document = read_document(Path(path))
    try:
        by_contender = {}
        for s in document["series"]:
            by_contender.setdefault(s["contender"], []).append(s)
        charts = []
        for contender, series in by_contender.items():
            fig = go.Figure()
            for s in series:
                fit = s["comparisons_fit"]
                cls = "too few sizes" if fit is None else (fit["follows"] or "over n^2")
                if fit is not None and fit["follows"] and not fit["tight"]:
                    cls = "< " + cls
                points = s["comparisons"]
                fig.add_trace(go.Scatter(x=[p["size"] for p in points], y=[p["count"] / p["size"] for p in points],
                                         name=f"{s['pattern']}: {cls}", mode="lines+markers"))
            fig.update_layout(title=f"{contender}: comparisons per element (sortbench-growth)",
                              xaxis={"type": "log", "title": "elements"},
                              yaxis={"type": "log", "title": "comparisons per element"}, height=480)
            charts.append((contender, fig))
    except (TypeError, KeyError):
        raise ToolError(f"{name}: not sortbench-growth --format=json") from None
    return charts


def claims_table(path):
    """Each claim with its verdict, the figures that decide it and where it
    was stated (sortbench-growth --claims)."""
    name, claims = read_document(Path(path))
    colours = {"held": GRADES["safe"], "BROKEN": GRADES["unsafe"], "not judged": GRADES["n/a"]}
    try:
        body = "".join(f"<tr><th>{html.escape(c['contender'])}</th><td>{html.escape(c['claim'])}</td>"
                       f"<td style='background:{colours[c['verdict']]}'>{html.escape(c['verdict'])}</td>"
                       f"<td style='text-align:left'>{html.escape(c['evidence'])}</td>"
                       f"<td style='text-align:left'>{html.escape(c['source'])}</td></tr>" for c in claims)
    except (TypeError, KeyError):
        raise ToolError(f"{name}: not sortbench-growth --claims --format=json") from None
    return ("<table class='claims'><tr><th>contender</th><th>claim</th><th>verdict</th><th>figures</th>"
            "<th>stated in</th></tr>" + body + "</table>")


def certificate_table(path):
    """One row per contender: each column's verdict, coloured by its grade,
    with the command that replays the first case that showed it."""
    name, document = read_document(Path(path))
    try:
        rows = document["certificate"]
        columns = list(rows[0]["columns"]) if rows else []
        body = []
        for row in rows:
            cells = []
            for column in columns:
                cell = row["columns"][column]
                colour = GRADES[cell["grade"]]
                title = f" title='{html.escape(cell['replay'], quote=True)}'" if "replay" in cell else ""
                cells.append(f"<td style='background:{colour}'{title}>{html.escape(cell['verdict'])}</td>")
            body.append(f"<tr><th>{html.escape(row['contender'])}</th>" + "".join(cells) + "</tr>")
        faults = "".join(f"<li><b>{html.escape(f['fault'])}</b>: {html.escape(f['models'])}</li>"
                         for f in document["faults"])
    except (TypeError, KeyError, IndexError):
        raise ToolError(f"{name}: not sortbench-certificate JSON") from None
    return ("<table class='certificate'><tr><th>contender</th>"
            + "".join(f"<th>{html.escape(c)}</th>" for c in columns) + "</tr>" + "".join(body) + "</table>"
            + f"<p>The faults tried:</p><ul>{faults}</ul>")


def rests_on(processes):
    return "one process's interval" if processes == 1 else f"over {processes} processes"


def advice_section(path):
    """What sortbench-advise said: the pick with its held-out ratio and
    interval, the runner-up and whether they tie, why, and the command."""
    name, a = read_document(Path(path))
    try:
        low, high = a["interval"]
        why = a["why"]
        rows = [("pick", f"{a['pick']}: {a['ratio']:.3f} of {a['reference']} on the held-out arrays "
                         f"(95%: {low:.3f} to {'inf' if high is None else f'{high:.3f}'}, "
                         f"{rests_on(a.get('interval_processes', 1))})"),
                ("runner-up", f"{a['runner_up']}" + (": a tie, the intervals cross" if a["tie"] else "")),
                ("fastest held out", f"{a['heldout_best']} (the pick takes {a['regret']:.3f} of its time)"),
                ("why", f"nearest pattern {why['nearest_pattern']}; comparisons per element "
                        f"{why['pick_comparisons_per_element']} against {why['runner_up_comparisons_per_element']}"),
                ("raced", ", ".join(a["candidates"])),
                ("constraints", ", ".join(f"{k}={v}" for k, v in a["constraints"].items())),
                ("data", f"{a['file']} ({a['type']}): {a['training_arrays']} arrays of {a['size']} raced on, "
                         f"{a['heldout_arrays']} held out"),
                ("repeat", a["command"])]
    except (TypeError, KeyError, ValueError):
        raise ToolError(f"{name}: not sortbench-advise JSON") from None
    body = "".join(f"<tr><th>{html.escape(k)}</th><td style='text-align:left'>{html.escape(str(v))}</td></tr>"
                   for k, v in rows)
    return f"<table class='advice'>{body}</table>"


def environment(run):
    keys = ["cpu_model", "cpu_vendor", "cpu_family", "cpu_model_number", "cpu_stepping", "cpu_microcode",
            "cpu_caches", "num_cpus", "compiler", "build_type", "build_flags", "git_commit", "git_dirty",
            "transparent_huge_pages", "vqsort_target", "date", "host_name"]
    rows = "".join(f"<tr><th>{html.escape(k)}</th><td>{html.escape(str(run.context[k]))}</td></tr>"
                   for k in keys if k in run.context)
    return f"<table class='env'>{rows}</table>"


STYLE = """
body { font-family: sans-serif; margin: 2em; color: #222; max-width: 1400px; }
table { border-collapse: collapse; margin: 0.5em 0 1.5em; font-size: 13px; }
td, th { border: 1px solid #ccc; padding: 3px 7px; text-align: right; }
th { background: #f4f4f4; text-align: left; }
table.ratios td a { color: #000; text-decoration: none; display: block; }
td.empty { color: #888; }
td.tie, tr.tie td { background: #eee; font-style: italic; }
.verdict { background: #f7f7ee; border-left: 4px solid #aa8; padding: 0.6em 1em; }
.chart { margin-bottom: 1.5em; }
"""


def main():
    ap = ArgumentParser(__doc__)
    ap.add_argument("runs", nargs="*", help="suite JSON files: the run to show, then runs to compare with it")
    ap.add_argument("--history", type=Path, help="a tools/history.py store: each series over its commits")
    ap.add_argument("--counts", help="sortbench-counts --format=json output to include")
    ap.add_argument("--robustness", help="sortbench-certificate --robustness --format=json output to include")
    ap.add_argument("--certificate", help="sortbench-certificate --format=json output to include")
    ap.add_argument("--growth", help="sortbench-growth --format=json output: a chart per contender")
    ap.add_argument("--claims", help="sortbench-growth --claims --format=json output: each claim, held or broken")
    ap.add_argument("--advice", help="sortbench-advise --format=json output (make advise writes build/advice.json)")
    ap.add_argument("--rounds", help="sortbench-rounds output: ratios from paired rounds, with their intervals")
    ap.add_argument("--cachesim", help="tools/cachesim.py --json output: simulated caches and branches")
    ap.add_argument("--figure", choices=FIGURES, default="held",
                    help="which time the ratios, verdict and charts take (default: CPU time for sequential "
                         "sorts, wall time for parallel ones)")
    ap.add_argument("-o", "--output", required=True, type=Path)
    args = ap.parse_args()
    if not args.runs and not args.history:
        raise ToolError("name a suite run to show, or a store with --history")
    runs = [SuiteRun(p) for p in args.runs]
    try:
        import plotly.graph_objects as go
        import plotly.io as pio
        from plotly.offline import get_plotlyjs
    except ImportError:
        raise ToolError("plotly is missing; install it with tools/install-deps.sh") from None

    def to_html(fig):
        return pio.to_html(fig, full_html=False, include_plotlyjs=False)

    history = []
    if args.history:
        history = ["<h2>History</h2><p>Each series of the store over its commits (tools/history.py): the 95% "
                   "interval as a band, each change point a dashed line naming its commit; hover a point for "
                   "its commit.</p>"] + history_parts(args.history, go, to_html)
    if not runs:
        write_page(args.output, [f"<h1>sortbench history: {html.escape(args.history.name)}</h1>"] + history,
                   get_plotlyjs(), sum(part.startswith("<div class='chart'") for part in history))
        return
    run = runs[0]
    parts = [f"<h1>sortbench-patterns: {html.escape(Path(run.path).name)}</h1>", environment(run),
             "<div class='verdict'><b>Which to pick.</b> "
             + " ".join(html.escape(s) for s in verdict(run, load_counts(args.counts) if args.counts else None,
                                                        args.figure)) + "</div>",
             f"<p class='figure'>Figures: {html.escape(figure_label(args.figure))}.</p>",
             "<h2>Time relative to std_sort</h2><p>Geometric mean over sizes of 1,000 elements and more, warm; "
             "below 1 is faster; ≈ marks a tie, a cell whose repetitions' range crosses 1. Each cell links to its "
             "chart.</p>", ratio_tables(run, args.figure)]
    if args.advice:
        parts += ["<h2>Advice for your data</h2><p>sortbench-advise: the contenders that meet the constraints raced "
                  "on half of the data's arrays; the winner confirmed on the other half, which the race never "
                  "saw.</p>", advice_section(args.advice)]
    if args.rounds:
        parts += ["<h2>Paired rounds</h2>", paired_section(args.rounds)]
    parts += ["<h2>What a call costs beside its time</h2><p>Per call: CPU time, the share of the wall time off "
              "the CPU, the time in copies of the array (the floor timed in the same batches), system calls, "
              "allocations, page faults; n/a where this machine could not count it.</p>", costs_table(run)]
    if args.cachesim:
        parts += ["<h2>Simulated caches and branches</h2>", cachesim_section(args.cachesim)]
    parts.append("<h2>Charts</h2>")
    charts = []
    for t in run.types:
        for p in run.patterns:
            fig = pattern_chart(run, t, p, go, args.figure)
            if fig is not None:
                charts.append((slug("chart", t, p), fig))
    extra = [("threads", thread_chart(run, go))]
    if args.counts:
        extra.append(("counts", counts_chart(args.counts, go)))
    if args.growth:
        extra += [("growth-" + contender, fig) for contender, fig in growth_charts(args.growth, go)]
    charts += [(slug("chart", name), fig) for name, fig in extra if fig is not None]
    for div_id, fig in charts:
        parts.append(f"<div class='chart' id='{div_id}'>"
                     + to_html(fig) + "</div>")
    if args.claims:
        parts.append("<h2>Claims</h2><p>Each claim a sort's authors publish of its comparisons, judged from "
                     "counts (sortbench-growth --claims).</p>" + claims_table(args.claims))
    if args.certificate:
        parts.append("<h2>Safety certificate</h2><p>Per sort, the worst seen under each kind of fault "
                     "(sortbench-certificate): a comparison that is not a strict weak order, one that "
                     "throws, one that changes the elements it is given, allocations that fail, and the loops "
                     "any of them caused; then McIlroy's adversary. Hover a cell for the command that replays "
                     "it.</p>" + certificate_table(args.certificate))
    if args.robustness:
        parts.append("<h2>Under a wrong comparison</h2><p>What each sort did under each fault, at every point "
                     "tried (sortbench-certificate --robustness): the worst outcome, how many runs showed it, and the "
                     "first of them.</p>" + robustness_table(args.robustness))
    for older in runs[1:]:
        fig, text = comparison(run, older, go)
        parts.append(f"<h2>Compared with {html.escape(Path(older.path).name)}</h2>{text}")
        div_id = slug("chart", "compare", Path(older.path).stem)
        parts.append(f"<div class='chart' id='{div_id}'>"
                     + to_html(fig) + "</div>")
    write_page(args.output, parts + history, get_plotlyjs(), len(charts))


def write_page(path, parts, plotlyjs, charts):
    page = ("<!DOCTYPE html><html><head><meta charset='utf-8'><title>sortbench report</title>"
            f"<style>{STYLE}</style><script>{plotlyjs}</script></head><body>"
            + "\n".join(parts) + "</body></html>")
    path.write_text(page)
    print(f"wrote {path} ({len(page.encode()):,} bytes, {charts} charts)")


if __name__ == "__main__":
    run_tool(main)
