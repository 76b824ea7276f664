#include "app/modaldialog.h"
#include "app/handler.h"

#include "app/globals.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
constexpr int kDefaultWidth = 323;
constexpr int kDefaultHeight = 254;
constexpr int kBarHeight = 41;
} // namespace

TfrmModal::TfrmModal(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmModal"));
    setModal(true);
    setSizeGripEnabled(false);
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(13);
    setFont(f);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::StyledPanel);
    Panel2->setFixedHeight(kBarHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1, 1);
    layout->addWidget(Panel2, 0);

    btnOK = makeButton(Panel2, QStringLiteral("btnOK"), QStringLiteral("确定"), 56, 8);
    btnClose = makeButton(Panel2, QStringLiteral("btnClose"), QStringLiteral("关闭"), 176, 8);
    // Enter confirms, as the OK button's handler decides.
    btnOK->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, guarded([this] { reject(); }));

    setClientSize(kDefaultWidth, kDefaultHeight);
}

void TfrmModal::setClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void TfrmModal::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    centre();
    // FormShow is a window handler like any other: an error in it ends it
    // and shows in the error box, never inside Qt's event dispatch.
    runHandler([this] { FormShow(); });
}

void TfrmModal::centre()
{
    QRect area;
    if (frmMain && frmMain->isVisible())
        area = frmMain->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    QRect r = frameGeometry();
    r.moveCenter(area.center());
    move(r.topLeft());
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int left, int top)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setGeometry(left, top, 75, 25);
    return b;
}

QIcon ellipsisIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    for (int x : {3, 7, 11})
        p.drawEllipse(QRectF(x, 10, 2.2, 2.2));
    p.end();
    return QIcon(pm);
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(left, top);
    l->adjustSize();
    return l;
}

QLineEdit* makeEdit(QWidget* parent, const QString& name, int left, int top, int width)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(left, top, width, 21);
    return e;
}
