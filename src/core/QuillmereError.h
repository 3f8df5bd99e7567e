#pragma once

#include <QString>
#include <stdexcept>

// An error the operator is told about: raised where an operation cannot go on and shown by the
// general error handler as a message box with exactly this text.
class QuillmereError : public std::runtime_error
{
public:
    explicit QuillmereError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};
