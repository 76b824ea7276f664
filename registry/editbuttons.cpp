#include "registry/editbuttons.h"

#include "app/dbgrid.h"
#include "app/handler.h"

#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The four icons, drawn so they read the same in every style.
QIcon operationIcon(int operation)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (operation) {
    case 0: // add: a green plus
        p.setPen(QPen(QColor(0x2e, 0x8b, 0x3a), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(8, 3, 8, 13);
        p.drawLine(3, 8, 13, 8);
        break;
    case 1: // delete: a red cross
        p.setPen(QPen(QColor(0xc0, 0x30, 0x30), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(4, 4, 12, 12);
        p.drawLine(12, 4, 4, 12);
        break;
    case 2: { // save: a blue tick
        p.setPen(QPen(QColor(0x20, 0x5f, 0xb0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(3, 9);
        tick.lineTo(7, 13);
        tick.lineTo(13, 3);
        p.drawPath(tick);
        break;
    }
    default: { // abandon: a grey arrow turning back
        p.setPen(QPen(QColor(0x60, 0x60, 0x60), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(3, 4, 10, 9), 90 * 16, -250 * 16);
        p.setBrush(QColor(0x60, 0x60, 0x60));
        p.drawPolygon(QPolygonF({QPointF(2, 4), QPointF(8, 1), QPointF(8, 7)}));
        break;
    }
    }
    return QIcon(pm);
}

} // namespace

EditButtons::EditButtons(int firstTag, const QStringList& names, const QStringList& hints, int width,
                         QWidget* parent)
    : QWidget(parent), m_firstTag(firstTag)
{
    setFixedWidth(width);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(2, 2, 2, 2);
    lay->setSpacing(2);
    for (int op = 0; op < 4; ++op) {
        auto* b = new QToolButton(this);
        b->setObjectName(names.value(op));
        b->setProperty("tag", firstTag + op);
        b->setIcon(operationIcon(op));
        b->setToolTip(hints.value(op));
        b->setAccessibleName(hints.value(op));
        b->setAutoRaise(true);
        b->setFixedSize(width - 4, std::min(width - 4, 24));
        b->setEnabled(false);
        connect(b, &QToolButton::clicked, this, [this, b] { emit pressed(b); });
        lay->addWidget(b);
        m_buttons << b;
    }
    lay->addStretch(1);
}

void EditButtons::applyState(DatasetState state)
{
    const bool browsing = state == DatasetState::Browse;
    const bool editing = state == DatasetState::Edit || state == DatasetState::Insert;
    m_buttons[0]->setEnabled(browsing);
    m_buttons[1]->setEnabled(browsing); // also on an empty list
    m_buttons[2]->setEnabled(editing);
    m_buttons[3]->setEnabled(editing);
}

void EditButtonDispatch::setTarget(int group, Target target)
{
    if (group >= 0 && group < 4)
        m_targets[group] = std::move(target);
}

void EditButtonDispatch::bind(int group, EditButtons* buttons)
{
    QObject::connect(buttons, &EditButtons::pressed, buttons,
                     [this](QAbstractButton* b) { runHandler([&] { btnTaxerAddClick(b); }); });
    if (Dataset* ds = m_targets[group].dataset) {
        QObject::connect(ds, &Dataset::stateChanged, buttons, &EditButtons::applyState);
        buttons->applyState(ds->state());
    }
}

void EditButtonDispatch::btnTaxerAddClick(QAbstractButton* button)
{
    const int t = button->property("tag").toInt();
    const int group = t >= 1 && t <= 16 ? (t - 1) / 4 : 0;
    const Target& target = m_targets[group];
    Dataset* ds = target.dataset;
    if (!ds || t < 1 || t > 16)
        return;
    switch ((t - 1) % 4) {
    case 0:
        ds->append();
        break;
    case 1: // no question: the delete buttons delete at once
        if (target.remove)
            target.remove();
        else
            ds->remove();
        break;
    case 2:
        if (target.grid)
            target.grid->commitPendingEdit();
        ds->post();
        break;
    case 3:
        if (target.grid)
            target.grid->revertPendingEdit();
        ds->cancel();
        break;
    }
}
