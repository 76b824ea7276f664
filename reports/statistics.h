#pragma once
// The statistics sheet "个体户跟踪管理统计表": for two periods ending today,
// the user's taxpayers that changed to each tax status and the tax paid by
// the taxpayers of each type.
#include "reports/reportpage.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace reports {

// Today minus a number of calendar months, the day clamped to the target
// month's last day, as "YYYY-MM-DD".
QString monthsBefore(const QDate& today, int months);

// The 24 value cells of the sheet: the month column of rows 1 to 12, then
// the year column of rows 1 to 12.  Rows 1-6 count statuses, row 7 is
// rows 1+2+3, rows 8-11 sum tax by type, row 12 is rows 8-11.  A failed
// statement is logged and reads as "0".  No UI.
QStringList computeStatistics(const QString& userCode, const QString& iniFile, const QDate& today);

// The sheet's two statements: the households of a status whose status
// changed within a period, and the tax paid by a type within a period
// (bound: user code, status or type, first day, last day).
extern const char* const kStatusCountSql;
extern const char* const kTypeTaxSql;

// The one-page sheet with the given cells and date.
report::Report layoutStatistics(const QStringList& cells, const QDate& today);

// A number in general format: at most 15 significant digits, no separators,
// no trailing zeros.
QString generalNumber(double value);

} // namespace reports
