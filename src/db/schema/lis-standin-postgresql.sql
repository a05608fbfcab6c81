-- A stand-in for the LIS database on PostgreSQL, for the demo and the tests only: the program itself
-- never creates or changes LIS tables. Columns as the program reads and writes them.

CREATE TABLE patientinfo (
    patientid      text NOT NULL PRIMARY KEY,
    patientnamear  text,
    patientsefa    text,
    patientsex     text,
    patientage     double precision,
    patientageunit text,
    referredbysefa text,
    referredbyname text,
    requestdate    date,
    timein         text,
    moreinfo       text
);
CREATE INDEX ix_patientinfo_requestdate ON patientinfo (requestdate);
-- The sample identifier look-ups compare parts of the patient identifier.
CREATE INDEX ix_patientinfo_id12 ON patientinfo (substr(patientid, 1, 12));
CREATE INDEX ix_patientinfo_id10 ON patientinfo (substr(patientid, 3, 10));
CREATE INDEX ix_patientinfo_id4 ON patientinfo (substr(patientid, 9, 4), requestdate);

CREATE TABLE patienttest (
    patientid       text NOT NULL,
    requestdate     date,
    testcode        integer NOT NULL,
    testsimp        text,
    resultt         text,
    resultt1        text,
    resultt2        text,
    resultfinsh     integer NOT NULL DEFAULT 0,
    edituser        text,
    editdate        text,
    RESULTCASEPRINT text,
    lowlimit        double precision,
    highlimit       double precision,
    nolowexe        text,
    nohighexe       text,
    normalrang      text,
    testunit        text,
    commentx        text
);
CREATE UNIQUE INDEX ix_patienttest_patient ON patienttest (patientid, testcode);
CREATE INDEX ix_patienttest_requestdate ON patienttest (requestdate, testcode);
