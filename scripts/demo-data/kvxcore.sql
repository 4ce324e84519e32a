-- Demo store, central schema KvxCore: clients, terminals, readers, zone
-- authorizations, badges and their locations, balance sets and their texts.
--
-- Loaded by scripts/demo after schema/sqlite/kvxcore.sql.  Every date is
-- computed from today's local date, so the demo gives the same picture on
-- any day.  Badge numbers 1xxx belong to client MANDANT1, 2xxx to the
-- client whose schema is "dbo" (visited as KELVANIRO).

-- Clients.  Client 2 lives in the default schema: its row for the terminal
-- lists names it "dbo", which is visited as KELVANIRO, and the badges of a
-- visited schema are selected by that name, so a second row names the same
-- client KELVANIRO.  That row is closed (MndKon = 1) and so never visited
-- on its own.  ARCHIV is closed as well; it has no store file, so visiting it
-- by mistake would show as a missing client.
INSERT INTO Kvx112Mnd (MndSch, MndKon, MndLiz, MndNum, MndSta) VALUES
  ('MANDANT1',  0, 1, 1, NULL),
  ('dbo',       0, 1, 2, 1),
  ('KELVANIRO', 1, 1, 2, NULL),
  ('ARCHIV',    1, 1, 9, NULL);

-- Terminal assignments.
--   T01  main entrance, 11 readers, linked to both clients (ARCHIV's link is
--        dropped because the client is closed)
--   T02  display terminal of type 7598-002, linked to KELVANIRO only (its
--        link to MANDANT1 is inactive)
--   T03  display terminal of type 7744-010, linked to KELVANIRO only
--   T04  side entrance: no assignment at all, so every open client is visited
INSERT INTO Kvx115Tfz (TfzTrm, TfzLiz, TfzMnd, TfzSta) VALUES
  ('T01', 1, 1, NULL),
  ('T01', 1, 2, 0),
  ('T01', 1, 9, NULL),
  ('T02', 1, 1, 4),
  ('T02', 1, 2, NULL),
  ('T03', 1, 2, NULL);

-- Terminal profiles: type, balance set and display language.
INSERT INTO Kvx114Tsm (TsmNam, TsmTyp, TsmSal, TsmSpr, TsmSta) VALUES
  ('T01', '7744-001', 'STD',  1, NULL),
  ('T02', '7598-002', 'KURZ', 1, NULL),
  ('T03', '7744-010', 'ERW',  1, NULL);

-- Readers.  T01 has eleven, two per zone (one for TIEFG); reader 1 is the
-- time-booking reader in the entrance hall.  T04 has two readers in zone
-- NEBEN.
INSERT INTO Kvx401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES
  ('T01',  1, 'HAUPT', NULL),
  ('T01',  2, 'HAUPT', NULL),
  ('T01',  3, 'LAGER', NULL),
  ('T01',  4, 'LAGER', NULL),
  ('T01',  5, 'BUERO', NULL),
  ('T01',  6, 'BUERO', NULL),
  ('T01',  7, 'LABOR', NULL),
  ('T01',  8, 'LABOR', NULL),
  ('T01',  9, 'EDV',   NULL),
  ('T01', 10, 'EDV',   NULL),
  ('T01', 11, 'TIEFG', NULL),
  ('T01', 12, 'WERK2', 4),
  ('T04',  1, 'NEBEN', NULL),
  ('T04',  2, 'NEBEN', NULL);

-- Zone authorizations (class, zone, type).  Type 3 at the zone of reader 1
-- allows passing but not booking time there.
--   10 staff       HAUPT BUERO TIEFG NEBEN
--   20 warehouse   HAUPT LAGER TIEFG NEBEN
--   30 laboratory  HAUPT LABOR
--   40 IT          EDV only (readers 9 and 10)
--   B  visitor     HAUPT with type 3 (no time booking at T01), BUERO
--   99 contractor  WERK2 only, a zone that no active reader of T01 guards
--   11..16         the classes that the six resolution stages hand out
--   0              "no class": may not book time at the side entrance
INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES
  ('10', 'HAUPT', 1, NULL),
  ('10', 'BUERO', 1, NULL),
  ('10', 'TIEFG', 1, NULL),
  ('10', 'NEBEN', 1, NULL),
  ('20', 'HAUPT', 1, NULL),
  ('20', 'LAGER', 1, NULL),
  ('20', 'TIEFG', 1, NULL),
  ('20', 'NEBEN', 1, NULL),
  ('30', 'HAUPT', 1, NULL),
  ('30', 'LABOR', 1, NULL),
  ('40', 'EDV',   1, NULL),
  ('B',  'HAUPT', 3, NULL),
  ('B',  'BUERO', 1, NULL),
  ('99', 'WERK2', 1, NULL),
  ('11', 'LAGER', 1, NULL),
  ('12', 'HAUPT', 1, 8),
  ('12', 'BUERO', 1, NULL),
  ('13', 'HAUPT', 2, NULL),
  ('13', 'LABOR', 1, NULL),
  ('14', 'EDV',   1, NULL),
  ('15', 'HAUPT', 1, NULL),
  ('16', 'TIEFG', 1, NULL),
  ('0',  'NEBEN', 3, NULL);

-- Badges (number, valid from, valid to, person, class, group, text, type,
-- client key, status).  Class '0' means: take the class from the client's
-- authorization assignments.
INSERT INTO Kvx301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, AswLiz, AswMnd, AswSta) VALUES
  -- MANDANT1
  ('1001', date('now','localtime','-3 years'),  NULL,                              '101', '10', NULL, 'Staff',               1, 1, 1, NULL),
  ('1002', NULL,                                date('now','localtime','+1 year'), '102', '20', NULL, 'Warehouse',           1, 1, 1, NULL),
  ('1003', date('now','localtime','-7 days'),   date('now','localtime','+7 days'), '103', 'B',  NULL, 'Visitor',             2, 1, 1, NULL),
  ('1004', date('now','localtime','-60 days'),  date('now','localtime','+60 days'),'104', '99', NULL, 'Contractor',          3, 1, 1, NULL),
  ('1005', date('now','localtime','-2 years'),  NULL,                              '105', '0',  'GL', 'Class by group',      1, 1, 1, NULL),
  ('1006', date('now','localtime','-2 years'),  NULL,                              '106', '0',  NULL, 'Class by cost centre',1, 1, 1, NULL),
  ('1007', date('now','localtime','-2 years'),  NULL,                              '107', '0',  NULL, 'Class by KST table',  1, 1, 1, NULL),
  ('1008', date('now','localtime','-2 years'),  NULL,                              '108', '0',  NULL, 'Class by department', 1, 1, 1, NULL),
  ('1009', date('now','localtime','-2 years'),  NULL,                              '109', '0',  NULL, 'Class by dept. list', 1, 1, 1, NULL),
  ('1010', date('now','localtime','-2 years'),  NULL,                              '110', '0',  NULL, 'Class by person entry',1,1, 1, NULL),
  ('1011', date('now','localtime','-2 years'),  NULL,                              '111', '0',  'GX', 'No class',            1, 1, 1, NULL),
  ('1012', date('now','localtime','-1 year'),   NULL,                              NULL,  '10', NULL, 'Pool badge',          4, 1, 1, NULL),
  ('1013', date('now','localtime','-1 year'),   NULL,                              '113', '30', NULL, 'Two locations',       1, 1, 1, NULL),
  ('1014', date('now','localtime','-1 year'),   date('now','localtime','-1 day'),  '101', '10', NULL, 'Expired yesterday',   1, 1, 1, NULL),
  ('1015', date('now','localtime','-1 year'),   NULL,                              '102', '20', NULL, 'Withdrawn',           1, 1, 1, 4),
  ('1016', date('now','localtime'),             NULL,                              '116', '40', NULL, 'IT, valid from today',1, 1, 1, NULL),
  -- KELVANIRO (client schema "dbo")
  ('2001', date('now','localtime','-5 years'),  NULL,                              '201', '10', NULL, 'Staff',               1, 1, 2, NULL),
  ('2002', date('now','localtime','-1 year'),   NULL,                              '202', '0',  'GK', 'Left the company',    1, 1, 2, NULL),
  ('2003', date('now','localtime','-1 year'),   NULL,                              '203', '20', NULL, 'Long shifts',         1, 1, 2, NULL),
  ('2004', date('now','localtime','+1 day'),    NULL,                              '201', '10', NULL, 'Valid from tomorrow', 1, 1, 2, NULL);

-- Locations.  The terminal shows the first three characters of the short
-- text.  Location 345 is closed.
INSERT INTO Kvx113Sto (StoNum, StoKtx, StoSta) VALUES
  ('12',     'NORD-Werk', NULL),
  ('7',      'HQ',        NULL),
  ('100000', 'SUEDLAGER', NULL),
  ('345',    'ALT',       4);

-- Badge locations.  Every badge needs one to be read at all; 1013 has two.
INSERT INTO Kvx113Awv (AwvNum, AwvSto, AwvSta) VALUES
  ('1001', '12',     NULL),
  ('1002', '100000', NULL),
  ('1003', '7',      NULL),
  ('1004', '12',     NULL),
  ('1005', '12',     NULL),
  ('1006', '345',    NULL),
  ('1007', '12',     NULL),
  ('1008', '12',     NULL),
  ('1009', '12',     NULL),
  ('1010', '12',     NULL),
  ('1011', '12',     NULL),
  ('1012', NULL,     NULL),
  ('1013', '12',     NULL),
  ('1013', '7',      NULL),
  ('1014', '12',     NULL),
  ('1015', '12',     NULL),
  ('1016', '7',      NULL),
  ('1016', '100000', 8),
  ('2001', '7',      NULL),
  ('2002', '12',     NULL),
  ('2003', '100000', NULL),
  ('2004', '7',      NULL);

-- Display texts in language 1: captions (text number 220001, the terminal
-- shows their first 12 characters) and value codes (220002).
INSERT INTO Kvx102Whl (FtxNumSpr, FtxWhl, FtxSpr, FtxT50, FtxT10) VALUES
  (220001,  1, 1, 'Datum',                   NULL),
  (220001,  2, 1, 'Tagessaldo',              NULL),
  (220001,  3, 1, 'Gleitzeitkonto',          NULL),
  (220001,  4, 1, 'Mehrarbeit',              NULL),
  (220001,  5, 1, 'Sollzeit',                NULL),
  (220001,  6, 1, 'Istzeit',                 NULL),
  (220001,  7, 1, 'Pausenzeit',              NULL),
  (220001,  8, 1, 'Abwesenheit',             NULL),
  (220001,  9, 1, 'Saldo gesamt',            NULL),
  (220001, 10, 1, 'GZ + MA',                 NULL),
  (220001, 11, 1, 'Urlaubsanspruch',         NULL),
  (220001, 12, 1, 'Vorjahresurlaub',         NULL),
  (220001, 13, 1, 'Anspruch ohne Vorjahr',   NULL),
  (220001, 14, 1, 'Urlaub gutgeschrieben',   NULL),
  (220001, 15, 1, 'Urlaub verplant',         NULL),
  (220001, 16, 1, 'Resturlaub',              NULL),
  (220001, 17, 1, 'Heute',                   NULL),
  (220001, 18, 1, 'Info',                    NULL),
  (220002,  1, 1, NULL, '#W1'),
  (220002,  2, 1, NULL, '#W2'),
  (220002,  3, 1, NULL, '#W3'),
  (220002,  4, 1, NULL, '#W4'),
  (220002,  5, 1, NULL, '#W5'),
  (220002,  6, 1, NULL, '#W6'),
  (220002,  7, 1, NULL, '#W7'),
  (220002,  8, 1, NULL, '#W8'),
  (220002,  9, 1, NULL, '#W9'),
  (220002, 10, 1, NULL, '#W10'),
  (220002, 11, 1, NULL, '#W11'),
  (220002, 12, 1, NULL, '#W12'),
  (220002, 13, 1, NULL, '#W13'),
  (220002, 14, 1, NULL, '#W14'),
  (220002, 15, 1, NULL, '#W15'),
  (220002, 16, 1, NULL, '#W16'),
  (220002, 99, 1, NULL, '#W0');

-- Balance sets: line, label shift, caption key, value code key.
--   STD  (T01)  every kind of figure; shift 2 on line 3 (no effect) and on
--               line 5 (caption one position to the right); date on line 8
--   KURZ (T02)  date on line 1; the 7598-002 shows lines 1 to 4 only
--   ERW  (T03)  the remaining codes; date twice (6 and 7), an unknown code on
--               line 8
INSERT INTO G2101SalLst (TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus, TsaSta) VALUES
  ('STD',  1, NULL,  2,  2, NULL),   -- #W2  day balance 1
  ('STD',  2, 1,     3,  9, NULL),   -- #W9  day balance 2
  ('STD',  3, 2,     9, 15, NULL),   -- #W15 day balance 8
  ('STD',  4, 1,    11,  8, NULL),   -- #W8  entitlement
  ('STD',  5, 2,    12,  3, NULL),   -- #W3  previous year
  ('STD',  6, 1,    13,  4, NULL),   -- #W4  entitlement less previous year
  ('STD',  7, 1,    16,  7, NULL),   -- #W7  remaining
  ('STD',  8, 1,     1,  1, NULL),   -- #W1  today's date
  ('STD',  9, 1,    18, 99, 4),      -- inactive
  ('KURZ', 1, 1,     1,  1, NULL),   -- #W1  today's date
  ('KURZ', 2, 1,     4, 10, NULL),   -- #W10 day balance 3
  ('KURZ', 3, 1,     5, 11, NULL),   -- #W11 day balance 4
  ('KURZ', 4, 1,     6, 12, NULL),   -- #W12 day balance 5
  ('KURZ', 5, 2,    14,  5, NULL),   -- #W5  (not shown on a 7598-002)
  ('KURZ', 6, 1,    15,  6, NULL),   -- #W6  (not shown on a 7598-002)
  ('ERW',  1, 1,     7, 13, NULL),   -- #W13 day balance 6
  ('ERW',  2, 1,     8, 14, NULL),   -- #W14 day balance 7
  ('ERW',  3, 1,    10, 16, NULL),   -- #W16 day balance 9
  ('ERW',  4, 1,    14,  5, NULL),   -- #W5  credited
  ('ERW',  5, 2,    15,  6, NULL),   -- #W6  planned
  ('ERW',  6, 1,    17,  1, NULL),   -- #W1  today's date (all 8 characters)
  ('ERW',  7, 1,     1,  1, NULL),   -- #W1  again (first 7 characters only)
  ('ERW',  8, 1,    18, 99, NULL);   -- #W0  not a value code: blank value
