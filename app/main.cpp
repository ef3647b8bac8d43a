#include "app/application.h"
#include "platform/elevation.h"
#include "platform/installation.h"
#include "platform/settings.h"
#include "ui/dialog_phonebook.h"
#include "ui/message_box.h"
#include "ui/store_messages.h"
#include "ui/ui_resources.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (!IsAdministrator()) {
        if (const StartResult restart = RestartElevated(Installation::ExecutablePath()); !restart) {
            std::fprintf(stderr, "%s\n", DescribeRestartFailure(restart).c_str());
        }
        return 0;
    }
    QuillonApplication app(argc, argv);
    InitUiResources();
    app.setWindowIcon(QIcon(":/images/quillon.png"));
    try {
        const Installation installation = Installation::OfExecutable();
        if (!PrepareDatabaseTables(installation.database)) {
            return 0;
        }
        EnsureSettingsFile(installation.config);
        // Hidden until the login succeeds; a failed or abandoned login ends the program.
        TCDialog_PhoneBook window(installation,
                                  {QUILLON_LOGIN_USER_MD5, QUILLON_LOGIN_PASSWORD_MD5});
        window.FormCreate();
        app.exec();
    } catch (const std::exception& e) {
        QuillonApplication::ShowException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QuillonApplication::ShowException(QString());
    }
    return 0;
}
