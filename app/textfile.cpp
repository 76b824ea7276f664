#include "app/textfile.h"

#include <QStringDecoder>

QString decodeLocalText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Only a file that reads cleanly as GB18030 is taken for one: a UTF-8
    // file with a damaged byte keeps its other entries as they are.
    QStringDecoder gb("GB18030");
    if (!gb.isValid())
        return text;
    const QString local = gb(bytes);
    return gb.hasError() ? text : local;
}
