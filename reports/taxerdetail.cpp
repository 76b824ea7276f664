#include "reports/taxerdetail.h"

#include "app/common.h"
#include "app/dataset.h"
#include "app/globals.h"
#include "app/sqlvalue.h"
#include "reports/preview.h"
#include "reports/reports.h"

namespace reports {

namespace {

const QString kContext = QStringLiteral("frmMain.actPrintDetailExecute");
const QString kSong = QStringLiteral("宋体");

// "top 20" as the sheet means it: the 20 newest rows and every further row
// dated the same as the 20th.  A row without a date ranks with the empty
// date, below every real one.
QString topTwentySql(const QString& columns, const QString& table, const QString& dateColumn,
                     const QString& key)
{
    return QStringLiteral("SELECT %1 FROM %2 WHERE tCode=?1 AND COALESCE(%3,'') >= "
                          "COALESCE((SELECT COALESCE(%3,'') FROM %2 WHERE tCode=?1 ORDER BY 1 DESC LIMIT 1 "
                          "OFFSET 19),'') "
                          "ORDER BY %3 DESC, %4")
        .arg(columns, table, dateColumn, key);
}

bool readRows(const QString& sql, const QString& tCode, QList<QStringList>& rows)
{
    Dataset q;
    if (!runSql(kContext, q, sql, true, {tCode}))
        return false;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList row;
        for (int c = 0; c < q.fieldCount(); ++c)
            row.append(sqlvalue::text(q.valueAt(r, c)));
        rows.append(row);
    }
    return true;
}

struct SectionColumn {
    QString heading;
    double left, right; // right < 0: as wide as the text
    bool alignRight;
};

struct Section {
    QString caption;
    QList<SectionColumn> columns;
    double headingPt;
    QColor ruleColor;
    double titleHeight;
    double rowHeight;
};

constexpr double kHeaderHeight = 61.6;
constexpr double kFooterHeight = 13.2;
constexpr double kSectionGap = 13.2;

void addHeader(report::Page& page, const TaxerDetail& d, double width)
{
    page.boxes.append(report::text(QRectF(0, 3.4, width, report::lineHeightMm(kSong, 16, true)),
                                   QStringLiteral("税户详细信息"), kSong, 16, true,
                                   Qt::AlignHCenter | Qt::AlignTop));
    struct Pair {
        double y;
        const char* left;
        const char* right; // nullptr: no right pair
    };
    static const Pair pairs[] = {{24.6, "税户代码", "注册名称"}, {30.4, "所属行业", "联系人"},
                                 {36.2, "税户类型", "联系电话"}, {42.1, "纳税状态", "开业日期"},
                                 {47.9, "注册日期", "片区名称"}, {54.2, "注册地址", nullptr}};
    int f = 0;
    for (const Pair& p : pairs) {
        page.boxes.append(report::label(12.7, p.y, QString::fromUtf8(p.left), kSong, 12, true));
        // A value is as wide as its text, but never past the page's edge.
        const QString v1 = report::fitText(d.fields.value(f++), kSong, 12, false, width - 34.7);
        if (!v1.isEmpty())
            page.boxes.append(report::label(34.7, p.y, v1, kSong, 12, false));
        if (!p.right)
            continue;
        page.boxes.append(report::label(97.0, p.y, QString::fromUtf8(p.right), kSong, 12, true));
        const QString v2 = report::fitText(d.fields.value(f++), kSong, 12, false, width - 119.1);
        if (!v2.isEmpty())
            page.boxes.append(report::label(119.1, p.y, v2, kSong, 12, false));
    }
}

} // namespace

bool loadTaxerDetail(const QString& tCode, TaxerDetail& d)
{
    d = TaxerDetail{};
    Dataset qryPrintTaxer;
    if (!runSql(kContext, qryPrintTaxer, QStringLiteral("SELECT * FROM taxer WHERE tCode=?"), true, {tCode}))
        return false;
    if (qryPrintTaxer.isEmpty())
        return true;
    d.found = true;
    for (const char* name : {"tCode", "tName", "tTrade", "tContacter", "taxType", "tContactTel", "taxStatus",
                             "tOpenDate", "tRegistDate", "aName", "tRegistAddress"}) {
        if (qstrcmp(name, "aName") == 0) {
            Dataset area;
            const bool ok =
                runSql(kContext, area, QStringLiteral("SELECT aName FROM area WHERE aCode=? AND mCode=?"),
                       true, {qryPrintTaxer.value(QStringLiteral("aCode")), UserInfo.UserCode});
            d.fields.append(ok && !area.isEmpty() ? sqlvalue::text(area.value(0)) : QString());
        } else {
            d.fields.append(qryPrintTaxer.asString(QLatin1String(name)));
        }
    }
    // The sections follow the code of the row found, as stored.
    const QString code = qryPrintTaxer.asString(QStringLiteral("tCode"));
    readRows(topTwentySql(QStringLiteral("tStartDate, tEndDate, tRemark"), QStringLiteral("yingye"),
                          QStringLiteral("tStartDate"), QStringLiteral("tid")),
             code, d.periods);
    readRows(topTwentySql(QStringLiteral("aStartDate, aEndDate, aCount, aRatio, aTax"),
                          QStringLiteral("audit"), QStringLiteral("aStartDate"), QStringLiteral("aID")),
             code, d.audits);
    readRows(topTwentySql(QStringLiteral("tDate, tTax"), QStringLiteral("tax"), QStringLiteral("tDate"),
                          QStringLiteral("tid")),
             code, d.payments);
    return true;
}

report::Report layoutTaxerDetail(const TaxerDetail& d)
{
    report::Report rep;
    rep.title = QStringLiteral("税户详细信息");
    rep.pageSize = QPageSize::Letter;
    rep.orientation = QPageLayout::Portrait;
    rep.outlineAndSearch = true;
    if (!d.found) {
        rep.pages.append(report::Page{});
        return rep;
    }
    const QSizeF area = rep.printableMm();
    const double bodyBottom = area.height() - kFooterHeight;

    const QList<Section> sections = {
        {QStringLiteral("营业记录"),
         {{QStringLiteral("开业时间"), 34.4, 59.9, false},
          {QStringLiteral("停业时间"), 60.9, 84.7, false},
          {QStringLiteral("备注"), 85.7, -1, false}},
         11,
         QColor(Qt::blue),
         20.1,
         4.0},
        {QStringLiteral("核定记录"),
         {{QStringLiteral("起始日期"), 34.7, 54.0, false},
          {QStringLiteral("截止日期"), 54.5, 74.0, false},
          {QStringLiteral("核定额"), 74.5, 89.6, true},
          {QStringLiteral("税率"), 91.0, 105.3, true},
          {QStringLiteral("税额"), 106.5, 121.4, true}},
         12,
         QColor(Qt::cyan),
         13.2,
         4.2},
        {QStringLiteral("纳税记录"),
         {{QStringLiteral("纳税日期"), 36.0, 56.0, false}, {QStringLiteral("税额"), 56.6, 76.2, true}},
         12,
         QColor(Qt::cyan),
         14.8,
         4.0},
    };
    const QList<QList<QStringList>> data = {d.periods, d.audits, d.payments};

    rep.outline.append({rep.title, 0, 0});
    report::Page page;
    addHeader(page, d, area.width());
    double y = kHeaderHeight;
    auto breakPage = [&] {
        rep.pages.append(std::move(page));
        page = report::Page{};
        addHeader(page, d, area.width());
        y = kHeaderHeight;
    };
    const double rowText = report::lineHeightMm(kSong, 10, false);
    for (qsizetype s = 0; s < sections.size(); ++s) {
        const Section& sec = sections.at(s);
        const QList<QStringList>& rows = data.at(s);
        // The title block stays with the first row.
        if (y + sec.titleHeight + (rows.isEmpty() ? 0 : sec.rowHeight) > bodyBottom + 1e-6)
            breakPage();
        rep.outline.append({sec.caption, int(rep.pages.size()), y});
        const double rule = 3.0 * 25.4 / 72.0;
        const QRectF capsule(8.6, y + 1.0, 23.5, 7.4);
        page.boxes.append(report::roundRect(capsule, QColor(Qt::cyan)));
        page.boxes.append(report::text(capsule, sec.caption, kSong, 12, true, Qt::AlignCenter));
        const double headingHeight = report::lineHeightMm(kSong, sec.headingPt, true);
        const double headingTop = y + sec.titleHeight - rule - 0.6 - headingHeight;
        for (const SectionColumn& c : sec.columns) {
            const double w =
                c.right < 0 ? report::textWidthMm(c.heading, kSong, sec.headingPt, true) : c.right - c.left;
            page.boxes.append(report::text(QRectF(c.left, headingTop, w, headingHeight), c.heading, kSong,
                                           sec.headingPt, true,
                                           (c.alignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop));
        }
        const double ruleY = y + sec.titleHeight - rule / 2 - 0.3;
        page.boxes.append(report::line(0, ruleY, area.width(), ruleY, 3.0, sec.ruleColor));
        y += sec.titleHeight;
        for (const QStringList& row : rows) {
            if (y + sec.rowHeight > bodyBottom + 1e-6)
                breakPage();
            for (qsizetype c = 0; c < sec.columns.size(); ++c) {
                const SectionColumn& col = sec.columns.at(c);
                const QString v = row.value(c);
                if (v.isEmpty())
                    continue;
                const double limit = col.right < 0 ? area.width() - col.left : col.right - col.left;
                const QString shown = report::fitText(v, kSong, 10, false, limit);
                const double w = col.right < 0 ? report::textWidthMm(shown, kSong, 10, false) : limit;
                page.boxes.append(report::text(
                    QRectF(col.left, y + (sec.rowHeight - rowText) / 2, w, rowText), shown, kSong, 10, false,
                    (col.alignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop));
            }
            y += sec.rowHeight;
        }
        y += kSectionGap;
    }
    rep.pages.append(std::move(page));
    return rep;
}

} // namespace reports

void printTaxerDetail(const Dataset& qryTaxer, QWidget* parent)
{
    if (!qryTaxer.isActive() || qryTaxer.recNo() < 0)
        return;
    const QVariant code = qryTaxer.value(QStringLiteral("tCode"));
    if (code.isNull())
        return;
    reports::TaxerDetail detail;
    if (!reports::loadTaxerDetail(sqlvalue::text(code), detail))
        return;
    reports::showPreview(reports::layoutTaxerDetail(detail), parent);
}
