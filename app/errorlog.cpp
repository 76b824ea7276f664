#include "app/common.h"
#include "app/dberror.h"
#include "app/globals.h"
#include "app/textfile.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

// errorlog.txt is UTF-8 (an old GBK log is read as such) with CR LF line
// ends, newest entry first.

namespace {

constexpr qsizetype kMaxKeptLines = 999;

QString logFileName()
{
    return QStringLiteral("%1%2").arg(AppPath, QStringLiteral("errorlog.txt"));
}

// Splits at CR LF, LF or a lone CR; a final line end does not start a line.
QStringList splitLines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

void writeErrorLog(const QString& context, const QString& message)
{
    const QString fileName = logFileName();
    QStringList lines;
    QFile old(fileName);
    if (old.exists()) {
        // Rewriting a log that could not be read would throw its entries away.
        if (!old.open(QIODevice::ReadOnly))
            throw DbError(QStringLiteral("无法读取错误日志 %1：%2").arg(fileName, old.errorString()));
        // The old system's log is in GBK; its entries are kept, now in UTF-8.
        lines = splitLines(decodeLocalText(old.readAll()));
        old.close();
    }
    if (lines.size() >= kMaxKeptLines + 1)
        lines.resize(kMaxKeptLines);

    // The message keeps its own line breaks, including a final one (which
    // leaves an empty line before the separator).
    QString body = message;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    QStringList entry;
    entry << context << QDateTime::currentDateTime().toString(QStringLiteral("yyyy年MM月dd日 hh:mm:ss"))
          << body.split(QLatin1Char('\n')) << QString(60, QLatin1Char('-'));

    entry += lines;

    QByteArray bytes;
    for (const QString& line : std::as_const(entry)) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw DbError(QStringLiteral("无法写入错误日志 %1：%2").arg(fileName, file.errorString()));
}

void writeExceptionLog(const QString& context, const QString& errorMessage)
{
    writeErrorLog(context, QStringLiteral("程序异常详细信息：\r\n    %1").arg(errorMessage));
}

void writeExceptionLog(const QString& context, const std::exception& error)
{
    writeExceptionLog(context, errorLogText(error));
}
