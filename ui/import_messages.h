#pragma once

#include "exchange/import/import_run.h"

#include <QString>

// The operator's words for what an import run reports, in its list and in its boxes.
QString ImportNoticeText(const ImportNotice& notice);
