#include "app/inifile.h"

#include "app/common.h"
#include "app/dberror.h"
#include "app/textfile.h"

#include <QFile>
#include <QSaveFile>

namespace {

// A "[name]" line gives the name between the brackets, trimmed.
bool sectionName(const QString& line, QString* name)
{
    const QString text = trimText(line);
    if (!text.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    *name = trimText(close < 0 ? text.mid(1) : text.mid(1, close - 1));
    return true;
}

// A "key=value" line gives the key before the first "=", trimmed.  Comment
// lines and lines without "=" hold no key.
bool entryKey(const QString& line, QString* key)
{
    const QString text = trimText(line);
    if (text.startsWith(QLatin1Char(';')) || text.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    *key = trimText(text.left(eq));
    return true;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

bool IniFile::load(const QString& fileName)
{
    m_fileName = fileName;
    m_lines.clear();
    QFile file(fileName);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;

    // A file from the old system is in GBK: read it as such, so that saving
    // keeps every entry (it is written back as UTF-8).
    QString text = decodeLocalText(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.isEmpty())
        return true;
    m_lines = text.split(QLatin1Char('\n'));
    // A final line end does not start another line.
    if (m_lines.last().isEmpty())
        m_lines.removeLast();
    return true;
}

qsizetype IniFile::findSection(const QString& section) const
{
    QString name;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (sectionName(m_lines.at(i), &name) && sameName(name, section))
            return i;
    }
    return -1;
}

qsizetype IniFile::sectionEnd(qsizetype header) const
{
    QString name;
    qsizetype i = header + 1;
    while (i < m_lines.size() && !sectionName(m_lines.at(i), &name))
        ++i;
    return i;
}

qsizetype IniFile::findKey(qsizetype header, const QString& key) const
{
    const qsizetype end = sectionEnd(header);
    QString name;
    for (qsizetype i = header + 1; i < end; ++i) {
        if (entryKey(m_lines.at(i), &name) && sameName(name, key))
            return i;
    }
    return -1;
}

QString IniFile::value(const QString& section, const QString& key) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return {};
    const qsizetype line = findKey(header, key);
    if (line < 0)
        return {};
    const QString& text = m_lines.at(line);
    return trimText(text.mid(text.indexOf(QLatin1Char('=')) + 1));
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    // A line break inside the value would start a line of its own (even a
    // section header) and lose the rest of the value on the next read.
    QString flat = value;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" "));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));

    const qsizetype header = findSection(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && !trimText(m_lines.last()).isEmpty())
            m_lines.append(QString());
        m_lines.append(QStringLiteral("[%1]").arg(section));
        m_lines.append(key + QLatin1Char('=') + flat);
        return;
    }
    const qsizetype line = findKey(header, key);
    if (line >= 0) {
        // Keep the key as the file spells it.
        QString name;
        entryKey(m_lines.at(line), &name);
        m_lines[line] = name + QLatin1Char('=') + flat;
        return;
    }
    // After the section's last non-blank line, so a blank line before the
    // next section stays where it is.
    qsizetype at = sectionEnd(header);
    while (at > header + 1 && trimText(m_lines.at(at - 1)).isEmpty())
        --at;
    m_lines.insert(at, key + QLatin1Char('=') + flat);
}

void IniFile::save() const
{
    QByteArray bytes;
    for (const QString& line : m_lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw DbError(QStringLiteral("无法写入设置文件 %1：%2").arg(m_fileName, file.errorString()));
    }
}

QString readIniValue(const QString& iniFile, const QString& section, const QString& key)
{
    IniFile ini;
    ini.load(iniFile);
    return ini.value(section, key);
}

void writeIniValue(const QString& iniFile, const QString& section, const QString& key, const QString& value)
{
    IniFile ini;
    // Saving over a file that could not be read would lose all its other entries.
    if (!ini.load(iniFile))
        throw DbError(QStringLiteral("无法读取设置文件 %1，设置未保存。").arg(iniFile));
    ini.setValue(section, key, value);
    ini.save();
}
