#include "transfer/package.h"

#include "app/common.h"
#include "app/transaction.h"
#include "app/dataset.h"
#include "app/dberror.h"
#include "arkelle/arkelle.hpp"
#include "brimlow/brimlow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace transfer {

namespace {

const QString kExportContext = QStringLiteral("frmMain.btnExportClick");
const QString kImportContext = QStringLiteral("frmMain.actImportExecute");

std::function<void(const char*)>& stepHook()
{
    static std::function<void(const char*)> hook;
    return hook;
}

void step(const char* name)
{
    if (stepHook())
        stepHook()(name);
}

void makeFolder(const QString& path)
{
    md(QFile::encodeName(path).constData());
}

void removeFolder(const QString& path)
{
    delTree(QFile::encodeName(path).constData(), 1);
}

QString placeholders(qsizetype n)
{
    QStringList marks;
    marks.fill(QStringLiteral("?"), n);
    return marks.join(QStringLiteral(", "));
}

QVariantList toValues(const QStringList& list)
{
    QVariantList v;
    v.reserve(list.size());
    for (const QString& s : list)
        v << s;
    return v;
}

// Codes compare ignoring letter case, as the code columns do.
QString codeKey(const QString& code)
{
    return code.toCaseFolded();
}

// Inserts rows into table in multi-row statements (one statement per batch
// keeps a large import fast).  When a batch fails, its rows are tried one at
// a time so the log and the message name the row the engine refused.
class RowInserter {
public:
    RowInserter(QString context, const QString& table, const QStringList& columns)
        : m_context(std::move(context)), m_width(int(columns.size()))
    {
        m_head = QStringLiteral("INSERT INTO %1(%2) VALUES ").arg(table, columns.join(QStringLiteral(", ")));
        m_tuple = QLatin1Char('(') + placeholders(columns.size()) + QLatin1Char(')');
        m_batch = std::max(1, std::min(200, 900 / m_width));
    }

    bool add(const QVariantList& row, QString* error)
    {
        m_pending << row;
        if (m_pending.size() / m_width >= m_batch)
            return flush(error);
        return true;
    }

    bool flush(QString* error)
    {
        const int rows = int(m_pending.size() / m_width);
        if (rows == 0)
            return true;
        Dataset cmd;
        QStringList tuples;
        tuples.fill(m_tuple, rows);
        cmd.setSql(m_head + tuples.join(QStringLiteral(", ")));
        cmd.setParams(m_pending);
        try {
            cmd.execute();
        } catch (const DbError& batchError) {
            // A failed statement changes nothing, so the rows can be retried
            // singly inside the same transaction.
            for (int r = 0; r < rows; ++r) {
                Dataset one;
                one.setSql(m_head + m_tuple);
                one.setParams(m_pending.mid(qsizetype(r) * m_width, m_width));
                try {
                    one.execute();
                } catch (const DbError& e) {
                    writeErrorLog(m_context, one.describeStatement());
                    writeExceptionLog(m_context, e.message());
                    *error = e.message();
                    return false;
                }
            }
            writeExceptionLog(m_context, batchError.message());
            *error = batchError.message();
            return false;
        }
        m_pending.clear();
        return true;
    }

private:
    QString m_context;
    int m_width;
    int m_batch;
    QString m_head;
    QString m_tuple;
    QVariantList m_pending;
};

bool sameFileContent(const QString& a, const QString& b)
{
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    }
    return true;
}

struct EntryColumns {
    const char* entry;
    QStringList columns;
};

// The columns an import reads from each entry; everything else is ignored.
const QList<EntryColumns>& importedColumns()
{
    static const QList<EntryColumns> list{
        {"taxer.dat",
         {"tCode", "tName", "tTrade", "tSex", "tID", "taxType", "taxStatus", "tRegistDate", "tRegistAddress",
          "tContacter", "tContactTel", "tOpenDate", "aCode", "taxStatusChangeDate"}},
        {"area.dat", {"aCode", "aName", "mCode"}},
        {"audit.dat", {"tCode", "aCount", "aRatio", "aTax", "aStartDate", "aEndDate"}},
        {"tax.dat", {"tCode", "tDate", "tTax"}},
        {"yingye.dat", {"tCode", "tStartDate", "tEndDate", "tRemark"}},
    };
    return list;
}

} // namespace

const QStringList& packageEntries()
{
    static const QStringList names{QStringLiteral("taxer.dat"), QStringLiteral("area.dat"),
                                   QStringLiteral("tax.dat"), QStringLiteral("audit.dat"),
                                   QStringLiteral("yingye.dat")};
    return names;
}

void setStepHook(std::function<void(const char*)> hook)
{
    stepHook() = std::move(hook);
}

// ---------------------------------------------------------------- export

PackageWriter::PackageWriter(QStringList codes, QString userCode, QString folder)
    : m_codes(std::move(codes)), m_userCode(std::move(userCode)), m_folder(std::move(folder))
{
}

bool PackageWriter::fail(const QString& message)
{
    m_error = message;
    return false;
}

bool PackageWriter::saveRecordsets()
{
    if (m_codes.isEmpty())
        return fail(QStringLiteral("请选择要导出的税户到列表框中！"));
    makeFolder(m_folder);
    const QString in = placeholders(m_codes.size());
    const QVariantList codes = toValues(m_codes);
    struct Query {
        QString sql;
        QVariantList values;
    };
    const Query queries[] = {
        {QStringLiteral("SELECT * FROM taxer WHERE tCode IN (%1)").arg(in), codes},
        {QStringLiteral("SELECT * FROM area WHERE mCode=?"), {m_userCode}},
        {QStringLiteral("SELECT * FROM tax WHERE tCode IN (%1)").arg(in), codes},
        {QStringLiteral("SELECT * FROM audit WHERE tCode IN (%1)").arg(in), codes},
        {QStringLiteral("SELECT * FROM yingye WHERE tCode IN (%1)").arg(in), codes},
    };
    m_files.clear();
    for (int i = 0; i < 5; ++i) {
        const QString& entry = packageEntries().at(i);
        Dataset qryTemp;
        QString engine;
        if (!runSql(kExportContext, qryTemp, queries[i].sql, true, queries[i].values, &engine))
            return fail(QStringLiteral("读取导出数据失败（%1）：%2").arg(entry, engine));
        const QString path = m_folder + QLatin1Char('/') + entry;
        QFile::remove(path);
        try {
            qryTemp.saveToFile(path);
        } catch (const DbError& e) {
            writeExceptionLog(kExportContext, e.message());
            return fail(e.message());
        }
        if (i == 0)
            m_taxerCount = qryTemp.recordCount();
        m_files << path;
    }
    step("saved");
    return true;
}

bool PackageWriter::writePackage(const QString& packagePath, const QString& password)
{
    m_package = packagePath;
    const arkelle::WriteResult r = arkelle::zipList(m_files, packagePath, password);
    m_engineError = r.error;
    if (r.failed())
        return fail(
            QStringLiteral("无法写入导出文件%1，没有删除任何税户。\n请检查文件夹是否可写、磁盘是否已满，"
                           "或选择另一个文件。")
                .arg(packagePath));
    if (!r.written)
        return fail(
            QStringLiteral("导出文件%1没有写入数据（文件中已有同名且不更旧的数据），没有删除任何税户。"
                           "请稍后再试或选择另一个文件。")
                .arg(packagePath));
    step("written");

    // Nothing is deleted until the package is proven: its entries are listed
    // in order and unpack, with the same password, to exactly what was saved.
    const QString broken =
        QStringLiteral("导出文件%1校验失败，没有删除任何税户，请重新导出。").arg(packagePath);
    const std::optional<QStringList> names = arkelle::getZipList(packagePath);
    if (!names)
        return fail(broken);
    QStringList ours;
    for (const QString& n : *names) {
        for (const QString& e : packageEntries())
            if (n.compare(e, Qt::CaseInsensitive) == 0 && !ours.contains(e))
                ours << e;
    }
    if (ours != packageEntries())
        return fail(broken);
    const QString scratch = m_folder + QStringLiteral("/check");
    removeFolder(scratch);
    const bool unpacked = arkelle::unZip(packagePath, scratch, password);
    bool same = unpacked;
    for (int i = 0; same && i < m_files.size(); ++i)
        same = sameFileContent(m_files.at(i), scratch + QLatin1Char('/') + packageEntries().at(i));
    removeFolder(scratch);
    if (!same)
        return fail(broken);
    step("checked");
    return true;
}

bool PackageWriter::deleteExported()
{
    const QString in = placeholders(m_codes.size());
    const QVariantList codes = toValues(m_codes);
    const char* tables[] = {"taxer", "yingye", "audit", "tax"};
    QString engine;
    Transaction tx(kExportContext);
    bool ok = tx.begin(&engine);
    for (int i = 0; ok && i < 4; ++i) {
        ok = execSql(kExportContext,
                     QStringLiteral("DELETE FROM %1 WHERE tCode IN (%2)").arg(QLatin1String(tables[i]), in),
                     codes, &engine);
        if (i == 0)
            step("deleting");
    }
    if (!ok || !tx.commit(&engine))
        return fail(QStringLiteral("税户已写入导出文件%1，但从数据库删除时出错，数据库没有改变：%2")
                        .arg(m_package, engine));
    step("deleted");
    return true;
}

void PackageWriter::cleanUp()
{
    removeFolder(m_folder);
}

// ---------------------------------------------------------------- import

PackageImporter::PackageImporter(QString userCode, QString folder)
    : m_userCode(std::move(userCode)), m_folder(std::move(folder))
{
}

PackageImporter::~PackageImporter() = default;

bool PackageImporter::fail(const QString& message)
{
    m_error = message;
    return false;
}

bool PackageImporter::unpack(const QString& packagePath, const QString& password)
{
    m_package = packagePath;
    // Files of an earlier import must never pass for this package's.
    removeFolder(m_folder);
    const bool ok = arkelle::unZip(packagePath, m_folder, password);
    for (const QString& entry : packageEntries()) {
        if (!ok || !QFileInfo::exists(m_folder + QLatin1Char('/') + entry))
            return fail(QStringLiteral("无法读取导入文件%1：密码错误或文件已损坏。没有导入任何数据。")
                            .arg(packagePath));
    }
    step("unpacked");
    return true;
}

bool PackageImporter::load()
{
    m_sets.clear();
    for (const EntryColumns& ec : importedColumns()) {
        const QString entry = QLatin1String(ec.entry);
        auto ds = std::make_shared<Dataset>();
        try {
            ds->loadFromFile(m_folder + QLatin1Char('/') + entry);
        } catch (const DbError& e) {
            writeExceptionLog(kImportContext, e.message());
            return fail(QStringLiteral("导入文件%1中的%2无法读取，没有导入任何数据。").arg(m_package, entry));
        }
        for (const QString& col : ec.columns) {
            if (ds->fieldIndex(col) < 0)
                return fail(QStringLiteral("导入文件%1中的%2缺少字段%3，没有导入任何数据。")
                                .arg(m_package, entry, col));
        }
        m_sets.insert(entry, ds);
    }
    return true;
}

bool PackageImporter::merge()
{
    m_taxersAdded = m_taxersSkipped = m_areasAdded = 0;
    if (m_sets.size() != 5 && !load())
        return false;
    const QString failed = QStringLiteral("导入失败，没有导入任何数据：%1");
    QString engine;

    // Codes already present, of every user.
    const auto existing = [&](const QString& sql, QSet<QString>& codes) {
        Dataset q;
        if (!runSql(kImportContext, q, sql, true, {}, &engine))
            return false;
        for (int r = 0; r < q.recordCount(); ++r)
            codes.insert(codeKey(q.valueAt(r, 0).toString()));
        return true;
    };

    Transaction tx(kImportContext);
    if (!tx.begin(&engine))
        return fail(failed.arg(engine));

    // Areas keep the owner recorded in the package.
    QSet<QString> areaCodes;
    if (!existing(QStringLiteral("SELECT aCode FROM area"), areaCodes))
        return fail(failed.arg(engine));
    {
        const Dataset& area = *m_sets.value(QStringLiteral("area.dat"));
        const int cCode = area.fieldIndex(QStringLiteral("aCode"));
        const int cName = area.fieldIndex(QStringLiteral("aName"));
        const int cOwner = area.fieldIndex(QStringLiteral("mCode"));
        RowInserter ins(kImportContext, QStringLiteral("area"), {"aCode", "aName", "mCode"});
        for (int r = 0; r < area.recordCount(); ++r) {
            const QVariant code = area.valueAt(r, cCode);
            const QString key = codeKey(code.toString());
            if (key.isEmpty() || areaCodes.contains(key))
                continue;
            areaCodes.insert(key);
            if (!ins.add({code, area.valueAt(r, cName), area.valueAt(r, cOwner)}, &engine))
                return fail(failed.arg(engine));
            ++m_areasAdded;
        }
        if (!ins.flush(&engine))
            return fail(failed.arg(engine));
    }
    step("merging");

    // Detail rows by their taxpayer's code, in package order.
    const auto groupByCode = [](const Dataset& ds) {
        QHash<QString, QList<int>> groups;
        const int c = ds.fieldIndex(QStringLiteral("tCode"));
        for (int r = 0; r < ds.recordCount(); ++r)
            groups[codeKey(ds.valueAt(r, c).toString())].append(r);
        return groups;
    };
    struct Detail {
        const char* entry;
        const char* table;
        QStringList columns; // tCode first
    };
    const Detail details[] = {
        {"yingye.dat", "yingye", {"tCode", "tStartDate", "tEndDate", "tRemark"}},
        {"audit.dat", "audit", {"tCode", "aCount", "aRatio", "aTax", "aStartDate", "aEndDate"}},
        {"tax.dat", "tax", {"tCode", "tDate", "tTax"}},
    };
    struct DetailWork {
        const Dataset* ds;
        QHash<QString, QList<int>> groups;
        QList<int> columns;
        std::unique_ptr<RowInserter> ins;
    };
    std::vector<DetailWork> work;
    for (const Detail& d : details) {
        DetailWork w;
        w.ds = m_sets.value(QLatin1String(d.entry)).get();
        w.groups = groupByCode(*w.ds);
        for (const QString& col : d.columns)
            w.columns << w.ds->fieldIndex(col);
        w.ins = std::make_unique<RowInserter>(kImportContext, QLatin1String(d.table), d.columns);
        work.push_back(std::move(w));
    }

    QSet<QString> taxerCodes;
    if (!existing(QStringLiteral("SELECT tCode FROM taxer"), taxerCodes))
        return fail(failed.arg(engine));
    const QStringList taxerColumns = importedColumns().at(0).columns;
    const Dataset& taxer = *m_sets.value(QStringLiteral("taxer.dat"));
    QList<int> taxerIdx;
    for (const QString& col : taxerColumns)
        taxerIdx << taxer.fieldIndex(col);
    RowInserter taxerIns(kImportContext, QStringLiteral("taxer"),
                         QStringList(taxerColumns) << QStringLiteral("mCode"));
    for (int r = 0; r < taxer.recordCount(); ++r) {
        const QString code = taxer.valueAt(r, taxerIdx.at(0)).toString();
        const QString key = codeKey(code);
        if (key.isEmpty() || taxerCodes.contains(key)) {
            ++m_taxersSkipped;
            continue;
        }
        taxerCodes.insert(key);
        // The taxpayer belongs to the importing user; the selection mark is
        // the table's default for a new row.
        QVariantList row;
        row << code;
        for (int i = 1; i < taxerIdx.size(); ++i)
            row << taxer.valueAt(r, taxerIdx.at(i));
        row << m_userCode;
        if (!taxerIns.add(row, &engine))
            return fail(failed.arg(engine));
        ++m_taxersAdded;
        for (DetailWork& w : work) {
            for (int dr : w.groups.take(key)) {
                QVariantList values;
                values << code;
                for (int i = 1; i < w.columns.size(); ++i)
                    values << w.ds->valueAt(dr, w.columns.at(i));
                if (!w.ins->add(values, &engine))
                    return fail(failed.arg(engine));
            }
        }
    }
    if (!taxerIns.flush(&engine))
        return fail(failed.arg(engine));
    for (DetailWork& w : work) {
        if (!w.ins->flush(&engine))
            return fail(failed.arg(engine));
    }
    if (!tx.commit(&engine))
        return fail(failed.arg(engine));
    step("merged");
    return true;
}

void PackageImporter::cleanUp()
{
    removeFolder(m_folder);
}

} // namespace transfer
