#pragma once

#include "exchange/import/import_run.h"

// An import report that shows nothing and never asks to stop.
struct QuietReport : ImportReport {
    void Line(const ImportNotice&) override {}
    void ProgressMaximum(int) override {}
    void ProgressPosition(int) override {}
    void Box(const ImportNotice&) override {}
    bool StopRequested() const override { return false; }
};
