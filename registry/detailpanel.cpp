#include "registry/detailpanel.h"

#include "app/common.h"
#include "app/dbgrid.h"
#include "app/selectdate.h"
#include "app/handler.h"
#include "app/transaction.h"
#include "registry/editbuttons.h"
#include "registry/taxerpanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

GridColumn column(const char* grid, const char* field, const char* caption, int width,
                  ColumnKind kind = ColumnKind::Plain, bool visible = true)
{
    GridColumn c;
    c.field = QString::fromLatin1(field);
    c.name = QString::fromLatin1(grid) + c.field;
    c.caption = QString::fromUtf8(caption);
    c.width = width;
    c.kind = kind;
    c.visible = visible;
    return c;
}

} // namespace

void pickDate(Dataset& ds, const QString& field)
{
    if (!ds.isActive())
        return;
    QString s = ds.asString(field);
    if (!selectDate(s))
        return; // not confirmed: nothing changes
    if (!ds.isEditing())
        ds.edit();
    if (ds.isEditing())
        ds.setValue(field, s);
}

DetailPanel::DetailPanel(TaxerPanel& taxers, EditButtonDispatch& dispatch, QWidget* parent)
    : QWidget(parent), m_taxers(taxers)
{
    setObjectName(QStringLiteral("RzSizePanel1"));
    auto dataset = [this](const char* name, const char* table, int tag) {
        auto* ds = new Dataset(this);
        ds->setObjectName(QString::fromLatin1(name));
        ds->setUpdateTable(QString::fromLatin1(table));
        ds->setProperty("tag", tag);
        ds->afterInsert = [this](Dataset& d) { qryYingyeAfterInsert(d); };
        return ds;
    };
    qryYingye = dataset("qryYingye", "yingye", 1);
    qryAudit = dataset("qryAudit", "audit", 2);
    qryTax = dataset("qryTax", "tax", 3);
    qryAudit->beforePost = [this](Dataset& d) { qryAuditBeforePost(d); };

    m_yingyeModel = std::make_unique<DatasetModel>(
        qryYingye, QList<GridColumn>{column("gridYingye", "tCode", "", 60, ColumnKind::Plain, false),
                                     column("gridYingye", "tStartDate", "起始日期", 70, ColumnKind::Button),
                                     column("gridYingye", "tEndDate", "终止日期", 70, ColumnKind::Button),
                                     column("gridYingye", "tRemark", "备注", 60)});
    m_auditModel = std::make_unique<DatasetModel>(
        qryAudit, QList<GridColumn>{column("gridAudit", "aID", "", 70, ColumnKind::Plain, false),
                                    column("gridAudit", "tCode", "", 70, ColumnKind::Plain, false),
                                    column("gridAudit", "aStartDate", "起始日期", 80, ColumnKind::Button),
                                    column("gridAudit", "aEndDate", "终止日期", 80, ColumnKind::Button),
                                    column("gridAudit", "aCount", "核定定额", 60),
                                    column("gridAudit", "aRatio", "综合税率", 60),
                                    column("gridAudit", "aTax", "税款", 50)});
    m_taxModel = std::make_unique<DatasetModel>(
        qryTax, QList<GridColumn>{column("gridTax", "tCode", "", 60, ColumnKind::Plain, false),
                                  column("gridTax", "tDate", "缴税日期", 80, ColumnKind::Button),
                                  column("gridTax", "tTax", "税款总额", 60)});

    auto grid = [this](const char* name, const char* accessible, DatasetModel* model) {
        auto* g = new DbGrid(this);
        g->setObjectName(QString::fromLatin1(name));
        g->setAccessibleName(QString::fromUtf8(accessible));
        g->setMultiSelect(true);
        g->setDatasetModel(model);
        g->setDeleteHandler([model, g] {
            Dataset* ds = model->dataset();
            if (ds->state() == DatasetState::Insert) {
                ds->cancel();
                return;
            }
            if (!TaxerPanel::saveEdits(*ds))
                return;
            try {
                Transaction tr;
                ds->removeRows(g->selectedRows());
                tr.commit();
            } catch (...) {
                TaxerPanel::activeQuery(*ds); // as the database has it again
                throw;
            }
        });
        return g;
    };
    gridYingye = grid("gridYingye", "营业状况", m_yingyeModel.get());
    gridAudit = grid("gridAudit", "核定情况", m_auditModel.get());
    gridTax = grid("gridTax", "缴税情况", m_taxModel.get());

    gridYingye->setButtonHandler(QStringLiteral("tStartDate"), [this] { gridYingyetStartDateButtonClick(); });
    gridYingye->setButtonHandler(QStringLiteral("tEndDate"), [this] { gridYingyetEndDateButtonClick(); });
    gridAudit->setButtonHandler(QStringLiteral("aStartDate"), [this] { gridAuditaStartDateButtonClick(); });
    gridAudit->setButtonHandler(QStringLiteral("aEndDate"), [this] { gridAuditaEndDateButtonClick(); });
    gridTax->setButtonHandler(QStringLiteral("tDate"), [this] { gridTaxtDateButtonClick(); });
    DbGrid* gt = taxers.gridTaxer;
    gt->setButtonHandler(QStringLiteral("taxStatusChangeDate"),
                         [this] { gridTaxertaxStatusChangeDateButtonClick(); });
    gt->setButtonHandler(QStringLiteral("tRegistDate"), [this] { gridTaxertRegistDateButtonClick(); });
    gt->setButtonHandler(QStringLiteral("tOpenDate"), [this] { gridTaxertOpenDateButtonClick(); });

    auto buttons = [](int firstTag, const char* stem, const char* what) {
        const QString s = QString::fromLatin1(stem);
        const QString w = QString::fromUtf8(what);
        return new EditButtons(firstTag,
                               {QStringLiteral("btn%1Add").arg(s), QStringLiteral("btn%1Del").arg(s),
                                QStringLiteral("btn%1Save").arg(s), QStringLiteral("btn%1Cancel").arg(s)},
                               {QStringLiteral("添加") + w, QStringLiteral("删除") + w, QStringLiteral("保存") + w,
                                QStringLiteral("放弃修改") + w},
                               27);
    };
    auto* bYingye = buttons(5, "Yingye", "营业情况");
    auto* bAudit = buttons(9, "Audit", "核定情况");
    auto* bTax = buttons(13, "Tax", "纳税记录");
    dispatch.setTarget(1, {qryYingye, {}, gridYingye});
    dispatch.setTarget(2, {qryAudit, {}, gridAudit});
    dispatch.setTarget(3, {qryTax, {}, gridTax});
    dispatch.bind(1, bYingye);
    dispatch.bind(2, bAudit);
    dispatch.bind(3, bTax);

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("detailSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(makePart("RzSizePanel2", "营业状况", gridYingye, bYingye));
    splitter->addWidget(makePart("RzSizePanel5", "核定情况", gridAudit, bAudit));
    splitter->addWidget(makePart("RzSizePanel4", "缴税情况", gridTax, bTax));
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 0);
    splitter->setSizes({243, 352, 175});
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(splitter);

    timerTaxer.setObjectName(QStringLiteral("timerTaxer"));
    timerTaxer.setInterval(100);
    timerTaxer.setSingleShot(true);
    connect(&timerTaxer, &QTimer::timeout, this, guarded([this] { timerTaxerTimer(); }));
    connect(&taxers, &TaxerPanel::afterScroll, this, [this] { restartTimer(timerTaxer); });
}

DetailPanel::~DetailPanel()
{
    for (DbGrid* g : {gridYingye, gridAudit, gridTax})
        g->setDatasetModel(nullptr);
}

QWidget* DetailPanel::makePart(const char* panelName, const char* statusText, DbGrid* grid, EditButtons* buttons)
{
    auto* part = new QWidget(this);
    part->setObjectName(QString::fromLatin1(panelName));
    auto* left = new QVBoxLayout;
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    left->addWidget(grid, 1);
    auto* bar = new QStatusBar(part);
    bar->setSizeGripEnabled(false);
    bar->addWidget(new QLabel(QString::fromUtf8(statusText), bar), 1);
    left->addWidget(bar);
    auto* row = new QHBoxLayout(part);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addLayout(left, 1);
    buttons->setParent(part);
    row->addWidget(buttons);
    return part;
}

bool DetailPanel::saveEdits()
{
    for (DbGrid* g : {gridYingye, gridAudit, gridTax})
        g->commitPendingEdit();
    bool ok = true;
    for (Dataset* ds : {qryYingye, qryAudit, qryTax})
        ok = TaxerPanel::saveEdits(*ds) && ok;
    return ok;
}

void DetailPanel::timerTaxerTimer()
{
    timerTaxer.stop();
    const QString context = QStringLiteral("frmMain.timerTaxerTimer");
    const Dataset& t = *m_taxers.qryTaxer;
    const QString c = t.isActive() && !t.isEmpty() ? t.asString(QStringLiteral("tCode")) : QString();
    // A detail row being typed is saved first; one that cannot be saved
    // stays, with its grid, until the user saves or abandons it.
    const struct {
        Dataset* ds;
        const char* sql;
    } parts[] = {{qryYingye, "SELECT * FROM yingye WHERE tCode = ?"},
                 {qryAudit, "SELECT * FROM audit WHERE tCode = ?"},
                 {qryTax, "SELECT * FROM tax WHERE tCode = ?"}};
    for (const auto& p : parts) {
        bool saved = false;
        runHandler([&] { saved = TaxerPanel::saveEdits(*p.ds); });
        if (saved)
            runSql(context, *p.ds, QString::fromLatin1(p.sql), true, {c});
    }
}

void DetailPanel::qryYingyeAfterInsert(Dataset& ds)
{
    ds.setValue(QStringLiteral("tCode"), m_taxers.qryTaxer->asString(QStringLiteral("tCode")));
    switch (ds.property("tag").toInt()) {
    case 2:
        ds.setValue(QStringLiteral("aCount"), 0);
        ds.setValue(QStringLiteral("aRatio"), 0);
        ds.setValue(QStringLiteral("aTax"), 0);
        break;
    case 3:
        ds.setValue(QStringLiteral("tTax"), 0);
        break;
    default:
        break;
    }
}

void DetailPanel::qryAuditBeforePost(Dataset& ds)
{
    const QString count = ds.asString(QStringLiteral("aCount"));
    const QString ratio = ds.asString(QStringLiteral("aRatio"));
    if (isInteger(count) && isFloat(ratio))
        ds.setValue(QStringLiteral("aTax"), ds.asInteger(QStringLiteral("aCount")) *
                                                ds.asFloat(QStringLiteral("aRatio")) / 100.0);
}

void DetailPanel::gridTaxertaxStatusChangeDateButtonClick()
{
    pickDate(*m_taxers.qryTaxer, QStringLiteral("taxStatusChangeDate"));
}

void DetailPanel::gridTaxertRegistDateButtonClick()
{
    pickDate(*m_taxers.qryTaxer, QStringLiteral("tRegistDate"));
}

void DetailPanel::gridTaxertOpenDateButtonClick()
{
    pickDate(*m_taxers.qryTaxer, QStringLiteral("tOpenDate"));
}

void DetailPanel::gridYingyetStartDateButtonClick()
{
    pickDate(*qryYingye, QStringLiteral("tStartDate"));
}

void DetailPanel::gridYingyetEndDateButtonClick()
{
    pickDate(*qryYingye, QStringLiteral("tEndDate"));
}

void DetailPanel::gridAuditaStartDateButtonClick()
{
    pickDate(*qryAudit, QStringLiteral("aStartDate"));
}

void DetailPanel::gridAuditaEndDateButtonClick()
{
    pickDate(*qryAudit, QStringLiteral("aEndDate"));
}

void DetailPanel::gridTaxtDateButtonClick()
{
    pickDate(*qryTax, QStringLiteral("tDate"));
}
