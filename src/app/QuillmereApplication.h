#pragma once

#include <QApplication>
#include <exception>

class DialogService;

// The application object. Its notify() is the general error handler: an error raised while
// handling an event ends that operation and is shown with its message; the program goes on.
// Handlers hand it their errors through ui/Handled.h.
class QuillmereApplication : public QApplication
{
    Q_OBJECT

public:
    static constexpr const char* Title = " Quillmere Ver9.22 ";

    QuillmereApplication(int& argc, char** argv, DialogService& dialogs);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void show(const std::exception_ptr& raised);

    DialogService& m_dialogs;
};
