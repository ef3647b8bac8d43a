#include "exchange/export/thread_export_01.h"

#include "exchange/spreadsheet.h"
#include "exchange/xlsx/writer.h"

#include <algorithm>
#include <optional>

namespace {

// The first row below the template's title and headers.
constexpr int kFirstRecordRow = 4;

// The template's columns, left to right.
constexpr ContactField kSheetColumns[] = {
    kUser_Name, kUser_Sex, kUser_Birthday, kUser_Education,      kRecode_Type,
    kProvince,  kCity,     kCounty_Seat,   kOrganization_Detial, kMobile_NO};

class WorkbookExportFiles : public ExportFiles {
public:
    explicit WorkbookExportFiles(const ExportSettings& settings) : settings_(settings) {}
    int FillShare() const override { return 100; }
    void Start(int k) override {
        sheet_.emplace(quillon::Spreadsheet::FromTemplate());
        sheet_->ReserveRows(
            std::min(kFirstRecordRow - 1 + settings_.maxPerFile, quillon::xls::kMaxSheetRows),
            static_cast<int>(std::size(kSheetColumns)));
        path_ = NumberedOutputFile(settings_.target, k, ".xls");
        records_ = 0;
    }
    ExportStep Add(const ExportRow& record) override {
        using quillon::xls::SheetWriteError;
        std::string_view cells[std::size(kSheetColumns)];
        for (std::size_t i = 0; i < std::size(kSheetColumns); ++i) {
            cells[i] = record[kSheetColumns[i]];
        }
        const SheetWriteError set =
            sheet_->SetCellValuesUtf8(kFirstRecordRow + static_cast<int>(records_), 1, cells);
        if (set == SheetWriteError::TextTooLong) {
            return {ExportFailure::TextTooLong, {}};
        }
        if (set != SheetWriteError::None) {
            return {ExportFailure::FileNotCreated, "the template cannot take the cell"};
        }
        ++records_;
        return {};
    }
    std::size_t Records() const override { return records_; }
    ExportStep Finish(ProgressChannel&) override {
        quillon::SaveResult saved = sheet_->SaveAs(path_);
        sheet_.reset();
        return saved ? ExportStep{} : WriteFailure(std::move(saved.detail));
    }

private:
    const ExportSettings& settings_;
    std::optional<quillon::Spreadsheet> sheet_;
    std::filesystem::path path_;
    std::size_t records_ = 0;
};

// The .xlsx files: rows go to the library as they come (its constant-memory mode keeps one
// row in memory), and the file is assembled beside the target and put in its place whole.
class XlsxExportFiles : public ExportFiles {
public:
    explicit XlsxExportFiles(const ExportSettings& settings) : settings_(settings) {}
    // Assembling the file (its compression) is a part of the work worth showing.
    int FillShare() const override { return 90; }
    void Start(int k) override {
        book_.emplace(NumberedOutputFile(settings_.target, k, ".xlsx"));
        records_ = 0;
    }
    ExportStep Add(const ExportRow& record) override {
        if (!book_->Status()) {
            return Failure(book_->Status());
        }
        std::string_view cells[std::size(kSheetColumns)];
        for (std::size_t i = 0; i < std::size(kSheetColumns); ++i) {
            cells[i] = record[kSheetColumns[i]];
        }
        if (const quillon::xlsx::WriteResult added = book_->AddRowUtf8(cells); !added) {
            return Failure(added);
        }
        ++records_;
        return {};
    }
    std::size_t Records() const override { return records_; }
    ExportStep Finish(ProgressChannel& fileBar) override {
        const quillon::xlsx::WriteResult saved = book_->Save();
        book_.reset();
        if (!saved) {
            return Failure(saved);
        }
        fileBar.Send(100);
        return {};
    }

private:
    static ExportStep Failure(const quillon::xlsx::WriteResult& result) {
        if (result.error == quillon::xlsx::WriteError::TextTooLong) {
            return {ExportFailure::TextTooLong, {}};
        }
        return WriteFailure(result.detail);
    }

    const ExportSettings& settings_;
    std::optional<quillon::xlsx::TemplateWorkbook> book_;
    std::size_t records_ = 0;
};

} // namespace

void TCThread_Export_01::SetMaxPerFile(int records) {
    requestedPerFile_ = records;
    settings_.SetMaxPerFile(records, format_ == quillon::WorkbookFormat::Xlsx
                                         ? ExportSettings::kMaxPerXlsxFile
                                         : ExportSettings::kMaxPerFile);
}

void TCThread_Export_01::SetFormat(quillon::WorkbookFormat format) {
    format_ = format;
    SetMaxPerFile(requestedPerFile_);
}

void TCThread_Export_01::Execute(WorkerContext& context) {
    // Stands if the run ends by an exception.
    end_.Store(FailedExport(ExportFailure::FileNotCreated));
    if (format_ == quillon::WorkbookFormat::Xlsx) {
        XlsxExportFiles files(settings_);
        end_.Store(RunExport(context, settings_, files));
        return;
    }
    WorkbookExportFiles files(settings_);
    end_.Store(RunExport(context, settings_, files));
}
