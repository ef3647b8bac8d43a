#include "ui/open_document.h"

DocumentOpener& DocumentOpenerInUse() {
    static DocumentOpener open = [](const std::filesystem::path& file) {
        return OpenDocumentWithDesktop(file);
    };
    return open;
}
