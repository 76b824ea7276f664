#include "reports/preview.h"

#include "app/common.h"
#include "app/handler.h"
#include "reports/printing.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPdfBookmarkModel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfSearchModel>
#include <QPdfView>
#include <QPrinter>
#include <QSaveFile>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace reports {

namespace {
std::function<void(const report::Report&)> previewHook;
} // namespace

void setPreviewHook(std::function<void(const report::Report&)> hook)
{
    previewHook = std::move(hook);
}

void showPreview(const report::Report& report, QWidget* parent)
{
    if (previewHook) {
        previewHook(report);
        return;
    }
    TfrmPreview preview(report, parent);
    // An empty window would pass for an empty report.
    if (!preview.isLoaded()) {
        infoBox(QStringLiteral("报表无法生成预览。"));
        return;
    }
    preview.setWindowState(Qt::WindowMaximized);
    preview.exec();
}

} // namespace reports

TfrmPreview::TfrmPreview(const report::Report& report, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_report(report)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("打印预览 - %1").arg(report.title));
    resize(900, 650);

    m_doc = new QPdfDocument(this);
    m_view = new QPdfView(this);
    m_view->setObjectName(QStringLiteral("viewPdf"));
    m_view->setAccessibleName(QStringLiteral("报表页面"));
    m_view->setPageMode(QPdfView::PageMode::MultiPage);
    m_view->setZoomMode(QPdfView::ZoomMode::FitInView);
    m_view->setDocument(m_doc);

    if (m_dir.isValid()) {
        m_pdfPath = m_dir.filePath(QStringLiteral("report.pdf"));
        m_loaded =
            report::writePdf(m_report, m_pdfPath) && m_doc->load(m_pdfPath) == QPdfDocument::Error::None;
    }
    if (!m_loaded)
        writeErrorLog(QStringLiteral("frmPreview.create"),
                      QStringLiteral("报表无法生成预览：%1").arg(m_pdfPath));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildBar();
    auto* bar = findChild<QToolBar*>(QStringLiteral("barPreview"));
    layout->addWidget(bar);
    if (m_report.outlineAndSearch) {
        auto* split = new QSplitter(Qt::Horizontal, this);
        buildSidePanel();
        split->addWidget(m_side);
        split->addWidget(m_view);
        split->setStretchFactor(1, 1);
        split->setSizes({220, 800});
        layout->addWidget(split, 1);
    } else {
        layout->addWidget(m_view, 1);
    }
    connect(m_view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
            [this](int page) { pageChanged(page); });
    pageChanged(0);
}

void TfrmPreview::buildBar()
{
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("barPreview"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [this, bar](const char* name, const QString& text, const QKeySequence& key, auto handler) {
        auto* a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setToolTip(key.isEmpty()
                          ? text
                          : QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText)));
        connect(a, &QAction::triggered, this, guarded(handler));
        bar->addAction(a);
        return a;
    };
    add("actPrint", QStringLiteral("打印"), QKeySequence::Print, [this] { btnPrintClick(); });
    add("actSave", QStringLiteral("保存为PDF"), QKeySequence::Save, [this] { btnSaveClick(); });
    bar->addSeparator();
    add("actFirst", QStringLiteral("首页"), QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { goToPage(0); });
    add("actPrior", QStringLiteral("上一页"), QKeySequence(Qt::Key_PageUp),
        [this] { goToPage(currentPage() - 1); });
    m_page = new QSpinBox(bar);
    m_page->setObjectName(QStringLiteral("spinPage"));
    m_page->setAccessibleName(QStringLiteral("页码"));
    m_page->setToolTip(QStringLiteral("页码"));
    m_page->setRange(1, qMax(1, pageCount()));
    m_page->setKeyboardTracking(false);
    connect(m_page, &QSpinBox::valueChanged, this, [this](int v) {
        if (v - 1 != currentPage())
            goToPage(v - 1);
    });
    bar->addWidget(m_page);
    m_pageTotal = new QLabel(QStringLiteral(" / %1 页 ").arg(pageCount()), bar);
    bar->addWidget(m_pageTotal);
    add("actNext", QStringLiteral("下一页"), QKeySequence(Qt::Key_PageDown),
        [this] { goToPage(currentPage() + 1); });
    add("actLast", QStringLiteral("末页"), QKeySequence(Qt::CTRL | Qt::Key_End),
        [this] { goToPage(pageCount() - 1); });
    bar->addSeparator();
    add("actZoomOut", QStringLiteral("缩小"), QKeySequence::ZoomOut, [this] { zoomBy(1 / 1.25); });
    add("actZoomIn", QStringLiteral("放大"), QKeySequence::ZoomIn, [this] { zoomBy(1.25); });
    m_zoom = new QComboBox(bar);
    m_zoom->setObjectName(QStringLiteral("cbbZoom"));
    m_zoom->setAccessibleName(QStringLiteral("显示比例"));
    m_zoom->setToolTip(QStringLiteral("显示比例"));
    m_zoom->addItem(QStringLiteral("整页"), 0.0);
    m_zoom->addItem(QStringLiteral("页宽"), -1.0);
    for (int pc : {50, 75, 100, 150, 200})
        m_zoom->addItem(QStringLiteral("%1%").arg(pc), pc / 100.0);
    connect(m_zoom, &QComboBox::activated, this, [this](int i) { zoomChosen(i); });
    bar->addWidget(m_zoom);
    bar->addSeparator();
    add("actClose", QStringLiteral("关闭"), QKeySequence(), [this] { reject(); });
}

void TfrmPreview::buildSidePanel()
{
    m_side = new QTabWidget(this);
    m_side->setObjectName(QStringLiteral("tabSide"));

    m_bookmarks = new QPdfBookmarkModel(this);
    m_bookmarks->setDocument(m_doc);
    m_outlineView = new QTreeView(m_side);
    m_outlineView->setObjectName(QStringLiteral("treeOutline"));
    m_outlineView->setAccessibleName(QStringLiteral("大纲"));
    m_outlineView->setModel(m_bookmarks);
    m_outlineView->setHeaderHidden(true);
    connect(m_outlineView, &QTreeView::activated, this, [this](const QModelIndex& i) { bookmarkChosen(i); });
    connect(m_outlineView, &QTreeView::clicked, this, [this](const QModelIndex& i) { bookmarkChosen(i); });
    m_side->addTab(m_outlineView, QStringLiteral("大纲"));

    auto* find = new QWidget(m_side);
    auto* fl = new QVBoxLayout(find);
    auto* caption = new QLabel(QStringLiteral("查找内容(&F):"), find);
    m_searchEdit = new QLineEdit(find);
    m_searchEdit->setObjectName(QStringLiteral("edtSearch"));
    m_searchEdit->setAccessibleName(QStringLiteral("查找内容"));
    m_searchEdit->setClearButtonEnabled(true);
    caption->setBuddy(m_searchEdit);
    m_search = new QPdfSearchModel(this);
    m_search->setDocument(m_doc);
    connect(m_searchEdit, &QLineEdit::textChanged, m_search, &QPdfSearchModel::setSearchString);
    m_results = new QListView(find);
    m_results->setObjectName(QStringLiteral("lstResults"));
    m_results->setAccessibleName(QStringLiteral("查找结果"));
    m_results->setModel(m_search);
    connect(m_results, &QListView::activated, this, [this](const QModelIndex& i) { searchResultChosen(i); });
    connect(m_results, &QListView::clicked, this, [this](const QModelIndex& i) { searchResultChosen(i); });
    fl->addWidget(caption);
    fl->addWidget(m_searchEdit);
    fl->addWidget(m_results, 1);
    m_side->addTab(find, QStringLiteral("查找"));
}

int TfrmPreview::pageCount() const
{
    return m_doc ? m_doc->pageCount() : 0;
}

int TfrmPreview::currentPage() const
{
    return m_view->pageNavigator()->currentPage();
}

void TfrmPreview::goToPage(int page)
{
    if (pageCount() == 0)
        return;
    page = qBound(0, page, pageCount() - 1);
    m_view->pageNavigator()->jump(page, QPointF(), m_view->pageNavigator()->currentZoom());
    pageChanged(page);
}

void TfrmPreview::pageChanged(int page)
{
    if (m_page && m_page->value() != page + 1) {
        const QSignalBlocker block(m_page);
        m_page->setValue(page + 1);
    }
}

void TfrmPreview::zoomChosen(int index)
{
    const double z = m_zoom->itemData(index).toDouble();
    if (z == 0.0) {
        m_view->setZoomMode(QPdfView::ZoomMode::FitInView);
    } else if (z < 0) {
        m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    } else {
        m_view->setZoomMode(QPdfView::ZoomMode::Custom);
        m_view->setZoomFactor(z);
    }
}

void TfrmPreview::zoomBy(double factor)
{
    const double z = qBound(0.1, m_view->zoomFactor() * factor, 8.0);
    m_view->setZoomMode(QPdfView::ZoomMode::Custom);
    m_view->setZoomFactor(z);
}

void TfrmPreview::bookmarkChosen(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const int page = index.data(int(QPdfBookmarkModel::Role::Page)).toInt();
    const QPointF at = index.data(int(QPdfBookmarkModel::Role::Location)).toPointF();
    m_view->pageNavigator()->jump(page, at, m_view->pageNavigator()->currentZoom());
    pageChanged(page);
}

void TfrmPreview::searchResultChosen(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const int page = index.data(int(QPdfSearchModel::Role::Page)).toInt();
    const QPointF at = index.data(int(QPdfSearchModel::Role::Location)).toPointF();
    m_view->pageNavigator()->jump(page, at, m_view->pageNavigator()->currentZoom());
    pageChanged(page);
}

void TfrmPreview::btnPrintClick()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_report.title);
    printer.setPageLayout(m_report.pageLayout());
    printer.setFromTo(0, 0);
    if (!reports::askPrinter(printer, this))
        return;
    // A page range chosen in the dialog prints those pages only.
    report::Report toPrint = m_report;
    if (printer.fromPage() > 0) {
        const int from = printer.fromPage() - 1;
        const int to = qMin(int(m_report.pages.size()), printer.toPage());
        toPrint.pages = m_report.pages.mid(from, qMax(0, to - from));
    }
    printer.setPageLayout(m_report.pageLayout());
    if (!report::render(toPrint, printer))
        infoBox(QStringLiteral("打印机无法开始打印。"));
}

void TfrmPreview::btnSaveClick()
{
    const QString path = reports::askSavePdfName(this, m_report.title + QStringLiteral(".pdf"));
    if (path.isEmpty())
        return;
    if (!saveTo(path))
        infoBox(QStringLiteral("无法保存文件 %1。").arg(path));
}

bool TfrmPreview::saveTo(const QString& path)
{
    // Written through a save file: a failed save leaves an existing file as it was.
    QFile in(m_pdfPath);
    QSaveFile out(path);
    if (m_loaded && in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly) &&
        out.write(in.readAll()) == in.size() && out.commit())
        return true;
    writeErrorLog(QStringLiteral("frmPreview.btnSaveClick"), QStringLiteral("无法保存文件 %1").arg(path));
    return false;
}
