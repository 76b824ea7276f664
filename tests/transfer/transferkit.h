#pragma once
// Shared by the transfer tests: seeding taxpayers with detail rows, reading
// tables back as rows of text, answering the password dialog, and reading a
// package with an outside reader (Python's zipfile and json).
#include "app/common.h"
#include "app/dataset.h"
#include "arkelle/arkelle.hpp"
#include "tests/support/dialogdriver.h"
#include "transfer/transferpassword.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace tk {

inline void exec(const QString& sql, const QVariantList& values = {})
{
    if (!execSql(QStringLiteral("test"), sql, values))
        qFatal("seeding failed: %s", qPrintable(sql));
}

inline void addArea(const QString& code, const QString& name, const QString& owner)
{
    exec(QStringLiteral("INSERT INTO area(aCode, aName, mCode) VALUES(?, ?, ?)"), {code, name, owner});
}

// A taxpayer with n rows in each detail table; values vary with the code.
inline void addTaxer(const QString& code, const QString& owner, int n = 2,
                     const QString& area = QStringLiteral("A1"))
{
    exec(QStringLiteral(
             "INSERT INTO taxer(mCode, tCode, tName, tTrade, tSex, tID, taxType, taxStatus, tRegistDate, "
             "tRegistAddress, tContacter, tContactTel, tOpenDate, aCode, taxStatusChangeDate, tSelected) "
             "VALUES(?, ?, ?, '餐饮', '男', '110101199001011234', '定额', '正常', '2020-01-02', "
             "'幸福路1号', '张三', '0101234567', '2020-02-03', ?, NULL, 1)"),
         {owner, code, QStringLiteral("商户") + code, area});
    for (int i = 0; i < n; ++i) {
        const QString d = QStringLiteral("2021-%1-01").arg(i % 12 + 1, 2, 10, QLatin1Char('0'));
        exec(QStringLiteral("INSERT INTO yingye(tCode, tStartDate, tEndDate, tRemark) VALUES(?, ?, ?, ?)"),
             {code, d, QStringLiteral("2021-12-31"), QStringLiteral("备注%1").arg(i)});
        exec(QStringLiteral("INSERT INTO audit(tCode, aCount, aRatio, aTax, aStartDate, aEndDate) "
                            "VALUES(?, ?, ?, ?, ?, ?)"),
             {code, 1000 + i, 1.5 + i, (1000 + i) * (1.5 + i) / 100, d, QStringLiteral("2021-12-31")});
        exec(QStringLiteral("INSERT INTO tax(tCode, tDate, tTax) VALUES(?, ?, ?)"), {code, d, 10.25 + i});
    }
}

// Every row of a statement, each value as text ("<null>" for a null).
inline QStringList rows(const QString& sql, const QVariantList& values = {})
{
    Dataset q;
    if (!runSql(QStringLiteral("test"), q, sql, true, values))
        qFatal("query failed: %s", qPrintable(sql));
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < q.fieldCount(); ++c) {
            const QVariant v = q.valueAt(r, c);
            cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

inline int count(const QString& table)
{
    return getSqlValue(QStringLiteral("test"), QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt();
}

// The rows that belong to the given taxpayers, detail tables without their
// row numbers, for comparing two installations.
inline QStringList taxerRows(const QString& codeLike = QStringLiteral("%"))
{
    return rows(
        QStringLiteral("SELECT tCode, tName, tTrade, tSex, tID, taxType, taxStatus, tRegistDate, "
                       "tRegistAddress, tContacter, tContactTel, tOpenDate, aCode, taxStatusChangeDate "
                       "FROM taxer WHERE tCode LIKE ? ORDER BY tCode"),
        {codeLike});
}
inline QStringList detailRows(const QString& codeLike = QStringLiteral("%"))
{
    QStringList out;
    out << rows(QStringLiteral("SELECT tCode, tStartDate, tEndDate, tRemark FROM yingye WHERE tCode LIKE ? "
                               "ORDER BY tCode, tid"),
                {codeLike});
    out << rows(QStringLiteral("SELECT tCode, aCount, aRatio, aTax, aStartDate, aEndDate FROM audit "
                               "WHERE tCode LIKE ? ORDER BY tCode, aID"),
                {codeLike});
    out << rows(QStringLiteral("SELECT tCode, tDate, tTax FROM tax WHERE tCode LIKE ? ORDER BY tCode, tid"),
                {codeLike});
    return out;
}

// Answers the next password dialog: both boxes with password, or 关闭 when
// close is set.
inline void answerPassword(const QString& password, bool close = false)
{
    driver::whenShown<TfrmExpImpPassword>(frmExpImpPassword, [=](TfrmExpImpPassword* f) {
        if (close) {
            driver::click(f, "btnClose");
            return;
        }
        f->edtPassword1->setText(password);
        f->edtPassword2->setText(password);
        driver::click(f, "btnOK");
    });
}

// The package as an outside reader sees it: entry names in order, whether
// each is encrypted, and each entry's JSON recordset (columns, rows).
struct Outside {
    bool ok = false;
    QStringList names;
    QList<bool> encrypted;
    QHash<QString, QJsonObject> recordsets;
};

inline Outside readOutside(const QString& package, const QString& password)
{
    static const char* script = R"(import json, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
out = {"names": [], "encrypted": [], "sets": {}}
for info in z.infolist():
    out["names"].append(info.filename)
    out["encrypted"].append(bool(info.flag_bits & 1))
    if info.filename.endswith(".dat"):
        out["sets"][info.filename] = json.loads(z.read(info, pwd=sys.argv[2].encode()).decode())
print(json.dumps(out))
)";
    Outside o;
    // The system's interpreter: a version manager's shim costs seconds per start.
    const QString python = QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                               ? QStringLiteral("/usr/bin/python3")
                               : QStringLiteral("python3");
    QProcess p;
    p.start(python, {QStringLiteral("-c"), QString::fromLatin1(script), package, password});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        qWarning("%s", p.readAllStandardError().constData());
        return o;
    }
    const QJsonObject doc = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    for (const QJsonValue& v : doc.value(QStringLiteral("names")).toArray())
        o.names << v.toString();
    for (const QJsonValue& v : doc.value(QStringLiteral("encrypted")).toArray())
        o.encrypted << v.toBool();
    const QJsonObject sets = doc.value(QStringLiteral("sets")).toObject();
    for (auto it = sets.begin(); it != sets.end(); ++it)
        o.recordsets.insert(it.key(), it.value().toObject());
    o.ok = true;
    return o;
}

// Unpacks a package, lets edit change one entry's recordset, and packs it
// again into a fresh file at target.
inline bool repack(const QString& package, const QString& password, const QString& entry,
                   const std::function<void(QJsonObject&)>& edit, const QString& target)
{
    QTemporaryDir dir;
    if (!arkelle::unZip(package, dir.path(), password))
        return false;
    QFile f(dir.filePath(entry));
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QJsonObject doc = QJsonDocument::fromJson(f.readAll()).object();
    edit(doc);
    f.resize(0);
    f.write(QJsonDocument(doc).toJson(QJsonDocument::Compact));
    f.close();
    QStringList files;
    for (const QString& n : QDir(dir.path()).entryList(QDir::Files))
        files << dir.filePath(n);
    // the package's own order
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        static const QStringList order{"taxer.dat", "area.dat", "tax.dat", "audit.dat", "yingye.dat"};
        return order.indexOf(QFileInfo(a).fileName()) < order.indexOf(QFileInfo(b).fileName());
    });
    QFile::remove(target);
    return arkelle::zipList(files, target, password).written;
}

} // namespace tk
