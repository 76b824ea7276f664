#pragma once
// The report layer: a report is a list of pages of boxes placed in
// millimetres from the top-left corner of the printable area (inside the
// margins).  Layout functions build reports from data; one painter routine
// draws them on a PDF writer or a printer, so preview, PDF file and paper
// show the same thing.
#include <QColor>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>

class QFont;
class QPagedPaintDevice;

namespace report {

struct Box {
    enum Kind { Text, Line, RoundRect };
    Kind kind = Text;
    // Text and RoundRect: the box.  Line: from rect.topLeft() to rect.bottomRight().
    QRectF rect;
    QString text;
    QString family;       // the layout's font name: "宋体", "Arial"
    double pointSize = 0; // text
    bool bold = false;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    double penPt = 0; // Line, RoundRect outline
    QColor color = Qt::black;
};

struct Page {
    QList<Box> boxes;
};

// One entry of the page outline a preview offers.
struct OutlineEntry {
    QString title;
    int page = 0; // 0-based
    double topMm = 0;
};

struct Report {
    QString title; // the document's title (PDF metadata, preview caption)
    QPageSize::PageSizeId pageSize = QPageSize::Letter;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    double marginMm = 6.35;
    // The preview offers a page outline and text search.
    bool outlineAndSearch = false;
    QList<OutlineEntry> outline;
    QList<Page> pages;

    QPageLayout pageLayout() const;
    QSizeF printableMm() const;
};

// --- building boxes ---
Box text(const QRectF& mm, const QString& text, const QString& family, double pt, bool bold,
         Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop);
Box line(double x1, double y1, double x2, double y2, double penPt, const QColor& color = Qt::black);
Box roundRect(const QRectF& mm, const QColor& color);

// The font a layout name stands for: "宋体" is AR PL UMing, "Arial" is
// Liberation Sans (Chinese text in it falls back to UMing).
QFont resolveFont(const QString& family, double pointSize, bool bold);

// Text measurement in millimetres, independent of any screen.
double textWidthMm(const QString& text, const QString& family, double pt, bool bold);
double lineHeightMm(const QString& family, double pt, bool bold);
// The longest start of text that fits in widthMm (whole characters).
QString fitText(const QString& text, const QString& family, double pt, bool bold, double widthMm);
// An auto-sized text box: as wide and as high as its text.
Box label(double x, double y, const QString& text, const QString& family, double pt, bool bold);

// --- output ---
// Draws the pages on a device whose page layout is already set.
// Returns false when the painter cannot start (no printer, unwritable file).
bool render(const Report& report, QPagedPaintDevice& device);
// Writes the report as a PDF file (with its outline when it has one).
bool writePdf(const Report& report, const QString& path);

// The boxes as text, one line per box, positions to 0.1 mm: golden files.
QString dumpBoxes(const Report& report);

} // namespace report
