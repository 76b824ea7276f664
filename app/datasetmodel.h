#pragma once
#include "app/dataset.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

// How a grid column edits its field (each kind has its delegate in
// griddelegates.h): plain text, a check box storing 1/0, a drop-down of a
// dictionary list that accepts other text, a text with an ellipsis button,
// or a drop-down of another dataset's rows.
enum class ColumnKind { Plain, Check, Pick, Button, Lookup };

// One grid column: which field it shows and how.
struct GridColumn {
    QString name;    // component name, e.g. "gridManagermCode"
    QString field;   // dataset field
    QString caption; // header text
    int width = 80;  // pixels
    bool visible = true;
    bool readOnly = false;
    ColumnKind kind = ColumnKind::Plain;
};

// The table model every grid uses: the visible rows of a Dataset, one model
// column per visible GridColumn.  Editing a cell puts the dataset into edit
// mode on that row and sets the value; posting stays with the dataset.
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DatasetModel(Dataset* dataset, const QList<GridColumn>& columns, QObject* parent = nullptr);

    Dataset* dataset() const { return m_ds; }
    const QList<GridColumn>& allColumns() const { return m_all; }
    // The visible column at a model column.
    const GridColumn& column(int modelColumn) const { return m_all[m_visible[modelColumn]]; }
    // Model column of a field, -1 when not shown.
    int modelColumnOf(const QString& field) const;
    // Dataset field index behind a model column.
    int fieldIndex(int modelColumn) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Sorts the dataset by one column (header click); see Dataset::setSort.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // Sorts by several columns at once.
    void sortBy(const QList<QPair<int, Qt::SortOrder>>& columns);

    // Sets a field of a row as a cell edit does: moves there, puts the row
    // into editing and sets the value.  False when the move or edit was refused.
    bool setFieldValue(int row, const QString& field, const QVariant& value);

    // Display text of a value: null as empty, numbers in plain form.
    static QString displayText(const QVariant& value, FieldDef::Kind kind);

private:
    void rebuildColumns();

    QPointer<Dataset> m_ds;
    QList<GridColumn> m_all;
    QList<int> m_visible; // indexes into m_all
};
