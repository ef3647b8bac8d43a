// Finding records by a fragment of the name, the mobile number or the unit, at a million
// records, without a scan.
//
// SQLite's full-text tables split text into words at blanks and punctuation, and no
// tokenizer here splits Chinese. So the program gives the table its own words: every run
// of three neighbouring characters of a field, then the field's last two and its last one.
// A fragment of three or more characters is then the phrase of its runs, which occurs
// exactly where the fragment does; a shorter one is a prefix of the words beginning with
// it. (Pairs would be fewer bytes, but digits make only a hundred pairs, each in most
// numbers, and a search for four digits would read them all.)
//
// Every write of t_address_book notes the rowids it touches (kNoteInsertedRow,
// kNoteRowsOfId), in the statement's transaction; before each search the noted rows are
// indexed anew, in one transaction. (Triggers would note them by themselves, but a
// statement with a trigger keeps a journal of every page it changes, and with the
// register's 64 KiB pages that made an import a hundred times slower.) Whatever the
// program cannot vouch for (the tables missing, as in a register of an earlier version,
// or an index that disagrees with the register, as after a write that left no note) is
// built again from the records.
#pragma once

#include "store/database.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Notes a row just inserted; ?1 is its rowid.
inline constexpr char kNoteInsertedRow[] =
    "INSERT INTO t_address_book_search_noted VALUES (?1, NULL);";
// Notes the rows of an identifier about to be deleted; ?1 is the UI_ID (UTF-8).
inline constexpr char kNoteRowsOfId[] = "INSERT INTO t_address_book_search_noted SELECT rowid, "
                                        "Add_Time FROM t_address_book WHERE UI_ID = ?1;";

// The index's words for one field, as the table stores them (UTF-8 in, blank-separated
// words out). Latin letters are folded to small; ASCII punctuation is written as two bytes
// at or above 0x80, which the tokenizer keeps inside a word.
std::string SearchWords(std::string_view utf8);

// The full-text query for an operator's query (UTF-8): every blank-separated word must
// occur in one of the fields. Empty when the query has no word.
std::string SearchMatchExpression(std::string_view utf8Query);

// Whether a record whose fields (UTF-8) are these matches the query as the index finds it,
// for a record just changed, without asking the index.
bool MatchesSearch(std::string_view utf8Query, std::span<const std::string_view> utf8Fields);

// Statements that give a freshly created t_address_book its empty index; run in the same
// transaction as the create.
std::string SearchIndexResetStatements();

// Reports the rows indexed so far of a build from the records.
using SearchBuildProgress = std::function<void(long long done, long long total)>;

enum class SearchIndexState { Ready, Built };

// Makes the index one the program can trust: builds it from the records when it is missing
// or does not agree with them (the tables, the number of records, the newest), and indexes
// the rows noted since the last search. Built says a whole build was needed.
StoreResult<SearchIndexState> EnsureSearchIndex(const Connection& db,
                                                const SearchBuildProgress& progress = {});

// Builds the index from the records whatever its state: for an index a search found
// damaged.
StoreStatus RebuildSearchIndex(const Connection& db, const SearchBuildProgress& progress = {});

// Whether the index is missing, or so far from the register that EnsureSearchIndex would
// build it whole (which takes seconds at a million records): a cheap look at the schema.
StoreResult<bool> SearchIndexNeedsBuild(const Connection& db);

// Indexes the noted rows, in one transaction. Fails when the index cannot be read or
// written; the caller then builds it again.
StoreStatus IndexNotedRows(const Connection& db);

// The rowids of the area's records matching the query, newest first (as the list shows
// them). The index must be current (EnsureSearchIndex on the same reading).
StoreResult<std::vector<long long>> FindContactRowids(const Connection& db,
                                                      const std::string& gb18030Query,
                                                      const std::string& areaName);
