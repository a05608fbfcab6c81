-- The change history of every stored result: one row per changed column of a save (the editor) or
-- of an overwrite by a result the analyser sent again. The program only ever adds rows here.
CREATE TABLE resulthistory (
    historyid  int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    AutoNum    int NOT NULL,
    changedat  nvarchar(30) NOT NULL,
    changedby  nvarchar(100) NOT NULL,
    columnname nvarchar(50) NOT NULL,
    oldvalue   nvarchar(4000) NULL,
    newvalue   nvarchar(4000) NULL
);
CREATE INDEX ix_resulthistory_AutoNum ON resulthistory (AutoNum, historyid);

-- Who queued a write into the LIS: null for the receive chain, 'editor' for a saved correction,
-- which leaves the LIS's resultt1 and resultt2 as they are.
ALTER TABLE lisoutbox ADD origin nvarchar(20) NULL;
