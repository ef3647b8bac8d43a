#include "exchange/xlsx/writer.h"

#include "exchange/template_form.h"
#include "exchange/xlsx/sheet_rows.h"
#include "platform/files.h"
#include "platform/text.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>
#include <vector>

namespace quillon::xlsx {

namespace {

// Chinese fonts carry the GB2312 character set so that readers pick a CJK face.
constexpr std::uint8_t kGb2312Charset = 0x86;
constexpr std::uint8_t kA4Paper = 9;

// The data sheet is the first the form adds.
constexpr std::string_view kDataSheetPart = "xl/worksheets/sheet1.xml";
// The form as the library writes it takes some 25 KB.
constexpr std::size_t kMaxFormBytes = std::size_t{4} << 20;

WriteResult Fail(WriteError error, std::string detail) {
    return {error, std::move(detail)};
}

// True when the text is well-formed UTF-8 that the program's GB18030 holds whole, so that it
// reaches the sheet as it stands: no broken or overlong sequence, no surrogate, and none of
// the private-use characters (U+E000 to U+F8FF), a few of which GB18030 has no bytes for.
bool TakenAsItStands(std::string_view text) {
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = at + text.size();
    while (at < end) {
        const unsigned char lead = *at;
        if (lead < 0x80) {
            ++at;
            continue;
        }
        const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                           : lead >= 0xE0 && lead <= 0xEF ? 3
                           : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                          : 0;
        if (length == 0 || end - at < length) {
            return false;
        }
        char32_t c = lead & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            if ((at[i] & 0xC0) != 0x80) {
                return false;
            }
            c = c << 6 | (at[i] & 0x3F);
        }
        const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
        if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ||
            (c >= 0xE000 && c <= 0xF8FF)) {
            return false;
        }
        at += length;
    }
    return true;
}

std::size_t Utf16Units(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        // A lead byte of four (a character beyond U+FFFF) counts twice; trail bytes not at all.
        units += (byte & 0xC0) != 0x80 ? 1 : 0;
        units += byte >= 0xF0 ? 1 : 0;
    }
    return units;
}

// Copies the whole file at `from` into the descriptor; false with errno set on failure.
bool CopyInto(const std::filesystem::path& from, int fd) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    bool ok = true;
    for (;;) {
        const ssize_t moved = ::copy_file_range(in, nullptr, fd, nullptr, 1 << 30, 0);
        if (moved > 0) {
            continue;
        }
        if (moved == 0) {
            break;
        }
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
            ok = false;
            break;
        }
        // A file system that cannot copy in the kernel: by hand, from where it stopped.
        std::vector<char> buffer(1 << 20);
        for (ssize_t got; (got = ::read(in, buffer.data(), buffer.size())) != 0;) {
            if (got < 0 ||
                !WriteAll(fd, std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
                ok = false;
                break;
            }
        }
        break;
    }
    const int saved = errno;
    ::close(in);
    errno = saved;
    return ok;
}

lxw_format* MakeFormat(lxw_workbook* workbook, form::Look look) {
    lxw_format* format = workbook_add_format(workbook);
    const std::string font(form::kDefaultFont);
    format_set_font_name(format, font.c_str());
    format_set_font_size(format, form::kDefaultFontPoints);
    format_set_font_charset(format, kGb2312Charset);
    const auto centred = [&] {
        format_set_align(format, LXW_ALIGN_CENTER);
        format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
    };
    switch (look) {
    case form::Look::Title:
        format_set_font_size(format, 18);
        format_set_bold(format);
        centred();
        format_set_text_wrap(format);
        break;
    case form::Look::Header:
        format_set_font_name(format, "黑体");
        format_set_font_size(format, 14);
        format_set_border(format, LXW_BORDER_THIN);
        centred();
        break;
    case form::Look::HeaderSongti:
        format_set_font_size(format, 14);
        format_set_bold(format);
        format_set_border(format, LXW_BORDER_THIN);
        centred();
        break;
    case form::Look::Example:
    case form::Look::ExampleDate:
        format_set_border(format, LXW_BORDER_THIN);
        centred();
        if (look == form::Look::ExampleDate) {
            const std::string date(form::kDateFormat);
            format_set_num_format(format, date.c_str());
        }
        break;
    case form::Look::ExampleLeft:
        format_set_border(format, LXW_BORDER_THIN);
        format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
        break;
    case form::Look::Instructions:
        format_set_font_size(format, 9);
        format_set_align(format, LXW_ALIGN_LEFT);
        format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
        format_set_text_wrap(format);
        break;
    }
    return format;
}

// Writes a sheet's part of the form. The constant-memory mode takes a sheet's rows in order
// only: a cell of a row above the last one written is dropped, and a merge is refused once
// its last row has been left behind. So the rows are written whole, top to bottom, and each
// merge is declared on its last row, when it writes nothing that is not already there.
lxw_error WriteFormCells(lxw_workbook* workbook, lxw_worksheet* sheet,
                         std::span<const form::Cell> cells,
                         std::span<const form::RowHeight> heights) {
    std::map<form::Look, lxw_format*> formats;
    const auto formatOf = [&](form::Look look) {
        lxw_format*& format = formats[look];
        if (format == nullptr) {
            format = MakeFormat(workbook, look);
        }
        return format;
    };
    int lastRow = 0;
    for (const form::Cell& cell : cells) {
        lastRow = std::max(lastRow, cell.range.lastRow);
    }
    lxw_error error = LXW_NO_ERROR;
    for (int row = 0; row <= lastRow && error == LXW_NO_ERROR; ++row) {
        for (const form::RowHeight& height : heights) {
            if (height.row == row) {
                error = worksheet_set_row(sheet, row, height.points, nullptr);
            }
        }
        for (const form::Cell& cell : cells) {
            const form::Range& r = cell.range;
            if (row < r.firstRow || row > r.lastRow) {
                continue;
            }
            lxw_format* format = formatOf(cell.look);
            for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
                const bool first = row == r.firstRow && column == r.firstColumn;
                if (first && cell.look == form::Look::ExampleDate) {
                    lxw_datetime date{};
                    date.year = std::atoi(std::string(cell.text.substr(0, 4)).c_str());
                    date.month = std::atoi(std::string(cell.text.substr(5, 2)).c_str());
                    date.day = std::atoi(std::string(cell.text.substr(8, 2)).c_str());
                    worksheet_write_datetime(sheet, row, column, &date, format);
                } else if (first && !cell.text.empty()) {
                    worksheet_write_string(sheet, row, column, std::string(cell.text).c_str(),
                                           format);
                } else {
                    worksheet_write_blank(sheet, row, column, format);
                }
            }
        }
        for (const form::Cell& cell : cells) {
            const form::Range& r = cell.range;
            if (r.Merged() && r.lastRow == row && error == LXW_NO_ERROR) {
                error =
                    worksheet_merge_range(sheet, r.firstRow, r.firstColumn, r.lastRow, r.lastColumn,
                                          std::string(cell.text).c_str(), formatOf(cell.look));
            }
        }
    }
    return error;
}

void SetWidths(lxw_worksheet* sheet, std::span<const form::Width> widths,
               const std::map<int, lxw_format*>& columnFormats = {}) {
    for (const form::Width& width : widths) {
        const auto format = columnFormats.find(width.firstColumn);
        worksheet_set_column(sheet, width.firstColumn, width.lastColumn, width.characters,
                             format == columnFormats.end() ? nullptr : format->second);
    }
}

lxw_error AddRules(lxw_worksheet* sheet, std::span<const form::ListRule> rules) {
    for (const form::ListRule& rule : rules) {
        std::string formula;
        std::vector<std::string> entries;
        std::vector<char*> list;
        if (rule.listColumn >= 0) {
            const std::string column = ColumnLetters(rule.listColumn);
            formula = "=" + std::string(form::kListsSheetName) + "!$" + column + "$1:$" + column +
                      "$" + std::to_string(form::ListRuleRows()[rule.listColumn]);
        } else {
            entries.assign(rule.fixedList.begin(), rule.fixedList.end());
            for (std::string& entry : entries) {
                list.push_back(entry.data());
            }
            list.push_back(nullptr);
        }
        std::string title(rule.errorTitle);
        std::string message(rule.errorMessage);
        lxw_data_validation validation{};
        validation.validate =
            rule.listColumn >= 0 ? LXW_VALIDATION_TYPE_LIST_FORMULA : LXW_VALIDATION_TYPE_LIST;
        validation.value_formula = rule.listColumn >= 0 ? formula.data() : nullptr;
        validation.value_list = rule.listColumn >= 0 ? nullptr : list.data();
        validation.error_type = LXW_VALIDATION_ERROR_TYPE_STOP;
        validation.error_title = title.empty() ? nullptr : title.data();
        validation.error_message = message.empty() ? nullptr : message.data();
        for (const form::Range& range : rule.cells) {
            const int lastRow =
                range.lastRow == form::kToSheetEnd ? kMaxSheetRows - 1 : range.lastRow;
            const lxw_error error = worksheet_data_validation_range(
                sheet, range.firstRow, range.firstColumn, lastRow, range.lastColumn, &validation);
            if (error != LXW_NO_ERROR) {
                return error;
            }
        }
    }
    return LXW_NO_ERROR;
}

} // namespace

TemplateWorkbook::TemplateWorkbook(std::filesystem::path target,
                                   std::span<const form::Cell> moreFormCells,
                                   std::span<const form::Width> moreWidths)
    : target_(std::move(target)) {
    std::filesystem::path folder = target_.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    scratchFolder_ = folder.string();
    status_ = MakeScratchFile(form_);
    if (!status_) {
        return;
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratchFolder_.data();
    workbook_ = workbook_new_opt(form_.c_str(), &options);
    if (workbook_ == nullptr) {
        status_ = Fail(WriteError::Library, "the workbook could not be started");
        Discard();
        return;
    }
    LayOutForm(moreFormCells, moreWidths);
    if (status_) {
        bodyStyle_ = lxw_format_get_xf_index(body_);
        birthdayStyle_ = lxw_format_get_xf_index(birthday_);
        // The form is complete: the library writes it now, and the records are spliced into
        // its data sheet on saving.
        status_ = CloseLibraryWorkbook();
    }
    if (status_) {
        FileContents form = ReadSmallFile(form_, kMaxFormBytes);
        if (form.status) {
            formBytes_ = std::move(form.bytes);
        } else {
            status_ = Fail(WriteError::File, form.status.detail);
        }
    }
    ::unlink(form_.c_str());
    form_.clear();
    if (status_) {
        rows_ = std::make_unique<SheetRows>(folder);
        if (!rows_->Status()) {
            status_ = Fail(WriteError::File, rows_->Status().detail);
        }
    }
    if (!status_) {
        Discard();
    }
}

TemplateWorkbook::~TemplateWorkbook() {
    Discard();
}

WriteResult TemplateWorkbook::MakeScratchFile(std::filesystem::path& path) const {
    // An unpredictable name that nobody else holds, as the library would not make one.
    std::string name =
        (std::filesystem::path(scratchFolder_) / ("." + target_.filename().string() + ".XXXXXX"))
            .string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return Fail(WriteError::File, std::strerror(errno));
    }
    ::close(fd);
    path = name;
    return {};
}

WriteResult TemplateWorkbook::CloseLibraryWorkbook() {
    errno = 0;
    const lxw_error closed = workbook_close(workbook_); // frees it, whatever the outcome
    workbook_ = nullptr;
    if (closed == LXW_NO_ERROR) {
        return {};
    }
    // The system's words as well, so that a full disk is told apart.
    std::string why = lxw_strerror(closed);
    if (errno != 0) {
        why += std::string(": ") + std::strerror(errno);
    }
    return Fail(WriteError::File, why);
}

void TemplateWorkbook::Discard() {
    if (workbook_ != nullptr) {
        lxw_workbook_free(workbook_);
        workbook_ = nullptr;
    }
    rows_.reset();
    if (!form_.empty()) {
        ::unlink(form_.c_str());
        form_.clear();
    }
    formBytes_.clear();
}

void TemplateWorkbook::LayOutForm(std::span<const form::Cell> moreFormCells,
                                  std::span<const form::Width> moreWidths) {
    const std::string dataName(form::kDataSheetName);
    const std::string listsName(form::kListsSheetName);
    const std::string notesName(form::kNotesSheetName);
    data_ = workbook_add_worksheet(workbook_, dataName.c_str());
    lxw_worksheet* lists = workbook_add_worksheet(workbook_, listsName.c_str());
    lxw_worksheet* notes = workbook_add_worksheet(workbook_, notesName.c_str());
    if (data_ == nullptr || lists == nullptr || notes == nullptr) {
        status_ = Fail(WriteError::Library, "the sheets could not be added");
        return;
    }
    body_ = workbook_add_format(workbook_);
    const std::string font(form::kDefaultFont);
    format_set_font_name(body_, font.c_str());
    format_set_font_size(body_, form::kDefaultFontPoints);
    format_set_font_charset(body_, kGb2312Charset);
    // Text, so that a birthday typed into the sheet stays the text typed.
    birthday_ = workbook_add_format(workbook_);
    format_set_font_name(birthday_, font.c_str());
    format_set_font_size(birthday_, form::kDefaultFontPoints);
    format_set_font_charset(birthday_, kGb2312Charset);
    format_set_num_format(birthday_, "@");

    worksheet_activate(data_);
    worksheet_set_zoom(data_, form::kDataZoom);
    worksheet_set_paper(data_, kA4Paper);
    worksheet_set_portrait(data_);
    worksheet_set_selection(data_, form::kSelectedRow, form::kSelectedColumn, form::kSelectedRow,
                            form::kSelectedColumn);
    worksheet_set_default_row(data_, form::kDefaultRowPoints, LXW_FALSE);
    std::map<int, lxw_format*> columnFormats;
    for (int column = 0; column < 10; ++column) {
        columnFormats[column] = column == form::kBirthdayColumn ? birthday_ : body_;
    }
    SetWidths(data_, form::DataSheetWidths(), columnFormats);
    SetWidths(data_, moreWidths);
    std::vector<form::Cell> dataCells(form::DataSheetCells().begin(), form::DataSheetCells().end());
    dataCells.insert(dataCells.end(), moreFormCells.begin(), moreFormCells.end());
    lxw_error error = WriteFormCells(workbook_, data_, dataCells, form::DataSheetHeights());
    if (error == LXW_NO_ERROR) {
        error = AddRules(data_, form::DataSheetRules());
    }

    worksheet_hide(lists);
    worksheet_set_default_row(lists, form::kDefaultRowPoints, LXW_FALSE);
    std::size_t longest = 0;
    for (const auto& list : form::Lists()) {
        longest = std::max(longest, list.size());
    }
    for (std::size_t row = 0; row < longest && error == LXW_NO_ERROR; ++row) {
        int column = 0;
        for (const auto& list : form::Lists()) {
            if (row < list.size()) {
                error = worksheet_write_string(lists, static_cast<lxw_row_t>(row), column,
                                               std::string(list[row]).c_str(), body_);
            }
            ++column;
        }
    }

    worksheet_set_paper(notes, kA4Paper);
    worksheet_set_portrait(notes);
    worksheet_set_default_row(notes, form::kDefaultRowPoints, LXW_FALSE);
    SetWidths(notes, form::NotesSheetWidths());
    if (error == LXW_NO_ERROR) {
        error =
            WriteFormCells(workbook_, notes, form::NotesSheetCells(), form::NotesSheetHeights());
    }
    if (error == LXW_NO_ERROR) {
        error = AddRules(notes, form::NotesSheetRules());
    }
    if (error == LXW_NO_ERROR) {
        lxw_data_validation number{};
        number.validate = LXW_VALIDATION_TYPE_INTEGER;
        number.criteria = LXW_VALIDATION_CRITERIA_BETWEEN;
        number.minimum_number = 0;
        number.maximum_number = form::kNotesNumberMaximum;
        const form::Range& cell = form::kNotesNumberCell;
        error = worksheet_data_validation_range(notes, cell.firstRow, cell.firstColumn,
                                                cell.lastRow, cell.lastColumn, &number);
    }
    if (error != LXW_NO_ERROR) {
        status_ = Fail(WriteError::Library, lxw_strerror(error));
    }
}

WriteResult TemplateWorkbook::AddCell(int column, std::string_view original) {
    if (original.empty()) {
        return {};
    }
    if (Utf16Units(cell_) > kMaxCellCharacters) {
        return Fail(WriteError::TextTooLong, {});
    }
    rows_->AddText(column, cell_, column == form::kBirthdayColumn ? birthdayStyle_ : bodyStyle_);
    return {};
}

WriteResult TemplateWorkbook::Usable() const {
    if (!status_) {
        return status_;
    }
    return rows_ ? WriteResult{} : Fail(WriteError::Library, "the rows cannot be written");
}

template <typename Text, typename Convert>
WriteResult TemplateWorkbook::AddRow(std::span<const Text> cells, Convert convert) {
    if (WriteResult usable = Usable(); !usable) {
        return usable;
    }
    if (records_ >= kMaxRecordRows) {
        return Fail(WriteError::SheetFull, {});
    }
    rows_->StartRow(form::kFirstRecordRow + records_);
    int column = 0;
    for (const Text& text : cells) {
        convert(text);
        if (WriteResult added = AddCell(column++, text); !added) {
            rows_->CancelRow();
            return added;
        }
    }
    rows_->EndRow();
    ++records_;
    return {};
}

WriteResult TemplateWorkbook::AddRowUtf8(std::span<const std::string_view> cells) {
    return AddRow(cells, [this](std::string_view text) {
        if (TakenAsItStands(text)) {
            cell_.assign(text);
            return;
        }
        // Through UTF-16 the way the program's own text would take it: every broken
        // sequence, and every character GB18030 has no bytes for, becomes one U+FFFD.
        scratch_.clear();
        AppendUtf8AsUtf16(text, scratch_);
        cell_ = Utf16ToUtf8(scratch_);
    });
}

WriteResult TemplateWorkbook::AddRowGb18030(std::span<const std::string> cells) {
    return AddRow(cells, [this](const std::string& text) { cell_ = Gb18030ToUtf8(text); });
}

WriteResult TemplateWorkbook::Save() {
    if (WriteResult usable = Usable(); !usable) {
        return usable;
    }
    std::filesystem::path assembled;
    WriteResult saved = MakeScratchFile(assembled);
    if (!saved) {
        return saved;
    }
    if (const SpliceResult spliced = rows_->SpliceInto(formBytes_, kDataSheetPart, assembled);
        !spliced) {
        saved = Fail(WriteError::File, spliced.detail);
    } else if (const FileResult replaced = ReplaceFileAtomicallyWith(
                   target_, [&](int fd) { return CopyInto(assembled, fd); });
               !replaced) {
        saved = Fail(WriteError::File, replaced.detail);
    }
    ::unlink(assembled.c_str());
    return saved;
}

WriteResult SaveBlankTemplate(const std::filesystem::path& path) {
    TemplateWorkbook workbook(path);
    if (!workbook.Status()) {
        return workbook.Status();
    }
    return workbook.Save();
}

} // namespace quillon::xlsx
