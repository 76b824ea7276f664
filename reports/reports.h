#pragma once
// What the main window calls from its print, statistics and chart actions.
// Each opens its window modally and returns when the user has closed it.
#include <QDate>
#include <QString>
#include <QStringList>

class Dataset;
class QWidget;

// "打印纳税人列表": the list over the dataset's visible rows in their current
// order (nothing is queried anew); an empty dataset previews a blank page.
// The area column reads the dataset's "aName" field when it has one, else
// the signed-in user's area of the row's aCode.
void printTaxerList(const Dataset& qryTaxer, QWidget* parent);

// "打印纳税人细目": the detail sheet of qryTaxer's current taxpayer.  Does
// nothing when the dataset is not open, has no current row or the row's
// tCode is NULL; the caller need not check.  A code that matches no stored
// taxpayer (a new row not yet saved) previews a blank page.
void printTaxerDetail(const Dataset& qryTaxer, QWidget* parent);

// "统计报表": the statistics sheet for the signed-in user, today.
void printStatistics(QWidget* parent);

// "税收统计图": the chart window, modal, maximised.
void showTaxChart(QWidget* parent);
