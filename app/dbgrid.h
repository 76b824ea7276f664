#pragma once
#include "app/datasetmodel.h"

#include <QHash>
#include <QPointer>
#include <QTableView>
#include <functional>

// The data grid: a table view over a DatasetModel whose current row moves in
// step with its dataset's current row, both ways.  Header clicks sort (Shift
// adds a key); Ctrl+Delete asks the grid's confirmation and then calls the
// delete handler the window sets, if any.  Each column edits through the
// delegate of its kind; a click or Enter opens the cell editor, Insert
// appends a row, and a new row nobody changed is dropped when the focus
// leaves the grid for another control of its window.
class DbGrid : public QTableView {
    Q_OBJECT
public:
    explicit DbGrid(QWidget* parent = nullptr);

    // Shows the model; applies the columns' widths.  The grid does not own it.
    void setDatasetModel(DatasetModel* model);
    DatasetModel* datasetModel() const { return m_model; }

    // Whole rows are selected and highlighted instead of single cells.
    void setRowSelect(bool on);
    // Header clicks sort the dataset (on by default).
    void setHeaderSorting(bool on);
    bool headerSorting() const { return m_headerSorting; }

    // Called for Ctrl+Delete on a current row once the user has confirmed
    // "Delete record?"; without a handler Ctrl+Delete does nothing.
    void setDeleteHandler(std::function<void()> handler) { m_deleteHandler = std::move(handler); }

    // Header click on a model column; additive = Shift held.
    void sortByColumn(int modelColumn, bool additive);

    // Several rows can be selected (Ctrl/Shift click); the current row stays
    // the dataset's.
    void setMultiSelect(bool on);
    // Dataset rows of the selection in ascending order; the current row when
    // nothing is selected.
    QList<int> selectedRows() const;

    // Pick column: the items of its drop-down.
    void setPickList(const QString& field, const QStringList& items);
    QStringList pickList(const QString& field) const { return m_pickLists.value(field.toLower()); }

    // Button column: what its ellipsis runs, with the cell's row current.
    void setButtonHandler(const QString& field, std::function<void()> handler);
    void runButton(const QModelIndex& index);

    // Lookup column: the rows of source offered by listField; the chosen
    // row's sourceKey is stored into keyField of the grid's row.
    struct LookupColumn {
        QPointer<Dataset> source;
        QString sourceKey;
        QString listField;
        QString keyField;
    };
    void setLookup(const QString& field, const LookupColumn& lookupInfo);
    const LookupColumn* lookup(const QString& field) const;

    // Takes the text of an open cell editor into the dataset (before a save,
    // a search or closing), or drops it (before abandoning the row).
    void commitPendingEdit();
    void revertPendingEdit();

    // Insert key: appends through this handler (default: the dataset's append).
    void setInsertHandler(std::function<void()> handler) { m_insertHandler = std::move(handler); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void headerClicked(int section);
    void datasetMoved(int row);
    void datasetReset();
    void showDatasetRow();
    void applyWidths();
    void updateSortIndicator();
    void installDelegates();
    void focusMoved(QWidget* from, QWidget* to);
    void appendRow();

    DatasetModel* m_model = nullptr;
    QList<QMetaObject::Connection> m_connections;
    bool m_syncing = false;
    bool m_headerSorting = true;
    std::function<void()> m_deleteHandler;
    std::function<void()> m_insertHandler;
    QHash<QString, QStringList> m_pickLists;                // by field, lower case
    QHash<QString, std::function<void()>> m_buttonHandlers; // by field, lower case
    QHash<QString, LookupColumn> m_lookups;                   // by field, lower case
};
