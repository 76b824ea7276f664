#include "reports/pdfoutline.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

namespace pdfoutline {

namespace {

// The body of object "id 0 obj ... endobj", or empty when absent.
QByteArray objectBody(const QByteArray& pdf, int id)
{
    const QByteArray head = "\n" + QByteArray::number(id) + " 0 obj";
    const qsizetype at = pdf.lastIndexOf(head);
    if (at < 0)
        return {};
    const qsizetype start = at + head.size();
    const qsizetype end = pdf.indexOf("endobj", start);
    if (end < 0)
        return {};
    return pdf.mid(start, end - start);
}

int refAfter(const QByteArray& text, const char* key)
{
    const QRegularExpression re(
        QStringLiteral("%1\\s+(\\d+)\\s+0\\s+R").arg(QRegularExpression::escape(QLatin1String(key))));
    const auto m = re.match(QString::fromLatin1(text));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A text string as PDF wants it for any script: UTF-16BE with a BOM, in hex.
QByteArray pdfText(const QString& s)
{
    QByteArray utf16 = "\xFE\xFF";
    for (QChar c : s) {
        utf16.append(char(c.unicode() >> 8));
        utf16.append(char(c.unicode() & 0xFF));
    }
    return "<" + utf16.toHex().toUpper() + ">";
}

QByteArray num(double v)
{
    return QByteArray::number(v, 'f', 2);
}

} // namespace

bool addOutline(const QString& path, const QList<Entry>& entries)
{
    if (entries.isEmpty())
        return true;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pdf = in.readAll();
    in.close();

    const qsizetype trailerAt = pdf.lastIndexOf("trailer");
    const qsizetype startxrefAt = pdf.lastIndexOf("startxref");
    if (trailerAt < 0 || startxrefAt < trailerAt)
        return false;
    const QByteArray trailer = pdf.mid(trailerAt, startxrefAt - trailerAt);
    const int root = refAfter(trailer, "/Root");
    const int info = refAfter(trailer, "/Info");
    const QRegularExpression sizeRe(QStringLiteral("/Size\\s+(\\d+)"));
    const auto sizeMatch = sizeRe.match(QString::fromLatin1(trailer));
    bool ok = false;
    const qint64 prevXref = pdf.mid(startxrefAt + 9).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (root < 0 || !sizeMatch.hasMatch() || !ok)
        return false;
    const int size = sizeMatch.captured(1).toInt();

    const int pagesId = refAfter(objectBody(pdf, root), "/Pages");
    if (pagesId < 0)
        return false;
    const QByteArray pagesBody = objectBody(pdf, pagesId);
    const qsizetype kidsAt = pagesBody.indexOf("/Kids");
    const qsizetype kidsEnd = pagesBody.indexOf(']', kidsAt);
    if (kidsAt < 0 || kidsEnd < 0)
        return false;
    QList<int> pageIds;
    const QRegularExpression refRe(QStringLiteral("(\\d+)\\s+0\\s+R"));
    auto it = refRe.globalMatch(QString::fromLatin1(pagesBody.mid(kidsAt, kidsEnd - kidsAt)));
    while (it.hasNext())
        pageIds.append(it.next().captured(1).toInt());

    // New objects: the outline root, one item per entry; then the catalog
    // again under its own number, now naming the outline.
    const int outlineId = size;
    const int firstItem = size + 1;
    const int n = int(entries.size());
    QList<qint64> offsets;
    QByteArray update = "\n";
    auto beginObject = [&](int id) {
        offsets.append(pdf.size() + update.size());
        update += QByteArray::number(id) + " 0 obj\n";
    };
    beginObject(outlineId);
    update += "<<\n/Type /Outlines\n/First " + QByteArray::number(firstItem) + " 0 R\n/Last " +
              QByteArray::number(firstItem + n - 1) + " 0 R\n/Count " + QByteArray::number(n) +
              "\n>>\nendobj\n";
    for (int i = 0; i < n; ++i) {
        const Entry& e = entries.at(i);
        const int page = pageIds.value(qBound(0, e.page, int(pageIds.size()) - 1), -1);
        if (page < 0)
            return false;
        beginObject(firstItem + i);
        update += "<<\n/Title " + pdfText(e.title) + "\n/Parent " + QByteArray::number(outlineId) + " 0 R\n";
        if (i > 0)
            update += "/Prev " + QByteArray::number(firstItem + i - 1) + " 0 R\n";
        if (i + 1 < n)
            update += "/Next " + QByteArray::number(firstItem + i + 1) + " 0 R\n";
        update +=
            "/Dest [" + QByteArray::number(page) + " 0 R /XYZ 0 " + num(e.topPt) + " null]\n>>\nendobj\n";
    }
    const qint64 catalogOffset = pdf.size() + update.size();
    // The catalog keeps every entry it had; the outline is added at its end.
    const QByteArray catalog = objectBody(pdf, root);
    const qsizetype dictEnd = catalog.lastIndexOf(">>");
    if (dictEnd < 0 || catalog.contains("/Outlines"))
        return false;
    update += QByteArray::number(root) + " 0 obj" + catalog.left(dictEnd) + "/Outlines " +
              QByteArray::number(outlineId) + " 0 R\n/PageMode /UseOutlines\n" + catalog.mid(dictEnd) +
              "endobj\n";

    const qint64 xrefOffset = pdf.size() + update.size();
    auto entry = [](qint64 offset) {
        return QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    };
    update += "xref\n" + QByteArray::number(root) + " 1\n" + entry(catalogOffset);
    update += QByteArray::number(outlineId) + " " + QByteArray::number(n + 1) + "\n";
    for (qint64 o : offsets)
        update += entry(o);
    update += "trailer\n<<\n/Size " + QByteArray::number(size + n + 1) + "\n/Root " +
              QByteArray::number(root) + " 0 R\n";
    if (info >= 0)
        update += "/Info " + QByteArray::number(info) + " 0 R\n";
    update += "/Prev " + QByteArray::number(prevXref) + "\n>>\nstartxref\n" + QByteArray::number(xrefOffset) +
              "\n%%EOF\n";

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(pdf);
    out.write(update);
    return out.commit();
}

} // namespace pdfoutline
