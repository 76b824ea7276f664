// What a dataset shows of its rows: lookup fields, locate, the row filter,
// sorting, and following a master dataset.
#include "app/dataset.h"

#include "app/common.h"
#include "app/dberror.h"
#include "app/sqlvalue.h"

#include <QCollator>
#include <algorithm>

namespace {

// Text cut to a number of bytes as the local code page counts them: one per
// ASCII character, two per Chinese character; never half a character.
QString cutToBytes(const QString& text, int maxBytes)
{
    if (maxBytes <= 0)
        return text;
    int bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar ch = text.at(i);
        const int w = ch.unicode() < 0x80 ? 1 : 2;
        const int units = (ch.isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const int need = units == 2 ? 4 : w;
        if (bytes + need > maxBytes)
            break;
        bytes += need;
        i += units;
    }
    return text.left(i);
}

int compareValues(const QVariant& a, const QVariant& b, const QCollator& coll)
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    const int ta = a.metaType().id(), tb = b.metaType().id();
    const bool anum = ta == QMetaType::LongLong || ta == QMetaType::Double;
    const bool bnum = tb == QMetaType::LongLong || tb == QMetaType::Double;
    if (anum && bnum) {
        if (ta == QMetaType::LongLong && tb == QMetaType::LongLong) {
            const qint64 x = a.toLongLong(), y = b.toLongLong();
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (anum != bnum)
        return anum ? -1 : 1;
    return coll.compare(a.toString(), b.toString());
}

bool sameValue(const QVariant& a, const QVariant& b, bool caseInsensitive)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const int ta = a.metaType().id();
    if (ta == QMetaType::LongLong || ta == QMetaType::Double) {
        bool ok = false;
        const double y = b.toDouble(&ok);
        return ok && a.toDouble() == y;
    }
    return a.toString().compare(b.toString(), caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

} // namespace

QVariant Dataset::lookupValue(const QVariant& keyValue, int column) const
{
    const Lookup& l = m_lookups[size_t(column - m_storedCount)];
    if (!l.source || !l.source->isActive())
        return QVariant();
    if (!l.cacheValid) {
        l.cache.clear();
        const int key = l.source->fieldIndex(l.sourceKey);
        const int res = l.source->fieldIndex(l.resultField);
        if (key >= 0 && res >= 0) {
            for (int r = 0; r < l.source->recordCount(); ++r) {
                const QString k = l.source->valueAt(r, key).toString().toLower();
                if (!l.cache.contains(k))
                    l.cache.insert(k, l.source->valueAt(r, res).toString());
            }
        }
        l.cacheValid = true;
    }
    if (keyValue.isNull())
        return QVariant();
    const auto it = l.cache.constFind(keyValue.toString().toLower());
    if (it == l.cache.cend())
        return QVariant();
    return cutToBytes(it.value(), m_fields[size_t(column)].lookupBytes);
}

void Dataset::addLookupField(const QString& name, const QString& keyField, Dataset* source,
                             const QString& sourceKey, const QString& resultField, int maxBytes)
{
    Lookup l;
    l.name = name;
    l.keyField = keyField;
    l.maxBytes = maxBytes;
    l.source = source;
    l.sourceKey = sourceKey;
    l.resultField = resultField;
    m_lookups.push_back(std::move(l));
    if (source) {
        auto invalidate = [this] {
            for (Lookup& x : m_lookups)
                x.cacheValid = false;
            emit valuesChanged();
        };
        connect(source, &Dataset::rowsReset, this, invalidate);
        connect(source, &Dataset::rowChanged, this, invalidate);
        connect(source, &Dataset::rowInserted, this, invalidate);
        connect(source, &Dataset::rowRemoved, this, invalidate);
    }
}

bool Dataset::locate(const QString& fieldName, const QVariant& value, bool caseInsensitive)
{
    const int c = fieldIndex(fieldName);
    if (c < 0)
        throw DbError(QStringLiteral("找不到字段：%1").arg(fieldName));
    if (value.metaType().id() == QMetaType::QString && m_locateIndex && m_locateIndex->column == c &&
        m_locateIndex->caseInsensitive == caseInsensitive && m_editData < 0) {
        const QByteArray want = value.toString().toUtf8();
        const auto it = m_locateIndex->firstRow.constFind(locateKey(want.constData(), want.size(), caseInsensitive));
        if (it == m_locateIndex->firstRow.cend())
            return false;
        moveTo(it.value());
        return m_cur == it.value();
    }
    // Text sought in a stored column: the packed bytes are compared as they
    // are (ASCII letters folded), without building a value per row; rows
    // holding other text than ASCII, numbers or the edit buffer take the
    // general comparison.
    const bool text = value.metaType().id() == QMetaType::QString && c < m_storedCount;
    const QByteArray want = text ? value.toString().toUtf8() : QByteArray();
    auto asciiOnly = [](const char* p, qsizetype n) {
        for (qsizetype i = 0; i < n; ++i)
            if (static_cast<unsigned char>(p[i]) >= 0x80)
                return false;
        return true;
    };
    const bool wantAscii = asciiOnly(want.constData(), want.size());
    auto fold = [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch + 32) : ch; };
    for (int r = 0; r < recordCount(); ++r) {
        const int dataRow = m_view[size_t(r)];
        if (text && dataRow != m_editData) {
            const char* p = nullptr;
            quint32 n = 0;
            if (sqlvalue::packedText(m_rows[size_t(dataRow)].packed, c, &p, &n) && wantAscii) {
                if (qsizetype(n) != want.size()) {
                    if (asciiOnly(p, n))
                        continue; // ASCII texts of another length never match
                } else {
                    bool same = true;
                    for (quint32 i = 0; same && i < n; ++i)
                        same = caseInsensitive ? fold(p[i]) == fold(want[i]) : p[i] == want[i];
                    if (same) {
                        moveTo(r);
                        return m_cur == r;
                    }
                    if (asciiOnly(p, n))
                        continue;
                }
            }
        }
        if (sameValue(valueAt(r, c), value, caseInsensitive)) {
            moveTo(r);
            return m_cur == r;
        }
    }
    return false;
}

QByteArray Dataset::locateKey(const char* data, qsizetype size, bool caseInsensitive)
{
    if (!caseInsensitive)
        return QByteArray(data, size);
    QByteArray key(data, size);
    for (char& ch : key) {
        if (static_cast<unsigned char>(ch) >= 0x80) // other than ASCII: the full folding
            return QString::fromUtf8(data, size).toCaseFolded().toUtf8();
        if (ch >= 'A' && ch <= 'Z')
            ch = char(ch + 32);
    }
    return key;
}

void Dataset::prepareLocate(const QString& fieldName, bool caseInsensitive)
{
    const int c = fieldIndex(fieldName);
    if (c < 0 || c >= m_storedCount || !isActive())
        return;
    if (m_locateIndex && m_locateIndex->column == c && m_locateIndex->caseInsensitive == caseInsensitive)
        return;
    LocateIndex index;
    index.column = c;
    index.caseInsensitive = caseInsensitive;
    index.firstRow.reserve(qsizetype(m_view.size()));
    for (int r = recordCount() - 1; r >= 0; --r) {
        const char* p = nullptr;
        quint32 n = 0;
        const QByteArray& packed = m_rows[size_t(m_view[size_t(r)])].packed;
        if (sqlvalue::packedText(packed, c, &p, &n))
            index.firstRow.insert(locateKey(p, n, caseInsensitive), r); // the first row wins
        else if (!sqlvalue::unpack(packed, c).isNull())
            return; // numbers compare as numbers: locate keeps to the row by row comparison
    }
    m_locateIndex = std::move(index);
}

void Dataset::setFilterText(const QString& filter)
{
    QList<FilterTerm> terms;
    const QString f = filter.trimmed();
    qsizetype i = 0;
    auto skip = [&] {
        while (i < f.size() && f.at(i).isSpace())
            ++i;
    };
    auto bad = [&] { throw DbError(QStringLiteral("无法识别的过滤条件：%1").arg(filter)); };
    while (i < f.size()) {
        skip();
        const qsizetype start = i;
        while (i < f.size() && (f.at(i).isLetterOrNumber() || f.at(i) == QLatin1Char('_')))
            ++i;
        const QString name = f.mid(start, i - start);
        skip();
        if (name.isEmpty() || i >= f.size() || f.at(i) != QLatin1Char('='))
            bad();
        ++i;
        skip();
        if (i >= f.size() || f.at(i) != QLatin1Char('\''))
            bad();
        ++i;
        QString text;
        for (;;) {
            if (i >= f.size())
                bad();
            if (f.at(i) == QLatin1Char('\'')) {
                if (i + 1 < f.size() && f.at(i + 1) == QLatin1Char('\'')) {
                    text += QLatin1Char('\'');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            text += f.at(i++);
        }
        terms.append(FilterTerm{name, text});
        skip();
        if (i < f.size()) {
            if (f.mid(i, 3).compare(QStringLiteral("AND"), Qt::CaseInsensitive) != 0)
                bad();
            i += 3;
            if (i < f.size() && !f.at(i).isSpace())
                bad();
        }
    }
    checkBrowseMode();
    if (isEditing())
        return; // a check kept the row being edited: the rows stay as they are
    m_filterText = filter;
    m_filterTerms = terms;
    if (m_filtered && isActive())
        refreshView(true);
}

void Dataset::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    checkBrowseMode();
    if (isEditing())
        return;
    m_filtered = on;
    if (isActive())
        refreshView(true);
}

bool Dataset::rowMatchesFilter(const Row& row) const
{
    for (const FilterTerm& t : m_filterTerms) {
        const int c = fieldIndex(t.field);
        if (c < 0)
            return false;
        const QVariant v = storedValue(row, c);
        if (v.isNull() || v.toString().compare(t.text, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

void Dataset::setSort(const QList<SortKey>& keys)
{
    checkBrowseMode();
    if (isEditing())
        return;
    m_sort = keys;
    if (isActive())
        refreshView(false);
}

void Dataset::refreshView(bool scroll)
{
    emit aboutToReset();
    rebuildView(true);
    emit rowsReset();
    emit currentChanged(m_cur);
    if (scroll)
        scrolled(false);
}

void Dataset::rebuildView(bool keepCurrent)
{
    const int curData = (keepCurrent && m_cur >= 0 && m_cur < recordCount()) ? m_view[size_t(m_cur)] : -1;
    m_view.clear();
    m_view.reserve(m_rows.size());
    const bool filtering = m_filtered && !m_filterTerms.isEmpty();
    for (int r = 0; r < int(m_rows.size()); ++r)
        if (!filtering || rowMatchesFilter(m_rows[size_t(r)]))
            m_view.push_back(r);
    if (!m_sort.isEmpty()) {
        QCollator coll{QLocale()};
        // Decode the sort columns once rather than on every comparison.
        std::vector<std::vector<QVariant>> keys(size_t(m_sort.size()));
        for (int k = 0; k < m_sort.size(); ++k) {
            const int col = m_sort.at(k).column;
            keys[size_t(k)].resize(m_rows.size());
            if (col < 0 || col >= fieldCount())
                continue;
            for (int r : m_view)
                keys[size_t(k)][size_t(r)] = storedValue(m_rows[size_t(r)], col);
        }
        std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            for (int k = 0; k < m_sort.size(); ++k) {
                const int c = compareValues(keys[size_t(k)][size_t(a)], keys[size_t(k)][size_t(b)], coll);
                if (c != 0)
                    return m_sort.at(k).descending ? c > 0 : c < 0;
            }
            return false;
        });
    }
    m_cur = -1;
    if (curData >= 0) {
        const auto it = std::find(m_view.begin(), m_view.end(), curData);
        if (it != m_view.end())
            m_cur = int(it - m_view.begin());
    }
    if (m_cur < 0 && !m_view.empty())
        m_cur = 0;
    m_bof = m_cur <= 0;
    m_eof = m_view.empty();
}

// ---------------------------------------------------------------- master

void Dataset::setMaster(Dataset* master, const QString& masterField, const QString& paramName)
{
    disconnect(m_masterConn);
    disconnect(m_masterResetConn);
    m_master = master;
    m_masterField = masterField;
    m_masterParam = paramName;
    if (!master)
        return;
    m_masterConn = connect(master, &Dataset::currentChanged, this, [this] { masterMoved(); });
    m_masterResetConn = connect(master, &Dataset::rowsReset, this, [this] { masterMoved(); });
}

void Dataset::masterMoved()
{
    if (!m_master)
        return;
    if (!m_master->isActive()) {
        close();
        return;
    }
    const int c = m_master->fieldIndex(m_masterField);
    bindValue(m_masterParam, (c >= 0 && !m_master->isEmpty()) ? m_master->value(c) : QVariant());
    try {
        // A detail row being edited is saved, never dropped, before the
        // detail follows its master; a refused save keeps it on screen.
        checkBrowseMode();
        if (isEditing())
            return;
        open();
    } catch (const DbError& e) {
        writeErrorLog(QStringLiteral("Dataset.masterMoved"), describeStatement());
        writeExceptionLog(QStringLiteral("Dataset.masterMoved"), e.message());
    }
}
