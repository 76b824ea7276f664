#pragma once
// The print preview shared by the three reports: the report rendered to a
// PDF and shown through QtPdf, opened maximised, with page navigation, zoom,
// printing and saving as a PDF file; a page outline and text search for the
// reports that ask for them.
#include "reports/reportpage.h"

#include <QDialog>
#include <QTemporaryDir>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPdfBookmarkModel;
class QPdfDocument;
class QPdfSearchModel;
class QPdfView;
class QSpinBox;
class QTabWidget;
class QTreeView;

namespace reports {

// Shows the report in the preview, modally, maximised; returns when it closes.
void showPreview(const report::Report& report, QWidget* parent);

// --- for tests ---
// While set, showPreview hands the report to the hook instead of opening the
// window.  An empty function restores the window.
void setPreviewHook(std::function<void(const report::Report&)> hook);

} // namespace reports

class TfrmPreview : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPreview(const report::Report& report, QWidget* parent = nullptr);

    // False when the report could not be rendered for the screen.
    bool isLoaded() const { return m_loaded; }
    int pageCount() const;
    int currentPage() const; // 0-based
    void goToPage(int page);

    // The handlers of the bar.
    void btnPrintClick();
    void btnSaveClick();
    // Writes the rendered report to path; false (and logged) on failure.
    bool saveTo(const QString& path);

    QPdfView* view() const { return m_view; }
    QPdfBookmarkModel* bookmarks() const { return m_bookmarks; }
    QPdfSearchModel* search() const { return m_search; }
    QLineEdit* searchEdit() const { return m_searchEdit; }

private:
    void buildBar();
    void buildSidePanel();
    void zoomChosen(int index);
    void zoomBy(double factor);
    void pageChanged(int page);
    void searchResultChosen(const QModelIndex& index);
    void bookmarkChosen(const QModelIndex& index);

    report::Report m_report;
    QTemporaryDir m_dir;
    QString m_pdfPath;
    bool m_loaded = false;
    QPdfDocument* m_doc = nullptr;
    QPdfView* m_view = nullptr;
    QPdfBookmarkModel* m_bookmarks = nullptr;
    QPdfSearchModel* m_search = nullptr;
    QTabWidget* m_side = nullptr;
    QTreeView* m_outlineView = nullptr;
    QLineEdit* m_searchEdit = nullptr;
    QListView* m_results = nullptr;
    QSpinBox* m_page = nullptr;
    QLabel* m_pageTotal = nullptr;
    QComboBox* m_zoom = nullptr;
};
