#include "registry/searchpanel.h"

#include "app/common.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "app/handler.h"
#include "dictionaries/datadic.h"
#include "registry/taxerpanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// "contains the text": the typed % and _ match themselves.
QString containsPattern(const QString& text)
{
    QString escaped;
    for (QChar ch : text) {
        if (ch == QLatin1Char('\\') || ch == QLatin1Char('%') || ch == QLatin1Char('_'))
            escaped += QLatin1Char('\\');
        escaped += ch;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QLabel* label(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

SearchPanel::SearchPanel(TaxerPanel& taxers, QWidget* parent) : QWidget(parent), m_taxers(taxers)
{
    setObjectName(QStringLiteral("RzSizePanel3"));
    auto edit = [this](const char* name, const QString& accessible) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setAccessibleName(accessible);
        e->setMinimumWidth(90);
        return e;
    };
    auto combo = [this](const char* name, const QString& accessible) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->setAccessibleName(accessible);
        c->setEditable(false); // only its own items
        c->setMinimumContentsLength(6);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        return c;
    };
    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };

    edtTCode = edit("edtTCode", QStringLiteral("税户代码"));
    edtRegName = edit("edtRegName", QStringLiteral("注册名称"));
    cbbTrade = combo("cbbTrade", QStringLiteral("所属行业"));
    cbbTaxType = combo("cbbTaxType", QStringLiteral("税户类型"));
    cbbSelected = combo("cbbSelected", QStringLiteral("选中否"));
    cbbSelected->addItems({QStringLiteral("随便"), QStringLiteral("未选"), QStringLiteral("选中")});
    cbbSelected->setCurrentIndex(-1);
    btnClearSelected = button("btnClearSelected", QStringLiteral("清选"));
    cbbTaxStatus = combo("cbbTaxStatus", QStringLiteral("纳税状态"));
    edtContacter = edit("edtContacter", QStringLiteral("联系人"));
    edtRegAddr = edit("edtRegAddr", QStringLiteral("注册地址"));

    gbQuickLocate = new QGroupBox(QStringLiteral("快速定位"), this);
    gbQuickLocate->setObjectName(QStringLiteral("gbQuickLocate"));
    edtQuicktCode = new QLineEdit(gbQuickLocate);
    edtQuicktCode->setObjectName(QStringLiteral("edtQuicktCode"));
    edtQuicktCode->setAccessibleName(QStringLiteral("快速定位税户代码"));
    edtQuicktCode->setMinimumWidth(90);
    btnClearQuickTCode = new QPushButton(QStringLiteral("清除"), gbQuickLocate);
    btnClearQuickTCode->setObjectName(QStringLiteral("btnClearQuickTCode"));
    btnClearQuickTCode->setAutoDefault(false);
    auto* ql = new QHBoxLayout(gbQuickLocate);
    ql->setContentsMargins(6, 0, 6, 2);
    ql->addWidget(label(QStringLiteral("税户代码"), edtQuicktCode, gbQuickLocate));
    ql->addWidget(edtQuicktCode, 1);
    ql->addWidget(btnClearQuickTCode);

    btnClearSearch = button("btnClearSearch", QStringLiteral("清除条件"));
    btnClearSearch->setProperty("tag", 2);
    btnSearch = button("btnSearch", QStringLiteral("查询"));
    btnSearch->setProperty("tag", 1);

    auto* g = new QGridLayout(this);
    g->setContentsMargins(4, 2, 4, 2);
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(2);
    g->addWidget(label(QStringLiteral("税户代码"), edtTCode, this), 0, 0);
    g->addWidget(edtTCode, 0, 1);
    g->addWidget(label(QStringLiteral("注册名称"), edtRegName, this), 0, 2);
    g->addWidget(edtRegName, 0, 3);
    g->addWidget(label(QStringLiteral("所属行业"), cbbTrade, this), 0, 4);
    g->addWidget(cbbTrade, 0, 5);
    g->addWidget(label(QStringLiteral("税户类型"), cbbTaxType, this), 0, 6);
    g->addWidget(cbbTaxType, 0, 7);
    g->addWidget(label(QStringLiteral("选中否"), cbbSelected, this), 0, 8);
    g->addWidget(cbbSelected, 0, 9);
    g->addWidget(btnClearSelected, 0, 10);
    g->addWidget(label(QStringLiteral("纳税状态"), cbbTaxStatus, this), 1, 0);
    g->addWidget(cbbTaxStatus, 1, 1);
    g->addWidget(label(QStringLiteral("联系人"), edtContacter, this), 1, 2);
    g->addWidget(edtContacter, 1, 3);
    g->addWidget(label(QStringLiteral("注册地址"), edtRegAddr, this), 1, 4);
    g->addWidget(edtRegAddr, 1, 5);
    g->addWidget(gbQuickLocate, 1, 6, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnClearSearch);
    buttons->addWidget(btnSearch);
    g->addLayout(buttons, 1, 9, 1, 2);
    g->setColumnStretch(11, 1);

    QWidget* order[] = {edtTCode, edtRegName,    cbbTrade,           cbbTaxType,  cbbTaxStatus,    edtContacter,
                        edtRegAddr, btnSearch,   btnClearSearch,     edtQuicktCode, btnClearQuickTCode, cbbSelected,
                        btnClearSelected};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    timerLocate.setObjectName(QStringLiteral("timerLocate"));
    timerLocate.setInterval(300);
    timerLocate.setSingleShot(true);
    connect(&timerLocate, &QTimer::timeout, this, guarded([this] { timerLocateTimer(); }));
    timerLocate.start(); // fires once with an empty box and does nothing

    connect(btnSearch, &QPushButton::clicked, this, guarded([this] { btnSearchClick(btnSearch); }));
    connect(btnClearSearch, &QPushButton::clicked, this, guarded([this] { btnSearchClick(btnClearSearch); }));
    connect(btnClearSelected, &QPushButton::clicked, this, guarded([this] { btnClearSelectedClick(); }));
    connect(edtQuicktCode, &QLineEdit::textChanged, this, guarded([this] { edtQuicktCodeChange(); }));
    // Enter in the box locates at once after the usual wait, whatever the text.
    connect(edtQuicktCode, &QLineEdit::returnPressed, this, guarded([this] { restartTimer(timerLocate); }));
    connect(btnClearQuickTCode, &QPushButton::clicked, this, guarded([this] { btnClearQuickTCodeClick(); }));
    // Enter in a condition edit searches.
    for (QLineEdit* e : {edtTCode, edtRegName, edtContacter, edtRegAddr})
        connect(e, &QLineEdit::returnPressed, this, guarded([this] { btnSearchClick(btnSearch); }));
}

void SearchPanel::fillSearchBoxes()
{
    fillSearchBox(*cbbTrade, dic::Trade);
    fillSearchBox(*cbbTaxType, dic::TaxType);
    fillSearchBox(*cbbTaxStatus, dic::TaxStatus);
}

void SearchPanel::searchCondition(QString& where, QVariantList& values) const
{
    where.clear();
    values.clear();
    auto like = [&](QLineEdit* e, const char* field) {
        const QString t = e->text().trimmed();
        if (t.isEmpty())
            return;
        where += QStringLiteral(" AND %1 LIKE ? ESCAPE '\\'").arg(QLatin1String(field));
        values << containsPattern(t);
    };
    auto equals = [&](QComboBox* c, const char* field) {
        if (c->currentIndex() <= 0)
            return;
        where += QStringLiteral(" AND %1 = ?").arg(QLatin1String(field));
        values << c->currentText();
    };
    like(edtTCode, "tCode");
    like(edtRegName, "tName");
    equals(cbbTrade, "tTrade");
    equals(cbbTaxType, "taxType");
    equals(cbbTaxStatus, "taxStatus");
    like(edtContacter, "tContacter");
    like(edtRegAddr, "tRegistAddress");
    if (cbbSelected->currentIndex() > 0) {
        where += QStringLiteral(" AND tSelected = ?");
        values << cbbSelected->currentIndex() - 1;
    }
}

void SearchPanel::btnSearchClick(QPushButton* button)
{
    // Typed input is saved (through its checks) before the list is read again.
    if (!TaxerPanel::saveEdits(*m_taxers.qryTaxer))
        return;
    const QString context = QStringLiteral("frmMain.btnSearchClick");
    QString where;
    QVariantList values;
    if (button->property("tag").toInt() == 2) {
        edtTCode->clear();
        edtRegName->clear();
        edtContacter->clear();
        edtRegAddr->clear();
        cbbTrade->setCurrentIndex(-1);
        cbbTaxType->setCurrentIndex(-1);
        cbbTaxStatus->setCurrentIndex(-1);
        cbbSelected->setCurrentIndex(0);
    } else {
        searchCondition(where, values);
    }
    m_taxers.openTaxers(context, where, values);
    emit m_taxers.afterScroll(); // the details follow, also when the search failed
}

void SearchPanel::btnClearSelectedClick()
{
    if (!TaxerPanel::saveEdits(*m_taxers.qryTaxer))
        return;
    connExec(QStringLiteral("frmMain.btnClearSelectedClick"), QStringLiteral("UPDATE taxer SET tSelected = 0"));
    btnSearchClick(btnSearch);
}

void SearchPanel::edtQuicktCodeChange()
{
    if (edtQuicktCode->text().trimmed().isEmpty())
        return;
    restartTimer(timerLocate);
    // The codes of the list are indexed while the wait runs (once per list).
    m_taxers.qryTaxer->prepareLocate(QStringLiteral("tCode"), true);
}

void SearchPanel::timerLocateTimer()
{
    timerLocate.stop();
    const QString code = edtQuicktCode->text().trimmed();
    if (code.isEmpty())
        return;
    Dataset& ds = *m_taxers.qryTaxer;
    if (!ds.isActive() || !TaxerPanel::saveEdits(ds))
        return;
    ds.locate(QStringLiteral("tCode"), code, true);
}

void SearchPanel::btnClearQuickTCodeClick()
{
    edtQuicktCode->clear(); // an empty box starts no locate
}
