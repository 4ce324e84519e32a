-- Central schema KvxCore of the embedded store.
--
-- Run on the store's central file:   sqlite3 KVXCORE.db < kvxcore.sql
-- The program attaches this file as KvxCore; table names here are unqualified.
-- The script can be run again on an existing file: it only adds what is missing.
--
-- Conventions of the embedded store (the same in client.sql):
--
--  * Text columns are TEXT COLLATE RTRIM, so that '=' and ORDER BY ignore
--    trailing blanks as the production server does ('T01  ' = 'T01').
--    Apart from trailing blanks the comparison is byte for byte, so letter
--    case counts in other text columns.
--  * Schema names (Kvx112Mnd.MndSch) and terminal names (Kvx115Tfz.TfzTrm,
--    Kvx401Zls.ZlsTrm, Kvx114Tsm.TsmNam) compare as the production server
--    compares them: without regard to letter case and trailing blanks.
--    SQLite has no collation for both, so these columns are COLLATE NOCASE
--    and a trigger strips trailing blanks from every stored name; a client
--    stored as 'mandant1 ' is the client MANDANT1 that the program visits,
--    and 't01' is the terminal T01.
--  * Integers (status, numbers, minute counts, keys read as numbers) are
--    INTEGER; amounts the program reads as double are REAL.
--  * Dates and date-times are TEXT in SQLite's own form: 'YYYY-MM-DD' for a
--    day (midnight), 'YYYY-MM-DD HH:MM:SS' for a moment within a day.  The
--    statements compare them as text with today's date 'YYYY-MM-DD', so a
--    midnight value must be written as the bare date: '2024-05-01 00:00:00'
--    is later than '2024-05-01' to a text comparison.  Date columns carry
--    COLLATE RTRIM like every other text column: a value written with
--    trailing blanks still matches its day, and the ordering of the two
--    forms is unchanged by it.
--  * Status columns (...Sta) are nullable INTEGER: 4 and 8 mark a row
--    inactive, NULL and every other value keep it.
--  * Every column is nullable and there are no primary keys, unique
--    constraints, foreign keys or checks: the program reads NULLs as empty
--    text or 0, and duplicates (a client linked twice to a terminal, a badge
--    at two locations, the same record staged twice) are legal data.
--  * Indexes cover the lookups that run once per badge, so that none of them
--    scans a table that grows with the badges.  Each text index column names
--    COLLATE RTRIM (the column's own collation) so that '=' on the column
--    can use it.

-- Clients: one row per client, MndSch names the client's schema (and so its
-- store file).  A client with MndKon = 1 is never visited.
CREATE TABLE IF NOT EXISTS Kvx112Mnd (
    MndSch  TEXT COLLATE NOCASE,    -- schema name of the client (any letter case)
    MndKon  INTEGER,                -- 1: client is never visited
    MndLiz  INTEGER,                -- licence part of the client key
    MndNum  INTEGER,                -- client number
    MndSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx112Mnd_Sch ON Kvx112Mnd (MndSch COLLATE NOCASE);
CREATE TRIGGER IF NOT EXISTS Kvx112Mnd_SchInsert AFTER INSERT ON Kvx112Mnd
    WHEN NEW.MndSch LIKE '% '
BEGIN
    UPDATE Kvx112Mnd SET MndSch = rtrim(MndSch, ' ') WHERE rowid = NEW.rowid;
END;
CREATE TRIGGER IF NOT EXISTS Kvx112Mnd_SchUpdate AFTER UPDATE OF MndSch ON Kvx112Mnd
    WHEN NEW.MndSch LIKE '% '
BEGIN
    UPDATE Kvx112Mnd SET MndSch = rtrim(MndSch, ' ') WHERE rowid = NEW.rowid;
END;
CREATE INDEX IF NOT EXISTS Kvx112Mnd_Key ON Kvx112Mnd (MndLiz, MndNum);

-- Terminal assignments: which clients a terminal serves.  A client may be
-- linked to the same terminal more than once.
CREATE TABLE IF NOT EXISTS Kvx115Tfz (
    TfzTrm  TEXT COLLATE NOCASE,    -- terminal name (any letter case)
    TfzLiz  INTEGER,                -- client key: MndLiz
    TfzMnd  INTEGER,                -- client key: MndNum
    TfzSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx115Tfz_Trm ON Kvx115Tfz (TfzTrm COLLATE NOCASE, TfzLiz, TfzMnd);
CREATE TRIGGER IF NOT EXISTS Kvx115Tfz_TfzTrmInsert AFTER INSERT ON Kvx115Tfz
    WHEN NEW.TfzTrm LIKE '% '
BEGIN
    UPDATE Kvx115Tfz SET TfzTrm = rtrim(TfzTrm, ' ') WHERE rowid = NEW.rowid;
END;
CREATE TRIGGER IF NOT EXISTS Kvx115Tfz_TfzTrmUpdate AFTER UPDATE OF TfzTrm ON Kvx115Tfz
    WHEN NEW.TfzTrm LIKE '% '
BEGIN
    UPDATE Kvx115Tfz SET TfzTrm = rtrim(TfzTrm, ' ') WHERE rowid = NEW.rowid;
END;

-- Badges: one row per badge and validity period.
CREATE TABLE IF NOT EXISTS Kvx301Asw (
    AswNum  TEXT COLLATE RTRIM,     -- badge number
    AswGvo  TEXT COLLATE RTRIM,     -- valid from, 'YYYY-MM-DD'
    AswGbi  TEXT COLLATE RTRIM,     -- valid to, 'YYYY-MM-DD'
    AswPnr  TEXT COLLATE RTRIM,     -- person number of the holder
    AswBkl  TEXT COLLATE RTRIM,     -- authorization class ('0' = take it from the assignments)
    AswGrp  TEXT COLLATE RTRIM,     -- badge group
    AswAan  TEXT COLLATE RTRIM,     -- 50-character text, read but not used
    AswAtp  INTEGER,                -- badge type
    AswLiz  INTEGER,                -- client key: MndLiz
    AswMnd  INTEGER,                -- client key: MndNum
    AswSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx301Asw_Mnd ON Kvx301Asw (AswLiz, AswMnd, AswNum COLLATE RTRIM);

-- Badge locations: one row per location of a badge.  A badge at two
-- locations has two rows.
CREATE TABLE IF NOT EXISTS Kvx113Awv (
    AwvNum  TEXT COLLATE RTRIM,     -- badge number
    AwvSto  TEXT COLLATE RTRIM,     -- location number (Kvx113Sto.StoNum)
    AwvSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx113Awv_Num ON Kvx113Awv (AwvNum COLLATE RTRIM);

-- Locations.
CREATE TABLE IF NOT EXISTS Kvx113Sto (
    StoNum  TEXT COLLATE RTRIM,     -- location number
    StoKtx  TEXT COLLATE RTRIM,     -- short text; the terminal shows its first three characters
    StoSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx113Sto_Num ON Kvx113Sto (StoNum COLLATE RTRIM);

-- Terminal readers: one row per numbered reader of a terminal and the zone
-- it guards.
CREATE TABLE IF NOT EXISTS Kvx401Zls (
    ZlsTrm  TEXT COLLATE NOCASE,    -- terminal name (any letter case)
    ZlsLes  INTEGER,                -- reader number, from 1
    ZlsZko  TEXT COLLATE RTRIM,     -- zone code (up to 5 characters)
    ZlsSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx401Zls_Trm ON Kvx401Zls (ZlsTrm COLLATE NOCASE, ZlsLes);
CREATE TRIGGER IF NOT EXISTS Kvx401Zls_ZlsTrmInsert AFTER INSERT ON Kvx401Zls
    WHEN NEW.ZlsTrm LIKE '% '
BEGIN
    UPDATE Kvx401Zls SET ZlsTrm = rtrim(ZlsTrm, ' ') WHERE rowid = NEW.rowid;
END;
CREATE TRIGGER IF NOT EXISTS Kvx401Zls_ZlsTrmUpdate AFTER UPDATE OF ZlsTrm ON Kvx401Zls
    WHEN NEW.ZlsTrm LIKE '% '
BEGIN
    UPDATE Kvx401Zls SET ZlsTrm = rtrim(ZlsTrm, ' ') WHERE rowid = NEW.rowid;
END;

-- Zone authorizations: what an authorization class may do in a zone.
CREATE TABLE IF NOT EXISTS Kvx404Zbr (
    ZbrZbk  TEXT COLLATE RTRIM,     -- authorization class
    ZbrZko  TEXT COLLATE RTRIM,     -- zone code
    ZbrZtb  INTEGER,                -- authorization type (3 is tested)
    ZbrSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx404Zbr_Zbk ON Kvx404Zbr (ZbrZbk COLLATE RTRIM, ZbrZko COLLATE RTRIM);

-- Terminal profiles: one per terminal name.
CREATE TABLE IF NOT EXISTS Kvx114Tsm (
    TsmNam  TEXT COLLATE NOCASE,    -- terminal name (any letter case)
    TsmTyp  TEXT COLLATE RTRIM,     -- terminal type, e.g. '7744-010'
    TsmSal  TEXT COLLATE RTRIM,     -- balance set shown (G2101SalLst.TsaSal)
    TsmSpr  INTEGER,                -- language of the display texts
    TsmSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS Kvx114Tsm_Nam ON Kvx114Tsm (TsmNam COLLATE NOCASE);
CREATE TRIGGER IF NOT EXISTS Kvx114Tsm_TsmNamInsert AFTER INSERT ON Kvx114Tsm
    WHEN NEW.TsmNam LIKE '% '
BEGIN
    UPDATE Kvx114Tsm SET TsmNam = rtrim(TsmNam, ' ') WHERE rowid = NEW.rowid;
END;
CREATE TRIGGER IF NOT EXISTS Kvx114Tsm_TsmNamUpdate AFTER UPDATE OF TsmNam ON Kvx114Tsm
    WHEN NEW.TsmNam LIKE '% '
BEGIN
    UPDATE Kvx114Tsm SET TsmNam = rtrim(TsmNam, ' ') WHERE rowid = NEW.rowid;
END;

-- Balance-set lines: the numbered display lines of a balance set.
CREATE TABLE IF NOT EXISTS G2101SalLst (
    TsaSal  TEXT COLLATE RTRIM,     -- balance set
    TsaLfd  INTEGER,                -- line number, 1 to 8
    TsaSpl  INTEGER,                -- label shift (NULL reads as 1)
    TsaAnz  INTEGER,                -- caption: key within text number 220001
    TsaAus  INTEGER,                -- value code: key within text number 220002
    TsaSta  INTEGER                 -- status
);
CREATE INDEX IF NOT EXISTS G2101SalLst_Sal ON G2101SalLst (TsaSal COLLATE RTRIM, TsaLfd);

-- Multilingual texts: one row per text number, key and language.
CREATE TABLE IF NOT EXISTS Kvx102Whl (
    FtxNumSpr INTEGER,              -- text number (220001 captions, 220002 value codes)
    FtxWhl    INTEGER,              -- key within the text number
    FtxSpr    INTEGER,              -- language
    FtxT50    TEXT COLLATE RTRIM,   -- long text (captions: first 12 characters shown)
    FtxT10    TEXT COLLATE RTRIM    -- short text (value codes such as '#W2')
);
CREATE INDEX IF NOT EXISTS Kvx102Whl_Key ON Kvx102Whl (FtxNumSpr, FtxWhl, FtxSpr);

-- Staging rows: the finished download records of a run, keyed by the
-- download-file path.  Identical records are kept twice.  The index serves
-- the clear, and the read-back in key and record order without a sort.
CREATE TABLE IF NOT EXISTS Kvx999Tmp (
    TmpUsr  TEXT COLLATE RTRIM,     -- download-file path
    TmpStr  TEXT COLLATE RTRIM      -- one download record
);
CREATE INDEX IF NOT EXISTS Kvx999Tmp_Usr ON Kvx999Tmp (TmpUsr COLLATE RTRIM, TmpStr COLLATE RTRIM);
