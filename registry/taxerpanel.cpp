#include "registry/taxerpanel.h"

#include "app/common.h"
#include "app/dberror.h"
#include "app/dbgrid.h"
#include "app/globals.h"
#include "dictionaries/datadic.h"
#include "registry/editbuttons.h"

#include <QHBoxLayout>
#include <QStatusBar>

namespace {

QList<GridColumn> taxerColumns()
{
    auto col = [](const char* field, const char* caption, int width, ColumnKind kind = ColumnKind::Plain,
                  bool visible = true) {
        GridColumn c;
        c.field = QString::fromLatin1(field);
        c.name = QStringLiteral("gridTaxer") + c.field;
        c.caption = QString::fromUtf8(caption);
        c.width = width;
        c.visible = visible;
        c.kind = kind;
        return c;
    };
    return {
        col("tSelected", "选", 20, ColumnKind::Check),
        col("mCode", "", 70, ColumnKind::Plain, false),
        col("tCode", "税户代码", 70),
        col("tName", "注册名称", 70),
        col("tTrade", "所属行业", 70, ColumnKind::Pick),
        col("tSex", "", 70, ColumnKind::Plain, false),
        col("taxType", "税户类型", 70, ColumnKind::Pick),
        col("taxStatus", "税户状态", 70, ColumnKind::Pick),
        col("taxStatusChangeDate", "状态更改日期", 90, ColumnKind::Button),
        col("tRegistDate", "注册日期", 80, ColumnKind::Button),
        col("tRegistAddress", "注册地址", 150),
        col("tContacter", "业主", 70),
        col("tID", "身份证号", 70),
        col("tContactTel", "联系电话", 70),
        col("tOpenDate", "开业日期", 80, ColumnKind::Button),
        col("aName", "片区名称", 70, ColumnKind::Lookup),
        col("aCode", "片区代码", 70),
    };
}

// Runs one statement of a change that spans several rows; throws on failure
// so the transaction around it rolls back.
void runStep(const QString& context, const QString& sql, const QVariantList& values)
{
    Dataset cmd;
    cmd.setSql(sql);
    cmd.setParams(values);
    try {
        cmd.execute();
    } catch (const DbError& e) {
        writeErrorLog(context, cmd.describeStatement());
        writeExceptionLog(context, e.message());
        throw;
    }
}

} // namespace

TaxerPanel::TaxerPanel(EditButtonDispatch& dispatch, QWidget* parent) : QObject(parent)
{
    qryArea = new Dataset(this);
    qryArea->setObjectName(QStringLiteral("qryArea"));
    qryArea->setUpdateTable(QStringLiteral("area"));

    qryTaxer = new Dataset(this);
    qryTaxer->setObjectName(QStringLiteral("qryTaxer"));
    qryTaxer->setUpdateTable(QStringLiteral("taxer"));
    // The area's name from the user's own areas, cut as the grid shows it.
    qryTaxer->addLookupField(QStringLiteral("aName"), QStringLiteral("aCode"), qryArea, QStringLiteral("aCode"),
                             QStringLiteral("aName"), 20);
    qryTaxer->afterInsert = [this](Dataset& ds) { qryTaxerAfterInsert(ds); };
    qryTaxer->beforeEdit = [this](Dataset& ds) { qryTaxerBeforeEdit(ds); };
    qryTaxer->beforePost = [this](Dataset& ds) { qryTaxerBeforePost(ds); };
    qryTaxer->afterPost = [this](Dataset& ds) { qryTaxerAfterPost(ds); };
    qryTaxer->postFailed = [this](Dataset& ds) { qryTaxerPostFailed(ds); };
    qryTaxer->beforeDelete = [this](Dataset& ds) { qryTaxerBeforeDelete(ds); };
    qryTaxer->afterOpen = [this](Dataset& ds) { qryTaxerAfterOpen(ds); };
    qryTaxer->afterScroll = [this](Dataset& ds) { qryTaxerAfterScroll(ds); };

    gridRow = new QWidget(parent);
    gridRowLayout = new QHBoxLayout(gridRow);
    gridRowLayout->setContentsMargins(0, 0, 0, 0);
    gridRowLayout->setSpacing(0);
    m_model = std::make_unique<DatasetModel>(qryTaxer, taxerColumns());
    gridTaxer = new DbGrid(gridRow);
    gridTaxer->setObjectName(QStringLiteral("gridTaxer"));
    gridTaxer->setAccessibleName(QStringLiteral("税户列表"));
    gridTaxer->setMultiSelect(true);
    gridTaxer->setRowSelect(true);
    gridTaxer->setDatasetModel(m_model.get());
    gridTaxer->setLookup(QStringLiteral("aName"),
                         {qryArea, QStringLiteral("aCode"), QStringLiteral("aName"), QStringLiteral("aCode")});
    gridTaxer->setDeleteHandler([this] { deleteTaxers(gridTaxer->selectedRows()); });
    gridRowLayout->addWidget(gridTaxer, 1);

    sbTaxer = new QStatusBar(parent);
    sbTaxer->setObjectName(QStringLiteral("sbTaxer"));
    sbTaxer->setSizeGripEnabled(false);

    Panel1 = new EditButtons(1,
                             {QStringLiteral("btnTaxerAdd"), QStringLiteral("btnTaxerDel"),
                              QStringLiteral("btnTaxerSave"), QStringLiteral("btnTaxerCancel")},
                             {QStringLiteral("添加纳税人资料"), QStringLiteral("删除纳税人资料"),
                              QStringLiteral("保存纳税人资料"), QStringLiteral("放弃修改纳税人资料")},
                             40, parent);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    dispatch.setTarget(0, {qryTaxer, [this] { deleteCurrent(); }, gridTaxer});
    dispatch.bind(0, Panel1);
}

TaxerPanel::~TaxerPanel()
{
    gridTaxer->setDatasetModel(nullptr);
}

// ------------------------------------------------------------ pick lists

void TaxerPanel::fillTaxTypeList()
{
    gridTaxer->setPickList(QStringLiteral("taxType"), dictionaryItems(dic::TaxType));
}

void TaxerPanel::fillTaxStatusList()
{
    gridTaxer->setPickList(QStringLiteral("taxStatus"), dictionaryItems(dic::TaxStatus));
}

void TaxerPanel::fillTradeList()
{
    gridTaxer->setPickList(QStringLiteral("tTrade"), dictionaryItems(dic::Trade));
}

// ------------------------------------------------------------ statements

QString TaxerPanel::listStatement(const QString& where)
{
    return QStringLiteral("SELECT * FROM taxer WHERE 1=1 AND mCode = ? %1 ORDER BY tCode").arg(where);
}

void TaxerPanel::openAreas(const QString& context)
{
    runSql(context, *qryArea, QStringLiteral("SELECT * FROM area WHERE mCode = ? ORDER BY aCode"), true,
           {UserInfo.UserCode});
}

void TaxerPanel::openTaxers(const QString& context, const QString& where, const QVariantList& values)
{
    QVariantList all{UserInfo.UserCode};
    all += values;
    runSql(context, *qryTaxer, listStatement(where), true, all);
}

void TaxerPanel::activeQuery(Dataset& query)
{
    try {
        query.close();
        if (!query.sql().isEmpty())
            query.open();
    } catch (const DbError&) {
        query.close();
        writeErrorLog(QStringLiteral("frmMain.activeQuery"), query.describeStatement());
    }
}

bool TaxerPanel::saveEdits(Dataset& ds)
{
    ds.checkBrowseMode();
    return !ds.isEditing();
}

// ---------------------------------------------------------------- events

void TaxerPanel::qryTaxerAfterInsert(Dataset& ds)
{
    ds.setValue(QStringLiteral("mCode"), UserInfo.UserCode);
    ds.setValue(QStringLiteral("tSelected"), 0);
}

void TaxerPanel::qryTaxerBeforeEdit(Dataset& ds)
{
    oldTCode = ds.asString(QStringLiteral("tCode"));
}

void TaxerPanel::qryTaxerBeforePost(Dataset& ds)
{
    const QString context = QStringLiteral("frmMain.qryTaxerBeforePost");
    if (ds.isNull(QStringLiteral("tCode"))) {
        infoBox(QStringLiteral("请输入税记代码！"));
        Dataset::abort();
    }
    const QString c = ds.asString(QStringLiteral("tCode"));
    if (c.trimmed().isEmpty()) {
        infoBox(QStringLiteral("请输入税记代码！"));
        Dataset::abort();
    }
    const bool adding = ds.state() == DatasetState::Insert;
    const bool codeChanged = ds.state() == DatasetState::Edit && c != oldTCode;
    if ((adding || codeChanged) && !isValidCode(c)) {
        infoBox(invalidCodeText(QStringLiteral("税户代码")));
        Dataset::abort();
    }
    if (adding || codeChanged) {
        // Codes compare ignoring letter case: the row's own code (its old
        // spelling) is not a duplicate of itself.
        bool checked = false;
        QString why;
        const bool exists =
            adding ? recordExists(context, QStringLiteral("taxer"), QStringLiteral("AND tCode = ?"), {c}, &checked, &why)
                   : recordExists(context, QStringLiteral("taxer"), QStringLiteral("AND tCode = ? AND tCode <> ?"),
                                  {c, oldTCode}, &checked, &why);
        if (exists) {
            infoBox(checked ? QStringLiteral("已经存在税户代码为%1的数据，请更改税户代码!").arg(c)
                            : QStringLiteral("无法检查税户代码是否已经存在：\r\n%1").arg(why));
            Dataset::abort();
        }
    }
    if (codeChanged) {
        // A detail row still being typed is saved under the old code first,
        // so it moves with the others.
        if (saveDetails && !saveDetails())
            Dataset::abort();
        // The detail rows follow the new code in the same transaction as the row.
        m_codeChange.emplace();
        try {
            for (const char* table : {"yingye", "audit", "tax"})
                runStep(context, QStringLiteral("UPDATE %1 SET tCode = ? WHERE tCode = ?").arg(QLatin1String(table)),
                        {c, oldTCode});
        } catch (...) {
            m_codeChange.reset();
            throw;
        }
    }
}

void TaxerPanel::qryTaxerAfterPost(Dataset&)
{
    if (m_codeChange) {
        try {
            m_codeChange->commit();
            m_codeChange.reset();
            emit afterScroll(); // the detail grids read their rows under the new code
        } catch (const DbError&) {
            // The row shows the new code but the database kept the old one.
            m_codeChange.reset();
            activeQuery(*qryTaxer);
            throw;
        }
    }
}

void TaxerPanel::qryTaxerPostFailed(Dataset&)
{
    m_codeChange.reset(); // rolls the detail rows back
}

void TaxerPanel::qryTaxerBeforeDelete(Dataset& ds)
{
    if (m_detailsGone)
        return; // deleteTaxers removed the detail rows of all its rows at once
    const QString context = QStringLiteral("frmMain.qryTaxerBeforeDelete");
    const QVariant code = ds.value(QStringLiteral("tCode"));
    runStep(context, QStringLiteral("DELETE FROM yingye WHERE tCode = ?"), {code});
    runStep(context, QStringLiteral("DELETE FROM audit WHERE tCode = ?"), {code});
    runStep(context, QStringLiteral("DELETE FROM tax WHERE tCode = ?"), {code});
}

void TaxerPanel::qryTaxerAfterOpen(Dataset& ds)
{
    ds.first();
}

void TaxerPanel::qryTaxerAfterScroll(Dataset&)
{
    emit afterScroll();
}

// ---------------------------------------------------------------- delete

void TaxerPanel::deleteCurrent()
{
    if (qryTaxer->state() == DatasetState::Insert) {
        qryTaxer->cancel(); // a new row is not in the database yet
        return;
    }
    if (!qryTaxer->isActive() || qryTaxer->isEmpty()) {
        qryTaxer->remove(); // the dataset's own refusal
        return;
    }
    deleteTaxers({qryTaxer->recNo()});
}

void TaxerPanel::deleteTaxers(const QList<int>& rows)
{
    if (rows.isEmpty() || !qryTaxer->isActive())
        return;
    if (qryTaxer->state() == DatasetState::Insert) {
        qryTaxer->cancel();
        return;
    }
    if (!saveEdits(*qryTaxer) || (saveDetails && !saveDetails()))
        return;
    const QString context = QStringLiteral("frmMain.qryTaxerBeforeDelete");
    const int codeColumn = qryTaxer->fieldIndex(QStringLiteral("tCode"));
    try {
        Transaction tr;
        // The detail rows of all the taxpayers go first, a few hundred codes
        // a statement, then the taxpayers themselves.
        QVariantList codes;
        for (int r : rows)
            if (r >= 0 && r < qryTaxer->recordCount())
                codes << qryTaxer->valueAt(r, codeColumn);
        constexpr int kBatch = 500;
        for (int from = 0; from < codes.size(); from += kBatch) {
            const QVariantList part = codes.mid(from, kBatch);
            QStringList marks;
            for (int i = 0; i < part.size(); ++i)
                marks << QStringLiteral("?");
            for (const char* table : {"yingye", "audit", "tax"})
                runStep(context,
                        QStringLiteral("DELETE FROM %1 WHERE tCode IN (%2)")
                            .arg(QLatin1String(table), marks.join(QLatin1Char(','))),
                        part);
        }
        m_detailsGone = true;
        qryTaxer->removeRows(rows);
        m_detailsGone = false;
        tr.commit();
    } catch (...) {
        m_detailsGone = false;
        // The list held the rows as deleted; read it again as the database has it.
        activeQuery(*qryTaxer);
        throw;
    }
}
