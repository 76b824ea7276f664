// Editing: the edit buffer, and writing rows back to the update table by
// rowid and the values as read.
#include "app/dataset.h"

#include "app/dberror.h"
#include "app/sqlvalue.h"

#include <algorithm>
#include <sqlite3.h>

using sqlvalue::quoteIdent;

bool Dataset::isTableColumn(int column) const
{
    const FieldDef& f = m_fields[size_t(column)];
    return !f.origin.isEmpty() && f.table.compare(m_updateTable, Qt::CaseInsensitive) == 0;
}

void Dataset::leaveEditing()
{
    m_editData = -1;
    m_buffer.clear();
    m_original.clear();
    m_modified.clear();
    m_userModified = false;
    m_state = DatasetState::Browse;
}

void Dataset::checkBrowseMode()
{
    if (m_state == DatasetState::Insert && !m_userModified)
        cancel(); // a new row nobody touched is not a record
    else if (isEditing())
        post();
}

void Dataset::edit()
{
    if (isEditing())
        return;
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (m_updateTable.isEmpty() || !m_hasRowid)
        throw DbError(QStringLiteral("数据集是只读的，不能修改"));
    if (m_view.empty()) {
        append(); // nothing to edit: a new row, as the grid expects
        return;
    }
    if (!runHook(beforeEdit))
        return;
    m_editData = m_view[size_t(m_cur)];
    m_buffer = unpackAll(m_rows[size_t(m_editData)]);
    m_original = m_buffer;
    m_modified.assign(size_t(m_storedCount), false);
    setState(DatasetState::Edit);
}

void Dataset::append()
{
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (m_updateTable.isEmpty() || !m_hasRowid)
        throw DbError(QStringLiteral("数据集是只读的，不能添加"));
    checkBrowseMode();
    if (isEditing())
        return;
    QVariantList nulls;
    for (int c = 0; c < m_storedCount; ++c)
        nulls << QVariant();
    Row r;
    r.packed = sqlvalue::pack(nulls);
    emit rowAboutToBeInserted(recordCount());
    m_rows.push_back(std::move(r));
    m_editData = int(m_rows.size()) - 1;
    m_view.push_back(m_editData);
    m_buffer = nulls;
    m_modified.assign(size_t(m_storedCount), false);
    m_cur = recordCount() - 1;
    m_bof = m_eof = false;
    m_state = DatasetState::Insert;
    emit rowInserted(m_cur);
    emit stateChanged(m_state);
    emit currentChanged(m_cur);
    runHook(afterInsert);
    m_userModified = false;
    scrolled(true);
}

void Dataset::post()
{
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (!isEditing())
        return;
    sqlite3* db = handle();
    if (!db)
        throw DbError(QStringLiteral("数据库未连接"));
    if (!runHook(beforePost))
        return; // a check refused the row: keep it and its input

    const int dataRow = m_editData;
    const bool inserting = m_state == DatasetState::Insert;
    QStringList cols;
    QVariantList vals;
    for (int c = 0; c < m_storedCount; ++c) {
        const FieldDef& f = m_fields[size_t(c)];
        if (f.readOnly)
            continue;
        const bool use =
            inserting ? (m_modified[size_t(c)] || !m_buffer.at(c).isNull()) : m_modified[size_t(c)];
        if (!use)
            continue;
        cols << quoteIdent(f.origin);
        vals << m_buffer.at(c);
    }

    QString sql;
    if (inserting) {
        if (cols.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdent(m_updateTable));
        } else {
            QStringList marks;
            for (int i = 0; i < cols.size(); ++i)
                marks << QStringLiteral("?");
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoteIdent(m_updateTable), cols.join(QStringLiteral(", ")),
                           marks.join(QStringLiteral(", ")));
        }
    } else if (!cols.isEmpty()) {
        // The row is found by its rowid and its changed columns' values as
        // read: a rowid that the engine gave to another row since is refused.
        QStringList sets, checks;
        for (const QString& c : cols)
            sets << c + QStringLiteral(" = ?");
        vals << m_rows[size_t(dataRow)].rowid;
        for (int c = 0; c < m_storedCount; ++c) {
            const FieldDef& f = m_fields[size_t(c)];
            if (f.readOnly || !m_modified[size_t(c)])
                continue;
            checks << QStringLiteral(" AND %1 IS ?").arg(quoteIdent(f.origin));
            vals << m_original.at(c);
        }
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE _rowid_ = ?%3")
                  .arg(quoteIdent(m_updateTable), sets.join(QStringLiteral(", ")), checks.join(QString()));
    }

    if (!sql.isEmpty()) {
        try {
            const int changed = sqlvalue::run(db, sql, vals);
            if (inserting)
                m_rows[size_t(dataRow)].rowid = sqlite3_last_insert_rowid(db);
            else if (changed != 1)
                throw DbError(QStringLiteral("找不到要保存的记录，它可能已被删除或在别处被修改"));
        } catch (...) {
            if (postFailed)
                postFailed(*this);
            throw;
        }
    }

    m_rows[size_t(dataRow)].packed = sqlvalue::pack(m_buffer);
    reloadRow(dataRow);
    leaveEditing();
    emit rowChanged(m_cur);
    emit stateChanged(m_state);
    runHook(afterPost);
}

void Dataset::reloadRow(int dataRow)
{
    // Read the row back so engine-assigned values (auto-numbers, defaults,
    // stored number forms) are what the dataset holds.
    // The row was saved: a failure to read it back leaves the values as sent.
    sqlite3* db = handle();
    QStringList cols;
    QList<int> which;
    for (int c = 0; c < m_storedCount; ++c) {
        if (!isTableColumn(c))
            continue;
        cols << quoteIdent(m_fields[size_t(c)].origin);
        which << c;
    }
    if (cols.isEmpty() || !db)
        return;
    try {
        sqlvalue::Statement st(db, QStringLiteral("SELECT %1 FROM %2 WHERE _rowid_ = ?")
                                       .arg(cols.join(QStringLiteral(", ")), quoteIdent(m_updateTable)));
        st.bindAll({m_rows[size_t(dataRow)].rowid});
        if (!st.step())
            return;
        QVariantList values = unpackAll(m_rows[size_t(dataRow)]);
        for (int i = 0; i < which.size(); ++i)
            values[which.at(i)] = sqlvalue::column(st.get(), i);
        m_rows[size_t(dataRow)].packed = sqlvalue::pack(values);
    } catch (const DbError&) {
    }
}

void Dataset::cancel()
{
    if (!isEditing())
        return;
    if (m_state == DatasetState::Insert) {
        // The new row's place in the view (the cursor may have left it).
        const auto at = std::find(m_view.begin(), m_view.end(), m_editData);
        if (at == m_view.end()) {
            m_rows.erase(m_rows.begin() + m_editData);
            leaveEditing();
            emit stateChanged(m_state);
            return;
        }
        const int removed = int(at - m_view.begin());
        const int dataRow = m_editData;
        // Out of adding before anyone hears of it, so a view that moves its
        // cursor on the news cannot cancel the same row again.
        leaveEditing();
        emit rowAboutToBeRemoved(removed);
        m_view.erase(m_view.begin() + removed);
        m_rows.erase(m_rows.begin() + dataRow);
        for (int& v : m_view)
            if (v > dataRow)
                --v;
        m_cur = std::min(removed, recordCount() - 1);
        m_bof = m_eof = m_view.empty();
        emit rowRemoved(removed);
        emit stateChanged(m_state);
        emit currentChanged(m_cur);
        runHook(afterCancel);
        scrolled(true);
        return;
    }
    leaveEditing();
    emit rowChanged(m_cur);
    emit stateChanged(m_state);
    runHook(afterCancel);
}

void Dataset::remove()
{
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (m_state == DatasetState::Insert) {
        cancel();
        return;
    }
    if (m_view.empty())
        throw DbError(QStringLiteral("没有可删除的记录"));
    if (m_updateTable.isEmpty() || !m_hasRowid)
        throw DbError(QStringLiteral("数据集是只读的，不能删除"));
    if (!runHook(beforeDelete))
        return;
    sqlite3* db = handle();
    if (!db)
        throw DbError(QStringLiteral("数据库未连接"));
    const int dataRow = m_view[size_t(m_cur)];
    // The row is found by its rowid and its values as read, so a rowid the
    // engine has given to another row since is never deleted by mistake.
    const QVariantList read = unpackAll(m_rows[size_t(dataRow)]);
    QString checks;
    QVariantList vals{m_rows[size_t(dataRow)].rowid};
    for (int c = 0; c < m_storedCount; ++c) {
        if (!isTableColumn(c))
            continue;
        checks += QStringLiteral(" AND %1 IS ?").arg(quoteIdent(m_fields[size_t(c)].origin));
        vals << read.at(c);
    }
    const QString sql =
        QStringLiteral("DELETE FROM %1 WHERE _rowid_ = ?%2").arg(quoteIdent(m_updateTable), checks);
    if (sqlvalue::run(db, sql, vals) != 1)
        throw DbError(QStringLiteral("找不到要删除的记录，它可能已被删除或在别处被修改"));
    if (m_state == DatasetState::Edit) {
        leaveEditing();
        emit stateChanged(m_state);
    }
    const int removed = m_cur;
    emit rowAboutToBeRemoved(removed);
    m_rows.erase(m_rows.begin() + dataRow);
    m_view.erase(m_view.begin() + removed);
    for (int& v : m_view)
        if (v > dataRow)
            --v;
    m_cur = std::min(removed, recordCount() - 1);
    m_bof = m_eof = m_view.empty();
    emit rowRemoved(removed);
    emit currentChanged(m_cur);
    runHook(afterDelete);
    scrolled(true);
}

void Dataset::removeRows(const QList<int>& rows)
{
    if (!isActive())
        throw DbError(QStringLiteral("数据集没有打开"));
    if (m_updateTable.isEmpty() || !m_hasRowid)
        throw DbError(QStringLiteral("数据集是只读的，不能删除"));
    checkBrowseMode();
    if (isEditing())
        return; // a check kept the row being edited
    sqlite3* db = handle();
    if (!db)
        throw DbError(QStringLiteral("数据库未连接"));
    QList<int> order;
    for (int r : rows)
        if (r >= 0 && r < recordCount() && !order.contains(r))
            order << r;
    if (order.isEmpty())
        return;
    std::sort(order.begin(), order.end());

    // One statement for every row: found by rowid and its values as read.
    QString checks;
    QList<int> columns;
    for (int c = 0; c < m_storedCount; ++c) {
        if (!isTableColumn(c))
            continue;
        checks += QStringLiteral(" AND %1 IS ?").arg(quoteIdent(m_fields[size_t(c)].origin));
        columns << c;
    }
    sqlvalue::Statement st(db, QStringLiteral("DELETE FROM %1 WHERE _rowid_ = ?%2").arg(quoteIdent(m_updateTable), checks));

    std::vector<char> gone(m_rows.size(), 0);
    const int firstRemoved = order.first();
    const int before = m_cur;
    auto finish = [&] {
        // The snapshot loses the deleted rows at once.
        std::vector<int> newIndex(m_rows.size(), -1);
        std::vector<Row> kept;
        kept.reserve(m_rows.size());
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (!gone[i]) {
                newIndex[i] = int(kept.size());
                kept.push_back(std::move(m_rows[i]));
            }
        emit aboutToReset();
        m_rows = std::move(kept);
        std::vector<int> view;
        view.reserve(m_view.size());
        for (int v : m_view)
            if (newIndex[size_t(v)] >= 0)
                view.push_back(newIndex[size_t(v)]);
        m_view = std::move(view);
        m_cur = m_view.empty() ? -1 : std::min(firstRemoved, recordCount() - 1);
        m_bof = m_eof = m_view.empty();
        emit rowsReset();
        emit currentChanged(m_cur);
        runHook(afterDelete);
        scrolled(true);
    };
    try {
        for (int r : order) {
            m_cur = r; // the hook reads the row it is about
            if (!runHook(beforeDelete))
                break;
            const int dataRow = m_view[size_t(r)];
            const QVariantList read = unpackAll(m_rows[size_t(dataRow)]);
            QVariantList vals{m_rows[size_t(dataRow)].rowid};
            for (int c : columns)
                vals << read.at(c);
            sqlite3_reset(st.get());
            st.bindAll(vals);
            st.step();
            if (sqlite3_changes(db) != 1)
                throw DbError(QStringLiteral("找不到要删除的记录，它可能已被删除或在别处被修改"));
            gone[size_t(dataRow)] = 1;
        }
    } catch (...) {
        m_cur = before;
        finish();
        throw;
    }
    finish();
}
