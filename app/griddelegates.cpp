#include "app/griddelegates.h"

#include "app/datasetmodel.h"
#include "app/dbgrid.h"
#include "app/modaldialog.h"
#include "app/sqlvalue.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace {

const GridColumn* gridColumn(const QModelIndex& index)
{
    const auto* model = qobject_cast<const DatasetModel*>(index.model());
    if (!model || index.column() < 0 || index.column() >= model->columnCount())
        return nullptr;
    return &model->column(index.column());
}

QString fieldOf(const QModelIndex& index)
{
    const GridColumn* c = gridColumn(index);
    return c ? c->field : QString();
}

} // namespace

// ------------------------------------------------------------------ check

bool CheckDelegate::isTicked(const QModelIndex& index)
{
    const QString t = index.data(Qt::EditRole).toString().trimmed();
    return !t.isEmpty() && t != QLatin1String("0");
}

void CheckDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget* w = option.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, w);

    QStyleOptionButton box;
    box.state = QStyle::State_Enabled | (isTicked(index) ? QStyle::State_On : QStyle::State_Off);
    const QRect ind = style->subElementRect(QStyle::SE_CheckBoxIndicator, &box, w);
    box.rect = QRect(option.rect.center() - QPoint(ind.width() / 2, ind.height() / 2), ind.size());
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, w);
}

bool CheckDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                const QModelIndex& index)
{
    if (!(model->flags(index) & Qt::ItemIsEditable))
        return false;
    bool toggle = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        toggle = me->button() == Qt::LeftButton && me->modifiers() == Qt::NoModifier &&
                 option.rect.contains(me->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        return true; // the press and release have toggled already
    } else if (event->type() == QEvent::KeyPress) {
        toggle = static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space;
    }
    if (!toggle)
        return false;
    model->setData(index, isTicked(index) ? QStringLiteral("0") : QStringLiteral("1"), Qt::EditRole);
    return true;
}

// ------------------------------------------------------------------- pick

QWidget* PickDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(m_grid->pickList(fieldOf(index)));
    box->setAccessibleName(index.model()->headerData(index.column(), Qt::Horizontal).toString());
    return box;
}

void PickDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = static_cast<QComboBox*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    const int at = box->findText(text);
    if (at >= 0)
        box->setCurrentIndex(at);
    box->setEditText(text);
}

void PickDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
}

// ----------------------------------------------------------------- button

QRect ButtonDelegate::buttonRect(const QRect& cell)
{
    const int w = std::min(18, cell.width() / 2);
    return QRect(cell.right() - w + 1, cell.top() + 1, w - 1, cell.height() - 2);
}

void ButtonDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The button shows on the current row only, so the other rows' dates
    // keep the whole width of their narrow columns.
    if (index.row() != m_grid->currentIndex().row()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell = option;
    cell.rect.setRight(buttonRect(option.rect).left() - 1);
    QStyledItemDelegate::paint(painter, cell, index);

    QStyleOptionButton button;
    button.rect = buttonRect(option.rect);
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    button.text = QStringLiteral("…");
    const QWidget* w = option.widget;
    QStyle* style = w ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, w);
}

QWidget* ButtonDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    const QString caption = index.model()->headerData(index.column(), Qt::Horizontal).toString();
    edit->setAccessibleName(caption);
    auto* act = edit->addAction(ellipsisIcon(), QLineEdit::TrailingPosition);
    act->setToolTip(QStringLiteral("选择%1").arg(caption));
    act->setShortcut(QKeySequence(Qt::Key_F4));
    act->setShortcutContext(Qt::WidgetShortcut);
    const QPersistentModelIndex at(index);
    DbGrid* grid = m_grid;
    ButtonDelegate* self = const_cast<ButtonDelegate*>(this);
    auto press = [self, edit, grid, at] {
        // Keep what was typed, close the editor, then run the handler once
        // the editor is gone.
        emit self->commitData(edit);
        emit self->closeEditor(edit, QAbstractItemDelegate::NoHint);
        QTimer::singleShot(0, grid, [grid, at] {
            if (at.isValid())
                grid->runButton(at);
        });
    };
    connect(act, &QAction::triggered, edit, press);
    return edit;
}

bool ButtonDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                 const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease &&
        event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto* me = static_cast<QMouseEvent*>(event);
    if (me->button() != Qt::LeftButton || !buttonRect(option.rect).contains(me->position().toPoint()))
        return false;
    if (event->type() == QEvent::MouseButtonRelease) {
        const QPersistentModelIndex at(index);
        DbGrid* grid = m_grid;
        QTimer::singleShot(0, grid, [grid, at] {
            if (at.isValid())
                grid->runButton(at);
        });
    }
    return true; // the button's clicks never open the text editor
}

// ----------------------------------------------------------------- lookup

QWidget* LookupDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* box = new QComboBox(parent);
    box->setAccessibleName(index.model()->headerData(index.column(), Qt::Horizontal).toString());
    box->addItem(QString(), QVariant()); // no area
    if (const DbGrid::LookupColumn* lookupInfo = m_grid->lookup(fieldOf(index)); lookupInfo && lookupInfo->source) {
        Dataset* src = lookupInfo->source;
        const int keyCol = src->fieldIndex(lookupInfo->sourceKey);
        const int listCol = src->fieldIndex(lookupInfo->listField);
        if (keyCol >= 0 && listCol >= 0)
            for (int r = 0; r < src->recordCount(); ++r)
                box->addItem(sqlvalue::text(src->valueAt(r, listCol)), src->valueAt(r, keyCol));
    }
    return box;
}

void LookupDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* box = static_cast<QComboBox*>(editor);
    const auto* model = qobject_cast<const DatasetModel*>(index.model());
    const DbGrid::LookupColumn* lookupInfo = m_grid->lookup(fieldOf(index));
    if (!model || !lookupInfo || !model->dataset())
        return;
    Dataset* ds = model->dataset();
    const int keyField = ds->fieldIndex(lookupInfo->keyField);
    const QString key = keyField >= 0 ? sqlvalue::text(ds->valueAt(index.row(), keyField)) : QString();
    int at = 0;
    for (int i = 1; i < box->count(); ++i)
        if (sqlvalue::text(box->itemData(i)).compare(key, Qt::CaseInsensitive) == 0) {
            at = i;
            break;
        }
    box->setCurrentIndex(at);
}

void LookupDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    auto* box = static_cast<QComboBox*>(editor);
    auto* dm = qobject_cast<DatasetModel*>(model);
    const DbGrid::LookupColumn* lookupInfo = m_grid->lookup(fieldOf(index));
    if (!dm || !lookupInfo || !dm->dataset())
        return;
    Dataset* ds = dm->dataset();
    const int keyField = ds->fieldIndex(lookupInfo->keyField);
    if (keyField < 0)
        return;
    const QVariant chosen = box->currentData();
    // Leaving the box on the code the row already holds changes nothing.
    if (sqlvalue::text(ds->valueAt(index.row(), keyField)).compare(sqlvalue::text(chosen), Qt::CaseInsensitive) == 0 &&
        ds->valueAt(index.row(), keyField).isNull() == chosen.isNull())
        return;
    dm->setFieldValue(index.row(), lookupInfo->keyField, chosen);
}
