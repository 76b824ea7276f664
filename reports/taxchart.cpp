#include "reports/taxchart.h"

#include "app/common.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "app/handler.h"
#include "app/sqlvalue.h"
#include "reports/printing.h"
#include "reports/reports.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFrame>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QValueAxis>

TfrmTaxChart* frmTaxChart = nullptr;

namespace reports {

namespace {
const char* const kTypeKeys[4] = {"rp注册纯地税户", "rp注册共管户", "rp临时纯地税户", "rp临时共管户"};
} // namespace

// A NULL date or type reads as the empty text, so it groups with it; the
// groups come in order, which the engine does not promise otherwise.
const char* const kTaxChartSql = "SELECT SUM(myTax) AS myCount, myDate, taxType FROM (\r\n"
                                 "SELECT COALESCE(A.taxType, '') AS taxType, B.tTax AS myTax, "
                                 "COALESCE(substr(B.tDate, 1, 4), '') AS myDate\r\n"
                                 "FROM taxer A, tax B\r\n"
                                 "WHERE A.tCode=B.tCode\r\n"
                                 "AND A.mCode=?) T\r\n"
                                 "GROUP BY myDate, taxType\r\n"
                                 "ORDER BY myDate, taxType";

QList<YearEntry> computeTaxChart(const QString& userCode, const QString& iniFile)
{
    QList<YearEntry> entries;
    QString keys[4];
    for (int n = 0; n < 4; ++n)
        keys[n] = readIniValue(iniFile, QStringLiteral("DataDic"), QString::fromUtf8(kTypeKeys[n]));
    Dataset qryTemp;
    if (!runSql(QStringLiteral("frmTaxChart.FormShow"), qryTemp, QString::fromUtf8(kTaxChartSql), true, {userCode}))
        return entries;
    for (int r = 0; r < qryTemp.recordCount(); ++r) {
        const QVariant count = qryTemp.valueAt(r, 0);
        const QString year = sqlvalue::text(qryTemp.valueAt(r, 1));
        const QString type = sqlvalue::text(qryTemp.valueAt(r, 2));
        if (entries.isEmpty() || entries.last().year != year)
            entries.append(YearEntry{year});
        if (count.isNull())
            continue;
        for (int n = 0; n < 4; ++n) {
            if (type == keys[n])
                entries.last().sums[n] += count.toDouble();
        }
    }
    return entries;
}

QString markText(double value)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::DefaultNumberOptions);
    QString s = loc.toString(value, 'f', 3);
    const QChar dot = loc.decimalPoint().at(0);
    if (s.contains(dot)) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(dot))
            s.chop(1);
    }
    if (s == QStringLiteral("-0"))
        s = QStringLiteral("0");
    return s;
}

} // namespace reports

TfrmTaxChart::TfrmTaxChart(QWidget* parent) : TfrmModal(parent)
{
    setObjectName(QStringLiteral("frmTaxChart"));
    setWindowTitle(QStringLiteral("税收统计图"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    // The base is a fixed-size dialog; the chart window is sizeable.
    setMinimumSize(400, 300);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(769, 520);
    btnOK->setText(QStringLiteral("打印"));
    btnOK->setDefault(false);

    Chart1 = new QChart;
    Chart1->setTitle(QStringLiteral("税收统计图"));
    QFont titleFont(QStringLiteral("宋体"));
    titleFont.setPointSize(12);
    titleFont.setBold(true);
    Chart1->setTitleFont(titleFont);
    Chart1->setAnimationOptions(QChart::NoAnimation);
    Chart1->setBackgroundRoundness(0);
    Chart1->legend()->setAlignment(Qt::AlignRight);
    chartView = new QChartView(Chart1, Panel1);
    chartView->setObjectName(QStringLiteral("Chart1"));
    chartView->setAccessibleName(QStringLiteral("税收统计图"));
    chartView->setRenderHint(QPainter::Antialiasing);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(chartView);

    connect(btnOK, &QPushButton::clicked, this, guarded([this] { btnOKClick(); }));
    connect(Chart1, &QChart::plotAreaChanged, this, [this] { placeMarks(); });
}

void TfrmTaxChart::showEvent(QShowEvent* event)
{
    TfrmModal::showEvent(event);
    // The base centres the dialog, which a window manager takes as leaving
    // the maximised state; the chart window always opens maximised.
    if (!event->spontaneous())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmTaxChart::FormShow()
{
    // Built anew each time the window is shown.
    Chart1->removeAllSeries();
    for (QAbstractAxis* axis : Chart1->axes())
        Chart1->removeAxis(axis);
    m_entries = reports::computeTaxChart(UserInfo.UserCode, IniFileName);

    static const char* const titles[4] = {"注册纯地税额", "注册共管税额", "临时纯地税额", "临时共管税额"};
    static const QColor colours[4] = {QColor(0xFF, 0, 0), QColor(0, 0x80, 0), QColor(0xFF, 0xFF, 0),
                                      QColor(0, 0, 0xFF)};
    m_series = new QBarSeries;
    QStringList years;
    double top = 0;
    for (int n = 0; n < 4; ++n) {
        Series[n] = new QBarSet(QString::fromUtf8(titles[n]));
        Series[n]->setObjectName(QStringLiteral("Series%1").arg(n + 1));
        Series[n]->setColor(colours[n]);
        Series[n]->setBorderColor(Qt::black);
        for (const reports::YearEntry& e : m_entries) {
            Series[n]->append(e.sums[n]);
            top = qMax(top, e.sums[n]);
        }
        m_series->append(Series[n]);
    }
    // An empty category name is dropped by the axis; a blank keeps the
    // undated payments' group visible under an empty label.
    for (const reports::YearEntry& e : m_entries)
        years << (e.year.isEmpty() ? QStringLiteral(" ") : e.year);
    Chart1->addSeries(m_series);
    auto* axisX = new QBarCategoryAxis;
    axisX->append(years);
    auto* axisY = new QValueAxis;
    axisY->setRange(0, top > 0 ? top * 1.2 : 1);
    axisY->setLabelFormat(QStringLiteral("%.0f"));
    Chart1->addAxis(axisX, Qt::AlignBottom);
    Chart1->addAxis(axisY, Qt::AlignLeft);
    m_series->attachAxis(axisX);
    m_series->attachAxis(axisY);
    placeMarks();
}

QStringList TfrmTaxChart::markTexts() const
{
    QStringList out;
    for (QGraphicsItem* item : m_marks)
        if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(item))
            out << t->text();
    return out;
}

void TfrmTaxChart::placeMarks()
{
    // Each bar shows its value above it, joined to the bar by a 20-pixel arrow.
    for (QGraphicsItem* item : m_marks)
        delete item;
    m_marks.clear();
    if (!m_series || m_entries.isEmpty())
        return;
    const double groupWidth = m_series->barWidth();
    const int sets = 4;
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(8);
    for (int n = 0; n < sets; ++n) {
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            const double value = m_entries.at(i).sums[n];
            const double x = double(i) - groupWidth / 2 + (n + 0.5) * groupWidth / sets;
            const QPointF bar = Chart1->mapToPosition(QPointF(x, value), m_series);
            auto* arrow = new QGraphicsLineItem(QLineF(bar, bar - QPointF(0, 20)), Chart1);
            arrow->setPen(QPen(Qt::darkGray, 1));
            auto* label = new QGraphicsSimpleTextItem(reports::markText(value), Chart1);
            label->setFont(font);
            const QRectF r = label->boundingRect();
            label->setPos(bar.x() - r.width() / 2, bar.y() - 20 - r.height());
            m_marks << arrow << label;
        }
    }
}

bool TfrmTaxChart::printTo(QPagedPaintDevice& device)
{
    device.setPageOrientation(QPageLayout::Landscape);
    QPainter p;
    if (!p.begin(&device))
        return false;
    const QRect page = p.viewport();
    // The chart as it stands in the window, scaled to fit the page.
    chartView->render(&p, QRectF(page), chartView->viewport()->rect(), Qt::KeepAspectRatio);
    return p.end();
}

void TfrmTaxChart::btnOKClick()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("税收统计图"));
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!reports::askPrinter(printer, this))
        return;
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!printTo(printer))
        infoBox(QStringLiteral("打印机无法开始打印。"));
}

void showTaxChart(QWidget* parent)
{
    DialogScope<TfrmTaxChart> form(frmTaxChart);
    if (parent && form->parentWidget() != parent)
        form->setParent(parent, form->windowFlags());
    form->exec();
}
