#pragma once

#include <QString>
#include <stdexcept>

// An error the operator is told about: raised where an operation cannot go on and shown by the
// general error handler as a message box with exactly this text.
class QuillmereError : public std::runtime_error
{
public:
    explicit QuillmereError(const QString& message, const QString& detail = {})
        : std::runtime_error(message.toStdString()), m_message(message), m_detail(detail)
    {
    }
    QString message() const { return m_message; }
    // What the operator needs to mend the cause (a file and the system's reason), shown
    // below the message; the message itself stays the documented text.
    QString detail() const { return m_detail; }

private:
    QString m_message;
    QString m_detail;
};
