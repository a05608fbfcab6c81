-- Every running program delivers the outbox. A program takes an entry by writing its name and a
-- time until which the entry is its own; another program leaves the entry alone until then, so one
-- write is never sent twice at once, and an entry taken by a program that died is taken up again
-- once that time has passed.
ALTER TABLE lisoutbox ADD COLUMN claimedby TEXT;
ALTER TABLE lisoutbox ADD COLUMN claimeduntil TEXT;
