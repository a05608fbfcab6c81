-- Which analyser measured a result: the instrument id and serial number the larger VIDAS models
-- send with every result (null for the mini VIDAS, which sends neither).
ALTER TABLE Result ADD COLUMN instrumentid text;
ALTER TABLE Result ADD COLUMN instrumentsn text;
