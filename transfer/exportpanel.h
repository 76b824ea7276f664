#pragma once
#include <QFrame>
#include <QList>
#include <functional>

class Dataset;
class QListWidget;
class QPushButton;

// The export panel beside the taxpayer grid: the export list and its
// buttons.  The window places it right of gridTaxer (103 wide, hidden at
// start), toggles it with actExport (actExportExecute) and calls N20Click
// from the grid's popup item "添加到打印列表".
class TExportPanel : public QFrame {
    Q_OBJECT
public:
    // qryTaxer: the window's taxpayer list.  selectedRows: the visible rows
    // of qryTaxer selected in gridTaxer, in the grid's order.  reQuery: runs
    // the taxpayer list again (activeQuery(qryTaxer) in the window).
    TExportPanel(Dataset& qryTaxer, std::function<QList<int>()> selectedRows, std::function<void()> reQuery,
                 QWidget* parent = nullptr);

    QListWidget* lbExport = nullptr;
    QFrame* Panel10 = nullptr;
    QPushButton* btnClearLB = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnClosePrint = nullptr;

    // The export list's codes, in list order.
    QStringList codes() const;

    // Shows the panel when hidden, hides it when shown.
    void actExportExecute();
    // Adds the codes of the grid's selected rows to the export list.
    void N20Click();
    // Removes the selected item of the list.
    void lbExportDblClick();
    // Empties the list after the user agrees.
    void btnClearLBClick();
    // Writes the listed taxpayers into a package and, once it is proven,
    // deletes them from the database.
    void btnExportClick();

private:
    bool listed(const QString& code) const;

    Dataset& m_qryTaxer;
    std::function<QList<int>()> m_selectedRows;
    std::function<void()> m_reQuery;
};
