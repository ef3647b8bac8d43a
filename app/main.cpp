#include "app/application.h"
#include "platform/elevation.h"
#include "platform/installation.h"
#include "platform/instance_lock.h"
#include "platform/settings.h"
#include "ui/dialog_phonebook.h"
#include "ui/message_box.h"
#include "ui/store_messages.h"
#include "ui/ui_resources.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

namespace {

// A start without root rights asks whether the program already runs before it restarts
// with them, and asking holds the lock for a moment; a start that means to run allows for
// that moment. The restarting process itself never holds the lock past its question.
constexpr std::chrono::milliseconds kInstanceLockWait(500);

void SayAlreadyRunning() {
    MessageBoxes::Show(nullptr, MessageKind::Plain, "程序已经在运行，不能再次启动！",
                       MessageButtons::Ok, "提示");
}

std::filesystem::path InstanceLockFile(const std::filesystem::path& folder) {
    return folder / kInstanceLockName;
}

} // namespace

int main(int argc, char** argv) {
    if (!IsAdministrator()) {
        const std::filesystem::path executable = Installation::ExecutablePath();
        // Said before the rights are asked for: they would be asked for nothing.
        if (InstanceLockHeldElsewhere(InstanceLockFile(executable.parent_path()))) {
            QuillonApplication app(argc, argv);
            SayAlreadyRunning();
            return 0;
        }
        if (const StartResult restart = RestartElevated(executable); !restart) {
            std::fprintf(stderr, "%s\n", DescribeRestartFailure(restart).c_str());
        }
        return 0;
    }
    QuillonApplication app(argc, argv);
    InitUiResources();
    app.setWindowIcon(QIcon(":/images/quillon.png"));
    try {
        const Installation installation = Installation::OfExecutable();
        // Held until the program ends: one program at a time on this folder's register.
        const InstanceLock lock =
            InstanceLock::Take(InstanceLockFile(installation.dir), kInstanceLockWait);
        if (lock.Error() == InstanceLockError::HeldElsewhere) {
            SayAlreadyRunning();
            return 0;
        }
        if (!lock.Held()) {
            // A folder the lock cannot be made in is no reason to refuse the operator; every
            // connection still waits for the database file's own locks.
            std::fprintf(stderr, "quillon: cannot lock %s: %s\n",
                         InstanceLockFile(installation.dir).c_str(),
                         std::strerror(lock.ErrorNumber()));
        }
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
