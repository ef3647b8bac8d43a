#pragma once

#include <QApplication>

// The application object: Chinese everywhere, and any exception that escapes an event
// handler is shown to the operator instead of ending the program.
class QuillonApplication : public QApplication {
public:
    QuillonApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    static void ShowException(const QString& message);
};
