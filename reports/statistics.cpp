#include "reports/statistics.h"

#include "app/common.h"
#include "app/globals.h"
#include "reports/preview.h"
#include "reports/reports.h"

#include <QLocale>

namespace reports {

namespace {

const QString kSong = QStringLiteral("宋体");
const QString kSection = QStringLiteral("DataDic");

const char* const kStatusKeys[6] = {"rp正常户", "rp未申报户", "rp非正常户",
                                    "rp失踪户", "rp停业户",   "rp注销户"};
// Rows 8 to 11 in sheet order.
const char* const kTypeKeys[4] = {"rp注册纯地税户", "rp临时纯地税户", "rp注册共管户", "rp临时共管户"};

} // namespace

const char* const kStatusCountSql = "SELECT COUNT(*) FROM taxer WHERE mCode=? AND taxStatus=? "
                                    "AND (taxStatusChangeDate>=? AND taxStatusChangeDate<=?)";
// Driven by the tDate index: the engine's own choice walks the user's taxpayers.
const char* const kTypeTaxSql = "SELECT sum(b.tTax)+0 FROM tax b CROSS JOIN taxer a WHERE a.mCode=? "
                                "AND a.tCode=b.tCode AND a.taxType=? AND (b.tDate>=? AND b.tDate<=?)";

namespace {

QString getIntValue(const QString& userCode, const QString& iniFile, const char* key, const QString& from,
                    const QString& to)
{
    const QString status = readIniValue(iniFile, kSection, QString::fromUtf8(key));
    const QString v = getSqlValue(QStringLiteral("frmMain.actStasticsExecute.getIntValue"),
                                  QString::fromUtf8(kStatusCountSql),
                                  {userCode, status, from, to});
    return v.isEmpty() ? QStringLiteral("0") : v;
}

QString getTax(const QString& userCode, const QString& iniFile, const char* key, const QString& from,
               const QString& to)
{
    const QString type = readIniValue(iniFile, kSection, QString::fromUtf8(key));
    const QString v =
        getSqlValue(QStringLiteral("frmMain.actStasticsExecute.getTax"),
                    QString::fromUtf8(kTypeTaxSql),
                    {userCode, type, from, to});
    return v.isEmpty() ? QStringLiteral("0") : v;
}

QStringList column(const QString& userCode, const QString& iniFile, const QString& from, const QString& to)
{
    QStringList cells;
    qint64 households = 0;
    for (int r = 0; r < 6; ++r) {
        cells.append(getIntValue(userCode, iniFile, kStatusKeys[r], from, to));
        if (r < 3)
            households += cells.last().toLongLong();
    }
    cells.append(QString::number(households));
    double tax = 0;
    for (const char* key : kTypeKeys) {
        cells.append(getTax(userCode, iniFile, key, from, to));
        tax += cells.last().toDouble();
    }
    cells.append(generalNumber(tax));
    return cells;
}

} // namespace

QString monthsBefore(const QDate& today, int months)
{
    // QDate::addMonths keeps the day and clamps it to the target month's end.
    return today.addMonths(-months).toString(QStringLiteral("yyyy-MM-dd"));
}

QString generalNumber(double value)
{
    QString s = QString::number(value, 'g', 15);
    return s == QStringLiteral("-0") ? QStringLiteral("0") : s;
}

QStringList computeStatistics(const QString& userCode, const QString& iniFile, const QDate& today)
{
    const QString t = today.toString(QStringLiteral("yyyy-MM-dd"));
    return column(userCode, iniFile, monthsBefore(today, 1), t) +
           column(userCode, iniFile, monthsBefore(today, 12), t);
}

report::Report layoutStatistics(const QStringList& cells, const QDate& today)
{
    report::Report rep;
    rep.title = QStringLiteral("个体户跟踪管理统计表");
    rep.pageSize = QPageSize::Letter;
    rep.orientation = QPageLayout::Portrait;
    rep.outlineAndSearch = true;
    rep.outline.append({rep.title, 0, 0});
    report::Page page;
    auto& b = page.boxes;
    b.append(report::label(65.1, 8.7, rep.title, kSong, 16, true));
    b.append(report::label(130.2, 29.4,
                           QStringLiteral("统计日期：") + today.toString(QStringLiteral("yyyy年MM月dd日")),
                           kSong, 11, false));

    constexpr double left = 26.2, sectionRight = 38.6, itemRight = 85.2, monthRight = 131.8, right = 178.6;
    constexpr double top = 36.0, headerBottom = 44.5, bottom = 149.2, pen = 0.75;
    const double rowH = (bottom - headerBottom) / 12;
    const double h12 = report::lineHeightMm(kSong, 12, false);
    const double h12b = report::lineHeightMm(kSong, 12, true);

    // Frame, header rule, column rules.
    b.append(report::line(left, top, right, top, pen));
    b.append(report::line(left, bottom, right, bottom, pen));
    b.append(report::line(left, top, left, bottom, pen));
    b.append(report::line(right, top, right, bottom, pen));
    b.append(report::line(left, headerBottom, right, headerBottom, pen));
    for (double x : {sectionRight, itemRight, monthRight})
        b.append(report::line(x, top, x, bottom, pen));
    for (int r = 1; r < 12; ++r) {
        const double y = headerBottom + r * rowH;
        // The section column is whole within a section; row 7 ends the first.
        b.append(report::line(r == 7 ? left : sectionRight, y, right, y, pen));
    }
    const double headerTextTop = top + (headerBottom - top - h12b) / 2;
    b.append(report::text(QRectF(sectionRight, headerTextTop, itemRight - sectionRight, h12b),
                          QStringLiteral("项目"), kSong, 12, true, Qt::AlignHCenter | Qt::AlignTop));
    b.append(report::text(QRectF(itemRight, headerTextTop, monthRight - itemRight, h12b),
                          QStringLiteral("本月发生数"), kSong, 12, true, Qt::AlignHCenter | Qt::AlignTop));
    b.append(report::text(QRectF(monthRight, headerTextTop, right - monthRight, h12b),
                          QStringLiteral("年度累积数"), kSong, 12, true, Qt::AlignHCenter | Qt::AlignTop));

    // The section captions, one character per line, centred beside their rows.
    auto stack = [&](const QString& chars, double from, double to) {
        const double pitch = 6.0;
        double y = (from + to) / 2 - pitch * chars.size() / 2 + (pitch - h12b) / 2;
        for (QChar c : chars) {
            b.append(report::text(QRectF(left, y, sectionRight - left, h12b), QString(c), kSong, 12, true,
                                  Qt::AlignHCenter | Qt::AlignTop));
            y += pitch;
        }
    };
    stack(QStringLiteral("户数统计"), headerBottom, headerBottom + 7 * rowH);
    stack(QStringLiteral("税款统计"), headerBottom + 7 * rowH, bottom);

    static const char* const captions[12] = {
        "正常户数（1）",        "未申报户数（2）",  "非正常户数（3）",     "失踪户数（4）",
        "停业户数（5）",        "注销户数（6）",    "合计户数（7）=1+2+3", "注册纯地税户税款总额",
        "临时纯地税户税款总额", "注册共管税款总额", "临时共管税款总额",    "合计"};
    for (int r = 0; r < 12; ++r) {
        const double y = headerBottom + r * rowH + (rowH - h12) / 2;
        b.append(report::text(QRectF(sectionRight + 1.0, y, itemRight - sectionRight - 2.0, h12),
                              QString::fromUtf8(captions[r]), kSong, 12, false));
        b.append(report::text(QRectF(itemRight, y, monthRight - itemRight, h12), cells.value(r), kSong, 12,
                              false, Qt::AlignHCenter | Qt::AlignTop));
        b.append(report::text(QRectF(monthRight, y, right - monthRight, h12), cells.value(12 + r), kSong, 12,
                              false, Qt::AlignHCenter | Qt::AlignTop));
    }
    b.append(report::label(47.1, 180.7, QStringLiteral("制表人：（签名）"), kSong, 12, false));
    b.append(report::label(119.1, 180.7, QStringLiteral("审核人：（签名）   "), kSong, 12, false));
    rep.pages.append(std::move(page));
    return rep;
}

} // namespace reports

void printStatistics(QWidget* parent)
{
    const QDate today = QDate::currentDate();
    const QStringList cells = reports::computeStatistics(UserInfo.UserCode, IniFileName, today);
    reports::showPreview(reports::layoutStatistics(cells, today), parent);
}
