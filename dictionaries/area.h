#pragma once
#include "app/modaldialog.h"

#include <QString>

class Dataset;
class DatasetModel;
class DbGrid;

// The area editor: the signed-in user's areas in a grid, with two edits bound
// to the current row's code and name and the four edit buttons below it.
// Saved changes are in the database at once.
class TfrmArea : public TfrmModal {
    Q_OBJECT
public:
    explicit TfrmArea(QWidget* parent = nullptr);

    Dataset* qryArea = nullptr;
    DatasetModel* dsArea = nullptr;
    DbGrid* gridArea = nullptr;
    QFrame* panelMaintain = nullptr;
    QLineEdit* edtCode = nullptr;
    QLineEdit* edtName = nullptr;
    QPushButton* btnAdd = nullptr;    // tag 1
    QPushButton* btnDel = nullptr;    // tag 2
    QPushButton* btnSave = nullptr;   // tag 3
    QPushButton* btnCancel = nullptr; // tag 4

protected:
    void FormShow() override;

private:
    void btnAddClick(int tag);
    void btnOKClick();
    void dsAreaStateChange();
    void qryAreaAfterInsert(Dataset& ds);
    void qryAreaBeforeEdit(Dataset& ds);
    void qryAreaBeforePost(Dataset& ds);
    // The bound edits follow the current row; typing into one edits the row.
    void showCurrentRow();
    void edtEdited(const QString& field, const QString& text);

    QString oldACode;          // aCode of the current row when it went into editing
    QString m_typingField;     // the field whose edit is being typed into
    bool m_showingRow = false; // the edits are being set from the row
};

extern TfrmArea* frmArea; // set while manageArea runs

// Opens the area editor; true when it was closed with 确定.  The caller
// re-opens its own area list whatever the result: rows saved before the
// dialog closed are in the database.
bool manageArea();
