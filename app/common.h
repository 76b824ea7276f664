#pragma once
// The common routines every window uses.  Data routines never show a failed
// statement: they write it to errorlog.txt under the caller's context name
// and report failure through their result.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <exception>

class Dataset;
class QTimer;

// --- message boxes (msgbox.cpp) ---
bool confirmBox(const QString& text); // caption "确认框", Yes/No, question icon
void infoBox(const QString& text);    // caption "Corvane", OK, no icon

// --- data routines (common.cpp); values are bound, never formatted in ---
// On failure, engineMessage (when given) receives the engine's message so a
// caller that must tell the user why can do so.
bool runSql(const QString& context, Dataset& query, const QString& sql, bool open,
            const QVariantList& values = {}, QString* engineMessage = nullptr);
void reopenQuery(const QString& context, Dataset& query);
bool execSql(const QString& context, const QString& sql, const QVariantList& values = {},
             QString* engineMessage = nullptr);
bool connExec(const QString& context, const QString& sql, const QVariantList& values = {});
QString getSqlValue(const QString& context, const QString& sql, const QVariantList& values = {});
void sqlToList(const QString& context, const QString& sql, QStringList& list,
               const QVariantList& values = {});
// "SELECT COUNT(*) FROM <table> WHERE (1=1 <condition>)"; condition starts with AND.
// A failing count is logged and reported as true, so callers refuse rather
// than risk a duplicate.
bool recordExists(const QString& context, const QString& table, const QString& condition,
                  const QVariantList& values = {});
// The same count, telling a count that could not be made (database locked,
// unreadable, unconnected) apart from a row that exists: *checked is false
// then, the result is true (refuse), and engineMessage receives the reason.
bool recordExists(const QString& context, const QString& table, const QString& condition,
                  const QVariantList& values, bool* checked, QString* engineMessage = nullptr);
void setFilter(Dataset& query, const QString& filter);

// --- error log (errorlog.cpp) ---
void writeErrorLog(const QString& context, const QString& message);
void writeExceptionLog(const QString& context, const QString& errorMessage);
void writeExceptionLog(const QString& context, const std::exception& error);

// --- lists and settings (lists.cpp, inifile.cpp) ---
void splitToList(const QString& text, const QString& separator, QStringList& list);
QString joinList(const QStringList& list, bool bare);
void readIniList(QStringList& list, const QString& iniFile, const QString& section, bool blankFirst,
                 const QString& key);
void writeIniList(const QStringList& list, const QString& iniFile, const QString& section,
                  const QString& key);
QString readIniValue(const QString& iniFile, const QString& section, const QString& key);
void writeIniValue(const QString& iniFile, const QString& section, const QString& key, const QString& value);
bool isFloat(const QString& text);
bool isInteger(const QString& text);
void restartTimer(QTimer& timer);

// Removes leading and trailing blanks and control characters (code points <= 32).
QString trimText(const QString& text);

// True when a code (user, taxpayer, area) holds no control character: a
// pasted NUL, line break or tab makes a code that looks like another one and
// can never be typed at sign-in.  Check the trimmed code.
bool isValidCode(const QString& code);
// The refusal for such a code, naming it: "用户代码不能包含换行符等控制字符！".
QString invalidCodeText(const QString& what);
