#include "registry/aboutbox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "0"
#endif

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("版本说明"));
    setModal(true);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(24, 20, 24, 12);
    lay->setSpacing(8);
    auto* title = new QLabel(QStringLiteral("<b>Corvane 个体户税收管理系统</b>"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    auto* version = new QLabel(QStringLiteral("版本 %1").arg(QLatin1String(CORVANE_VERSION)), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* maker = new QLabel(QStringLiteral("Corvane 开发组 制作\n"
                                            "本程序为自由软件，依照 GNU 通用公共许可证第三版或更高版本发布。"),
                             this);
    maker->setObjectName(QStringLiteral("lblMaker"));
    maker->setWordWrap(true);
    for (QLabel* l : {title, version, maker})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lay->addWidget(title);
    lay->addWidget(version);
    lay->addWidget(maker);
    auto* box = new QDialogButtonBox(this);
    QPushButton* ok = box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    lay->addWidget(box);
    setFixedSize(sizeHint().expandedTo(QSize(360, 160)));
}

void showAbout(QWidget* parent)
{
    TfrmAbout about(parent);
    about.exec();
}
