#pragma once
// The main window: the menus and the action list, the layout of its parts
// (taxpayer list, search panel, detail area) and what happens when it is
// shown and closed.  The parts own their widgets and handlers.
#include <QMainWindow>
#include <memory>

#include "registry/editbuttons.h"

class DetailPanel;
class QAction;
class QMenu;
class QSplitter;
class SearchPanel;
class TaxerPanel;
class TExportPanel;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    TaxerPanel* taxers = nullptr;
    SearchPanel* search = nullptr;
    DetailPanel* details = nullptr;
    QSplitter* panelTaxerSplitter = nullptr; // search panel over the grid
    QSplitter* mainSplitter = nullptr;       // taxpayer area over the detail area
    QMenu* PopupMenu1 = nullptr;
    TExportPanel* panelExport = nullptr;

    QAction* actImport = nullptr;
    QAction* actExport = nullptr;
    QAction* actExit = nullptr;
    QAction* actArea = nullptr;
    QAction* actTaxType = nullptr;
    QAction* actTaxStatus = nullptr;
    QAction* actTrade = nullptr;
    QAction* actPrintTaxer = nullptr;
    QAction* actPrintDetail = nullptr;
    QAction* actStastics = nullptr;
    QAction* actTaxChart = nullptr;
    QAction* actAbout = nullptr;
    QAction* N20 = nullptr; // "添加到打印列表" of the grid's popup menu

    // The action list, in the order of the table of actions.
    QList<QAction*> act() const;

    void FormShow();
    void actImportExecute();
    void actExitExecute();
    void actAreaExecute();
    void actTaxTypeExecute();
    void actTaxStatusExecute();
    void actTradeExecute();
    void actPrintTaxerExecute();
    void actPrintDetailExecute();
    void actStasticsExecute();
    void actTaxChartExecute();
    void actAboutExecute();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Takes the text of any open cell editor into its dataset.
    void commitEditors();
    // Saves every row being typed through its checks; false when one was refused.
    bool saveAll();

private:
    void createActions();
    void createMenus();
    void createLayout();

    EditButtonDispatch m_dispatch;
    bool m_shown = false;
};
