-- The entity database, "UNITARC.mdb". Text compares without regard to Latin case, as the
-- Jet engine does; date-times are day numbers since 1899-12-30; memo is long text.

CREATE TABLE AuditedDeptInfo (
    AuditedDeptCode TEXT COLLATE NOCASE,
    AuditedDeptName TEXT COLLATE NOCASE,
    DeptIndex       INTEGER,
    KQTag           INTEGER,
    NodeID          TEXT COLLATE NOCASE,
    Type            TEXT COLLATE NOCASE,
    Name            TEXT COLLATE NOCASE,
    BaseInfo        TEXT COLLATE NOCASE,
    ImageIndex      INTEGER
);

CREATE TABLE FinanceDataInfo (
    AuditedDeptCode TEXT COLLATE NOCASE,
    DirID           TEXT COLLATE NOCASE,
    PDirID          TEXT COLLATE NOCASE,
    DirIndex        INTEGER,
    KQTag           INTEGER,
    FileTag         INTEGER,
    Name            TEXT COLLATE NOCASE,
    NodeID          TEXT COLLATE NOCASE,
    Type            TEXT COLLATE NOCASE,
    FileID          TEXT COLLATE NOCASE,
    FileName        TEXT COLLATE NOCASE,
    ImageIndex      INTEGER,
    CanVisible      INTEGER,
    CreateTime      REAL
);

CREATE TABLE FinanceResourceInfo (
    AuditedDeptCode TEXT COLLATE NOCASE,
    DirID           TEXT COLLATE NOCASE,
    PDirID          TEXT COLLATE NOCASE,
    DirIndex        INTEGER,
    KQTag           INTEGER,
    FileTag         INTEGER,
    Name            TEXT COLLATE NOCASE,
    NodeID          TEXT COLLATE NOCASE,
    Type            TEXT COLLATE NOCASE,
    FileID          TEXT COLLATE NOCASE,
    FileName        TEXT COLLATE NOCASE,
    ImageIndex      INTEGER,
    CanVisible      INTEGER,
    CreateTime      REAL,
    被审计单位识别码 TEXT COLLATE NOCASE,
    财务资料名称     TEXT COLLATE NOCASE,
    财务资料日期     REAL
);

CREATE TABLE TransResourceInfo (
    AuditedDeptCode TEXT COLLATE NOCASE,
    DirID           TEXT COLLATE NOCASE,
    PDirID          TEXT COLLATE NOCASE,
    DirIndex        INTEGER,
    KQTag           INTEGER,
    FileTag         INTEGER,
    Name            TEXT COLLATE NOCASE,
    NodeID          TEXT COLLATE NOCASE,
    Type            TEXT COLLATE NOCASE,
    FileID          TEXT COLLATE NOCASE,
    FileName        TEXT COLLATE NOCASE,
    ImageIndex      INTEGER,
    CanVisible      INTEGER,
    CreateTime      REAL,
    业务资料名称     TEXT COLLATE NOCASE,
    被审计单位识别码 TEXT COLLATE NOCASE,
    业务资料日期     REAL
);

CREATE TABLE AuditResourceInfo (
    AuditedDeptCode TEXT COLLATE NOCASE,
    DirID           TEXT COLLATE NOCASE,
    PDirID          TEXT COLLATE NOCASE,
    DirIndex        INTEGER,
    KQTag           INTEGER,
    FileTag         INTEGER,
    Name            TEXT COLLATE NOCASE,
    NodeID          TEXT COLLATE NOCASE,
    Type            TEXT COLLATE NOCASE,
    FileID          TEXT COLLATE NOCASE,
    FileName        TEXT COLLATE NOCASE,
    ImageIndex      INTEGER,
    CanVisible      INTEGER,
    CreateTime      REAL,
    被审计单位识别码 TEXT COLLATE NOCASE,
    项目编号         TEXT COLLATE NOCASE,
    标题             TEXT COLLATE NOCASE,
    类型             TEXT COLLATE NOCASE,
    文号             TEXT COLLATE NOCASE,
    发文单位         TEXT COLLATE NOCASE,
    抄送单位         TEXT COLLATE NOCASE,
    成文时间         REAL,
    归档时间         REAL,
    主题词           TEXT COLLATE NOCASE,
    摘要             TEXT COLLATE NOCASE,
    审计机关代码     TEXT COLLATE NOCASE
);

-- One row per entity code. DirID stays a plain index: node ids a package repeats are
-- its reader's concern, not a constraint failure in the middle of an import.
CREATE UNIQUE INDEX IX_AuditedDeptInfo_AuditedDeptCode ON AuditedDeptInfo (AuditedDeptCode);

CREATE INDEX IX_FinanceDataInfo_AuditedDeptCode ON FinanceDataInfo (AuditedDeptCode);
CREATE INDEX IX_FinanceDataInfo_DirID ON FinanceDataInfo (DirID);
CREATE INDEX IX_FinanceDataInfo_PDirID ON FinanceDataInfo (PDirID);
CREATE INDEX IX_FinanceDataInfo_DirIndex ON FinanceDataInfo (DirIndex);

CREATE INDEX IX_FinanceResourceInfo_AuditedDeptCode ON FinanceResourceInfo (AuditedDeptCode);
CREATE INDEX IX_FinanceResourceInfo_DirID ON FinanceResourceInfo (DirID);
CREATE INDEX IX_FinanceResourceInfo_PDirID ON FinanceResourceInfo (PDirID);
CREATE INDEX IX_FinanceResourceInfo_DirIndex ON FinanceResourceInfo (DirIndex);

CREATE INDEX IX_TransResourceInfo_AuditedDeptCode ON TransResourceInfo (AuditedDeptCode);
CREATE INDEX IX_TransResourceInfo_DirID ON TransResourceInfo (DirID);
CREATE INDEX IX_TransResourceInfo_PDirID ON TransResourceInfo (PDirID);
CREATE INDEX IX_TransResourceInfo_DirIndex ON TransResourceInfo (DirIndex);

CREATE INDEX IX_AuditResourceInfo_AuditedDeptCode ON AuditResourceInfo (AuditedDeptCode);
CREATE INDEX IX_AuditResourceInfo_DirID ON AuditResourceInfo (DirID);
CREATE INDEX IX_AuditResourceInfo_PDirID ON AuditResourceInfo (PDirID);
CREATE INDEX IX_AuditResourceInfo_DirIndex ON AuditResourceInfo (DirIndex);
