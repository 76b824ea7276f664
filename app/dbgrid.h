#pragma once
#include "app/datasetmodel.h"

#include <QTableView>
#include <functional>

// The data grid: a table view over a DatasetModel whose current row moves in
// step with its dataset's current row, both ways.  Header clicks sort (Shift
// adds a key); Ctrl+Delete asks the grid's confirmation and then calls the
// delete handler the window sets, if any.
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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void headerClicked(int section);
    void datasetMoved(int row);
    void datasetReset();
    void showDatasetRow();
    void applyWidths();
    void updateSortIndicator();

    DatasetModel* m_model = nullptr;
    QList<QMetaObject::Connection> m_connections;
    bool m_syncing = false;
    bool m_headerSorting = true;
    std::function<void()> m_deleteHandler;
};
