#include "app/application.h"
#include "platform/elevation.h"
#include "platform/installation.h"
#include "platform/settings.h"
#include "store/schema.h"
#include "ui/dialog_phonebook.h"
#include "ui/message_box.h"

#include <exception>

int main(int argc, char** argv) {
    if (!IsAdministrator()) {
        RestartElevated(Installation::ExecutablePath());
        return 0;
    }
    QuillonApplication app(argc, argv);
    try {
        const Installation installation = Installation::OfExecutable();
        MessageBoxPrompter prompter;
        if (!CreateSchema(installation.database, prompter)) {
            return 0;
        }
        EnsureSettingsFile(installation.config);
        // The main window stays hidden until the login succeeds.
        TCDialog_PhoneBook window(installation);
        app.exec();
    } catch (const std::exception& e) {
        QuillonApplication::ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QuillonApplication::ShowException(QString());
    }
    return 0;
}
