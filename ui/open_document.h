#pragma once

#include "platform/desktop_open.h"

#include <filesystem>
#include <functional>

// How the windows open a help file or a folder on the desktop; tests replace it.
using DocumentOpener = std::function<OpenDocumentResult(const std::filesystem::path&)>;
DocumentOpener& DocumentOpenerInUse();
