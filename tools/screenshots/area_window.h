#pragma once

#include "platform/installation.h"

#include <filesystem>

// The area window for the whole country, a province with cities and counties chosen.
void GrabAreaWindow(const Installation& installation, const std::filesystem::path& file);
