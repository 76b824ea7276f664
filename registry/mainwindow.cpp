#include "registry/mainwindow.h"

#include "app/dataset.h"
#include "app/dbgrid.h"
#include "app/globals.h"
#include "app/handler.h"
#include "dictionaries/area.h"
#include "dictionaries/datadic.h"
#include "registry/aboutbox.h"
#include "registry/detailpanel.h"
#include "registry/searchpanel.h"
#include "registry/taxerpanel.h"
#include "reports/reports.h"
#include "transfer/exportpanel.h"
#include "transfer/importdata.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Corvane"));
    createActions();
    createLayout();
    createMenus();
    // Design size of the client area; the window opens maximised.
    resize(770, 503 + menuBar()->sizeHint().height());
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain() = default;

QList<QAction*> TfrmMain::act() const
{
    return {actImport,      actExport,   actExit,       actArea,     actTaxType,  actTaxStatus,
            actTrade,       actPrintTaxer, actPrintDetail, actStastics, actTaxChart, actAbout};
}

void TfrmMain::createActions()
{
    auto make = [this](const char* name, const char* caption, const char* category) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty("category", QString::fromUtf8(category));
        return a;
    };
    actImport = make("actImport", "导入数据", "文件");
    actExport = make("actExport", "导出数据", "文件");
    actExit = make("actExit", "退出", "文件");
    actArea = make("actArea", "登记片区", "登记");
    actTaxType = make("actTaxType", "登记税户类型", "登记");
    actTaxStatus = make("actTaxStatus", "登记税务状态", "登记");
    actTrade = make("actTrade", "登记行业种类", "登记");
    actPrintTaxer = make("actPrintTaxer", "打印纳税人列表", "统计打印");
    actPrintDetail = make("actPrintDetail", "打印纳税人细目", "统计打印");
    actStastics = make("actStastics", "统计报表", "统计打印");
    actTaxChart = make("actTaxChart", "税收统计图", "统计打印");
    actAbout = make("actAbout", "关于", "帮助");
    N20 = new QAction(QStringLiteral("添加到打印列表"), this);
    N20->setObjectName(QStringLiteral("N20"));

    auto bind = [this](QAction* a, void (TfrmMain::*handler)()) {
        connect(a, &QAction::triggered, this, guarded([this, handler] { (this->*handler)(); }));
    };
    bind(actImport, &TfrmMain::actImportExecute);
    bind(actExit, &TfrmMain::actExitExecute);
    bind(actArea, &TfrmMain::actAreaExecute);
    bind(actTaxType, &TfrmMain::actTaxTypeExecute);
    bind(actTaxStatus, &TfrmMain::actTaxStatusExecute);
    bind(actTrade, &TfrmMain::actTradeExecute);
    bind(actPrintTaxer, &TfrmMain::actPrintTaxerExecute);
    bind(actPrintDetail, &TfrmMain::actPrintDetailExecute);
    bind(actStastics, &TfrmMain::actStasticsExecute);
    bind(actTaxChart, &TfrmMain::actTaxChartExecute);
    bind(actAbout, &TfrmMain::actAboutExecute);
}

void TfrmMain::createMenus()
{
    QMenuBar* mmMain = menuBar();
    mmMain->setObjectName(QStringLiteral("mmMain"));
    auto menu = [mmMain](const char* name, const char* title, const QList<QAction*>& items) {
        QMenu* m = mmMain->addMenu(QString::fromUtf8(title));
        m->setObjectName(QString::fromLatin1(name));
        for (QAction* a : items) {
            if (a)
                m->addAction(a);
            else
                m->addSeparator();
        }
    };
    menu("mnuFile", "文件", {actImport, actExport, nullptr, actExit});
    menu("mnuRegister", "登记", {actArea, nullptr, actTaxType, actTaxStatus, actTrade});
    menu("mnuStatistics", "统计", {actPrintTaxer, actPrintDetail, nullptr, actStastics, actTaxChart});
    menu("mnuHelp", "帮助", {actAbout});

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    PopupMenu1->addAction(N20);
    PopupMenu1->addAction(actPrintDetail);
    DbGrid* grid = taxers->gridTaxer;
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, grid](const QPoint& at) { PopupMenu1->popup(grid->viewport()->mapToGlobal(at)); });
}

void TfrmMain::createLayout()
{
    taxers = new TaxerPanel(m_dispatch, this);
    search = new SearchPanel(*taxers, this);
    details = new DetailPanel(*taxers, m_dispatch, this);
    taxers->saveDetails = [this] { return details->saveEdits(); };
    // After an export the list is read again; a row still being typed is
    // saved first (a refused one keeps the list as it is, with its input).
    panelExport = new TExportPanel(
        *taxers->qryTaxer, [this] { return taxers->gridTaxer->selectedRows(); },
        [this] {
            if (saveAll())
                TaxerPanel::activeQuery(*taxers->qryTaxer);
        },
        taxers->gridRow);
    taxers->gridRowLayout->addWidget(panelExport);
    connect(actExport, &QAction::triggered, this, guarded([this] { panelExport->actExportExecute(); }));
    connect(N20, &QAction::triggered, this, guarded([this] { panelExport->N20Click(); }));

    // The taxpayer area: search panel over the grid (resizable), the status
    // bar under both, the button column on the right edge.
    panelTaxerSplitter = new QSplitter(Qt::Vertical);
    panelTaxerSplitter->setObjectName(QStringLiteral("panelTaxerSplitter"));
    panelTaxerSplitter->setChildrenCollapsible(false);
    panelTaxerSplitter->addWidget(search);
    panelTaxerSplitter->addWidget(taxers->gridRow);
    panelTaxerSplitter->setStretchFactor(0, 0);
    panelTaxerSplitter->setStretchFactor(1, 1);
    panelTaxerSplitter->setSizes({78, 400});

    auto* panelTaxer = new QWidget;
    panelTaxer->setObjectName(QStringLiteral("panelTaxer"));
    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    left->addWidget(panelTaxerSplitter, 1);
    left->addWidget(taxers->sbTaxer);
    auto* row = new QHBoxLayout(panelTaxer);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addLayout(left, 1);
    row->addWidget(taxers->Panel1);

    // The detail area keeps its height when the window grows.
    mainSplitter = new QSplitter(Qt::Vertical);
    mainSplitter->setObjectName(QStringLiteral("mainSplitter"));
    mainSplitter->setChildrenCollapsible(false);
    mainSplitter->addWidget(panelTaxer);
    mainSplitter->addWidget(details);
    mainSplitter->setStretchFactor(0, 1);
    mainSplitter->setStretchFactor(1, 0);
    mainSplitter->setSizes({300, 203});
    setCentralWidget(mainSplitter);

    statusBar()->setObjectName(QStringLiteral("StatusBar6"));
    statusBar()->setSizeGripEnabled(true);

    setTabOrder(search->btnClearSelected, taxers->gridTaxer);
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        runHandler([this] { FormShow(); });
    }
}

void TfrmMain::FormShow()
{
    const QString context = QStringLiteral("frmMain.FormShow");
    taxers->fillTaxTypeList();
    taxers->fillTaxStatusList();
    taxers->fillTradeList();
    search->fillSearchBoxes();
    taxers->openAreas(context);
    taxers->openTaxers(context, QString(), {});
    mainSplitter->setSizes({std::max(100, mainSplitter->height() - 203), 203});
    taxers->gridTaxer->setFocus();
}

void TfrmMain::commitEditors()
{
    taxers->gridTaxer->commitPendingEdit();
    for (DbGrid* g : {details->gridYingye, details->gridAudit, details->gridTax})
        g->commitPendingEdit();
}

bool TfrmMain::saveAll()
{
    commitEditors();
    return TaxerPanel::saveEdits(*taxers->qryTaxer) && details->saveEdits();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // Typed rows are saved through their checks before the program ends; a
    // row that cannot be saved keeps the window open with its input.
    bool saved = false;
    runHandler([&] { saved = saveAll(); });
    if (!saved) {
        event->ignore();
        return;
    }
    event->accept();
}

void TfrmMain::actExitExecute()
{
    close();
}

void TfrmMain::actImportExecute()
{
    if (!saveAll())
        return;
    importData(this, [this] { TaxerPanel::activeQuery(*taxers->qryTaxer); });
}

void TfrmMain::actAreaExecute()
{
    manageArea();
    // The grid's area names and drop-down follow the edited areas, whatever the result.
    TaxerPanel::activeQuery(*taxers->qryArea);
}

void TfrmMain::actTaxTypeExecute()
{
    if (editDataDic(dic::TaxType)) {
        taxers->fillTaxTypeList();
        fillSearchBox(*search->cbbTaxType, dic::TaxType);
    }
}

void TfrmMain::actTaxStatusExecute()
{
    if (editDataDic(dic::TaxStatus)) {
        taxers->fillTaxStatusList();
        fillSearchBox(*search->cbbTaxStatus, dic::TaxStatus);
    }
}

void TfrmMain::actTradeExecute()
{
    if (editDataDic(dic::Trade)) {
        taxers->fillTradeList();
        fillSearchBox(*search->cbbTrade, dic::Trade);
    }
}

void TfrmMain::actPrintTaxerExecute()
{
    commitEditors();
    printTaxerList(*taxers->qryTaxer, this);
}

void TfrmMain::actPrintDetailExecute()
{
    commitEditors();
    printTaxerDetail(*taxers->qryTaxer, this);
}

void TfrmMain::actStasticsExecute()
{
    printStatistics(this);
}

void TfrmMain::actTaxChartExecute()
{
    showTaxChart(this);
}

void TfrmMain::actAboutExecute()
{
    showAbout(this);
}
