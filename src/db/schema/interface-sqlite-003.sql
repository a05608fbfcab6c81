-- Accounts keep secrets: users.patientword now holds an Argon2id hash instead of the password
-- (SQLite text needs no wider column; old plain-text rows are hashed at the account's next login
-- or save), and a remembered login is kept as the hash of a random token, one row per station
-- that remembers the account.
CREATE TABLE rememberedlogin (
    rememberid  INTEGER PRIMARY KEY AUTOINCREMENT,
    tokenhash   TEXT NOT NULL,
    patientusid INTEGER NOT NULL,
    createdat   TEXT
);
CREATE UNIQUE INDEX ix_rememberedlogin_token ON rememberedlogin (tokenhash);
CREATE INDEX ix_rememberedlogin_user ON rememberedlogin (patientusid);
