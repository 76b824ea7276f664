#include "app/datasetmodel.h"

#include "app/sqlvalue.h"

DatasetModel::DatasetModel(Dataset* dataset, const QList<GridColumn>& columns, QObject* parent)
    : QAbstractTableModel(parent), m_ds(dataset), m_all(columns)
{
    rebuildColumns();
    connect(dataset, &Dataset::aboutToReset, this, [this] { beginResetModel(); });
    connect(dataset, &Dataset::rowsReset, this, [this] { endResetModel(); });
    connect(dataset, &Dataset::rowAboutToBeInserted, this,
            [this](int row) { beginInsertRows({}, row, row); });
    connect(dataset, &Dataset::rowInserted, this, [this](int) { endInsertRows(); });
    connect(dataset, &Dataset::rowAboutToBeRemoved, this, [this](int row) { beginRemoveRows({}, row, row); });
    connect(dataset, &Dataset::rowRemoved, this, [this](int) { endRemoveRows(); });
    connect(dataset, &Dataset::rowChanged, this, [this](int row) {
        if (row >= 0 && row < rowCount() && columnCount() > 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(dataset, &Dataset::valuesChanged, this, [this] {
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    });
}

void DatasetModel::rebuildColumns()
{
    m_visible.clear();
    for (int i = 0; i < m_all.size(); ++i)
        if (m_all.at(i).visible)
            m_visible << i;
}

int DatasetModel::modelColumnOf(const QString& field) const
{
    for (int c = 0; c < m_visible.size(); ++c)
        if (column(c).field.compare(field, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

int DatasetModel::fieldIndex(int modelColumn) const
{
    if (!m_ds || modelColumn < 0 || modelColumn >= m_visible.size())
        return -1;
    return m_ds->fieldIndex(column(modelColumn).field);
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_ds)
        return 0;
    return m_ds->recordCount();
}

int DatasetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_visible.size());
}

QString DatasetModel::displayText(const QVariant& value, FieldDef::Kind)
{
    return sqlvalue::text(value);
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_ds || index.row() >= rowCount())
        return {};
    const int f = fieldIndex(index.column());
    if (f < 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return displayText(m_ds->valueAt(index.row(), f), m_ds->field(f).kind);
    if (role == Qt::TextAlignmentRole) {
        const FieldDef::Kind k = m_ds->field(f).kind;
        if (k == FieldDef::Integer || k == FieldDef::Float)
            return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_ds)
        return false;
    const int f = fieldIndex(index.column());
    if (f < 0 || !(flags(index) & Qt::ItemIsEditable) || column(index.column()).kind == ColumnKind::Lookup)
        return false;
    return setFieldValue(index.row(), m_ds->field(f).name, value);
}

bool DatasetModel::setFieldValue(int row, const QString& field, const QVariant& value)
{
    const int f = m_ds ? m_ds->fieldIndex(field) : -1;
    if (f < 0)
        return false;
    if (m_ds->recNo() != row)
        m_ds->moveTo(row);
    if (m_ds->recNo() != row)
        return false;
    // Unchanged text leaves the row alone, as a grid does.
    if (!m_ds->isEditing() && displayText(m_ds->value(f), m_ds->field(f).kind) == value.toString())
        return false;
    if (!m_ds->isEditing())
        m_ds->edit();
    if (!m_ds->isEditing())
        return false;
    m_ds->setValue(f, value);
    return true;
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags fl = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const int f = fieldIndex(index.column());
    if (f < 0)
        return fl;
    const GridColumn& gc = column(index.column());
    // A lookup column edits the key field behind it, not its own read-only text.
    const bool fieldWritable = !m_ds->field(f).readOnly || gc.kind == ColumnKind::Lookup;
    if (!gc.readOnly && fieldWritable && !m_ds->updateTable().isEmpty())
        fl |= Qt::ItemIsEditable;
    return fl;
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCount())
        return column(section).caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

void DatasetModel::sort(int column, Qt::SortOrder order)
{
    sortBy({{column, order}});
}

void DatasetModel::sortBy(const QList<QPair<int, Qt::SortOrder>>& columns)
{
    if (!m_ds)
        return;
    QList<Dataset::SortKey> keys;
    for (const auto& c : columns) {
        const int f = fieldIndex(c.first);
        if (f >= 0)
            keys.append(Dataset::SortKey{f, c.second == Qt::DescendingOrder});
    }
    m_ds->setSort(keys);
}
