#pragma once
#include "app/modaldialog.h"

#include <QString>

class QCalendarWidget;

// The date picker: one month calendar; OK gives the chosen day as "YYYY-MM-DD".
class TfrmSelectDate : public TfrmModal {
    Q_OBJECT
public:
    explicit TfrmSelectDate(QWidget* parent = nullptr);

    QCalendarWidget* MonthCalendar1 = nullptr;
    QString dateText; // in: the column's text; out on OK: the chosen date

protected:
    void FormShow() override;

private:
    void btnOKClick();
};

extern TfrmSelectDate* frmSelectDate; // set while selectDate runs

// Shows the picker on dateText.  True when a date was confirmed; dateText then
// holds it as "YYYY-MM-DD", otherwise it is left as passed in.
bool selectDate(QString& dateText);
