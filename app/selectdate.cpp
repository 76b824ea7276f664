#include "app/selectdate.h"
#include "app/handler.h"

#include "app/common.h"

#include <QCalendarWidget>
#include <QDate>
#include <QFrame>
#include <QPushButton>
#include <QVBoxLayout>

TfrmSelectDate* frmSelectDate = nullptr;

namespace {

// Reads year, month and day separated by hyphens; an invalid date on failure.
QDate readDate(const QString& text)
{
    const QStringList parts = trimText(text).split(QLatin1Char('-'));
    if (parts.size() != 3)
        return {};
    int ymd[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        ymd[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return {};
    }
    return QDate(ymd[0], ymd[1], ymd[2]);
}

} // namespace

TfrmSelectDate::TfrmSelectDate(QWidget* parent) : TfrmModal(parent)
{
    setObjectName(QStringLiteral("frmSelectDate"));
    setWindowTitle(QStringLiteral("选择日期"));
    setClientSize(311, 225);

    MonthCalendar1 = new QCalendarWidget(Panel1);
    MonthCalendar1->setObjectName(QStringLiteral("MonthCalendar1"));
    MonthCalendar1->setGridVisible(true);
    auto* fill = new QVBoxLayout(Panel1);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(MonthCalendar1);

    connect(btnOK, &QPushButton::clicked, this, guarded([this] { btnOKClick(); }));
}

void TfrmSelectDate::FormShow()
{
    QDate date = QDate::currentDate();
    if (!dateText.isEmpty()) {
        // An unreadable text leaves the calendar on today; nothing is stored
        // unless the user confirms a day.
        const QDate read = readDate(dateText);
        if (read.isValid())
            date = read;
    }
    MonthCalendar1->setSelectedDate(date);
    MonthCalendar1->setCurrentPage(date.year(), date.month());
    MonthCalendar1->setFocus();
}

void TfrmSelectDate::btnOKClick()
{
    dateText = MonthCalendar1->selectedDate().toString(QStringLiteral("yyyy-MM-dd"));
    accept();
}

bool selectDate(QString& dateText)
{
    DialogScope<TfrmSelectDate> form(frmSelectDate);
    form->dateText = dateText;
    const int result = form->exec();
    if (result == QDialog::Accepted)
        dateText = form->dateText;
    return result == QDialog::Accepted;
}
