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
    // A failure of the engine: message is the text the user reads, engine
    // the engine's own words, kept for the error log.
    DbError(const QString& message, const QString& engine)
        : m_message(message), m_engine(engine), m_utf8(message.toUtf8())
    {
    }
    const QString& message() const noexcept { return m_message; }
    // The engine's own message; empty for the program's own errors.
    const QString& engineText() const noexcept { return m_engine; }
    // The message with the engine's own words beside it, for the error log.
    QString logText() const
    {
        if (m_engine.isEmpty() || m_engine == m_message)
            return m_message;
        return QStringLiteral("%1（%2）").arg(m_message, m_engine);
    }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QString m_engine;
    QByteArray m_utf8;
};

// Thrown by Dataset::abort() from a before-hook: the operation stops silently
// and the dataset stays as it was.
struct DatasetAbort {};

// The message of any error, as the error box shows it.
QString errorMessage(const std::exception& e);
// The message of any error for the error log: with the engine's own words.
QString errorLogText(const std::exception& e);
