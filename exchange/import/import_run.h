#pragma once

#include "store/import_database.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct PackageRecordCheck;

enum class ImportKind { Spreadsheet = 0, Package = 1 };
// Unchosen: neither mode was picked; the table is then left as it is.
enum class ImportMode { Unchosen = -1, Append = 0, Overwrite = 1 };

struct ImportRequest {
    std::vector<std::filesystem::path> files;
    ImportKind kind = ImportKind::Spreadsheet;
    ImportMode mode = ImportMode::Append;
    std::string password; // GB18030, exactly as typed; empty for workbooks
};

// What a run tells the operator; the import window has the words for each.
enum class ImportNote {
    // Lines of the list.
    OutOfMemory,
    UnexpectedFailure,
    UndoFailed,      // the rows of a cancelled file could not be taken back
    StoreFailed,     // detail: SQLite's words, when it gave any
    AreasUnreadable, // detail: why the area table could not be read
    PackageUnreadable,
    WrongPassword,           // the deciphered package is no archive: another password made it
    PackageDamaged,          // count: the PackageDamage; detail: the reader's words
    PackageImported,         // count: records stored
    RecordsOfOtherProvinces, // count: records skipped; text: the login area's name
    // A record refused; count: its line in the package, field: the field at fault.
    RecordBadIdentifier,
    RecordEmptyField,
    RecordNotAMobileNumber,
    RecordTooLong,
    RecordsRefused,     // count: records refused in all
    NotAWorkbook,       // the file's name does not say .xls
    WorkbookUnreadable, // text: the file's path
    WorkbookEmpty,
    HeadersOnly,
    WorkbookStarted, // text: the file's name
    WorkbookDone,
    ResultRule, // the rule above and below a workbook's counts
    RowsStored,
    RowsRefiled, // count: stored rows whose areas were written another way than the table's
    RowsRejected,
    RowsDuplicate,           // count: rows of that kind
    RejectedWorkbookFailed,  // text: the workbook's path; its rows could not be written
    DuplicateWorkbookFailed, // text: the workbook's path
    RegisterKept,            // an overwrite that stored no row left the register as it was
    // After a cancel: what became of the file that was going in.
    CancelTookBack,          // count: rows of the file removed again
    CancelRegisterUntouched, // the replacement was rolled back: the register is as it was
    CancelKeptReplacement,   // count: rows kept, the file had already replaced the register
    // Boxes.
    DatabaseUnopenable, // detail: SQLite's words
    TableNotCreated,
    OldTableNotDropped,
    TableNotRecreated,
    DuplicateRecord, // text: the name, second: the mobile number
    InsertFailed,    // detail: what the insert met
};

struct ImportNotice {
    ImportNotice(ImportNote note, long long count = 0, std::string text = {},
                 std::string second = {}, std::string detail = {})
        : note(note), count(count), text(std::move(text)), second(std::move(second)),
          detail(std::move(detail)) {}
    ImportNote note;
    long long count;
    std::string text;   // GB18030
    std::string second; // GB18030
    std::string detail; // UTF-8
    int field = -1;     // a ContactField, for the notes that name one
};

// Where a run reports. Lines and the progress bar must never wait for the window, which
// may itself be waiting for the run to end; boxes wait for their answer.
class ImportReport {
public:
    virtual ~ImportReport() = default;
    virtual void Line(const ImportNotice& notice) = 0;
    virtual void ProgressMaximum(int maximum) = 0;
    virtual void ProgressPosition(int position) = 0;
    virtual void Box(const ImportNotice& notice) = 0;
    virtual bool StopRequested() const = 0;
};

// Where a run keeps its files.
struct ImportPlaces {
    std::filesystem::path database;
    // Rejected and duplicate rows go into workbooks here.
    std::filesystem::path failedFolder;
    // GB18030; a workbook row of another province is rejected unless this is "全国".
    std::string loginAreaName = "\xC8\xAB\xB9\xFA"; // "全国"
};

// A workbook's rows go in by transactions of this many (an overwrite's first file in one).
// Each commit costs two syncs and writes every page the batch touched, the index of the
// digest identifiers all over the table among them, once more to the journal and once to the
// register, each enciphered: at a thousand rows the commits took more time than the rows
// (60,000 rows in 3 s against 0.8 s now). At this size a 60,000-row file takes three commits
// and costs within a tenth of one transaction for the whole file, while a batch still holds
// the write lock for a fraction of the kBusyTimeoutMs that other windows wait for it, a
// failure or a power cut takes back at most this many rows (a failure writes them back), and
// the copies kept for that stay a few megabytes.
inline constexpr std::size_t kSpreadsheetRowsPerCommit = 20000;

// The counters of the file being imported.
struct ImportCounters {
    int inserted = 0;
    int rejected = 0;
    int duplicates = 0;
    int accepted = 0;
    int refiled = 0; // of the inserted rows: filed where the area table keeps their areas
};

// One import of one or more files of one kind, in one mode, on one database connection.
class ImportRun {
public:
    using Clock = std::function<std::string()>; // "yyyy-mm-dd hh:mm:ss", for Add_Time

    ImportRun(ImportPlaces places, ImportRequest request, ImportReport& report,
              Clock clock = LocalTimeText);

    // Imports the files in order and stops at the first that fails or at a cancel; true
    // when every file went in.
    bool ImportFiles();

    // After the run has ended on a cancel: removes what the file being imported had
    // inserted, all of it or none, and says in the list what became of that file. A file
    // whose rows had already replaced the register keeps them: taking them back would
    // leave the register empty.
    ImportDatabase::DeleteOutcome DeleteImportedRecords();

    const ImportCounters& Counters() const { return counters_; }
    const std::vector<std::string>& ImportedIds() const { return importedIds_; }
    // The failed-data workbooks of the file being imported.
    const std::filesystem::path& RejectedWorkbook() const { return rejectedWorkbook_; }
    const std::filesystem::path& DuplicateWorkbook() const { return duplicateWorkbook_; }

private:
    bool ImportOneFile(const std::filesystem::path& file);
    void PrepareFile();
    bool ImportPackageFile(const std::filesystem::path& file);
    void ReportRecordCheck(const PackageRecordCheck& check);
    bool ImportSpreadsheetFile(const std::filesystem::path& file);
    // The run's connection, opened at the first file that needs it.
    ImportDatabase* OpenImportDatabase();
    // Makes the table ready for the file about to go in. In overwrite mode the register is
    // replaced once per run, at its first file; later files append.
    bool PrepareTable();
    void ReportTablePreparation(TablePreparation outcome);
    std::filesystem::path UniqueWorkbookName(const std::string& stem,
                                             const std::string& timestamp) const;
    // Whether the file about to go in replaces the register: an overwrite's first file.
    bool ReplacesRegister() const;
    // A replacing file's rows are committed: a cancel from now on keeps them.
    void NoteRegisterReplaced();
    // The stop took back the file's open transaction with these rows (no longer among the
    // imported identifiers), and for a replacing file the replacement; rows committed
    // earlier are left for DeleteImportedRecords.
    void NoteRolledBackAtStop(bool replacing, std::size_t rows);

    // Whether the file being imported replaced the register, and how that ended.
    enum class Replacement { None, RolledBack, Committed };

    ImportPlaces places_;
    ImportRequest request_;
    ImportReport& report_;
    Clock clock_;
    std::optional<ImportDatabase> db_;
    bool registerReplaced_ = false;
    Replacement replacement_ = Replacement::None;
    std::size_t rolledBackRows_ = 0; // of the stopped file, taken back by its transaction
    ImportCounters counters_;
    std::vector<std::string> importedIds_;
    std::filesystem::path rejectedWorkbook_;
    std::filesystem::path duplicateWorkbook_;
};

// "%d年%d月%d日%d时%d分%d秒" of the local time, without leading zeros.
std::string ImportTimestamp();
