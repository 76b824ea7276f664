#include "transfer/exportpanel.h"

#include "app/common.h"
#include "app/dataset.h"
#include "app/filedialog.h"
#include "app/globals.h"
#include "app/handler.h"
#include "transfer/package.h"
#include "transfer/progress.h"
#include "transfer/transferpassword.h"

#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

TExportPanel::TExportPanel(Dataset& qryTaxer, std::function<QList<int>()> selectedRows,
                           std::function<void()> reQuery, QWidget* parent)
    : QFrame(parent), m_qryTaxer(qryTaxer), m_selectedRows(std::move(selectedRows)),
      m_reQuery(std::move(reQuery))
{
    setObjectName(QStringLiteral("panelExport"));
    setFixedWidth(103);
    setFrameShape(QFrame::StyledPanel);
    setAccessibleName(QStringLiteral("税户导出列表"));

    lbExport = new QListWidget(this);
    lbExport->setObjectName(QStringLiteral("lbExport"));
    lbExport->setSortingEnabled(true);
    lbExport->setUniformItemSizes(true);
    lbExport->setAccessibleName(QStringLiteral("税户导出列表"));

    Panel10 = new QFrame(this);
    Panel10->setObjectName(QStringLiteral("Panel10"));
    Panel10->setFixedHeight(45);
    btnClearLB = new QPushButton(QStringLiteral("清除列表"), Panel10);
    btnClearLB->setObjectName(QStringLiteral("btnClearLB"));
    btnClearLB->setGeometry(0, 2, 65, 20);
    btnExport = new QPushButton(QStringLiteral("导出"), Panel10);
    btnExport->setObjectName(QStringLiteral("btnExport"));
    btnExport->setGeometry(65, 2, 37, 20);
    btnClosePrint = new QPushButton(QStringLiteral("关闭"), Panel10);
    btnClosePrint->setObjectName(QStringLiteral("btnClosePrint"));
    btnClosePrint->setGeometry(0, 23, 102, 20);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lbExport, 1);
    layout->addWidget(Panel10, 0);

    connect(lbExport, &QListWidget::itemDoubleClicked, this, guarded([this] { lbExportDblClick(); }));
    connect(btnClearLB, &QPushButton::clicked, this, guarded([this] { btnClearLBClick(); }));
    connect(btnExport, &QPushButton::clicked, this, guarded([this] { btnExportClick(); }));
    // "关闭" hides the panel, as actExport does.
    connect(btnClosePrint, &QPushButton::clicked, this, &QWidget::hide);

    hide();
}

QStringList TExportPanel::codes() const
{
    QStringList list;
    for (int i = 0; i < lbExport->count(); ++i)
        list << lbExport->item(i)->text();
    return list;
}

bool TExportPanel::listed(const QString& code) const
{
    for (int i = 0; i < lbExport->count(); ++i) {
        if (lbExport->item(i)->text().compare(code, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void TExportPanel::actExportExecute()
{
    setVisible(!isVisible());
}

void TExportPanel::N20Click()
{
    const QList<int> rows = m_selectedRows ? m_selectedRows() : QList<int>{};
    for (int row : rows) {
        if (row < 0 || row >= m_qryTaxer.recordCount())
            continue;
        // The taxpayer list follows, so its current row ends on the last
        // selected row.
        m_qryTaxer.moveTo(row);
        if (m_qryTaxer.isNull(QStringLiteral("tCode")))
            continue;
        const QString code = m_qryTaxer.asString(QStringLiteral("tCode"));
        if (!listed(code))
            lbExport->addItem(code);
    }
}

void TExportPanel::lbExportDblClick()
{
    const int row = lbExport->currentRow();
    if (row >= 0 && lbExport->currentItem() && lbExport->currentItem()->isSelected())
        delete lbExport->takeItem(row);
}

void TExportPanel::btnClearLBClick()
{
    if (confirmBox(QStringLiteral("清除税户导出列表吗？")))
        lbExport->clear();
}

void TExportPanel::btnExportClick()
{
    if (lbExport->count() == 0) {
        infoBox(QStringLiteral("请选择要导出的税户到列表框中！"));
        return;
    }
    // The export goes on with an empty password when the dialog is closed;
    // the save dialog still lets the user stop.
    QString password;
    askTransferPassword(ExportMode, password);
    const QString fileName = FileDlg::getSaveFileName(
        window(), QStringLiteral("导出数据"), QStringLiteral("数据压缩文件|*.zdt"), QStringLiteral("zdt"));
    if (fileName.isEmpty()) {
        hide();
        return;
    }

    transfer::PackageWriter writer(codes(), UserInfo.UserCode, AppPath + QStringLiteral("tmp"));
    const auto cleanUp = qScopeGuard([&writer] { writer.cleanUp(); });
    if (!writer.saveRecordsets()) {
        infoBox(writer.error());
        return;
    }
    bool written = false;
    transfer::runWithProgress(window(), QStringLiteral("正在写入并校验导出文件……"),
                              [&] { written = writer.writePackage(fileName, password); });
    if (!written) {
        if (!writer.engineError().isEmpty())
            writeErrorLog(QStringLiteral("frmMain.btnExportClick"), writer.engineError());
        infoBox(writer.error());
        return;
    }
    const bool deleted = writer.deleteExported();
    if (m_reQuery)
        m_reQuery();
    if (!deleted) {
        infoBox(writer.error());
        return;
    }
    hide();
    infoBox(QStringLiteral("已将%1个税户导出到文件%2。").arg(writer.taxerCount()).arg(fileName));
}
