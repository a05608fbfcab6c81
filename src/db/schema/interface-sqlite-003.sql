-- Accounts keep secrets: users.patientword now holds an Argon2id hash instead of the password
-- (SQLite text needs no wider column; old plain-text rows are hashed at the account's next login
-- or save), and a remembered login is kept as the hash of a random token, one row per station
-- that remembers the account.
CREATE TABLE rememberedlogin (
    tokenhash   TEXT PRIMARY KEY,
    patientusid INTEGER NOT NULL,
    createdat   TEXT
);
CREATE INDEX ix_rememberedlogin_user ON rememberedlogin (patientusid);
