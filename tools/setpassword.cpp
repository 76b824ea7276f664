#include "tools/setpassword.h"

#include "app/databaseid.h"
#include "app/dberror.h"
#include "users/password.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <sqlite3.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

// One line of standard input without its line end; false at end of input.
bool readLine(std::string& line)
{
    line.clear();
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.push_back(char(c));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return c != EOF || !line.empty();
}

// Asks on the terminal without echo.
bool askHidden(const char* prompt, std::string& line)
{
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    termios old{};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool ok = readLine(line);
    if (tty)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputs("\n", stderr);
    return ok;
}

// The sign-in dialog ignores blanks and control characters around what is
// typed, so the stored password must not keep them either.
QString trimmed(const std::string& line)
{
    QString text = QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

int fail(const QString& message)
{
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return 1;
}

} // namespace

int setPassword(const QString& dir, const QString& code)
{
    const QString path = QDir(dir).filePath(QStringLiteral("tax.mdb"));
    if (!QFileInfo::exists(path))
        return fail(QStringLiteral("找不到数据库：%1").arg(path));

    std::string first;
    if (isatty(STDIN_FILENO)) {
        std::string second;
        if (!askHidden("新密码：", first) || !askHidden("再输入一次：", second))
            return fail(QStringLiteral("没有输入密码"));
        if (first != second)
            return fail(QStringLiteral("两次输入的密码不一致，密码没有更改"));
    } else if (!readLine(first)) {
        return fail(QStringLiteral("没有输入密码"));
    }

    QString hash;
    try {
        hash = hashPassword(trimmed(first));
    } catch (const DbError& e) {
        return fail(e.message());
    }

    sqlite3* db = nullptr;
    const QByteArray native = QFile::encodeName(path);
    int rc = sqlite3_open_v2(native.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    auto close = [&] { sqlite3_close(db); };
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        close();
        return fail(QStringLiteral("无法打开数据库：%1").arg(message));
    }
    sqlite3_busy_timeout(db, 5000);

    sqlite3_stmt* st = nullptr;
    qint64 id = 0;
    if (sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        id = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    if (id != kCorvaneDatabaseId) {
        close();
        return fail(QStringLiteral("%1 不是 Corvane 数据库").arg(path));
    }

    // Codes compare ignoring letter case, as at sign-in.
    const QByteArray codeUtf8 = code.toUtf8();
    const QByteArray hashUtf8 = hash.toUtf8();
    rc = sqlite3_prepare_v2(db, "UPDATE manager SET mPassword=? WHERE mCode=?", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(st, 1, hashUtf8.constData(), int(hashUtf8.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, codeUtf8.constData(), int(codeUtf8.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        close();
        return fail(QStringLiteral("密码没有更改：%1").arg(message));
    }
    const int changed = sqlite3_changes(db);
    close();
    if (changed == 0)
        return fail(QStringLiteral("没有用户代码为“%1”的用户").arg(code));
    std::fprintf(stderr, "%s\n",
                 QStringLiteral("用户“%1”的密码已经更改").arg(code).toLocal8Bit().constData());
    return 0;
}
