-- The seven tables of tax.mdb.
--
-- Codes (taxer.tCode, area.aCode, every mCode, the detail tables' tCode) use
-- COLLATE NOCASE: codes that differ only in letter case are the same code, so
-- the unique indexes refuse the second one and every lookup by code ignores
-- case.  NOCASE folds the ASCII letters only; codes are ASCII in practice.
--
-- Text widths are CHECK constraints named after the rule they keep, so the
-- engine's own refusal of an overlong text reads as a sentence.
-- The tables are STRICT: a number column never silently stores text.

CREATE TABLE taxer (
  mCode               TEXT COLLATE NOCASE CONSTRAINT "户主用户代码超过50个字符" CHECK (length(mCode) <= 50),
  tCode               TEXT NOT NULL COLLATE NOCASE CONSTRAINT "税户代码超过50个字符" CHECK (length(tCode) <= 50),
  tName               TEXT CONSTRAINT "注册名称超过200个字符" CHECK (length(tName) <= 200),
  tTrade              TEXT CONSTRAINT "所属行业超过100个字符" CHECK (length(tTrade) <= 100),
  tSex                TEXT CONSTRAINT "性别超过2个字符" CHECK (length(tSex) <= 2),
  tID                 TEXT CONSTRAINT "身份证号超过18个字符" CHECK (length(tID) <= 18),
  taxType             TEXT CONSTRAINT "税户类型超过100个字符" CHECK (length(taxType) <= 100),
  taxStatus           TEXT CONSTRAINT "税户状态超过100个字符" CHECK (length(taxStatus) <= 100),
  tRegistDate         TEXT CONSTRAINT "注册日期超过18个字符" CHECK (length(tRegistDate) <= 18),
  tRegistAddress      TEXT CONSTRAINT "注册地址超过255个字符" CHECK (length(tRegistAddress) <= 255),
  tContacter          TEXT CONSTRAINT "业主超过50个字符" CHECK (length(tContacter) <= 50),
  tContactTel         TEXT CONSTRAINT "联系电话超过50个字符" CHECK (length(tContactTel) <= 50),
  tOpenDate           TEXT CONSTRAINT "开业日期超过10个字符" CHECK (length(tOpenDate) <= 10),
  aCode               TEXT COLLATE NOCASE CONSTRAINT "片区代码超过50个字符" CHECK (length(aCode) <= 50),
  taxStatusChangeDate TEXT CONSTRAINT "状态更改日期超过10个字符" CHECK (length(taxStatusChangeDate) <= 10),
  tSelected           INTEGER DEFAULT 0
) STRICT;
CREATE UNIQUE INDEX taxer_tCode ON taxer (tCode);
CREATE INDEX taxer_mCode ON taxer (mCode);
CREATE INDEX taxer_aCode ON taxer (aCode);

CREATE TABLE yingye (
  tid        INTEGER PRIMARY KEY AUTOINCREMENT,
  tCode      TEXT COLLATE NOCASE CONSTRAINT "税户代码超过50个字符" CHECK (length(tCode) <= 50),
  tStartDate TEXT CONSTRAINT "起始日期超过10个字符" CHECK (length(tStartDate) <= 10),
  tEndDate   TEXT CONSTRAINT "终止日期超过10个字符" CHECK (length(tEndDate) <= 10),
  tRemark    TEXT CONSTRAINT "备注超过255个字符" CHECK (length(tRemark) <= 255)
) STRICT;
CREATE INDEX yingye_tCode ON yingye (tCode);

CREATE TABLE audit (
  aID        INTEGER PRIMARY KEY AUTOINCREMENT,
  tCode      TEXT COLLATE NOCASE CONSTRAINT "税户代码超过50个字符" CHECK (length(tCode) <= 50),
  aCount     INTEGER DEFAULT 0,
  aRatio     REAL DEFAULT 0,
  aTax       REAL DEFAULT 0,
  aStartDate TEXT CONSTRAINT "起始日期超过10个字符" CHECK (length(aStartDate) <= 10),
  aEndDate   TEXT CONSTRAINT "终止日期超过10个字符" CHECK (length(aEndDate) <= 10)
) STRICT;
CREATE INDEX audit_tCode ON audit (tCode);

CREATE TABLE tax (
  tid   INTEGER PRIMARY KEY AUTOINCREMENT,
  tCode TEXT COLLATE NOCASE CONSTRAINT "税户代码超过50个字符" CHECK (length(tCode) <= 50),
  tDate TEXT CONSTRAINT "缴税日期超过10个字符" CHECK (length(tDate) <= 10),
  tTax  REAL DEFAULT 0
) STRICT;
CREATE INDEX tax_tCode ON tax (tCode);
CREATE INDEX tax_tDate ON tax (tDate);

CREATE TABLE area (
  aCode TEXT NOT NULL COLLATE NOCASE CONSTRAINT "片区代码超过50个字符" CHECK (length(aCode) <= 50),
  aName TEXT CONSTRAINT "片区名称超过100个字符" CHECK (length(aName) <= 100),
  mCode TEXT COLLATE NOCASE CONSTRAINT "户主用户代码超过50个字符" CHECK (length(mCode) <= 50)
) STRICT;
CREATE UNIQUE INDEX area_aCode ON area (aCode);
CREATE INDEX area_mCode ON area (mCode);

CREATE TABLE datadic (
  dIdent     TEXT CONSTRAINT "字典名称超过50个字符" CHECK (length(dIdent) <= 50),
  dItemValue TEXT CONSTRAINT "字典项目超过100个字符" CHECK (length(dItemValue) <= 100),
  dSort      INTEGER
) STRICT;
CREATE INDEX datadic_dIdent ON datadic (dIdent, dSort);

-- mPassword holds a salted argon2id hash string, never the password itself.
CREATE TABLE manager (
  mCode     TEXT NOT NULL COLLATE NOCASE CONSTRAINT "用户代码超过50个字符" CHECK (length(mCode) <= 50),
  mName     TEXT CONSTRAINT "用户名称超过50个字符" CHECK (length(mName) <= 50),
  mPassword TEXT CONSTRAINT "用户密码超过255个字符" CHECK (length(mPassword) <= 255),
  mWhoInput TEXT COLLATE NOCASE CONSTRAINT "录入人代码超过50个字符" CHECK (length(mWhoInput) <= 50)
) STRICT;
CREATE UNIQUE INDEX manager_mCode ON manager (mCode);
