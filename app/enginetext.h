#pragma once
// The engine's failures as the user reads them.  The database engine reports
// in English; the boxes and failure messages show a short Chinese text, and
// the error log keeps the engine's own words beside it.
#include <QString>

// The Chinese text for an engine failure: code is the engine's (extended)
// result code, message its own text.  A CHECK constraint gives just its name,
// which is already a sentence.  Failures without a text of their own give
// the engine's message unchanged.
QString engineText(int code, const QString& message);
