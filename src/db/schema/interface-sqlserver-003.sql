-- Accounts keep secrets: users.patientword now holds an Argon2id hash instead of the password
-- (about 100 characters, so the column is widened; old plain-text rows are hashed at the account's
-- next login or save), and a remembered login is kept as the hash of a random token, one row per
-- station that remembers the account.
ALTER TABLE users ALTER COLUMN patientword nvarchar(255) NULL;
CREATE TABLE rememberedlogin (
    rememberid  int IDENTITY(1,1) NOT NULL PRIMARY KEY,
    tokenhash   nvarchar(64) NOT NULL,
    patientusid int NOT NULL,
    createdat   nvarchar(30) NULL
);
CREATE UNIQUE INDEX ix_rememberedlogin_token ON rememberedlogin (tokenhash);
CREATE INDEX ix_rememberedlogin_user ON rememberedlogin (patientusid);
