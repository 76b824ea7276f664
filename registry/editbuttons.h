#pragma once
// The four-button groups of the main window: add, delete, save, abandon.
// A button's tag selects both the dataset and the operation; each group is
// enabled by the state of its dataset.
#include "app/dataset.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

class DbGrid;
class QAbstractButton;
class QToolButton;

// One group: four small icon buttons stacked from the top of a column.
class EditButtons : public QWidget {
    Q_OBJECT
public:
    // names and hints in the order add, delete, save, abandon; firstTag is
    // the add button's tag (1, 5, 9 or 13).
    EditButtons(int firstTag, const QStringList& names, const QStringList& hints, int width,
                QWidget* parent = nullptr);

    QToolButton* button(int operation) const { return m_buttons.at(operation); }
    int firstTag() const { return m_firstTag; }

    // Applies the enabling rule for a dataset state.
    void applyState(DatasetState state);

signals:
    void pressed(QAbstractButton* button);

private:
    int m_firstTag;
    QList<QToolButton*> m_buttons;
};

// What the shared handler acts on: the dataset of each tag range, and how a
// delete is carried out where it is more than the dataset's own delete.
class EditButtonDispatch {
public:
    struct Target {
        Dataset* dataset = nullptr;
        std::function<void()> remove; // empty: the dataset's remove()
        DbGrid* grid = nullptr;       // its open cell editor is taken (save) or dropped (abandon) first
    };
    // group 0 is tags 1 to 4, 1 is 5 to 8, 2 is 9 to 12, 3 is 13 to 16.
    void setTarget(int group, Target target);
    // The one click handler of all sixteen buttons.
    void btnTaxerAddClick(QAbstractButton* button);
    // Binds a group's buttons to this handler and to its dataset's state.
    void bind(int group, EditButtons* buttons);

private:
    Target m_targets[4];
};
