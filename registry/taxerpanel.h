#pragma once
// The taxpayer list of the main window: its datasets, grid, four buttons
// and the events of the list.
#include "app/dataset.h"
#include "app/datasetmodel.h"
#include "app/transaction.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class DbGrid;
class EditButtons;
class EditButtonDispatch;
class QStatusBar;
class QHBoxLayout;

class TaxerPanel : public QObject {
    Q_OBJECT
public:
    TaxerPanel(EditButtonDispatch& dispatch, QWidget* parent);
    ~TaxerPanel() override;

    Dataset* qryTaxer = nullptr;
    Dataset* qryArea = nullptr;
    DbGrid* gridTaxer = nullptr;
    EditButtons* Panel1 = nullptr; // the column of the four buttons
    QStatusBar* sbTaxer = nullptr;
    QWidget* gridRow = nullptr;    // the grid, with room on its right for the export panel
    QHBoxLayout* gridRowLayout = nullptr;

    // The grid pick lists from the dictionaries of the settings file.
    void fillTaxTypeList();
    void fillTaxStatusList();
    void fillTradeList();

    // The user's areas and taxpayers, as the window opens.
    void openAreas(const QString& context);
    void openTaxers(const QString& context, const QString& where, const QVariantList& values);

    // Re-opens a query with the statement it holds; a failure is logged.
    static void activeQuery(Dataset& query);

    // Saves a row being edited or added through its checks (a new row
    // nobody changed is dropped).  False when a check or the engine refused:
    // the row then stays in editing with its input.
    static bool saveEdits(Dataset& ds);

    // Deletes the rows (dataset rows) with their detail records in one
    // transaction; a failure rolls everything back and re-reads the list.
    void deleteTaxers(const QList<int>& rows);

    // The statement of the taxpayer list: the user's rows and a condition.
    static QString listStatement(const QString& where);

    // Saves the detail rows being typed (set by the window); a delete or a
    // change of code waits for them, so none is left with a code that is gone.
    std::function<bool()> saveDetails;

signals:
    // The current taxpayer changed (also after open, append, delete, and a
    // change of its code).
    void afterScroll();

private:
    void qryTaxerAfterInsert(Dataset& ds);
    void qryTaxerBeforeEdit(Dataset& ds);
    void qryTaxerBeforePost(Dataset& ds);
    void qryTaxerAfterPost(Dataset& ds);
    void qryTaxerPostFailed(Dataset& ds);
    void qryTaxerBeforeDelete(Dataset& ds);
    void qryTaxerAfterOpen(Dataset& ds);
    void qryTaxerAfterScroll(Dataset& ds);
    void deleteCurrent();

    QString oldTCode;
    bool m_detailsGone = false; // deleteTaxers has removed the detail rows already
    std::unique_ptr<DatasetModel> m_model;
    std::optional<Transaction> m_codeChange; // carries a changed code to the detail rows
};
