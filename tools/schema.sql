-- The seven tables of tax.mdb.
--
-- Codes (taxer.tCode, area.aCode, every mCode, the detail tables' tCode) use
-- COLLATE NOCASE: codes that differ only in letter case are the same code, so
-- the unique indexes refuse the second one and every lookup by code ignores
-- case.  NOCASE folds the ASCII letters only; codes are ASCII in practice.
--
-- Text widths are CHECK constraints named after the rule they keep, so the
-- engine's own refusal of an overlong text reads as a sentence.  length()
-- stops at a NUL character, so no text holds one (the width then counts
-- every character), and codes hold no control character at all: a code with
-- a hidden character looks like another code and could never be typed.
-- The tables are STRICT: a number column never silently stores text.

CREATE TABLE taxer (
  mCode               TEXT COLLATE NOCASE CONSTRAINT "户主用户代码超过50个字符" CHECK (length(mCode) <= 50)
    CONSTRAINT "户主用户代码不能包含控制字符"
      CHECK (instr(CAST(mCode AS BLOB), x'00') = 0 AND mCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*'),
  tCode               TEXT NOT NULL COLLATE NOCASE CONSTRAINT "税户代码超过50个字符" CHECK (length(tCode) <= 50)
    CONSTRAINT "税户代码不能包含控制字符"
      CHECK (instr(CAST(tCode AS BLOB), x'00') = 0 AND tCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*'),
  tName               TEXT CONSTRAINT "注册名称超过200个字符" CHECK (length(tName) <= 200)
    CONSTRAINT "注册名称不能包含空字符" CHECK (instr(CAST(tName AS BLOB), x'00') = 0),
  tTrade              TEXT CONSTRAINT "所属行业超过100个字符" CHECK (length(tTrade) <= 100)
    CONSTRAINT "所属行业不能包含空字符" CHECK (instr(CAST(tTrade AS BLOB), x'00') = 0),
  tSex                TEXT CONSTRAINT "性别超过2个字符" CHECK (length(tSex) <= 2)
    CONSTRAINT "性别不能包含空字符" CHECK (instr(CAST(tSex AS BLOB), x'00') = 0),
  tID                 TEXT CONSTRAINT "身份证号超过18个字符" CHECK (length(tID) <= 18)
    CONSTRAINT "身份证号不能包含空字符" CHECK (instr(CAST(tID AS BLOB), x'00') = 0),
  taxType             TEXT CONSTRAINT "税户类型超过100个字符" CHECK (length(taxType) <= 100)
    CONSTRAINT "税户类型不能包含空字符" CHECK (instr(CAST(taxType AS BLOB), x'00') = 0),
  taxStatus           TEXT CONSTRAINT "税户状态超过100个字符" CHECK (length(taxStatus) <= 100)
    CONSTRAINT "税户状态不能包含空字符" CHECK (instr(CAST(taxStatus AS BLOB), x'00') = 0),
  tRegistDate         TEXT CONSTRAINT "注册日期超过18个字符" CHECK (length(tRegistDate) <= 18)
    CONSTRAINT "注册日期不能包含空字符" CHECK (instr(CAST(tRegistDate AS BLOB), x'00') = 0),
  tRegistAddress      TEXT CONSTRAINT "注册地址超过255个字符" CHECK (length(tRegistAddress) <= 255)
    CONSTRAINT "注册地址不能包含空字符" CHECK (instr(CAST(tRegistAddress AS BLOB), x'00') = 0),
  tContacter          TEXT CONSTRAINT "业主超过50个字符" CHECK (length(tContacter) <= 50)
    CONSTRAINT "业主不能包含空字符" CHECK (instr(CAST(tContacter AS BLOB), x'00') = 0),
  tContactTel         TEXT CONSTRAINT "联系电话超过50个字符" CHECK (length(tContactTel) <= 50)
    CONSTRAINT "联系电话不能包含空字符" CHECK (instr(CAST(tContactTel AS BLOB), x'00') = 0),
  tOpenDate           TEXT CONSTRAINT "开业日期超过10个字符" CHECK (length(tOpenDate) <= 10)
    CONSTRAINT "开业日期不能包含空字符" CHECK (instr(CAST(tOpenDate AS BLOB), x'00') = 0),
  aCode               TEXT COLLATE NOCASE CONSTRAINT "片区代码超过50个字符" CHECK (length(aCode) <= 50)
    CONSTRAINT "片区代码不能包含控制字符"
      CHECK (instr(CAST(aCode AS BLOB), x'00') = 0 AND aCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*'),
  taxStatusChangeDate TEXT CONSTRAINT "状态更改日期超过10个字符" CHECK (length(taxStatusChangeDate) <= 10)
    CONSTRAINT "状态更改日期不能包含空字符" CHECK (instr(CAST(taxStatusChangeDate AS BLOB), x'00') = 0),
  tSelected           INTEGER DEFAULT 0
) STRICT;
CREATE UNIQUE INDEX taxer_tCode ON taxer (tCode);
CREATE INDEX taxer_mCode ON taxer (mCode);
CREATE INDEX taxer_aCode ON taxer (aCode);
-- The statistics sheet counts a user's taxpayers by status and type.
CREATE INDEX taxer_status ON taxer (mCode, taxStatus, taxStatusChangeDate);
CREATE INDEX taxer_type ON taxer (mCode, taxType, tCode);

CREATE TABLE yingye (
  tid        INTEGER PRIMARY KEY AUTOINCREMENT,
  tCode      TEXT COLLATE NOCASE CONSTRAINT "税户代码超过50个字符" CHECK (length(tCode) <= 50)
    CONSTRAINT "税户代码不能包含控制字符"
      CHECK (instr(CAST(tCode AS BLOB), x'00') = 0 AND tCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*'),
  tStartDate TEXT CONSTRAINT "起始日期超过10个字符" CHECK (length(tStartDate) <= 10)
    CONSTRAINT "起始日期不能包含空字符" CHECK (instr(CAST(tStartDate AS BLOB), x'00') = 0),
  tEndDate   TEXT CONSTRAINT "终止日期超过10个字符" CHECK (length(tEndDate) <= 10)
    CONSTRAINT "终止日期不能包含空字符" CHECK (instr(CAST(tEndDate AS BLOB), x'00') = 0),
  tRemark    TEXT CONSTRAINT "备注超过255个字符" CHECK (length(tRemark) <= 255)
    CONSTRAINT "备注不能包含空字符" CHECK (instr(CAST(tRemark AS BLOB), x'00') = 0)
) STRICT;
CREATE INDEX yingye_tCode ON yingye (tCode);

CREATE TABLE audit (
  aID        INTEGER PRIMARY KEY AUTOINCREMENT,
  tCode      TEXT COLLATE NOCASE CONSTRAINT "税户代码超过50个字符" CHECK (length(tCode) <= 50)
    CONSTRAINT "税户代码不能包含控制字符"
      CHECK (instr(CAST(tCode AS BLOB), x'00') = 0 AND tCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*'),
  aCount     INTEGER DEFAULT 0,
  aRatio     REAL DEFAULT 0,
  aTax       REAL DEFAULT 0,
  aStartDate TEXT CONSTRAINT "起始日期超过10个字符" CHECK (length(aStartDate) <= 10)
    CONSTRAINT "起始日期不能包含空字符" CHECK (instr(CAST(aStartDate AS BLOB), x'00') = 0),
  aEndDate   TEXT CONSTRAINT "终止日期超过10个字符" CHECK (length(aEndDate) <= 10)
    CONSTRAINT "终止日期不能包含空字符" CHECK (instr(CAST(aEndDate AS BLOB), x'00') = 0)
) STRICT;
CREATE INDEX audit_tCode ON audit (tCode);

CREATE TABLE tax (
  tid   INTEGER PRIMARY KEY AUTOINCREMENT,
  tCode TEXT COLLATE NOCASE CONSTRAINT "税户代码超过50个字符" CHECK (length(tCode) <= 50)
    CONSTRAINT "税户代码不能包含控制字符"
      CHECK (instr(CAST(tCode AS BLOB), x'00') = 0 AND tCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*'),
  tDate TEXT CONSTRAINT "缴税日期超过10个字符" CHECK (length(tDate) <= 10)
    CONSTRAINT "缴税日期不能包含空字符" CHECK (instr(CAST(tDate AS BLOB), x'00') = 0),
  tTax  REAL DEFAULT 0
) STRICT;
-- Covering the statistics sheet and the chart: sums by period and by
-- taxpayer are read from the index alone.
CREATE INDEX tax_tCode ON tax (tCode, tDate, tTax);
CREATE INDEX tax_tDate ON tax (tDate, tCode, tTax);

CREATE TABLE area (
  aCode TEXT NOT NULL COLLATE NOCASE CONSTRAINT "片区代码超过50个字符" CHECK (length(aCode) <= 50)
    CONSTRAINT "片区代码不能包含控制字符"
      CHECK (instr(CAST(aCode AS BLOB), x'00') = 0 AND aCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*'),
  aName TEXT CONSTRAINT "片区名称超过100个字符" CHECK (length(aName) <= 100)
    CONSTRAINT "片区名称不能包含空字符" CHECK (instr(CAST(aName AS BLOB), x'00') = 0),
  mCode TEXT COLLATE NOCASE CONSTRAINT "户主用户代码超过50个字符" CHECK (length(mCode) <= 50)
    CONSTRAINT "户主用户代码不能包含控制字符"
      CHECK (instr(CAST(mCode AS BLOB), x'00') = 0 AND mCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*')
) STRICT;
CREATE UNIQUE INDEX area_aCode ON area (aCode);
CREATE INDEX area_mCode ON area (mCode);

CREATE TABLE datadic (
  dIdent     TEXT CONSTRAINT "字典名称超过50个字符" CHECK (length(dIdent) <= 50)
    CONSTRAINT "字典名称不能包含空字符" CHECK (instr(CAST(dIdent AS BLOB), x'00') = 0),
  dItemValue TEXT CONSTRAINT "字典项目超过100个字符" CHECK (length(dItemValue) <= 100)
    CONSTRAINT "字典项目不能包含空字符" CHECK (instr(CAST(dItemValue AS BLOB), x'00') = 0),
  dSort      INTEGER
) STRICT;
CREATE INDEX datadic_dIdent ON datadic (dIdent, dSort);

-- mPassword holds a salted argon2id hash string, never the password itself.
CREATE TABLE manager (
  mCode     TEXT NOT NULL COLLATE NOCASE CONSTRAINT "用户代码超过50个字符" CHECK (length(mCode) <= 50)
    CONSTRAINT "用户代码不能包含控制字符"
      CHECK (instr(CAST(mCode AS BLOB), x'00') = 0 AND mCode NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*'),
  mName     TEXT CONSTRAINT "用户名称超过50个字符" CHECK (length(mName) <= 50)
    CONSTRAINT "用户名称不能包含空字符" CHECK (instr(CAST(mName AS BLOB), x'00') = 0),
  mPassword TEXT CONSTRAINT "用户密码超过255个字符" CHECK (length(mPassword) <= 255)
    CONSTRAINT "用户密码不能包含空字符" CHECK (instr(CAST(mPassword AS BLOB), x'00') = 0),
  mWhoInput TEXT COLLATE NOCASE CONSTRAINT "录入人代码超过50个字符" CHECK (length(mWhoInput) <= 50)
    CONSTRAINT "录入人代码不能包含控制字符"
      CHECK (instr(CAST(mWhoInput AS BLOB), x'00') = 0 AND mWhoInput NOT GLOB '*[' || char(1) || '-' || char(31) || char(127) || ']*')
) STRICT;
CREATE UNIQUE INDEX manager_mCode ON manager (mCode);
