#include "app/application.h"

#include "ui/message_box.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

QuillonApplication::QuillonApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The interface speaks Chinese whatever the machine's locale, Qt's own dialogs included.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
    }
    setApplicationName("Quillon");
}

bool QuillonApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowException(QString());
    }
    return false;
}

void QuillonApplication::ShowException(const QString& message) {
    MessageBoxes::Show(nullptr, MessageKind::Error, message, MessageButtons::Ok, "Quillon");
}
