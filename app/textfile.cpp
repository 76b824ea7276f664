#include "app/textfile.h"

#include <QStringDecoder>

QString decodeLocalText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gb("GB18030");
    if (!gb.isValid())
        return text; // no Chinese code page at hand: the replacement characters stand
    return gb(bytes);
}
