-- Interface database, SQL Server (catalog InterfaceVIDAS): the first schema.
-- Keys are IDENTITY columns, Booleans bit, texts nvarchar (Arabic). Testdate is datetime, which
-- takes bound dates as well as the "dd-MMM-yyyy" text the older statements compare with.

CREATE TABLE users (
    patientusid   int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    patientusname nvarchar(100) NULL,
    patientword   nvarchar(100) NULL,
    patientad     bit NOT NULL DEFAULT 0,
    patientus     bit NOT NULL DEFAULT 0,
    grant1        bit NOT NULL DEFAULT 0,
    grant2        bit NOT NULL DEFAULT 0,
    grant4        bit NOT NULL DEFAULT 0,
    grant5        bit NOT NULL DEFAULT 0,
    grant6        bit NOT NULL DEFAULT 0,
    grant7        bit NOT NULL DEFAULT 0,
    grant8        bit NOT NULL DEFAULT 0
);
-- Not a filtered index: those need session options that not every ODBC driver sets.
CREATE UNIQUE INDEX ix_users_patientusname ON users (patientusname);

CREATE TABLE testtable (
    testcode       int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    shortAssay     nvarchar(50) NULL,
    testsimp       nvarchar(255) NULL,
    testabrev      nvarchar(50) NULL,
    subgroupname   nvarchar(255) NULL,
    crvtestid      int NULL,
    active         bit NOT NULL DEFAULT 0,
    correctfactors float NULL,
    REFRANGE       nvarchar(10) NULL,
    arrangnum      int NULL,
    otherlabprice  float NULL
);
CREATE INDEX ix_testtable_shortAssay ON testtable (shortAssay);
CREATE INDEX ix_testtable_crvtestid ON testtable (crvtestid);
CREATE INDEX ix_testtable_testsimp ON testtable (testsimp);

CREATE TABLE normalrange (
    normalid    int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    testcode    int NULL,
    testsimp    nvarchar(255) NULL,
    sex         nvarchar(20) NULL,
    ageunit     nvarchar(20) NULL,
    firstold    float NULL,
    secondold   float NULL,
    pregsmok    nvarchar(10) NULL,
    lowlimit    float NULL,
    highlimit   float NULL,
    nolowexe    nvarchar(50) NULL,
    nohighexe   nvarchar(50) NULL,
    lowcomment  nvarchar(4000) NULL,
    highcomment nvarchar(4000) NULL,
    normalrang  nvarchar(255) NULL,
    testunit    nvarchar(50) NULL,
    REFRANGE    nvarchar(10) NULL
);
CREATE INDEX ix_normalrange_testcode ON normalrange (testcode, REFRANGE);

CREATE TABLE comments (
    commentid int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    testcode  int NULL,
    testsimp  nvarchar(255) NULL,
    Comments  nvarchar(4000) NULL
);
CREATE INDEX ix_comments_testcode ON comments (testcode);
CREATE INDEX ix_comments_testsimp ON comments (testsimp);

CREATE TABLE Result (
    AutoNum         int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    SampleID        nvarchar(50) NULL,
    patientid       nvarchar(50) NULL,
    Patientname     nvarchar(255) NULL,
    sex             nvarchar(20) NULL,
    ageN            float NULL,
    ageU            nvarchar(20) NULL,
    patientsefa     nvarchar(50) NULL,
    DocName         nvarchar(255) NULL,
    Drsefa          nvarchar(50) NULL,
    Testdate        datetime NULL,
    TestTime        nvarchar(20) NULL,
    sending         bit NOT NULL DEFAULT 0,
    testcode        int NULL,
    testsimp        nvarchar(255) NULL,
    testabrev       nvarchar(50) NULL,
    subgroupname    nvarchar(255) NULL,
    shortAssay      nvarchar(50) NULL,
    crvtestid       int NULL,
    arrangnum       int NULL,
    REFRANGE        int NULL,
    LongAssay       nvarchar(255) NULL,
    resultt1        nvarchar(100) NULL,
    resultt2        nvarchar(100) NULL,
    resultt3        nvarchar(100) NULL,
    testunit        nvarchar(50) NULL,
    lowlimit        float NULL,
    highlimit       float NULL,
    nolowexe        nvarchar(50) NULL,
    nohighexe       nvarchar(50) NULL,
    normalrang      nvarchar(255) NULL,
    RESULTCASEPRINT nvarchar(50) NULL,
    comment         nvarchar(4000) NULL
);
CREATE INDEX ix_Result_Testdate ON Result (Testdate);
CREATE INDEX ix_Result_patientid ON Result (patientid, shortAssay);
CREATE INDEX ix_Result_SampleID ON Result (SampleID, Testdate);
CREATE INDEX ix_Result_Patientname ON Result (Patientname);
CREATE INDEX ix_Result_DocName ON Result (DocName);
CREATE INDEX ix_Result_shortAssay ON Result (shortAssay, Testdate);
CREATE INDEX ix_Result_testsimp ON Result (testsimp);
