-- Interface database, SQLite: the first schema.
-- Dates are ISO text (yyyy-MM-dd) so that ranges and ordering work; Booleans are 0/1.
-- Names that users search and compare by hand are NOCASE, as they are on SQL Server.

CREATE TABLE users (
    patientusid   INTEGER PRIMARY KEY AUTOINCREMENT,
    patientusname TEXT COLLATE NOCASE,
    patientword   TEXT,
    patientad     INTEGER NOT NULL DEFAULT 0,
    patientus     INTEGER NOT NULL DEFAULT 0,
    grant1        INTEGER NOT NULL DEFAULT 0,
    grant2        INTEGER NOT NULL DEFAULT 0,
    grant4        INTEGER NOT NULL DEFAULT 0,
    grant5        INTEGER NOT NULL DEFAULT 0,
    grant6        INTEGER NOT NULL DEFAULT 0,
    grant7        INTEGER NOT NULL DEFAULT 0,
    grant8        INTEGER NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX ix_users_patientusname ON users (patientusname);

CREATE TABLE testtable (
    testcode       INTEGER PRIMARY KEY AUTOINCREMENT,
    shortAssay     TEXT COLLATE NOCASE,
    testsimp       TEXT COLLATE NOCASE,
    testabrev      TEXT,
    subgroupname   TEXT COLLATE NOCASE,
    crvtestid      INTEGER,
    active         INTEGER NOT NULL DEFAULT 0,
    correctfactors REAL,
    REFRANGE       TEXT,
    arrangnum      INTEGER,
    otherlabprice  REAL
);
CREATE INDEX ix_testtable_shortAssay ON testtable (shortAssay);
CREATE INDEX ix_testtable_crvtestid ON testtable (crvtestid);
CREATE INDEX ix_testtable_testsimp ON testtable (testsimp);

CREATE TABLE normalrange (
    normalid    INTEGER PRIMARY KEY AUTOINCREMENT,
    testcode    INTEGER,
    testsimp    TEXT COLLATE NOCASE,
    sex         TEXT,
    ageunit     TEXT,
    firstold    REAL,
    secondold   REAL,
    pregsmok    TEXT,
    lowlimit    REAL,
    highlimit   REAL,
    nolowexe    TEXT,
    nohighexe   TEXT,
    lowcomment  TEXT,
    highcomment TEXT,
    normalrang  TEXT,
    testunit    TEXT,
    REFRANGE    TEXT
);
CREATE INDEX ix_normalrange_testcode ON normalrange (testcode, REFRANGE);

CREATE TABLE comments (
    commentid INTEGER PRIMARY KEY AUTOINCREMENT,
    testcode  INTEGER,
    testsimp  TEXT COLLATE NOCASE,
    Comments  TEXT
);
CREATE INDEX ix_comments_testcode ON comments (testcode);
CREATE INDEX ix_comments_testsimp ON comments (testsimp);

CREATE TABLE Result (
    AutoNum         INTEGER PRIMARY KEY AUTOINCREMENT,
    SampleID        TEXT,
    patientid       TEXT,
    Patientname     TEXT COLLATE NOCASE,
    sex             TEXT,
    ageN            REAL,
    ageU            TEXT,
    patientsefa     TEXT,
    DocName         TEXT COLLATE NOCASE,
    Drsefa          TEXT,
    Testdate        TEXT,
    TestTime        TEXT,
    sending         INTEGER NOT NULL DEFAULT 0,
    testcode        INTEGER,
    testsimp        TEXT COLLATE NOCASE,
    testabrev       TEXT,
    subgroupname    TEXT,
    shortAssay      TEXT COLLATE NOCASE,
    crvtestid       INTEGER,
    arrangnum       INTEGER,
    REFRANGE        INTEGER,
    LongAssay       TEXT,
    resultt1        TEXT,
    resultt2        TEXT,
    resultt3        TEXT,
    testunit        TEXT,
    lowlimit        REAL,
    highlimit       REAL,
    nolowexe        TEXT,
    nohighexe       TEXT,
    normalrang      TEXT,
    RESULTCASEPRINT TEXT,
    comment         TEXT
);
CREATE INDEX ix_Result_Testdate ON Result (Testdate);
CREATE INDEX ix_Result_patientid ON Result (patientid, shortAssay);
CREATE INDEX ix_Result_SampleID ON Result (SampleID, Testdate);
CREATE INDEX ix_Result_Patientname ON Result (Patientname);
CREATE INDEX ix_Result_DocName ON Result (DocName);
CREATE INDEX ix_Result_shortAssay ON Result (shortAssay, Testdate);
CREATE INDEX ix_Result_testsimp ON Result (testsimp);
