#pragma once
// The search panel above the taxpayer list: the eight conditions, the quick
// locate box and the clearing of the selection marks.
#include <QTimer>
#include <QVariantList>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TaxerPanel;

class SearchPanel : public QWidget {
    Q_OBJECT
public:
    SearchPanel(TaxerPanel& taxers, QWidget* parent = nullptr);

    QLineEdit* edtTCode = nullptr;
    QLineEdit* edtRegName = nullptr;
    QComboBox* cbbTrade = nullptr;
    QComboBox* cbbTaxType = nullptr;
    QComboBox* cbbSelected = nullptr;
    QPushButton* btnClearSelected = nullptr;
    QComboBox* cbbTaxStatus = nullptr;
    QLineEdit* edtContacter = nullptr;
    QLineEdit* edtRegAddr = nullptr;
    QGroupBox* gbQuickLocate = nullptr;
    QLineEdit* edtQuicktCode = nullptr;
    QPushButton* btnClearQuickTCode = nullptr;
    QPushButton* btnClearSearch = nullptr;
    QPushButton* btnSearch = nullptr;
    QTimer timerLocate;

    // The three search boxes from the dictionaries, each with an empty first
    // item; a chosen item still in the list stays chosen.
    void fillSearchBoxes();

    // The condition of the entered search: text and bound values.
    void searchCondition(QString& where, QVariantList& values) const;

    void btnSearchClick(QPushButton* button);
    void btnClearSelectedClick();
    void edtQuicktCodeChange();
    void timerLocateTimer();
    void btnClearQuickTCodeClick();

private:
    TaxerPanel& m_taxers;
};
