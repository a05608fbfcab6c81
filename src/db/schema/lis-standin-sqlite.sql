-- A stand-in for the LIS database on SQLite, for the demo and the tests only: the program itself
-- never creates or changes LIS tables. Columns as the program reads and writes them.

CREATE TABLE patientinfo (
    patientid      TEXT NOT NULL PRIMARY KEY,
    patientnamear  TEXT,
    patientsefa    TEXT,
    patientsex     TEXT,
    patientage     REAL,
    patientageunit TEXT,
    referredbysefa TEXT,
    referredbyname TEXT,
    requestdate    TEXT,
    timein         TEXT,
    moreinfo       TEXT
);
CREATE INDEX ix_patientinfo_requestdate ON patientinfo (requestdate);
-- The sample identifier look-ups compare parts of the patient identifier.
CREATE INDEX ix_patientinfo_id12 ON patientinfo (substr(patientid, 1, 12));
CREATE INDEX ix_patientinfo_id10 ON patientinfo (substr(patientid, 3, 10));
CREATE INDEX ix_patientinfo_id4 ON patientinfo (substr(patientid, 9, 4), requestdate);

CREATE TABLE patienttest (
    patientid       TEXT NOT NULL,
    requestdate     TEXT,
    testcode        INTEGER NOT NULL,
    testsimp        TEXT,
    resultt         TEXT,
    resultt1        TEXT,
    resultt2        TEXT,
    resultfinsh     INTEGER NOT NULL DEFAULT 0,
    edituser        TEXT,
    editdate        TEXT,
    RESULTCASEPRINT TEXT,
    lowlimit        REAL,
    highlimit       REAL,
    nolowexe        TEXT,
    nohighexe       TEXT,
    normalrang      TEXT,
    testunit        TEXT,
    commentx        TEXT
);
CREATE UNIQUE INDEX ix_patienttest_patient ON patienttest (patientid, testcode);
CREATE INDEX ix_patienttest_requestdate ON patienttest (requestdate, testcode);
