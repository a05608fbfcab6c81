-- The receive chain's own bookkeeping: the journal of received sessions, frames held for a bad
-- checksum, and the outbox of writes into the LIS. Each is written in the same transaction as
-- the Result rows of its session, so none of them can disagree with what was stored.

CREATE TABLE receivedsession (
    sessionid   int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    archivefile nvarchar(260) NULL,
    endoffset   bigint NULL,
    receivedat  nvarchar(30) NULL,
    digest      nvarchar(64) NULL,
    origin      nvarchar(20) NULL,
    state       nvarchar(20) NOT NULL,
    results     int NOT NULL DEFAULT 0,
    reason      nvarchar(4000) NULL,
    processedat nvarchar(30) NULL
);
CREATE INDEX ix_receivedsession_place ON receivedsession (archivefile, endoffset);
CREATE INDEX ix_receivedsession_digest ON receivedsession (digest);
-- Sessions archived before the journal existed were processed without it: this row's time marks
-- where the journal begins, before the first byte can be archived under it.
INSERT INTO receivedsession (origin, state, results, receivedat)
    VALUES ('baseline', 'baseline', 0, CONVERT(nvarchar(30), GETDATE(), 126));

CREATE TABLE heldframe (
    heldid     int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    sessionid  int NULL,
    receivedat nvarchar(30) NULL,
    sampleid   nvarchar(255) NULL,
    shortassay nvarchar(255) NULL,
    reason     nvarchar(4000) NULL,
    rawframe   varbinary(max) NULL
);
CREATE INDEX ix_heldframe_sessionid ON heldframe (sessionid);

CREATE TABLE lisoutbox (
    outboxid        int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    AutoNum         int NULL,
    sessionid       int NULL,
    patientid       nvarchar(100) NOT NULL,
    testcode        int NOT NULL,
    resultt         nvarchar(255) NULL,
    resultt1        nvarchar(255) NULL,
    resultt2        nvarchar(255) NULL,
    RESULTCASEPRINT nvarchar(50) NULL,
    lowlimit        float NULL,
    highlimit       float NULL,
    nolowexe        nvarchar(50) NULL,
    nohighexe       nvarchar(50) NULL,
    normalrang      nvarchar(255) NULL,
    testunit        nvarchar(100) NULL,
    commentx        nvarchar(4000) NULL,
    editdate        nvarchar(60) NULL,
    state           nvarchar(20) NOT NULL DEFAULT 'queued',
    attempts        int NOT NULL DEFAULT 0,
    lasterror       nvarchar(4000) NULL,
    queuedat        nvarchar(30) NULL,
    doneat          nvarchar(30) NULL
);
CREATE INDEX ix_lisoutbox_state ON lisoutbox (state, outboxid);

-- Who last changed a result by hand; null for a result as the analyser sent it. A replay never
-- overwrites such a row.
ALTER TABLE Result ADD editedby nvarchar(50) NULL;

-- Every text the parser can produce must fit: a field value is at most 100 characters, and the
-- reported result "reading (value)" at most 203. Indexed columns are widened with their index off.
DROP INDEX ix_Result_SampleID ON Result;
DROP INDEX ix_Result_patientid ON Result;
DROP INDEX ix_Result_shortAssay ON Result;
ALTER TABLE Result ALTER COLUMN SampleID nvarchar(100) NULL;
ALTER TABLE Result ALTER COLUMN patientid nvarchar(100) NULL;
ALTER TABLE Result ALTER COLUMN shortAssay nvarchar(100) NULL;
ALTER TABLE Result ALTER COLUMN resultt1 nvarchar(255) NULL;
ALTER TABLE Result ALTER COLUMN resultt2 nvarchar(255) NULL;
ALTER TABLE Result ALTER COLUMN resultt3 nvarchar(255) NULL;
ALTER TABLE Result ALTER COLUMN testunit nvarchar(100) NULL;
CREATE INDEX ix_Result_SampleID ON Result (SampleID, Testdate);
CREATE INDEX ix_Result_patientid ON Result (patientid, shortAssay);
CREATE INDEX ix_Result_shortAssay ON Result (shortAssay, Testdate);
