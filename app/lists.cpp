#include "app/common.h"

#include <QLocale>
#include <QTimer>

#include <cmath>

QString trimText(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

void splitToList(const QString& text, const QString& separator, QStringList& list)
{
    list.clear();
    QString rest = trimText(text);
    // Without a separator there is nothing to split at (and no end to the loop).
    if (!separator.isEmpty()) {
        qsizetype at;
        while ((at = rest.indexOf(separator)) >= 0) {
            list.append(trimText(rest.left(at)));
            rest = trimText(rest.mid(at + separator.size()));
        }
    }
    if (!rest.isEmpty())
        list.append(rest);
}

QString joinList(const QStringList& list, bool bare)
{
    QString result;
    for (const QString& item : list) {
        result += QLatin1Char(',');
        if (bare) {
            result += item;
        } else {
            // A quote inside an item is doubled so it cannot end the literal.
            QString quoted = item;
            quoted.replace(QLatin1Char('\''), QLatin1String("''"));
            result += QLatin1Char('\'') + quoted + QLatin1Char('\'');
        }
    }
    return result.mid(1);
}

void readIniList(QStringList& list, const QString& iniFile, const QString& section, bool blankFirst,
                 const QString& key)
{
    splitToList(readIniValue(iniFile, section, key), QStringLiteral(","), list);
    if (blankFirst)
        list.prepend(QString());
}

void writeIniList(const QStringList& list, const QString& iniFile, const QString& section, const QString& key)
{
    writeIniValue(iniFile, section, key, joinList(list, true));
}

namespace {

// Numbers are typed with "." as the decimal point whatever the desktop's
// locale; "1,5" or "1,000" is not a number here.
QLocale numberLocale()
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    return c;
}

// Blanks around the digits are refused rather than silently dropped: the
// text is stored as typed.
bool hasSurroundingBlanks(const QString& text)
{
    return text.front().unicode() <= 32 || text.back().unicode() <= 32;
}

} // namespace

bool isFloat(const QString& text)
{
    if (text.isEmpty() || hasSurroundingBlanks(text))
        return false;
    bool ok = false;
    const double value = numberLocale().toDouble(text, &ok);
    // "inf" and "nan" are no amounts.
    return ok && std::isfinite(value);
}

bool isInteger(const QString& text)
{
    if (text.isEmpty() || hasSurroundingBlanks(text))
        return false;
    bool ok = false;
    numberLocale().toInt(text, &ok);
    return ok;
}

void restartTimer(QTimer& timer)
{
    timer.stop();
    timer.start();
}

bool isValidCode(const QString& code)
{
    for (QChar c : code) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString invalidCodeText(const QString& what)
{
    return QStringLiteral("%1不能包含换行符等控制字符！").arg(what);
}
