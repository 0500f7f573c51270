"""The history drawn: each series over its commits with its interval as a
band, the change points marked, each point naming its commit on hover; the
table of changes beneath. Series of different processor generations or
platforms are drawn apart, never on one axis."""

import html

from timeline.changes import changes_of
from timeline.commits import STEP
from timeline.series import all_series
from timeline.store import Store


def stored(db, figure=None):
    """The store's series (of one figure, where given), in the order they
    are shown: [(SeriesKey, Series)]."""
    store = Store(db, create=False)
    try:
        found = all_series(store.records(), figure)
    finally:
        store.close()
    return sorted(found.items(), key=lambda kv: kv[0].order())


def series_chart(key, series, found, go):
    points = series.points
    x = list(range(len(points)))
    labels = [p.commit[:10] for p in points]
    hover = [f"commit {p.commit}<br>{p.date}<br>{key.figure} {p.value:.6g}"
             + ("" if p.exact or p.low is None else f" ({p.low:.6g}..{p.high:.6g}, {p.samples} samples)")
             for p in points]
    fig = go.Figure()
    banded = [p for p in points if not p.exact and p.low is not None and p.high is not None]
    if banded and len(banded) == len(points):
        fig.add_trace(go.Scatter(x=x + x[::-1], y=[p.high for p in points] + [p.low for p in points][::-1],
                                 fill="toself", fillcolor="rgba(31,119,180,0.15)", line={"width": 0},
                                 hoverinfo="skip", name="95% interval"))
    fig.add_trace(go.Scatter(x=x, y=[p.value for p in points], mode="lines+markers", name=key.figure,
                             text=hover, hovertemplate="%{text}<extra></extra>", line={"color": "#1f77b4"}))
    for c in found:
        fig.add_vline(x=c.index - 0.5, line={"color": "#d62728", "dash": "dash"},
                      annotation_text=f"{c.commit[:10]}: x{c.ratio:.3f}", annotation_position="top")
    fig.update_layout(title=f"{key.contender} {key.case} {key.figure}", height=360,
                      xaxis={"title": "commit", "tickmode": "array", "tickvals": x, "ticktext": labels,
                             "tickangle": -45},
                      yaxis={"title": key.figure}, margin={"t": 50, "b": 90}, showlegend=False)
    return fig


def changes_table(rows):
    out = ["<table class='changes'><tr><th>series</th><th>commit</th><th>before</th><th>after</th>"
           "<th>after/before</th><th>95% interval</th><th>p</th></tr>"]
    for c in rows:
        out.append(f"<tr><td>{html.escape(c.series)}</td><td>{html.escape(c.commit)}</td><td>{c.before:.6g}</td>"
                   f"<td>{c.after:.6g}</td><td>{c.ratio:.4f} ({c.direction})</td>"
                   f"<td>{c.low:.4f}..{c.high:.4f}</td><td>{c.p:.3g}</td></tr>")
    if not rows:
        out.append("<tr><td colspan='7'>no change found</td></tr>")
    out.append("</table>")
    return "\n".join(out)


def history_parts(db, go, to_html):
    """The page's parts for a store: a heading per machine generation and
    platform, a chart per series, then every change."""
    parts, rows, shown = [], [], None
    charted = [(k, s) for k, s in stored(db) if k.figure != STEP]
    for n, (key, series) in enumerate(charted):
        if (key.generation, key.platform) != shown:
            shown = (key.generation, key.platform)
            parts.append(f"<h3>{html.escape(key.generation)}; {html.escape(key.platform)}</h3>")
        found = changes_of(series)
        rows += found
        parts.append(f"<div class='chart' id='history-{n}'>"
                     + to_html(series_chart(key, series, found, go)) + "</div>")
    if not parts:
        parts.append("<p>The store holds no series.</p>")
    return parts + ["<h3>Changes</h3>", changes_table(rows)]
