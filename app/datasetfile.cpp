// Recordset files: a dataset's columns and rows as JSON, the form in which
// export packages carry query results between installations.
#include "app/dataset.h"

#include "app/dberror.h"
#include "app/sqlvalue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cmath>
#include <limits>

namespace {
QString kindName(FieldDef::Kind k)
{
    switch (k) {
    case FieldDef::Text:
        return QStringLiteral("text");
    case FieldDef::Integer:
        return QStringLiteral("integer");
    case FieldDef::Float:
        return QStringLiteral("float");
    case FieldDef::Blob:
        return QStringLiteral("blob");
    case FieldDef::Any:
        break;
    }
    return QStringLiteral("any");
}

FieldDef::Kind kindFromName(const QString& s)
{
    if (s == QLatin1String("text"))
        return FieldDef::Text;
    if (s == QLatin1String("integer"))
        return FieldDef::Integer;
    if (s == QLatin1String("float"))
        return FieldDef::Float;
    if (s == QLatin1String("blob"))
        return FieldDef::Blob;
    return FieldDef::Any;
}

QJsonValue toJson(const QVariant& v, FieldDef::Kind kind)
{
    if (!v.isValid() || v.isNull())
        return QJsonValue(QJsonValue::Null);
    switch (v.metaType().id()) {
    case QMetaType::LongLong:
        return QJsonValue(v.toLongLong());
    case QMetaType::Double: {
        const double d = v.toDouble();
        // In a column of no declared type, a whole-number double would read
        // back as an integer: it is tagged as a float.
        if (std::isfinite(d) && (kind == FieldDef::Float || std::trunc(d) != d))
            return QJsonValue(d);
        if (std::isfinite(d))
            return QJsonObject{{QStringLiteral("float"), QString::number(d, 'g', 17)}};
        return QJsonObject{{QStringLiteral("float"),
                            std::isnan(d) ? QStringLiteral("nan")
                                          : (d > 0 ? QStringLiteral("inf") : QStringLiteral("-inf"))}};
    }
    case QMetaType::QByteArray:
        return QJsonObject{{QStringLiteral("blob"), QString::fromLatin1(v.toByteArray().toBase64())}};
    default:
        return QJsonValue(v.toString());
    }
}

QVariant fromJson(const QJsonValue& j, FieldDef::Kind kind)
{
    if (j.isNull() || j.isUndefined())
        return QVariant();
    if (j.isObject()) {
        const QJsonObject o = j.toObject();
        if (o.contains(QStringLiteral("blob")))
            return QByteArray::fromBase64(o.value(QStringLiteral("blob")).toString().toLatin1());
        const QString f = o.value(QStringLiteral("float")).toString();
        if (f == QLatin1String("inf"))
            return std::numeric_limits<double>::infinity();
        if (f == QLatin1String("-inf"))
            return -std::numeric_limits<double>::infinity();
        if (f == QLatin1String("nan"))
            return std::numeric_limits<double>::quiet_NaN();
        return QVariant(f.toDouble());
    }
    if (j.isString())
        return kind == FieldDef::Blob ? QVariant(QByteArray::fromBase64(j.toString().toLatin1()))
                                      : QVariant(j.toString());
    if (j.isBool())
        return QVariant(qint64(j.toBool() ? 1 : 0));
    if (j.isDouble()) {
        const QVariant raw = j.toVariant(); // keeps integers as integers
        if (kind == FieldDef::Float)
            return QVariant(j.toDouble());
        if (raw.metaType().id() == QMetaType::LongLong || raw.metaType().id() == QMetaType::Int)
            return QVariant(raw.toLongLong());
        return QVariant(j.toDouble());
    }
    return QVariant();
}
} // namespace

void Dataset::saveToFile(const QString& path) const
{
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开，不能保存"));
    QJsonArray columns;
    for (int c = 0; c < m_storedCount; ++c) {
        const FieldDef& f = m_fields[size_t(c)];
        columns.append(
            QJsonObject{{QStringLiteral("name"), f.name}, {QStringLiteral("type"), kindName(f.kind)}});
    }
    QJsonArray rows;
    for (int r = 0; r < recordCount(); ++r) {
        QJsonArray row;
        for (int c = 0; c < m_storedCount; ++c)
            row.append(toJson(valueAt(r, c), m_fields[size_t(c)].kind));
        rows.append(row);
    }
    const QJsonObject doc{{QStringLiteral("recordset"), QStringLiteral("Corvane")},
                          {QStringLiteral("version"), 1},
                          {QStringLiteral("columns"), columns},
                          {QStringLiteral("rows"), rows}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw DbError(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
    file.write(QJsonDocument(doc).toJson(QJsonDocument::Compact));
    if (!file.commit())
        throw DbError(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()));
}

void Dataset::loadFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("无法读取文件 %1：%2").arg(path, file.errorString()));
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &perr);
    const QJsonObject o = doc.object();
    if (perr.error != QJsonParseError::NoError ||
        o.value(QStringLiteral("recordset")).toString() != QLatin1String("Corvane") ||
        !o.value(QStringLiteral("columns")).isArray() || !o.value(QStringLiteral("rows")).isArray())
        throw DbError(QStringLiteral("文件 %1 不是有效的数据集文件").arg(path));

    std::vector<FieldDef> fields;
    for (const QJsonValue& cv : o.value(QStringLiteral("columns")).toArray()) {
        FieldDef f;
        f.name = cv.toObject().value(QStringLiteral("name")).toString();
        f.kind = kindFromName(cv.toObject().value(QStringLiteral("type")).toString());
        f.readOnly = true;
        if (f.name.isEmpty())
            throw DbError(QStringLiteral("文件 %1 不是有效的数据集文件").arg(path));
        fields.push_back(f);
    }
    std::vector<Row> rows;
    for (const QJsonValue& rv : o.value(QStringLiteral("rows")).toArray()) {
        const QJsonArray ra = rv.toArray();
        if (!rv.isArray() || ra.size() != qsizetype(fields.size()))
            throw DbError(QStringLiteral("文件 %1 不是有效的数据集文件").arg(path));
        QVariantList values;
        for (qsizetype c = 0; c < ra.size(); ++c)
            values << fromJson(ra.at(c), fields[size_t(c)].kind);
        Row r;
        r.packed = sqlvalue::pack(values);
        rows.push_back(std::move(r));
    }

    close();
    emit aboutToReset();
    m_lookups.clear();
    m_updateTable.clear();
    m_hasRowid = false;
    m_storedCount = int(fields.size());
    m_fields = std::move(fields);
    m_rows = std::move(rows);
    activate();
}
