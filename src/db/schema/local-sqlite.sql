-- The local file of the start-up date probe.
CREATE TABLE IF NOT EXISTS history (
    requestdate TEXT
);
