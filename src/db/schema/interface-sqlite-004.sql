-- The change history of every stored result: one row per changed column of a save (the editor) or
-- of an overwrite by a result the analyser sent again. The program only ever adds rows here.
CREATE TABLE resulthistory (
    historyid  INTEGER PRIMARY KEY AUTOINCREMENT,
    AutoNum    INTEGER NOT NULL,
    changedat  TEXT NOT NULL,
    changedby  TEXT NOT NULL,
    columnname TEXT NOT NULL,
    oldvalue   TEXT,
    newvalue   TEXT
);
CREATE INDEX ix_resulthistory_AutoNum ON resulthistory (AutoNum, historyid);

-- Who queued a write into the LIS: null for the receive chain, 'editor' for a saved correction,
-- which leaves the LIS's resultt1 and resultt2 as they are.
ALTER TABLE lisoutbox ADD COLUMN origin TEXT;
