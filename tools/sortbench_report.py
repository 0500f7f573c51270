"""Reads the report that sortbench writes (Shift_JIS CSV) into numbers."""

import re

# Report labels and the names the same routines have in code and in the
# companion suite.
ROUTINE_IDS = {
    "shell sort": "shell_sort",
    "comb sort": "comb_sort",
    "quick+insert sort": "ex_quick_sort",
    "c qsort": "c_qsort",
    "my qsort": "my_QSORT",
}


def parse(raw: bytes):
    """Returns (sizes, {routine id: [microseconds per call or None]})."""
    text = raw.decode("shift_jis")
    sizes, rows = None, {}
    for line in text.splitlines():
        cells = [c.strip() for c in line.split(",")]
        if len(cells) < 3:
            continue
        values = cells[2:-1]
        if sizes is None and all(re.fullmatch(r"\d+個", v) for v in values):
            sizes = [int(v[:-1]) for v in values]
        elif cells[1] in ROUTINE_IDS:
            rows[ROUTINE_IDS[cells[1]]] = [None if v == "---" else float(v) for v in values]
    if sizes is None or not rows:
        raise ValueError("no sortbench report found in the input")
    return sizes, rows
