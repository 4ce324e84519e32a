-- Demo store, central schema KvxCore: what changes before the second night's
-- run of QZDNL17P on T01, for the comparison at the end of scripts/demo.
--   class 99 (contractor badge 1004) is authorized for zone HAUPT: the badge
--            gains access at every reader of T01
--   badge 1012 (pool badge) is withdrawn: its record goes
--   badge 2004 starts today instead of tomorrow: its record comes
INSERT INTO Kvx404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES ('99', 'HAUPT', 1, NULL);
UPDATE Kvx301Asw SET AswSta = 4 WHERE AswNum = '1012';
UPDATE Kvx301Asw SET AswGvo = date('now','localtime') WHERE AswNum = '2004';
