#pragma once
// The taxpayer detail sheet "税户详细信息": the taxpayer's record and its 20
// latest business periods, assessments and payments.
#include "reports/reportpage.h"

#include <QList>
#include <QStringList>

namespace reports {

struct TaxerDetail {
    bool found = false; // a stored taxpayer has the code
    // The eleven values in sheet order: tCode, tName, tTrade, tContacter,
    // taxType, tContactTel, taxStatus, tOpenDate, tRegistDate, aName, tRegistAddress.
    QStringList fields;
    QList<QStringList> periods;  // tStartDate, tEndDate, tRemark
    QList<QStringList> audits;   // aStartDate, aEndDate, aCount, aRatio, aTax
    QList<QStringList> payments; // tDate, tTax
};

// Reads the sheet's data for a code.  False when the taxpayer query failed
// (logged under "frmMain.actPrintDetailExecute"): no sheet is shown then.
// Each section holds the 20 newest rows and every further row whose date
// equals the 20th row's date, newest first.
bool loadTaxerDetail(const QString& tCode, TaxerDetail& detail);

// Letter portrait; the header on every page; a taxpayer not found gives one
// blank page.  A section without rows still prints its title block.
report::Report layoutTaxerDetail(const TaxerDetail& detail);

} // namespace reports
