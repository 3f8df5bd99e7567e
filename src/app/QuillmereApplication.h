#pragma once

#include <QApplication>

class DialogService;

// The application object. Its notify() is the general error handler: an error raised while
// handling an event ends that operation and is shown with its message; the program goes on.
class QuillmereApplication : public QApplication
{
    Q_OBJECT

public:
    static constexpr const char* Title = " Quillmere Ver9.22 ";

    QuillmereApplication(int& argc, char** argv, DialogService& dialogs);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    DialogService& m_dialogs;
};
