#pragma once
// The detail area of the main window: business periods, assessments and tax
// payments of the current taxpayer, refreshed once the cursor has rested on
// a taxpayer for 100 ms.
#include "app/dataset.h"
#include "app/datasetmodel.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class DbGrid;
class EditButtonDispatch;
class EditButtons;
class QSplitter;
class TaxerPanel;

class DetailPanel : public QWidget {
    Q_OBJECT
public:
    DetailPanel(TaxerPanel& taxers, EditButtonDispatch& dispatch, QWidget* parent = nullptr);
    ~DetailPanel() override;

    Dataset* qryYingye = nullptr;
    Dataset* qryAudit = nullptr;
    Dataset* qryTax = nullptr;
    DbGrid* gridYingye = nullptr;
    DbGrid* gridAudit = nullptr;
    DbGrid* gridTax = nullptr;
    QSplitter* splitter = nullptr;
    QTimer timerTaxer;

    void timerTaxerTimer();
    void qryYingyeAfterInsert(Dataset& ds);
    void qryAuditBeforePost(Dataset& ds);

    // Saves the detail rows being edited; false when one was refused.
    bool saveEdits();

    // The date buttons of the taxpayer grid and the detail grids.
    void gridTaxertaxStatusChangeDateButtonClick();
    void gridTaxertRegistDateButtonClick();
    void gridTaxertOpenDateButtonClick();
    void gridYingyetStartDateButtonClick();
    void gridYingyetEndDateButtonClick();
    void gridAuditaStartDateButtonClick();
    void gridAuditaEndDateButtonClick();
    void gridTaxtDateButtonClick();

private:
    QWidget* makePart(const char* panelName, const char* statusText, DbGrid* grid, EditButtons* buttons);

    TaxerPanel& m_taxers;
    std::unique_ptr<DatasetModel> m_yingyeModel, m_auditModel, m_taxModel;
};

// Date button of a grid column: the picker on the field's text; on OK the
// row goes into editing (if it is not already) and takes the chosen date.
void pickDate(Dataset& ds, const QString& field);
