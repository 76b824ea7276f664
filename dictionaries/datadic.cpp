#include "dictionaries/datadic.h"

#include "app/common.h"
#include "app/transaction.h"
#include "app/globals.h"
#include "app/handler.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

TfrmDataDic* frmDataDic = nullptr;

namespace {
constexpr int kListButtonLeft = 250;
} // namespace

TfrmDataDic::TfrmDataDic(QWidget* parent) : TfrmModal(parent)
{
    setObjectName(QStringLiteral("frmDataDic"));
    setClientSize(337, 252);

    edtIdent = makeEdit(Panel1, QStringLiteral("edtIdent"), 8, 8, 232);
    edtIdent->setReadOnly(true);
    edtIdent->setAccessibleName(QStringLiteral("字典名称"));
    edtItem = makeEdit(Panel1, QStringLiteral("edtItem"), 8, 34, 232);
    edtItem->setAccessibleName(QStringLiteral("可能取的值"));
    edtItem->installEventFilter(this);

    lbItem = new QListWidget(Panel1);
    lbItem->setObjectName(QStringLiteral("lbItem"));
    lbItem->setAccessibleName(QStringLiteral("字典项目"));
    lbItem->setGeometry(8, 60, 232, 116);
    lbItem->setSelectionMode(QAbstractItemView::SingleSelection);

    btnAdd = makeButton(Panel1, QStringLiteral("btnAdd"), QStringLiteral("添加"), kListButtonLeft, 8);
    btnModify = makeButton(Panel1, QStringLiteral("btnModify"), QStringLiteral("修改"), kListButtonLeft, 36);
    RzButton1 = makeButton(Panel1, QStringLiteral("RzButton1"), QStringLiteral("删除"), kListButtonLeft, 64);
    btnUp = makeButton(Panel1, QStringLiteral("btnUp"), QStringLiteral("上移"), kListButtonLeft, 92);
    btnDown = makeButton(Panel1, QStringLiteral("btnDown"), QStringLiteral("下移"), kListButtonLeft, 120);
    btnAdd->setProperty("tag", 1);
    btnModify->setProperty("tag", 2);
    RzButton1->setProperty("tag", 3);
    btnUp->setProperty("tag", 1);
    btnDown->setProperty("tag", 2);

    btnRead = makeButton(Panel1, QStringLiteral("btnRead"), QStringLiteral("从数据库读取"), 8, 182);
    btnWrite = makeButton(Panel1, QStringLiteral("btnWrite"), QStringLiteral("写入数据库"), 130, 182);
    btnRead->resize(110, 25);
    btnWrite->resize(110, 25);

    setTabOrder(edtIdent, edtItem);
    setTabOrder(edtItem, lbItem);
    setTabOrder(lbItem, btnAdd);
    setTabOrder(btnAdd, btnModify);
    setTabOrder(btnModify, RzButton1);
    setTabOrder(RzButton1, btnUp);
    setTabOrder(btnUp, btnDown);
    setTabOrder(btnDown, btnRead);
    setTabOrder(btnRead, btnWrite);
    setTabOrder(btnWrite, btnOK);
    setTabOrder(btnOK, btnClose);

    for (QPushButton* b : {btnAdd, btnModify})
        connect(b, &QPushButton::clicked, this,
                guarded([this, b] { btnAddClick(b->property("tag").toInt()); }));
    for (QPushButton* b : {RzButton1, btnUp, btnDown})
        connect(b, &QPushButton::clicked, this,
                guarded([this, b] { btnUpClick(b->property("tag").toInt()); }));
    // A click, and moving through the list with the keys, both show the item.
    connect(lbItem, &QListWidget::itemClicked, this, guarded([this] { lbItemClick(); }));
    connect(lbItem, &QListWidget::currentRowChanged, this, guarded([this] {
                if (!m_selecting)
                    lbItemClick();
            }));
    connect(btnRead, &QPushButton::clicked, this, guarded([this] { btnReadClick(); }));
    connect(btnWrite, &QPushButton::clicked, this, guarded([this] { btnWriteClick(); }));
    connect(btnOK, &QPushButton::clicked, this, guarded([this] { btnOKClick(); }));
}

QStringList TfrmDataDic::items() const
{
    QStringList out;
    for (int i = 0; i < lbItem->count(); ++i)
        out << lbItem->item(i)->text();
    return out;
}

void TfrmDataDic::setItems(const QStringList& list)
{
    m_selecting = true;
    lbItem->clear();
    lbItem->addItems(list);
    lbItem->setCurrentRow(-1);
    m_selecting = false;
}

void TfrmDataDic::selectRow(int row)
{
    m_selecting = true;
    lbItem->setCurrentRow(row);
    if (row < 0)
        lbItem->clearSelection();
    m_selecting = false;
}

void TfrmDataDic::FormShow()
{
    QStringList list;
    readIniList(list, IniFileName, dic::Section, false, dicIdent);
    setItems(list);
    edtIdent->setText(dicIdent);
    setWindowTitle(QStringLiteral("维护“%1”").arg(dicIdent));
    edtItem->setFocus();
}

// Enter in the entry field adds, as 添加 does; it must not reach the dialog,
// whose default button would close it.
bool TfrmDataDic::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edtItem && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            runHandler([this] { edtItemKeyPress(); });
            return true;
        }
    }
    return TfrmModal::eventFilter(watched, event);
}

void TfrmDataDic::btnAddClick(int tag)
{
    const QString v = edtItem->text().trimmed();
    if (v.isEmpty()) {
        infoBox(QStringLiteral("请输入可能取的值！"));
        edtItem->setFocus();
        return;
    }
    if (tag == 1) {
        lbItem->addItem(v);
        selectRow(lbItem->count() - 1);
    } else if (tag == 2) {
        // With nothing selected there is no item to replace.
        const int i = lbItem->currentRow();
        if (i >= 0 && lbItem->item(i)->isSelected())
            lbItem->item(i)->setText(v);
    }
}

void TfrmDataDic::edtItemKeyPress()
{
    btnAddClick(1);
    edtItem->selectAll();
}

void TfrmDataDic::lbItemClick()
{
    QListWidgetItem* item = lbItem->currentItem();
    if (item && item->isSelected())
        edtItem->setText(item->text());
}

void TfrmDataDic::btnUpClick(int tag)
{
    QListWidgetItem* current = lbItem->currentItem();
    const int i = current && current->isSelected() ? lbItem->currentRow() : -1;
    if (i < 0)
        return;
    const int last = lbItem->count() - 1;
    if (tag == 3) {
        if (!confirmBox(QStringLiteral("删除当前项:%1？").arg(current->text())))
            return;
        m_selecting = true;
        delete lbItem->takeItem(i);
        m_selecting = false;
        selectRow(qMin(i, lbItem->count() - 1));
    } else if (tag == 1 && i > 0) {
        m_selecting = true;
        lbItem->insertItem(i - 1, lbItem->takeItem(i));
        m_selecting = false;
        selectRow(i - 1);
    } else if (tag == 2 && i < last) {
        m_selecting = true;
        lbItem->insertItem(i + 1, lbItem->takeItem(i));
        m_selecting = false;
        selectRow(i + 1);
    }
}

void TfrmDataDic::btnReadClick()
{
    QStringList list;
    sqlToList(QStringLiteral("frmDataDic.btnReadClick"),
              QStringLiteral("SELECT dItemValue FROM datadic WHERE dIdent=? ORDER BY dSort"), list,
              {dicIdent});
    setItems(list);
}

// The stored copy of the dictionary is replaced, not added to: its rows are
// deleted and the list written in one transaction, so reading it back gives
// the list once, in order.
void TfrmDataDic::btnWriteClick()
{
    const QString context = QStringLiteral("frmDataDic.btnWriteClick");
    QString message;
    Transaction tx(context);
    if (!tx.begin(&message)) {
        infoBox(QStringLiteral("写入数据库失败：\r\n%1").arg(message));
        return;
    }
    bool ok = execSql(context, QStringLiteral("DELETE FROM datadic WHERE dIdent=?"), {dicIdent}, &message);
    const QStringList list = items();
    for (int i = 0; ok && i < list.size(); ++i)
        ok =
            execSql(context, QStringLiteral("INSERT INTO datadic(dIdent, dItemValue, dSort) VALUES(?, ?, ?)"),
                    {dicIdent, list.at(i), i}, &message);
    if (ok)
        ok = tx.commit(&message);
    if (!ok) {
        tx.rollback();
        infoBox(QStringLiteral("写入数据库失败：\r\n%1").arg(message));
    }
}

void TfrmDataDic::btnOKClick()
{
    // A settings file that cannot be written ends this handler with an error
    // naming the file; the dialog stays open with its list.
    writeIniList(items(), IniFileName, dic::Section, dicIdent);
    accept();
}

bool editDataDic(const QString& ident)
{
    DialogScope<TfrmDataDic> form(frmDataDic);
    form->dicIdent = ident;
    return form->exec() == QDialog::Accepted;
}

QStringList dictionaryItems(const QString& ident)
{
    QStringList list;
    readIniList(list, IniFileName, dic::Section, false, ident);
    return list;
}

void fillSearchBox(QComboBox& box, const QString& ident)
{
    const QString chosen = box.currentText();
    QStringList list;
    readIniList(list, IniFileName, dic::Section, true, ident);
    const QSignalBlocker block(box);
    box.clear();
    box.addItems(list);
    const int at = chosen.isEmpty() ? 0 : int(list.indexOf(chosen));
    box.setCurrentIndex(at < 0 ? 0 : at);
}
