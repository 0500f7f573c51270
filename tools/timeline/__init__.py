"""A sort's history across commits: the store of every run kept
(store.py), what a run's file holds as figures (sources.py)."""
