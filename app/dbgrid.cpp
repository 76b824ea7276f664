#include "app/dbgrid.h"

#include "app/dberror.h"
#include "app/griddelegates.h"
#include "app/handler.h"
#include "app/msgbox.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

DbGrid::DbGrid(QWidget* parent) : QTableView(parent)
{
    setSortingEnabled(false); // the grid sorts itself, to support several keys
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(20); // the narrowest column, a check box
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    // The cell editor opens on a click (mouseReleaseEvent), on Enter and on typing.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DbGrid::headerClicked);
    connect(qApp, &QApplication::focusChanged, this, &DbGrid::focusMoved);
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
                  << connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                             [this] { m_syncing = true; }) // the view's cursor moves by itself meanwhile
                  << connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
                         m_syncing = false;
                         showDatasetRow();
                     });
    if (Dataset* ds = model->dataset())
        m_connections << connect(ds, &Dataset::currentChanged, this, &DbGrid::datasetMoved);
    applyWidths();
    installDelegates();
    showDatasetRow();
}

void DbGrid::installDelegates()
{
    for (int i = 0; i < m_model->columnCount(); ++i) {
        QAbstractItemDelegate* old = itemDelegateForColumn(i);
        QAbstractItemDelegate* d = nullptr;
        switch (m_model->column(i).kind) {
        case ColumnKind::Check: d = new CheckDelegate(this); break;
        case ColumnKind::Pick: d = new PickDelegate(this); break;
        case ColumnKind::Button: d = new ButtonDelegate(this); break;
        case ColumnKind::Lookup: d = new LookupDelegate(this); break;
        case ColumnKind::Plain: break;
        }
        setItemDelegateForColumn(i, d);
        if (old)
            old->deleteLater();
    }
}

void DbGrid::setMultiSelect(bool on)
{
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

QList<int> DbGrid::selectedRows() const
{
    QList<int> rows;
    if (selectionModel())
        for (const QModelIndex& i : selectionModel()->selectedIndexes())
            if (!rows.contains(i.row()))
                rows << i.row();
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty() && m_model && m_model->dataset() && m_model->dataset()->recNo() >= 0)
        rows << m_model->dataset()->recNo();
    return rows;
}

void DbGrid::setPickList(const QString& field, const QStringList& items)
{
    m_pickLists.insert(field.toLower(), items);
}

void DbGrid::setButtonHandler(const QString& field, std::function<void()> handler)
{
    m_buttonHandlers.insert(field.toLower(), std::move(handler));
}

void DbGrid::runButton(const QModelIndex& index)
{
    if (!m_model || !index.isValid())
        return;
    const auto handler = m_buttonHandlers.value(m_model->column(index.column()).field.toLower());
    if (!handler)
        return;
    runHandler([&] {
        if (currentIndex() != index)
            setCurrentIndex(index); // moves the dataset (saving an edited row first)
        if (m_model->dataset() && m_model->dataset()->recNo() == index.row())
            handler();
    });
}

void DbGrid::commitPendingEdit()
{
    if (state() != EditingState)
        return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void DbGrid::revertPendingEdit()
{
    if (state() != EditingState)
        return;
    if (QWidget* editor = indexWidget(currentIndex()))
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void DbGrid::setLookup(const QString& field, const LookupColumn& lookupInfo)
{
    m_lookups.insert(field.toLower(), lookupInfo);
}

const DbGrid::LookupColumn* DbGrid::lookup(const QString& field) const
{
    auto it = m_lookups.constFind(field.toLower());
    return it == m_lookups.cend() ? nullptr : &it.value();
}

void DbGrid::appendRow()
{
    Dataset* ds = m_model ? m_model->dataset() : nullptr;
    if (!ds || !ds->isActive())
        return;
    if (m_insertHandler)
        m_insertHandler();
    else
        ds->append();
}

void DbGrid::focusMoved(QWidget* from, QWidget* to)
{
    // Leaving the grid (not for its own cell editor, nor for a dialog or a
    // popup) drops a new row nobody changed.
    if (!from || !to || !m_model || !m_model->dataset())
        return;
    if (!(from == this || isAncestorOf(from)) || to == this || isAncestorOf(to))
        return;
    if (to->window() != window())
        return;
    Dataset* ds = m_model->dataset();
    if (ds->state() == DatasetState::Insert && !ds->isModified())
        runHandler([ds] { ds->cancel(); });
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
    if (current.row() != previous.row())
        viewport()->update(); // button cells show on the current row only
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

void DbGrid::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    // One click opens the cell editor (a check or button cell handles its own clicks).
    const QModelIndex idx = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && idx.isValid() &&
        idx == currentIndex() && state() != EditingState && m_model &&
        m_model->column(idx.column()).kind != ColumnKind::Check &&
        !(m_model->column(idx.column()).kind == ColumnKind::Button &&
          ButtonDelegate::buttonRect(visualRect(idx)).contains(event->position().toPoint())))
        edit(idx);
}

void DbGrid::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && state() != EditingState &&
        currentIndex().isValid()) {
        event->accept();
        edit(currentIndex(), EditKeyPressed, event);
        return;
    }
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        event->accept();
        runHandler([this] { appendRow(); });
        return;
    }
    if (event->key() == Qt::Key_Delete && event->modifiers().testFlag(Qt::ControlModifier)) {
        event->accept();
        Dataset* ds = m_model ? m_model->dataset() : nullptr;
        if (!m_deleteHandler || !ds || ds->isEmpty())
            return;
        if (Msg::show(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
                      QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok)
            runHandler(m_deleteHandler);
        return;
    }
    QTableView::keyPressEvent(event);
}
