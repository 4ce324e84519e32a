-- Client schema of the embedded store: one file per client schema.
--
-- Run on each client's file, named by its schema in upper case:
--     sqlite3 MANDANT1.db < client.sql
-- The program attaches the file under the schema's name when it visits that
-- client; table names here are unqualified.  The script can be run again on
-- an existing file: it only adds what is missing.
--
-- Conventions of the embedded store (the same in kvxcore.sql):
--
--  * Text columns are TEXT COLLATE RTRIM, so that '=' and ORDER BY ignore
--    trailing blanks as the production server does.  Apart from trailing
--    blanks the comparison is byte for byte, so letter case counts.
--  * Integers are INTEGER; amounts the program reads as double are REAL.
--  * Dates and date-times are TEXT in SQLite's own form: 'YYYY-MM-DD' for a
--    day (midnight), 'YYYY-MM-DD HH:MM:SS' for a moment within a day.  The
--    statements compare them as text with 'YYYY-MM-DD' dates (today,
--    yesterday), so a midnight value must be written as the bare date.  This
--    matters most for the day records, which match yesterday exactly:
--    TgbDtm '2024-05-01' matches, '2024-05-01 00:00:00' does not.  Date
--    columns carry COLLATE RTRIM like every other text column: a value with
--    trailing blanks still matches its day.
--  * Status columns (...Sta) are nullable INTEGER: 4 and 8 mark a row
--    inactive, NULL and every other value keep it.
--  * Every column is nullable and there are no primary keys, unique
--    constraints, foreign keys or checks: the program reads NULLs as empty
--    text or 0, and several valid rows for one key (two assignments for one
--    group, two day records) are legal data.
--  * Indexes cover the lookups that run once per badge.  Each text index
--    column names COLLATE RTRIM (the column's own collation) so that '=' on
--    the column can use it.

-- Authorization assignments: the class BzuBkl for a period, given to a badge
-- group, a cost centre, a cost-centre table value, a department, a
-- department list value or a person entry value.  Usually one of the six key
-- columns is filled per row; each has its own index, one per resolution step.
CREATE TABLE IF NOT EXISTS Kvx408Bzu (
    BzuZau  TEXT COLLATE RTRIM,     -- badge group
    BzuKst  TEXT COLLATE RTRIM,     -- cost centre (Kvx311Zuo.ZuoKst)
    BzuVks  TEXT COLLATE RTRIM,     -- cost-centre table value (O1003Kststelle.KstVws)
    BzuAbt  TEXT COLLATE RTRIM,     -- department (Kvx311Zuo.ZuoAbt)
    BzuVab  TEXT COLLATE RTRIM,     -- department list value (G2202AbtLst.AblVab)
    BzuAkr  TEXT COLLATE RTRIM,     -- person entry value (Kvx310Bsv.BsvAkr)
    BzuGvo  TEXT COLLATE RTRIM,     -- valid from, 'YYYY-MM-DD'
    BzuGbi  TEXT COLLATE RTRIM,     -- valid to, 'YYYY-MM-DD'
    BzuBkl  TEXT COLLATE RTRIM,     -- authorization class
    BzuSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx408Bzu_Zau ON Kvx408Bzu (BzuZau COLLATE RTRIM);
CREATE INDEX IF NOT EXISTS Kvx408Bzu_Kst ON Kvx408Bzu (BzuKst COLLATE RTRIM);
CREATE INDEX IF NOT EXISTS Kvx408Bzu_Vks ON Kvx408Bzu (BzuVks COLLATE RTRIM);
CREATE INDEX IF NOT EXISTS Kvx408Bzu_Abt ON Kvx408Bzu (BzuAbt COLLATE RTRIM);
CREATE INDEX IF NOT EXISTS Kvx408Bzu_Vab ON Kvx408Bzu (BzuVab COLLATE RTRIM);
CREATE INDEX IF NOT EXISTS Kvx408Bzu_Akr ON Kvx408Bzu (BzuAkr COLLATE RTRIM);

-- Organisational assignments: a person's cost centre and department over a
-- period.
CREATE TABLE IF NOT EXISTS Kvx311Zuo (
    ZuoPnr  TEXT COLLATE RTRIM,     -- person number
    ZuoKst  TEXT COLLATE RTRIM,     -- cost centre (up to 30 characters)
    ZuoAbt  TEXT COLLATE RTRIM,     -- department (up to 15 characters)
    ZuoGvo  TEXT COLLATE RTRIM,     -- valid from, 'YYYY-MM-DD'
    ZuoGbi  TEXT COLLATE RTRIM,     -- valid to, 'YYYY-MM-DD'
    ZuoSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx311Zuo_Pnr ON Kvx311Zuo (ZuoPnr COLLATE RTRIM);

-- Cost centres.
CREATE TABLE IF NOT EXISTS O1003Kststelle (
    KstNum  TEXT COLLATE RTRIM,     -- cost centre number
    KstVws  TEXT COLLATE RTRIM,     -- cost-centre table value (Kvx408Bzu.BzuVks)
    KstSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS O1003Kststelle_Num ON O1003Kststelle (KstNum COLLATE RTRIM);

-- Department list.
CREATE TABLE IF NOT EXISTS G2202AbtLst (
    AblAbt  TEXT COLLATE RTRIM,     -- department
    AblVab  TEXT COLLATE RTRIM,     -- department list value (Kvx408Bzu.BzuVab)
    AblSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS G2202AbtLst_Abt ON G2202AbtLst (AblAbt COLLATE RTRIM);

-- Person entries: a person's BsvAkr value over a period.
CREATE TABLE IF NOT EXISTS Kvx310Bsv (
    BsvPnr  TEXT COLLATE RTRIM,     -- person number
    BsvAkr  TEXT COLLATE RTRIM,     -- value (Kvx408Bzu.BzuAkr)
    BsvGvo  TEXT COLLATE RTRIM,     -- valid from, 'YYYY-MM-DD'
    BsvGbi  TEXT COLLATE RTRIM,     -- valid to, 'YYYY-MM-DD'
    BsvSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx310Bsv_Pnr ON Kvx310Bsv (BsvPnr COLLATE RTRIM);

-- Persons.
CREATE TABLE IF NOT EXISTS Kvx300Pnr (
    PnrNum  TEXT COLLATE RTRIM,     -- person number (up to 8 characters)
    PnrSpr  INTEGER,                -- language
    PnrSal  TEXT COLLATE RTRIM,     -- balance set (KvxCore.G2101SalLst.TsaSal)
    PnrSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx300Pnr_Num ON Kvx300Pnr (PnrNum COLLATE RTRIM);

-- Day records: a person's time accounts per day, in minutes.  Only records
-- with TgbZtr = 1 are read, and only the one of yesterday (TgbDtm written as
-- the bare date 'YYYY-MM-DD').
CREATE TABLE IF NOT EXISTS Kvx320Tgb (
    TgbPnr  TEXT COLLATE RTRIM,     -- person number
    TgbZtr  INTEGER,                -- record kind; 1 is read
    TgbDtm  TEXT COLLATE RTRIM,     -- day, 'YYYY-MM-DD'
    TgbVt1  INTEGER,                -- minute counts, paired TgbVtN + TgbSaN
    TgbVt2  INTEGER,
    TgbVt3  INTEGER,
    TgbVt4  INTEGER,
    TgbVt5  INTEGER,
    TgbVt6  INTEGER,
    TgbVt7  INTEGER,
    TgbSa1  INTEGER,
    TgbSa2  INTEGER,
    TgbSa3  INTEGER,
    TgbSa4  INTEGER,
    TgbSa5  INTEGER,
    TgbSa6  INTEGER,
    TgbSa7  INTEGER
);
CREATE INDEX IF NOT EXISTS Kvx320Tgb_Pnr ON Kvx320Tgb (TgbPnr COLLATE RTRIM, TgbDtm COLLATE RTRIM);

-- Yearly vacation entitlement: one row per person and year.
CREATE TABLE IF NOT EXISTS Kvx332Urv (
    UrvPnr  TEXT COLLATE RTRIM,     -- person number
    UrvJhr  INTEGER,                -- year, e.g. 2024
    UrvGur  REAL,                   -- entitlement of the year, days
    UrvVjr  REAL                    -- second figure of the year, days
);
CREATE INDEX IF NOT EXISTS Kvx332Urv_Pnr ON Kvx332Urv (UrvPnr COLLATE RTRIM, UrvJhr);

-- Vacation account rows: the account of a person as of a date; the latest
-- row up to today is read.
CREATE TABLE IF NOT EXISTS Kvx332Utg (
    UtgPnr  TEXT COLLATE RTRIM,     -- person number
    UtgDtm  TEXT COLLATE RTRIM,     -- date of the row, 'YYYY-MM-DD' (a time part means later that day)
    UtgVtg  REAL,                   -- days
    UtgRtg  REAL,                   -- days
    UtgGut  REAL                    -- days
);
CREATE INDEX IF NOT EXISTS Kvx332Utg_Pnr ON Kvx332Utg (UtgPnr COLLATE RTRIM, UtgDtm COLLATE RTRIM);
