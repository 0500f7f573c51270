-- A store as the first schema wrote it: a later schema must read it.
PRAGMA application_id = 1396852819;
PRAGMA user_version = 1;
BEGIN TRANSACTION;
CREATE TABLE figure (
    record INTEGER NOT NULL REFERENCES record(id),
    contender TEXT NOT NULL,
    case_name TEXT NOT NULL,           -- pattern/size[/type][/cold]
    figure TEXT NOT NULL,              -- ratio_to:REFERENCE, comparisons, moves, cpu_ns, ...
    value REAL NOT NULL,
    low REAL,
    high REAL,
    samples INTEGER NOT NULL,
    exact INTEGER NOT NULL             -- a count: any change in it is a change
);
INSERT INTO "figure" VALUES(1,'heapsort','random/100000','ratio_to:std_sort',1.5,1.45,1.55,60,0);
CREATE TABLE library (
    record INTEGER NOT NULL REFERENCES record(id),
    name TEXT NOT NULL,
    revision TEXT NOT NULL,
    PRIMARY KEY (record, name)
);
INSERT INTO "library" VALUES(1,'heapsort','abc123');
CREATE TABLE machine (
    id INTEGER PRIMARY KEY,
    key TEXT NOT NULL UNIQUE,          -- every field below, as JSON
    generation TEXT NOT NULL,          -- vendor, family, model: what a series never mixes
    platform TEXT NOT NULL,            -- compiler, glibc and the libraries' versions: nor this
    description TEXT NOT NULL          -- the whole machine, as JSON
);
INSERT INTO "machine" VALUES(1,'{"boost": "1.74", "caches": "L1d 48K, L1i 32K, L2 1024K, L3 32768K", "compiler": "GCC 12.2.0", "family": "26", "glibc": "2.36", "highway": "1.0.3", "kernel": "6.18", "microcode": "0x1000065", "model": "2", "onetbb": "2021.8.0", "stepping": "1", "vendor": "AuthenticAMD"}','vendor AuthenticAMD family 26 model 2','compiler GCC 12.2.0, glibc 2.36, highway 1.0.3, boost 1.74, onetbb 2021.8.0','{"boost": "1.74", "caches": "L1d 48K, L1i 32K, L2 1024K, L3 32768K", "compiler": "GCC 12.2.0", "family": "26", "glibc": "2.36", "highway": "1.0.3", "kernel": "6.18", "microcode": "0x1000065", "model": "2", "onetbb": "2021.8.0", "stepping": "1", "vendor": "AuthenticAMD"}');
CREATE TABLE record (
    id INTEGER PRIMARY KEY,
    uid TEXT NOT NULL UNIQUE,
    machine INTEGER NOT NULL REFERENCES machine(id),
    date TEXT NOT NULL,
    command TEXT NOT NULL,
    kind TEXT NOT NULL,                -- rounds, suite, counts, or build_failed
    sortbench_commit TEXT,
    position INTEGER,                  -- the commit's place in a sweep's range, where there is one
    note TEXT NOT NULL DEFAULT ''
);
INSERT INTO "record" VALUES(1,'v1-example',1,'2026-12-08T18:00:00+00:00','sortbench-rounds --group=std_sort,heapsort --contender=./libheapsort.so','rounds','fe06738',NULL,'');
CREATE INDEX figure_series ON figure (contender, case_name, figure);
COMMIT;
