#include "dictionaries/area.h"

#include "app/common.h"
#include "app/dataset.h"
#include "app/datasetmodel.h"
#include "app/dbgrid.h"
#include "app/globals.h"
#include "app/handler.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmArea* frmArea = nullptr;

namespace {

const QString kCode = QStringLiteral("aCode");
const QString kName = QStringLiteral("aName");

bool hasControlCharacter(const QString& text)
{
    for (QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

} // namespace

TfrmArea::TfrmArea(QWidget* parent) : TfrmModal(parent)
{
    setObjectName(QStringLiteral("frmArea"));
    setWindowTitle(QStringLiteral("管理片区"));
    setClientSize(367, 232);

    qryArea = new Dataset(this);
    qryArea->setObjectName(QStringLiteral("qryArea"));
    qryArea->setUpdateTable(QStringLiteral("area"));
    qryArea->afterInsert = [this](Dataset& ds) { qryAreaAfterInsert(ds); };
    qryArea->beforeEdit = [this](Dataset& ds) { qryAreaBeforeEdit(ds); };
    qryArea->beforePost = [this](Dataset& ds) { qryAreaBeforePost(ds); };

    const QList<GridColumn> columns = {
        {QStringLiteral("gridAreaaCode"), kCode, QStringLiteral("片区代码"), 150, true, false},
        {QStringLiteral("gridAreaaName"), kName, QStringLiteral("片区名称"), 150, true, false},
        {QStringLiteral("gridAreamCode"), QStringLiteral("mCode"), QString(), 80, false, false},
    };
    dsArea = new DatasetModel(qryArea, columns, this);
    dsArea->setObjectName(QStringLiteral("dsArea"));

    gridArea = new DbGrid(Panel1);
    gridArea->setObjectName(QStringLiteral("gridArea"));
    gridArea->setAccessibleName(QStringLiteral("片区"));
    gridArea->setRowSelect(true);
    gridArea->setSelectionMode(QAbstractItemView::SingleSelection);
    gridArea->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                              QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    gridArea->setDatasetModel(dsArea);
    gridArea->setDeleteHandler([this] { runHandler([this] { qryArea->remove(); }); });
    // Insert in the grid adds an area as the add button does.
    gridArea->setInsertHandler([this] { btnAddClick(1); });

    panelMaintain = new QFrame(Panel1);
    panelMaintain->setObjectName(QStringLiteral("panelMaintain"));
    panelMaintain->setFixedHeight(62);
    QLabel* lblCode = makeLabel(panelMaintain, QStringLiteral("Label1"), QStringLiteral("片区代码"), 8, 11);
    edtCode = makeEdit(panelMaintain, QStringLiteral("edtCode"), 64, 8, 110);
    QLabel* lblName = makeLabel(panelMaintain, QStringLiteral("Label2"), QStringLiteral("片区名称"), 184, 11);
    edtName = makeEdit(panelMaintain, QStringLiteral("edtName"), 240, 8, 118);
    lblCode->setBuddy(edtCode);
    lblName->setBuddy(edtName);
    btnAdd = makeButton(panelMaintain, QStringLiteral("btnAdd"), QStringLiteral("添加"), 8, 34);
    btnDel = makeButton(panelMaintain, QStringLiteral("btnDel"), QStringLiteral("删除"), 96, 34);
    btnSave = makeButton(panelMaintain, QStringLiteral("btnSave"), QStringLiteral("保存"), 184, 34);
    btnCancel = makeButton(panelMaintain, QStringLiteral("btnCancel"), QStringLiteral("放弃修改"), 272, 34);
    int tag = 0;
    for (QPushButton* b : {btnAdd, btnDel, btnSave, btnCancel}) {
        b->setProperty("tag", ++tag);
        connect(b, &QPushButton::clicked, this,
                guarded([this, b] { btnAddClick(b->property("tag").toInt()); }));
    }

    auto* fill = new QVBoxLayout(Panel1);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->setSpacing(0);
    fill->addWidget(gridArea, 1);
    fill->addWidget(panelMaintain, 0);

    setTabOrder(gridArea, edtCode);
    setTabOrder(edtCode, edtName);
    setTabOrder(edtName, btnAdd);
    setTabOrder(btnAdd, btnDel);
    setTabOrder(btnDel, btnSave);
    setTabOrder(btnSave, btnCancel);
    setTabOrder(btnCancel, btnOK);
    setTabOrder(btnOK, btnClose);

    // textChanged rather than textEdited: text composed by an input method or
    // pasted in edits the row too.  The program's own updates are skipped.
    connect(edtCode, &QLineEdit::textChanged, this, guarded([this] {
                if (!m_showingRow)
                    edtEdited(kCode, edtCode->text());
            }));
    connect(edtName, &QLineEdit::textChanged, this, guarded([this] {
                if (!m_showingRow)
                    edtEdited(kName, edtName->text());
            }));
    connect(qryArea, &Dataset::stateChanged, this, [this] {
        dsAreaStateChange();
        showCurrentRow();
    });
    for (auto signal : {&Dataset::rowsReset, &Dataset::valuesChanged})
        connect(qryArea, signal, this, &TfrmArea::showCurrentRow);
    for (auto signal : {&Dataset::currentChanged, &Dataset::rowChanged})
        connect(qryArea, signal, this, &TfrmArea::showCurrentRow);
    connect(btnOK, &QPushButton::clicked, this, guarded([this] { btnOKClick(); }));

    dsAreaStateChange();
}

void TfrmArea::FormShow()
{
    setWindowTitle(QStringLiteral("管理片区"));
    panelMaintain->show();
    runSql(QStringLiteral("frmArea.FormShow"), *qryArea, QStringLiteral("SELECT * FROM area WHERE mCode=?"),
           true, {UserInfo.UserCode});
    gridArea->setFocus();
}

// Insert starts a new area, as in the main window's grids.
void TfrmArea::btnAddClick(int tag)
{
    switch (tag) {
    case 1:
        qryArea->append();
        edtCode->setFocus();
        break;
    case 2:
        qryArea->remove();
        break;
    case 3:
        qryArea->post();
        break;
    case 4:
        qryArea->cancel();
        break;
    default:
        break;
    }
}

void TfrmArea::dsAreaStateChange()
{
    const DatasetState s = qryArea->state();
    const bool browsing = s == DatasetState::Browse;
    const bool editing = s == DatasetState::Edit || s == DatasetState::Insert;
    btnAdd->setEnabled(browsing);
    btnDel->setEnabled(browsing);
    btnSave->setEnabled(editing);
    btnCancel->setEnabled(editing);
}

void TfrmArea::qryAreaAfterInsert(Dataset& ds)
{
    ds.setValue(QStringLiteral("mCode"), UserInfo.UserCode);
}

void TfrmArea::qryAreaBeforeEdit(Dataset& ds)
{
    oldACode = ds.asString(kCode);
}

void TfrmArea::qryAreaBeforePost(Dataset& ds)
{
    const QString c = ds.asString(kCode);
    if (c.trimmed().isEmpty()) {
        infoBox(QStringLiteral("请输入片区代码！"));
        Dataset::abort();
    }
    // A tab or line break in a code cannot be seen or typed again in a
    // search, and it would split the code in lists and exports.
    if (hasControlCharacter(c)) {
        infoBox(QStringLiteral("片区代码中不能有制表符、换行符等控制字符，请更改片区代码！"));
        Dataset::abort();
    }
    const bool adding = ds.state() == DatasetState::Insert;
    if (!adding && (ds.state() != DatasetState::Edit || c == oldACode))
        return;
    // Codes compare ignoring letter case across every user's areas; the row
    // being edited is the one area whose code equals its old code, so a
    // change of letter case alone is not a clash with itself.
    const QString context = QStringLiteral("frmArea.qryAreaBeforePost");
    const bool exists =
        adding ? recordExists(context, QStringLiteral("area"), QStringLiteral("AND aCode=?"), {c})
               : recordExists(context, QStringLiteral("area"), QStringLiteral("AND aCode=? AND aCode<>?"),
                              {c, oldACode});
    if (exists) {
        infoBox(QStringLiteral("已经存在片区代码为%1的片区，请更改片区代码！").arg(c));
        Dataset::abort();
    }
}

void TfrmArea::btnOKClick()
{
    if (qryArea->isEditing()) {
        if (confirmBox(QStringLiteral("片区数据已经修改，是否保存？"))) {
            qryArea->post();
            if (qryArea->isEditing())
                return; // the check refused the row: keep it and the dialog
        } else {
            qryArea->cancel();
        }
    }
    accept();
}

void TfrmArea::showCurrentRow()
{
    const bool row = qryArea->isActive() && qryArea->recNo() >= 0;
    const QString code = row ? qryArea->asString(kCode) : QString();
    const QString name = row ? qryArea->asString(kName) : QString();
    // The edit being typed into already shows its text; resetting it would
    // move the text cursor.
    m_showingRow = true;
    if (m_typingField != kCode && edtCode->text() != code)
        edtCode->setText(code);
    if (m_typingField != kName && edtName->text() != name)
        edtName->setText(name);
    m_showingRow = false;
}

void TfrmArea::edtEdited(const QString& field, const QString& text)
{
    if (!qryArea->isActive())
        return;
    m_typingField = field;
    try {
        if (!qryArea->isEditing())
            qryArea->edit(); // on an empty list this starts a new row
        if (qryArea->isEditing())
            qryArea->setValue(field, text);
    } catch (...) {
        m_typingField.clear();
        showCurrentRow();
        throw;
    }
    m_typingField.clear();
    showCurrentRow();
}

bool manageArea()
{
    DialogScope<TfrmArea> form(frmArea);
    return form->exec() == QDialog::Accepted;
}
