#include "db/statement_text.h"

#include "platform/c_locale.h"

namespace plexivar::db {
namespace {

using platform::Format;

// Length of the UTF-8 sequence that starts with `lead`, 0 when `lead` cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Byte length of the first `limit` characters of valid UTF-8 `text`; npos when `text` is
// not valid UTF-8 (overlong forms and surrogates included).
std::size_t Utf8PrefixBytes(std::string_view text, std::size_t limit) {
    std::size_t pos = 0;
    std::size_t characters = 0;
    std::size_t cut = std::string_view::npos;
    while (pos < text.size()) {
        if (characters == limit && cut == std::string_view::npos) cut = pos;
        const auto lead = static_cast<unsigned char>(text[pos]);
        const std::size_t length = SequenceLength(lead);
        if (length == 0 || pos + length > text.size()) return std::string_view::npos;
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[pos + i]);
            if ((next & 0xC0) != 0x80) return std::string_view::npos;
            if (i == 1 && ((lead == 0xE0 && next < 0xA0) || (lead == 0xED && next > 0x9F) ||
                           (lead == 0xF0 && next < 0x90) || (lead == 0xF4 && next > 0x8F)))
                return std::string_view::npos;
        }
        pos += length;
        ++characters;
    }
    return cut == std::string_view::npos ? text.size() : cut;
}

std::string Int64(std::int64_t value) { return Format("%lld", static_cast<long long>(value)); }

}  // namespace

std::string DoubleQuotes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

std::string FirstCharacters(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    const std::size_t bytes = Utf8PrefixBytes(text, limit);
    return std::string(text.substr(0, bytes == std::string_view::npos ? limit : bytes));
}

std::string RegisterProcessStatement(int processKind, std::string_view hostName,
                                     std::string_view processText, int locationId) {
    return Format("{CALL spRegisterProcess (%d,'%s','%s',%d)}", processKind,
                  DoubleQuotes(hostName).c_str(), DoubleQuotes(processText).c_str(), locationId);
}

std::string UpdateProcessStatement(int processId, int stateA, int stateB, std::string_view text1,
                                   std::string_view text2) {
    return Format("{CALL spUpdateProcess (%d,%d,%d,'%s','%s')}", processId, stateA, stateB,
                  DoubleQuotes(text1).c_str(), DoubleQuotes(text2).c_str());
}

std::string UpdateFlatPageTableStatement(std::int64_t flatSeparation, int processId,
                                         int processKind, int statusCode,
                                         std::string_view message) {
    return "{CALL spUpdateFlatPageTable (" + Int64(flatSeparation) +
           Format(",%d,%d,%d,'%s',0)}", processId, processKind, statusCode,
                  DoubleQuotes(FirstCharacters(message, kStatusMessageLimit)).c_str());
}

std::string ExternalStatusStatement(std::int64_t flatSeparation, int externalStatus) {
    return Format("UPDATE PageTable SET ExternalStatus=%d WHERE FlatSeparation=", externalStatus) +
           Int64(flatSeparation);
}

std::string PageErrorStatement(std::int64_t flatSeparation, int status,
                               std::string_view lastError) {
    return Format("UPDATE PageTable SET Status=%d,LastError='%s' WHERE FlatSeparation=", status,
                  DoubleQuotes(FirstCharacters(lastError, kLastErrorLimit)).c_str()) +
           Int64(flatSeparation);
}

std::string AddLogEntryStatement(int processId, int eventCode, std::int64_t flatSeparation,
                                 std::string_view message, std::string_view fileName,
                                 bool withFileName) {
    std::string text = Format("{CALL spAddLogEntry (%d,%d,-1,", processId, eventCode) +
                       Int64(flatSeparation) + ", '" + DoubleQuotes(message) + "'";
    if (withFileName) text += ", 0, '" + DoubleQuotes(fileName) + "',0";
    return text + ")}";
}

std::string ZoneStatement(std::int64_t flatSeparation, std::string_view selectField) {
    const std::string field = selectField.empty() ? "PressZone" : std::string(selectField);
    return "SELECT TOP 1 " + field + " FROM PageTable WITH (NOLOCK) WHERE FlatSeparation=" +
           Int64(flatSeparation);
}

std::string ColumnsStatement(std::string_view table) {
    return "{ CALL sp_columns ('" + DoubleQuotes(table) + "') }";
}

}  // namespace plexivar::db
