-- Demo store, client schema KELVANIRO (the client row's schema is "dbo"):
-- three persons, one authorization assignment, day records and vacation
-- accounts.  Loaded by scripts/demo after schema/sqlite/client.sql.

-- Person 202 has left (status 4): no balances, no vacation entitlement, no
-- language or balance set, although the rows below exist.
INSERT INTO Kvx300Pnr (PnrNum, PnrSpr, PnrSal, PnrSta) VALUES
  ('201', 2, 'ERW', NULL),
  ('202', 1, 'STD', 4),
  ('203', 1, 'STD', NULL);

-- Badge group GK gets class 20 (warehouse).
INSERT INTO Kvx408Bzu (BzuZau, BzuKst, BzuVks, BzuAbt, BzuVab, BzuAkr, BzuGvo, BzuGbi, BzuBkl, BzuSta) VALUES
  ('GK', NULL, NULL, NULL, NULL, NULL, date('now','localtime','-1 year'), date('now','localtime','+1 year'), '20', NULL);

-- Yesterday's day records.  Person 203's figures sit on the edges of the
-- terminal's number format (10 and 100 hours, both signs).
INSERT INTO Kvx320Tgb (TgbPnr, TgbZtr, TgbDtm,
                       TgbVt1, TgbVt2, TgbVt3, TgbVt4, TgbVt5, TgbVt6, TgbVt7,
                       TgbSa1, TgbSa2, TgbSa3, TgbSa4, TgbSa5, TgbSa6, TgbSa7) VALUES
  ('201', 1, date('now','localtime','-1 day'), 330, 200, 100, 480, 810,  60,   0,   0,  10,  20, NULL, NULL, NULL, NULL),
  ('202', 1, date('now','localtime','-1 day'), 100, 100, 100, 100, 100, 100, 100, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('203', 1, date('now','localtime','-1 day'), 599, 600, 5999, 6000, -600, -6000, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 65);

INSERT INTO Kvx332Urv (UrvPnr, UrvJhr, UrvGur, UrvVjr) VALUES
  ('201', CAST(strftime('%Y','now','localtime') AS INTEGER), 26.0, 2.0),
  ('202', CAST(strftime('%Y','now','localtime') AS INTEGER), 30.0, 0.0),
  ('203', CAST(strftime('%Y','now','localtime') AS INTEGER), 30.0, 0.0);

INSERT INTO Kvx332Utg (UtgPnr, UtgDtm, UtgVtg, UtgRtg, UtgGut) VALUES
  ('201', date('now','localtime','-10 days'), 4.0, 20.0, 1.0),
  ('202', date('now','localtime','-10 days'), 6.0, 24.0, 0.0);
