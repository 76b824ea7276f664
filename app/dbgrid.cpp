#include "app/dbgrid.h"

#include "app/dberror.h"
#include "app/msgbox.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>

DbGrid::DbGrid(QWidget* parent) : QTableView(parent)
{
    setSortingEnabled(false); // the grid sorts itself, to support several keys
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DbGrid::headerClicked);
}

void DbGrid::setDatasetModel(DatasetModel* model)
{
    for (const auto& c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_model = model;
    setModel(model);
    if (!model)
        return;
    m_connections << connect(model, &QAbstractItemModel::modelReset, this, &DbGrid::datasetReset)
                  << connect(model, &QAbstractItemModel::layoutChanged, this, &DbGrid::showDatasetRow)
                  << connect(model, &QAbstractItemModel::rowsInserted, this, &DbGrid::showDatasetRow)
                  << connect(model, &QAbstractItemModel::rowsRemoved, this, &DbGrid::showDatasetRow);
    if (Dataset* ds = model->dataset())
        m_connections << connect(ds, &Dataset::currentChanged, this, &DbGrid::datasetMoved);
    applyWidths();
    showDatasetRow();
}

void DbGrid::setRowSelect(bool on)
{
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void DbGrid::setHeaderSorting(bool on)
{
    m_headerSorting = on;
    horizontalHeader()->setSectionsClickable(on);
}

void DbGrid::applyWidths()
{
    for (int i = 0; i < m_model->columnCount(); ++i)
        setColumnWidth(i, m_model->column(i).width);
}

void DbGrid::datasetReset()
{
    // The view forgets its current index on a reset; take the dataset's again.
    applyWidths();
    showDatasetRow();
    updateSortIndicator();
}

void DbGrid::datasetMoved(int)
{
    if (!m_syncing)
        showDatasetRow();
}

void DbGrid::showDatasetRow()
{
    if (!m_model || !m_model->dataset() || m_syncing)
        return;
    const int row = m_model->dataset()->recNo();
    m_syncing = true;
    if (row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0) {
        selectionModel()->clear();
    } else {
        int column = currentIndex().isValid() ? currentIndex().column() : 0;
        if (column >= m_model->columnCount())
            column = 0;
        const QModelIndex idx = m_model->index(row, column);
        if (currentIndex() != idx || !selectionModel()->isSelected(idx))
            selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect |
                                                       (selectionBehavior() == SelectRows
                                                            ? QItemSelectionModel::Rows
                                                            : QItemSelectionModel::NoUpdate));
        scrollTo(idx);
    }
    m_syncing = false;
}

void DbGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !m_model || !current.isValid())
        return;
    Dataset* ds = m_model->dataset();
    if (!ds || current.row() == ds->recNo())
        return;
    m_syncing = true;
    try {
        ds->moveTo(current.row()); // saves an edit in progress first
    } catch (const DbError& e) {
        m_syncing = false;
        showDatasetRow();
        Msg::errorBox(e.message());
        return;
    }
    m_syncing = false;
    if (ds->recNo() != current.row())
        showDatasetRow(); // a hook refused the move: stay where the dataset is
}

void DbGrid::headerClicked(int section)
{
    if (!m_headerSorting)
        return;
    sortByColumn(section, QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
}

void DbGrid::sortByColumn(int modelColumn, bool additive)
{
    if (!m_model || !m_model->dataset() || modelColumn < 0 || modelColumn >= m_model->columnCount())
        return;
    Dataset* ds = m_model->dataset();
    // The dataset's keys are the truth; the header only shows them.
    QList<QPair<int, Qt::SortOrder>> keys;
    for (const Dataset::SortKey& k : ds->sortKeys()) {
        if (k.column < 0 || k.column >= ds->fieldCount())
            continue;
        const int mc = m_model->modelColumnOf(ds->field(k.column).name);
        if (mc >= 0)
            keys.append({mc, k.descending ? Qt::DescendingOrder : Qt::AscendingOrder});
    }
    auto flip = [](Qt::SortOrder o) {
        return o == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    };
    int at = -1;
    for (int i = 0; i < keys.size(); ++i)
        if (keys[i].first == modelColumn)
            at = i;
    if (additive) {
        if (at >= 0)
            keys[at].second = flip(keys[at].second);
        else
            keys.append({modelColumn, Qt::AscendingOrder});
    } else if (keys.size() == 1 && at == 0) {
        keys[0].second = flip(keys[0].second);
    } else {
        keys = {{modelColumn, Qt::AscendingOrder}};
    }
    try {
        m_model->sortBy(keys); // saves an edit in progress first
    } catch (const DbError& e) {
        Msg::errorBox(e.message());
    }
    updateSortIndicator();
}

void DbGrid::updateSortIndicator()
{
    QHeaderView* h = horizontalHeader();
    if (!m_model || !m_model->dataset() || m_model->dataset()->sortKeys().isEmpty()) {
        h->setSortIndicatorShown(false);
        return;
    }
    // The header can mark one column: the first key.
    const Dataset::SortKey k = m_model->dataset()->sortKeys().constFirst();
    const int mc = k.column >= 0 && k.column < m_model->dataset()->fieldCount()
                       ? m_model->modelColumnOf(m_model->dataset()->field(k.column).name)
                       : -1;
    h->setSortIndicatorShown(mc >= 0);
    if (mc >= 0) {
        QSignalBlocker block(h);
        h->setSortIndicator(mc, k.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
}

void DbGrid::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && event->modifiers().testFlag(Qt::ControlModifier)) {
        event->accept();
        Dataset* ds = m_model ? m_model->dataset() : nullptr;
        if (!m_deleteHandler || !ds || ds->isEmpty())
            return;
        if (Msg::show(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok)
            m_deleteHandler();
        return;
    }
    QTableView::keyPressEvent(event);
}
