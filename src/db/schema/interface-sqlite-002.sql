-- The receive chain's own bookkeeping: the journal of received sessions, frames held for a bad
-- checksum, and the outbox of writes into the LIS. Each is written in the same transaction as
-- the Result rows of its session, so none of them can disagree with what was stored.

CREATE TABLE receivedsession (
    sessionid   INTEGER PRIMARY KEY AUTOINCREMENT,
    archivefile TEXT,
    endoffset   INTEGER,
    receivedat  TEXT,
    digest      TEXT,
    origin      TEXT,
    state       TEXT NOT NULL,
    results     INTEGER NOT NULL DEFAULT 0,
    reason      TEXT,
    processedat TEXT
);
CREATE INDEX ix_receivedsession_place ON receivedsession (archivefile, endoffset);
CREATE INDEX ix_receivedsession_digest ON receivedsession (digest);
-- Sessions archived before the journal existed were processed without it: this row's time marks
-- where the journal begins, before the first byte can be archived under it.
INSERT INTO receivedsession (origin, state, results, receivedat)
    VALUES ('baseline', 'baseline', 0, strftime('%Y-%m-%dT%H:%M:%f', 'now', 'localtime'));

CREATE TABLE heldframe (
    heldid     INTEGER PRIMARY KEY AUTOINCREMENT,
    sessionid  INTEGER,
    receivedat TEXT,
    sampleid   TEXT,
    shortassay TEXT,
    reason     TEXT,
    rawframe   BLOB
);
CREATE INDEX ix_heldframe_sessionid ON heldframe (sessionid);

CREATE TABLE lisoutbox (
    outboxid        INTEGER PRIMARY KEY AUTOINCREMENT,
    AutoNum         INTEGER,
    sessionid       INTEGER,
    patientid       TEXT NOT NULL,
    testcode        INTEGER NOT NULL,
    resultt         TEXT,
    resultt1        TEXT,
    resultt2        TEXT,
    RESULTCASEPRINT TEXT,
    lowlimit        REAL,
    highlimit       REAL,
    nolowexe        TEXT,
    nohighexe       TEXT,
    normalrang      TEXT,
    testunit        TEXT,
    commentx        TEXT,
    editdate        TEXT,
    state           TEXT NOT NULL DEFAULT 'queued',
    attempts        INTEGER NOT NULL DEFAULT 0,
    lasterror       TEXT,
    queuedat        TEXT,
    doneat          TEXT
);
CREATE INDEX ix_lisoutbox_state ON lisoutbox (state, outboxid);

-- Who last changed a result by hand; null for a result as the analyser sent it. A replay never
-- overwrites such a row.
ALTER TABLE Result ADD COLUMN editedby TEXT;

-- The duplicate test compares the sample identifier as a number.
CREATE INDEX ix_Result_SampleNum ON Result (CAST(SampleID AS REAL), Testdate, shortAssay);
