#pragma once
// Adds a page outline (bookmarks) to a PDF file that Qt's PDF writer made:
// Qt writes no outline of its own, so the file gets an incremental update
// with a new catalog that names the outline.
#include <QList>
#include <QString>

namespace pdfoutline {

struct Entry {
    QString title;
    int page = 0;     // 0-based
    double topPt = 0; // PDF user space, from the bottom of the page
};

// False when the file cannot be read, is not laid out as expected or cannot
// be written; the file is then left as it was.
bool addOutline(const QString& path, const QList<Entry>& entries);

} // namespace pdfoutline
