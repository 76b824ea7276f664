#pragma once
// The cell editors of the column kinds a DbGrid offers.
#include <QStyledItemDelegate>

#include "app/dbgrid.h"

// Check column: a box that stores 1 when ticked and 0 when not; a click on
// the cell or Space toggles it.
class CheckDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return nullptr;
    }
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    static bool isTicked(const QModelIndex& index);
};

// Pick column: an editable drop-down of the column's dictionary list; text
// that is not in the list is taken as typed.
class PickDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit PickDelegate(DbGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    DbGrid* m_grid;
};

// Button column: the cell text stays editable and an ellipsis button at the
// right edge of the current row's cell (also in the editor, where F4 presses it) runs the
// column's button handler.
class ButtonDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ButtonDelegate(DbGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    static QRect buttonRect(const QRect& cell);

private:
    DbGrid* m_grid;
};

// Lookup column: a drop-down of the rows of the lookup dataset, showing one
// field and storing the chosen row's key into the key field of the row.
class LookupDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit LookupDelegate(DbGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    DbGrid* m_grid;
};
