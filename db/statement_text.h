// The text of every statement sent to the production database. Values are inserted as
// they stand, except that a value placed between single quotes has each single quote
// doubled, so that a file name such as "O'Hara-1183407.tif" is stored as written instead
// of ending the literal early (and cannot smuggle SQL into the statement).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace plexivar::db {

// Process kinds sent with the registration and the page-table status.
inline constexpr int kProcessKindMain = 65;
inline constexpr int kProcessKindBackup = 66;
// Longest texts the page table takes: status message and last error, in characters.
inline constexpr std::size_t kStatusMessageLimit = 256;
inline constexpr std::size_t kLastErrorLimit = 99;

// `text` with every single quote doubled.
std::string DoubleQuotes(std::string_view text);

// The first `limit` characters of `text`. Text that is valid UTF-8 is counted in
// characters and never cut inside one (a cut character would make the whole statement
// invalid text for the server); any other text is counted in bytes.
std::string FirstCharacters(std::string_view text, std::size_t limit);

std::string RegisterProcessStatement(int processKind, std::string_view hostName,
                                     std::string_view processText, int locationId);
std::string UpdateProcessStatement(int processId, int stateA, int stateB, std::string_view text1,
                                   std::string_view text2);
// The message is cut to kStatusMessageLimit characters.
std::string UpdateFlatPageTableStatement(std::int64_t flatSeparation, int processId,
                                         int processKind, int statusCode,
                                         std::string_view message);
std::string ExternalStatusStatement(std::int64_t flatSeparation, int externalStatus);
// The last error is cut to kLastErrorLimit characters.
std::string PageErrorStatement(std::int64_t flatSeparation, int status,
                               std::string_view lastError);
// `withFileName` chooses the eight-argument form that also records the file name.
std::string AddLogEntryStatement(int processId, int eventCode, std::int64_t flatSeparation,
                                 std::string_view message, std::string_view fileName,
                                 bool withFileName);
// Reads `selectField` (a column expression; "PressZone" when empty) of the plate's row.
std::string ZoneStatement(std::int64_t flatSeparation, std::string_view selectField);
std::string ColumnsStatement(std::string_view table);
inline constexpr const char* kLocationNamesStatement = "SELECT LocationID,Name FROM LocationNames";

}  // namespace plexivar::db
