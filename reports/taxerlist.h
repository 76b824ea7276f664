#pragma once
// The taxpayer list "纳  税  人  列  表": one ruled line per taxpayer.
#include "reports/reportpage.h"

#include <QDate>
#include <QList>
#include <QStringList>

class Dataset;

namespace reports {

// The eight printed values of one taxpayer, in column order:
// tCode, tName, tTrade, taxType, tRegistAddress, tContacter, tContactTel, aName.
using TaxerListRow = QStringList;

// The dataset's visible rows in their current order.
QList<TaxerListRow> taxerListRows(const Dataset& qryTaxer);

// Letter landscape; the header with the print date (system short date
// format) on every page.  No rows give one blank page.
report::Report layoutTaxerList(const QList<TaxerListRow>& rows, const QDate& printDate);

} // namespace reports
