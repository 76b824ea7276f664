#pragma once
#include <QByteArray>
#include <QString>
#include <exception>

// An error carrying a message for the user: the engine's message for a
// failed statement, or the program's own text.  Uncaught, it ends the event
// handler and shows in the error box.
class DbError : public std::exception {
public:
    explicit DbError(const QString& message) : m_message(message), m_utf8(message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Thrown by Dataset::abort() from a before-hook: the operation stops silently
// and the dataset stays as it was.
struct DatasetAbort {};

// The message of any error, for the log and the error box.
QString errorMessage(const std::exception& e);
