#include "reports/taxerlist.h"

#include "app/common.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "app/sqlvalue.h"
#include "reports/preview.h"
#include "reports/reports.h"

#include <QHash>
#include <QLocale>

namespace reports {

namespace {

const QString kSong = QStringLiteral("宋体");

struct Column {
    const char* field;
    QString heading;
    double left, right;
    Qt::Alignment align;
};

const QList<Column>& columns()
{
    static const QList<Column> cols = {
        {"tCode", QStringLiteral("税户代码"), 9.3, 30.4, Qt::AlignLeft},
        {"tName", QStringLiteral("注册名称"), 30.4, 68.5, Qt::AlignLeft},
        {"tTrade", QStringLiteral("行  业"), 68.5, 94.7, Qt::AlignLeft},
        {"taxType", QStringLiteral("税户类型"), 94.7, 117.5, Qt::AlignHCenter},
        {"tRegistAddress", QStringLiteral("注  册  地  址"), 117.5, 184.9, Qt::AlignLeft},
        {"tContacter", QStringLiteral("联系人"), 184.9, 203.5, Qt::AlignLeft},
        {"tContactTel", QStringLiteral("联系电话"), 203.5, 225.2, Qt::AlignLeft},
        {"aName", QStringLiteral("所 属 片 区"), 225.2, 254.3, Qt::AlignLeft},
    };
    return cols;
}

constexpr double kHeaderHeight = 23.0;
constexpr double kHeadingTop = 16.7;
constexpr double kFooterHeight = 13.2;
constexpr double kRowHeight = 6.1;
constexpr double kRulePt = 0.75;
constexpr double kPad = 0.4; // text inside a ruled cell

// The user's area names by code; codes compare ignoring letter case.
QHash<QString, QString> userAreaNames()
{
    QHash<QString, QString> names;
    Dataset q;
    if (!runSql(QStringLiteral("frmMain.actPrintTaxerExecute"), q,
                QStringLiteral("SELECT aCode, aName FROM area WHERE mCode=?"), true, {UserInfo.UserCode}))
        return names;
    for (int r = 0; r < q.recordCount(); ++r)
        names.insert(sqlvalue::text(q.valueAt(r, 0)).toLower(), sqlvalue::text(q.valueAt(r, 1)));
    return names;
}

} // namespace

QList<TaxerListRow> taxerListRows(const Dataset& qryTaxer)
{
    QList<TaxerListRow> rows;
    if (!qryTaxer.isActive())
        return rows;
    const QList<Column>& cols = columns();
    QList<int> idx;
    for (const Column& c : cols)
        idx.append(qryTaxer.fieldIndex(QLatin1String(c.field)));
    const int aCode = qryTaxer.fieldIndex(QStringLiteral("aCode"));
    QHash<QString, QString> areas;
    if (idx.last() < 0)
        areas = userAreaNames();
    rows.reserve(qryTaxer.recordCount());
    for (int r = 0; r < qryTaxer.recordCount(); ++r) {
        TaxerListRow row;
        for (qsizetype c = 0; c < cols.size(); ++c)
            row.append(idx.at(c) < 0 ? QString() : sqlvalue::text(qryTaxer.valueAt(r, idx.at(c))));
        if (idx.last() < 0 && aCode >= 0)
            row.last() = areas.value(sqlvalue::text(qryTaxer.valueAt(r, aCode)).toLower());
        rows.append(row);
    }
    return rows;
}

report::Report layoutTaxerList(const QList<TaxerListRow>& rows, const QDate& printDate)
{
    report::Report rep;
    rep.title = QStringLiteral("纳税人列表");
    rep.pageSize = QPageSize::Letter;
    rep.orientation = QPageLayout::Landscape;
    if (rows.isEmpty()) {
        rep.pages.append(report::Page{});
        return rep;
    }
    const QList<Column>& cols = columns();
    const double bodyHeight = rep.printableMm().height() - kHeaderHeight - kFooterHeight;
    const int perPage = qMax(1, int((bodyHeight + 1e-6) / kRowHeight));
    const double gridLeft = cols.first().left;
    const double gridRight = cols.last().right;
    const QString dateText = QLocale().toString(printDate, QLocale::ShortFormat);
    const double songRow = report::lineHeightMm(kSong, 10, false);
    const double headingHeight = report::lineHeightMm(kSong, 11, true);

    for (qsizetype first = 0; first < rows.size(); first += perPage) {
        report::Page page;
        const qsizetype count = qMin<qsizetype>(perPage, rows.size() - first);
        page.boxes.reserve(3 + 2 * cols.size() + count * (cols.size() + 1) + 1);
        page.boxes.append(report::text(
            QRectF(112.4, 6.3, 158.5 - 112.4, report::lineHeightMm(kSong, 14, true)),
            QStringLiteral("纳  税  人  列  表"), kSong, 14, true, Qt::AlignHCenter | Qt::AlignTop));
        page.boxes.append(
            report::label(211.4, 10.6, QStringLiteral("打印日期:"), QStringLiteral("Arial"), 10, false));
        page.boxes.append(report::label(230.7, 10.6, dateText, QStringLiteral("Arial"), 10, false));
        for (const Column& c : cols)
            page.boxes.append(
                report::text(QRectF(c.left, kHeadingTop + (kHeaderHeight - kHeadingTop - headingHeight) / 2,
                                    c.right - c.left, headingHeight),
                             c.heading, kSong, 11, true, Qt::AlignHCenter | Qt::AlignTop));
        // The closed grid: a rule over the headings and under every row, and
        // one vertical rule per column boundary from the headings down.
        const double bottom = kHeaderHeight + count * kRowHeight;
        page.boxes.append(report::line(gridLeft, kHeadingTop, gridRight, kHeadingTop, kRulePt));
        page.boxes.append(report::line(gridLeft, kHeaderHeight, gridRight, kHeaderHeight, kRulePt));
        page.boxes.append(report::line(gridLeft, kHeadingTop, gridLeft, bottom, kRulePt));
        for (const Column& c : cols)
            page.boxes.append(report::line(c.right, kHeadingTop, c.right, bottom, kRulePt));
        for (qsizetype i = 0; i < count; ++i) {
            const TaxerListRow& row = rows.at(first + i);
            const double top = kHeaderHeight + i * kRowHeight;
            for (qsizetype c = 0; c < cols.size(); ++c) {
                const QString value = row.value(c);
                if (value.isEmpty())
                    continue;
                const Column& col = cols.at(c);
                const double width = col.right - col.left - 2 * kPad;
                page.boxes.append(
                    report::text(QRectF(col.left + kPad, top + (kRowHeight - songRow) / 2, width, songRow),
                                 report::fitText(value, kSong, 10, false, width), kSong, 10, false,
                                 col.align | Qt::AlignTop));
            }
            page.boxes.append(report::line(gridLeft, top + kRowHeight, gridRight, top + kRowHeight, kRulePt));
        }
        rep.pages.append(std::move(page));
    }
    return rep;
}

} // namespace reports

void printTaxerList(const Dataset& qryTaxer, QWidget* parent)
{
    reports::showPreview(reports::layoutTaxerList(reports::taxerListRows(qryTaxer), QDate::currentDate()),
                         parent);
}
