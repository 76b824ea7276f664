#include "app/enginetext.h"

#include <sqlite3.h>

namespace {

// What follows "prefix: " in the engine's message, or the whole message.
QString after(const QString& message, QLatin1String prefix)
{
    const qsizetype at = message.indexOf(prefix);
    if (at < 0)
        return message;
    return message.mid(at + prefix.size()).trimmed();
}

} // namespace

QString engineText(int code, const QString& message)
{
    switch (code) {
    case SQLITE_CONSTRAINT_CHECK: {
        // "CHECK constraint failed: 用户代码超过50个字符"; an unnamed check
        // shows its expression, which tells the user nothing.
        const QString name = after(message, QLatin1String("constraint failed:"));
        if (name.isEmpty() || name == message || name.contains(QLatin1Char('(')))
            return QStringLiteral("数据不符合规则");
        return name;
    }
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return QStringLiteral("与已有的记录重复（%1）")
            .arg(after(message, QLatin1String("constraint failed:")));
    case SQLITE_CONSTRAINT_NOTNULL:
        return QStringLiteral("必须填写的内容为空（%1）")
            .arg(after(message, QLatin1String("constraint failed:")));
    case SQLITE_CONSTRAINT_TRIGGER:
        return message; // a trigger's RAISE text is written for the user already
    case SQLITE_CONSTRAINT_DATATYPE:
        return QStringLiteral("数据类型不符（%1）").arg(message.section(QLatin1Char(' '), -1));
    default:
        break;
    }
    switch (code & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return QStringLiteral("无法打开数据库文件");
    case SQLITE_NOTADB:
        return QStringLiteral("文件不是数据库");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库正被其他程序使用，请稍后再试");
    case SQLITE_CORRUPT:
        return QStringLiteral("数据库文件已损坏");
    case SQLITE_READONLY:
        return QStringLiteral("数据库是只读的，不能修改");
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满，数据没有保存");
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库文件时出错");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足");
    case SQLITE_CONSTRAINT:
        return QStringLiteral("数据不符合规则");
    default:
        return message;
    }
}
