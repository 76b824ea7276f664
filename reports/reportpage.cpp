#include "reports/reportpage.h"

#include "reports/pdfoutline.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <map>
#include <memory>

namespace report {

namespace {

// Layout measures every font at one pixel size and scales: widths do not
// depend on the screen, and the font engine keeps its glyph caches at this
// size (it drops them for very large ones).
constexpr int kMeasurePx = 64;

QString realFamily(const QString& family)
{
    if (family == QStringLiteral("宋体"))
        return QStringLiteral("AR PL UMing CN");
    if (family == QStringLiteral("Arial"))
        return QStringLiteral("Liberation Sans");
    return family;
}

QString fontKey(const QString& family, double pt, bool bold)
{
    return QStringLiteral("%1|%2|%3").arg(family).arg(pt).arg(bold ? 1 : 0);
}

// Metrics of a face at the measuring size, cached per family and weight.
const QFontMetricsF& measureMetrics(const QString& family, bool bold)
{
    static std::map<std::pair<QString, bool>, std::unique_ptr<QFontMetricsF>> cache;
    auto& slot = cache[{family, bold}];
    if (!slot) {
        QFont f = resolveFont(family, 10, bold);
        f.setPixelSize(kMeasurePx);
        slot = std::make_unique<QFontMetricsF>(f);
    }
    return *slot;
}

// Millimetres per measured pixel for a point size.
constexpr double mmPerPx(double pt)
{
    return pt * 25.4 / 72.0 / kMeasurePx;
}

} // namespace

QPageLayout Report::pageLayout() const
{
    return QPageLayout(QPageSize(pageSize), orientation, QMarginsF(marginMm, marginMm, marginMm, marginMm),
                       QPageLayout::Millimeter);
}

QSizeF Report::printableMm() const
{
    return pageLayout().paintRect(QPageLayout::Millimeter).size();
}

Box text(const QRectF& mm, const QString& text, const QString& family, double pt, bool bold,
         Qt::Alignment align)
{
    Box b;
    b.kind = Box::Text;
    b.rect = mm;
    b.text = text;
    b.family = family;
    b.pointSize = pt;
    b.bold = bold;
    b.align = align;
    return b;
}

Box line(double x1, double y1, double x2, double y2, double penPt, const QColor& color)
{
    Box b;
    b.kind = Box::Line;
    b.rect = QRectF(QPointF(x1, y1), QPointF(x2, y2));
    b.penPt = penPt;
    b.color = color;
    return b;
}

Box roundRect(const QRectF& mm, const QColor& color)
{
    Box b;
    b.kind = Box::RoundRect;
    b.rect = mm;
    b.penPt = 0.75;
    b.color = color;
    return b;
}

QFont resolveFont(const QString& family, double pointSize, bool bold)
{
    QFont f(realFamily(family));
    // Chinese text in a Latin face falls back to the Song face, never to a
    // face whose PDF text maps characters to look-alike radicals.
    f.setFamilies({realFamily(family), QStringLiteral("AR PL UMing CN")});
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);
    return f;
}

double textWidthMm(const QString& text, const QString& family, double pt, bool bold)
{
    return measureMetrics(family, bold).horizontalAdvance(text) * mmPerPx(pt);
}

double lineHeightMm(const QString& family, double pt, bool bold)
{
    return measureMetrics(family, bold).height() * mmPerPx(pt);
}

QString fitText(const QString& text, const QString& family, double pt, bool bold, double widthMm)
{
    const QFontMetricsF& fm = measureMetrics(family, bold);
    const double limit = widthMm / mmPerPx(pt);
    if (fm.horizontalAdvance(text) <= limit)
        return text;
    // Longest prefix that fits: advances grow with the prefix, so bisect.
    qsizetype lo = 0, hi = text.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (fm.horizontalAdvance(text.left(mid)) <= limit)
            lo = mid;
        else
            hi = mid - 1;
    }
    // Never cut a surrogate pair in two.
    if (lo > 0 && text.at(lo - 1).isHighSurrogate())
        --lo;
    return text.left(lo);
}

Box label(double x, double y, const QString& t, const QString& family, double pt, bool bold)
{
    return text(QRectF(x, y, textWidthMm(t, family, pt, bold), lineHeightMm(family, pt, bold)), t, family, pt,
                bold);
}

bool render(const Report& report, QPagedPaintDevice& device)
{
    QPainter p;
    if (!p.begin(&device))
        return false;
    const double pxPerMm = device.logicalDpiX() / 25.4;
    const double pxPerPt = device.logicalDpiX() / 72.0;
    auto px = [pxPerMm](const QRectF& r) {
        return QRectF(r.x() * pxPerMm, r.y() * pxPerMm, r.width() * pxPerMm, r.height() * pxPerMm);
    };
    // Text is placed at its baseline: much cheaper than laying it out in a
    // rectangle, and the same on every device.
    struct DeviceFont {
        QFont font;
        QFontMetricsF metrics;
    };
    std::map<QString, std::unique_ptr<DeviceFont>> fonts;
    QString currentFamily;
    double currentPt = 0;
    bool currentBold = false;
    DeviceFont* df = nullptr;
    QColor penColour = Qt::black;
    double penWidth = 0;
    p.setPen(QPen(penColour, penWidth, Qt::SolidLine, Qt::SquareCap));
    for (qsizetype n = 0; n < report.pages.size(); ++n) {
        if (n > 0 && !device.newPage()) {
            p.end();
            return false;
        }
        for (const Box& b : report.pages.at(n).boxes) {
            switch (b.kind) {
            case Box::Text: {
                if (!df || b.pointSize != currentPt || b.bold != currentBold || b.family != currentFamily) {
                    auto& slot = fonts[fontKey(b.family, b.pointSize, b.bold)];
                    if (!slot) {
                        const QFont f = resolveFont(b.family, b.pointSize, b.bold);
                        slot = std::make_unique<DeviceFont>(DeviceFont{f, QFontMetricsF(f, &device)});
                    }
                    df = slot.get();
                    p.setFont(df->font);
                    currentFamily = b.family;
                    currentPt = b.pointSize;
                    currentBold = b.bold;
                }
                // Text takes the pen's colour only; its width stays for the rules.
                if (penColour != b.color) {
                    penColour = b.color;
                    p.setPen(QPen(penColour, penWidth, Qt::SolidLine, Qt::SquareCap));
                }
                const QRectF r = px(b.rect);
                double x = r.left();
                if (b.align & (Qt::AlignHCenter | Qt::AlignRight)) {
                    // The layout's own measure, so text sits where the layout placed it.
                    const double w = textWidthMm(b.text, b.family, b.pointSize, b.bold) * pxPerMm;
                    x = (b.align & Qt::AlignRight) ? r.right() - w : r.left() + (r.width() - w) / 2;
                }
                double y = r.top() + df->metrics.ascent();
                if (b.align & Qt::AlignVCenter)
                    y = r.top() + (r.height() - df->metrics.height()) / 2 + df->metrics.ascent();
                else if (b.align & Qt::AlignBottom)
                    y = r.bottom() - df->metrics.descent();
                p.drawText(QPointF(x, y), b.text);
                break;
            }
            case Box::Line: {
                if (penColour != b.color || penWidth != b.penPt * pxPerPt) {
                    penColour = b.color;
                    penWidth = b.penPt * pxPerPt;
                    p.setPen(QPen(penColour, penWidth, Qt::SolidLine, Qt::SquareCap));
                }
                const QRectF r = px(b.rect);
                p.drawLine(r.topLeft(), r.bottomRight());
                break;
            }
            case Box::RoundRect: {
                penColour = b.color;
                penWidth = b.penPt * pxPerPt;
                p.setPen(QPen(penColour, penWidth, Qt::SolidLine, Qt::SquareCap));
                p.setBrush(b.color);
                p.drawRoundedRect(px(b.rect), 1.5 * pxPerMm, 1.5 * pxPerMm);
                p.setBrush(Qt::NoBrush);
                break;
            }
            }
        }
    }
    return p.end();
}

bool writePdf(const Report& report, const QString& path)
{
    {
        QPdfWriter writer(path);
        writer.setResolution(1200);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("Corvane"));
        writer.setPageLayout(report.pageLayout());
        if (!render(report, writer))
            return false;
    }
    if (report.outline.isEmpty())
        return true;
    const QSizeF pagePt = report.pageLayout().fullRect(QPageLayout::Point).size();
    QList<pdfoutline::Entry> entries;
    for (const OutlineEntry& e : report.outline) {
        const double topPt = pagePt.height() - (report.marginMm + e.topMm) * 72.0 / 25.4;
        entries.append({e.title, e.page, topPt});
    }
    return pdfoutline::addOutline(path, entries);
}

QString dumpBoxes(const Report& report)
{
    auto mm = [](double v) { return QString::number(v, 'f', 1); };
    QString out;
    out += QStringLiteral("report %1 %2 %3 pages %4\n")
               .arg(report.title, QPageSize::name(report.pageSize),
                    report.orientation == QPageLayout::Landscape ? QStringLiteral("landscape")
                                                                 : QStringLiteral("portrait"))
               .arg(report.pages.size());
    for (const OutlineEntry& e : report.outline)
        out += QStringLiteral("outline %1 page %2 at %3\n").arg(e.title).arg(e.page + 1).arg(mm(e.topMm));
    for (qsizetype n = 0; n < report.pages.size(); ++n) {
        out += QStringLiteral("page %1\n").arg(n + 1);
        for (const Box& b : report.pages.at(n).boxes) {
            const QRectF& r = b.rect;
            switch (b.kind) {
            case Box::Text: {
                QString align = (b.align & Qt::AlignHCenter) ? QStringLiteral("centre")
                                : (b.align & Qt::AlignRight) ? QStringLiteral("right")
                                                             : QStringLiteral("left");
                out += QStringLiteral("text %1 %2 %3 %4 %5 %6%7 %8 |%9|\n")
                           .arg(mm(r.x()), mm(r.y()), mm(r.width()), mm(r.height()), b.family)
                           .arg(b.pointSize)
                           .arg(b.bold ? QStringLiteral(" bold") : QString(), align, b.text);
                break;
            }
            case Box::Line:
                out += QStringLiteral("line %1 %2 %3 %4 %5pt %6\n")
                           .arg(mm(r.left()), mm(r.top()), mm(r.right()), mm(r.bottom()))
                           .arg(b.penPt)
                           .arg(b.color.name());
                break;
            case Box::RoundRect:
                out += QStringLiteral("roundrect %1 %2 %3 %4 %5\n")
                           .arg(mm(r.x()), mm(r.y()), mm(r.width()), mm(r.height()), b.color.name());
                break;
            }
        }
    }
    return out;
}

} // namespace report
