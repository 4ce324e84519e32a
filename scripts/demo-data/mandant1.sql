-- Demo store, client schema MANDANT1: persons, the authorization
-- assignments that resolve class '0', day records of yesterday and vacation
-- accounts.  Loaded by scripts/demo after schema/sqlite/client.sql.  Dates
-- are computed from today's local date.

-- Persons (number, language, balance set, status).
INSERT INTO Kvx300Pnr (PnrNum, PnrSpr, PnrSal, PnrSta) VALUES
  ('101', 1, 'STD',  NULL),
  ('102', 1, 'KURZ', NULL),
  ('103', 1, NULL,   NULL),
  ('104', 1, NULL,   NULL),
  ('105', 1, 'STD',  NULL),
  ('106', 1, 'STD',  NULL),
  ('107', 1, 'STD',  NULL),
  ('108', 1, 'STD',  NULL),
  ('109', 1, 'STD',  NULL),
  ('110', 1, 'STD',  NULL),
  ('111', 1, NULL,   NULL),
  ('113', 1, 'ERW',  NULL),
  ('116', 2, 'STD',  0);

-- Authorization assignments, one per resolution stage, each with its own
-- class and start so that the records show which stage supplied them:
--   stage 1 badge group GL          -> class 11
--   stage 2 cost centre KST100      -> class 12
--   stage 3 cost-centre value VWS-A -> class 13
--   stage 4 department ABT-EDV      -> class 14
--   stage 5 department value VAB-L  -> class 15
--   stage 6 person entry AKR-B      -> class 16
-- plus an assignment of group GL that ended yesterday and an inactive one
-- for group GX: neither is ever used.
INSERT INTO Kvx408Bzu (BzuZau, BzuKst, BzuVks, BzuAbt, BzuVab, BzuAkr, BzuGvo, BzuGbi, BzuBkl, BzuSta) VALUES
  ('GL', NULL,     NULL,    NULL,      NULL,    NULL,    date('now','localtime','-400 days'), NULL,                               '11', NULL),
  ('GL', NULL,     NULL,    NULL,      NULL,    NULL,    date('now','localtime','-900 days'), date('now','localtime','-1 day'),  '18', NULL),
  ('GX', NULL,     NULL,    NULL,      NULL,    NULL,    date('now','localtime','-400 days'), NULL,                               '19', 4),
  (NULL, 'KST100', NULL,    NULL,      NULL,    NULL,    date('now','localtime','-300 days'), date('now','localtime','+1 year'), '12', NULL),
  (NULL, NULL,     'VWS-A', NULL,      NULL,    NULL,    date('now','localtime','-200 days'), NULL,                               '13', NULL),
  (NULL, NULL,     NULL,    'ABT-EDV', NULL,    NULL,    date('now','localtime','-100 days'), date('now','localtime','+100 days'),'14', NULL),
  (NULL, NULL,     NULL,    NULL,      'VAB-L', NULL,    date('now','localtime','-50 days'),  NULL,                               '15', NULL),
  (NULL, NULL,     NULL,    NULL,      NULL,    'AKR-B', date('now','localtime','-10 days'),  date('now','localtime','+10 days'), '16', NULL);

-- Organisational assignments.  Each person of badges 1006 to 1009 reaches
-- exactly one assignment above; person 110's assignment has ended, so only
-- its person entry (stage 6) is left.
INSERT INTO Kvx311Zuo (ZuoPnr, ZuoKst, ZuoAbt, ZuoGvo, ZuoGbi, ZuoSta) VALUES
  ('106', 'KST100', 'ABT-VW',  date('now','localtime','-2 years'), NULL,                             NULL),
  ('107', 'KST200', 'ABT-VW',  date('now','localtime','-2 years'), NULL,                             NULL),
  ('108', 'KST300', 'ABT-EDV', date('now','localtime','-2 years'), NULL,                             NULL),
  ('109', 'KST300', 'ABT-LAB', date('now','localtime','-2 years'), NULL,                             NULL),
  ('110', 'KST100', 'ABT-EDV', date('now','localtime','-2 years'), date('now','localtime','-30 days'), NULL);

-- Cost centres and their table values (only VWS-A has an assignment).
INSERT INTO O1003Kststelle (KstNum, KstVws, KstSta) VALUES
  ('KST100', 'VWS-Z', NULL),
  ('KST200', 'VWS-A', NULL),
  ('KST300', 'VWS-N', NULL);

-- Department list values (only VAB-L has an assignment).
INSERT INTO G2202AbtLst (AblAbt, AblVab, AblSta) VALUES
  ('ABT-VW',  'VAB-V', NULL),
  ('ABT-EDV', 'VAB-E', NULL),
  ('ABT-LAB', 'VAB-L', NULL);

-- Person entries: 110's is current, 111's ended yesterday.
INSERT INTO Kvx310Bsv (BsvPnr, BsvAkr, BsvGvo, BsvGbi, BsvSta) VALUES
  ('110', 'AKR-B', date('now','localtime','-1 year'), NULL,                            NULL),
  ('111', 'AKR-B', date('now','localtime','-1 year'), date('now','localtime','-1 day'), NULL);

-- Day records, minutes.  Yesterday's record (TgbZtr 1) is the one shown.
-- Person 104 has records of today and of two days ago and one of yesterday
-- of another kind: none of them counts.  Persons 110, 111 and 116 have none.
INSERT INTO Kvx320Tgb (TgbPnr, TgbZtr, TgbDtm,
                       TgbVt1, TgbVt2, TgbVt3, TgbVt4, TgbVt5, TgbVt6, TgbVt7,
                       TgbSa1, TgbSa2, TgbSa3, TgbSa4, TgbSa5, TgbSa6, TgbSa7) VALUES
  ('101', 1, date('now','localtime','-1 day'),  480,  95,  30, 480, 510,   45,    0,  -30, NULL, NULL, NULL, NULL, NULL, NULL),
  ('102', 1, date('now','localtime','-1 day'),  -45, 754,  -1,   0,  90, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('103', 1, date('now','localtime','-1 day'),   65,   0,   0, 240, 305,   30,    0, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('104', 1, date('now','localtime'),           111, 111, 111, 111, 111,  111,  111, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('104', 1, date('now','localtime','-2 days'), 222, 222, 222, 222, 222,  222,  222, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('104', 2, date('now','localtime','-1 day'),  333, 333, 333, 333, 333,  333,  333, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('105', 1, date('now','localtime','-1 day'),   15,  15,   0, 480, 495,   30,    0, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('106', 1, date('now','localtime','-1 day'),  -15, -15,   0, 480, 465,   30,    0, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('107', 1, date('now','localtime','-1 day'),  120, 120,  60, 480, 600,   30,    0, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('108', 1, date('now','localtime','-1 day'),    0,   0,   0, 480, 480,   30,    0, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('109', 1, date('now','localtime','-1 day'), NULL,NULL,NULL,NULL,NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  ('113', 1, date('now','localtime','-1 day'),  600,  60,  30, 480, 540,   45,  480,    0,    0,    0,    0,    0,    0,    0);

-- Vacation entitlement of this year (days: entitlement, previous year).
-- Person 102 only has last year's row; 113's previous-year figure exceeds
-- the entitlement.
INSERT INTO Kvx332Urv (UrvPnr, UrvJhr, UrvGur, UrvVjr) VALUES
  ('101', CAST(strftime('%Y','now','localtime') AS INTEGER),     30.0,  5.0),
  ('102', CAST(strftime('%Y','now','localtime') AS INTEGER) - 1, 28.0,  0.0),
  ('105', CAST(strftime('%Y','now','localtime') AS INTEGER),     28.0,  0.0),
  ('106', CAST(strftime('%Y','now','localtime') AS INTEGER),     28.0,  1.5),
  ('107', CAST(strftime('%Y','now','localtime') AS INTEGER),     28.0,  3.0),
  ('108', CAST(strftime('%Y','now','localtime') AS INTEGER),     30.0,  0.0),
  ('109', CAST(strftime('%Y','now','localtime') AS INTEGER),     30.0, 10.0),
  ('113', CAST(strftime('%Y','now','localtime') AS INTEGER),     20.0, 24.5),
  ('116', CAST(strftime('%Y','now','localtime') AS INTEGER),    100.0, 10.0);

-- Vacation account rows (days planned, remaining, credited); the latest row
-- up to today counts.  Person 101's row of tomorrow and person 102's only
-- row (tomorrow) are not used yet.
INSERT INTO Kvx332Utg (UtgPnr, UtgDtm, UtgVtg, UtgRtg, UtgGut) VALUES
  ('101', date('now','localtime','-60 days'),  5.0, 25.0, 0.0),
  ('101', date('now','localtime','-1 day'),   12.5, 17.5, 2.0),
  ('101', date('now','localtime','+1 day'),   99.0, 99.0, 99.0),
  ('102', date('now','localtime','+1 day'),    4.0, 24.0, 0.0),
  ('105', date('now','localtime','-5 days'),   8.0, 20.0, 0.0),
  ('106', date('now','localtime','-5 days'),   2.0, 27.5, 0.0),
  ('107', date('now','localtime','-5 days'),  10.0, 21.0, 0.0),
  ('108', date('now','localtime','-5 days'),   0.0, 30.0, 0.0),
  ('109', date('now','localtime','-5 days'),  15.5, 24.5, 0.5),
  ('113', date('now','localtime'),            3.0, -1.5, 0.5);
