#pragma once
// The tax chart "税收统计图": the user's payments per calendar year as four
// bar series, one per taxpayer type of the report keys.
#include "app/modaldialog.h"

#include <QList>
#include <QString>

class QBarSet;
class QBarSeries;
class QChart;
class QChartView;
class QGraphicsItem;
class QPagedPaintDevice;

namespace reports {

struct YearEntry {
    QString year; // the first four characters of the payments' dates; "" for undated payments
    double sums[4] = {0, 0, 0, 0};
};

// The year entries in year order, with the sums of the types of the keys
// "rp注册纯地税户", "rp注册共管户", "rp临时纯地税户", "rp临时共管户".  A year with
// payments of any type gets an entry; payments without a date share the
// entry with the empty label.  A failed query is logged and gives no entry.
QList<YearEntry> computeTaxChart(const QString& userCode, const QString& iniFile);

// The chart's statement: the user's payments summed by year and type
// (bound: user code).
extern const char* const kTaxChartSql;

// A bar's mark: "#,##0.###".
QString markText(double value);

} // namespace reports

class TfrmTaxChart : public TfrmModal {
    Q_OBJECT
public:
    explicit TfrmTaxChart(QWidget* parent = nullptr);

    QChart* Chart1 = nullptr;
    QChartView* chartView = nullptr;
    QBarSet* Series[4] = {nullptr, nullptr, nullptr, nullptr};

    const QList<reports::YearEntry>& entries() const { return m_entries; }
    // The marks as drawn, series by series, entry by entry.
    QStringList markTexts() const;

    // Draws the chart on one landscape page, scaled to fit.
    bool printTo(QPagedPaintDevice& device);
    void btnOKClick();

protected:
    void FormShow() override;
    void showEvent(QShowEvent* event) override;

private:
    void placeMarks();

    QBarSeries* m_series = nullptr;
    QList<reports::YearEntry> m_entries;
    QList<QGraphicsItem*> m_marks;
};

extern TfrmTaxChart* frmTaxChart;
