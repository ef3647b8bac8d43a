#pragma once

#include "store/database.h"

#include <QString>

// The operator's words for a database that could not be read or written.
QString DatabaseFailureText(const StoreStatus& status);
