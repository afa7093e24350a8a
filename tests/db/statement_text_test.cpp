// Statement texts as sent, byte for byte, and the value handling inside them.
#include "db/statement_text.h"

#include <gtest/gtest.h>

#include "db/connection_string.h"

namespace plexivar::db {
namespace {

TEST(StatementText, EveryStatementAsSent) {
    // Host PREPRESS1, process text Fanout, location 1, process 7, file 0042-1183407.tif.
    const struct {
        std::string built, expected;
    } cases[] = {
        {RegisterProcessStatement(65, "PREPRESS1", "Fanout", 1),
         "{CALL spRegisterProcess (65,'PREPRESS1','Fanout',1)}"},
        {UpdateProcessStatement(7, 1, 1, "0042-1183407.tif", ""),
         "{CALL spUpdateProcess (7,1,1,'0042-1183407.tif','')}"},
        {UpdateFlatPageTableStatement(1183407, 7, 65, 159, ""),
         "{CALL spUpdateFlatPageTable (1183407,7,65,159,'',0)}"},
        {ExternalStatusStatement(1183407, 5),
         "UPDATE PageTable SET ExternalStatus=5 WHERE FlatSeparation=1183407"},
        {PageErrorStatement(1183407, 46, "Error copying file a to b"),
         "UPDATE PageTable SET Status=46,LastError='Error copying file a to b' WHERE "
         "FlatSeparation=1183407"},
        {AddLogEntryStatement(7, 156, 1183407, "Error copying file a to b", "0042-1183407.tif",
                              true),
         "{CALL spAddLogEntry (7,156,-1,1183407, 'Error copying file a to b', 0, "
         "'0042-1183407.tif',0)}"},
        {AddLogEntryStatement(7, 150, 1183407, "", "0042-1183407.tif", false),
         "{CALL spAddLogEntry (7,150,-1,1183407, '')}"},
        {ZoneStatement(1183407, "PressZone+PressCylinder"),
         "SELECT TOP 1 PressZone+PressCylinder FROM PageTable WITH (NOLOCK) WHERE "
         "FlatSeparation=1183407"},
        {ZoneStatement(1183407, ""),
         "SELECT TOP 1 PressZone FROM PageTable WITH (NOLOCK) WHERE FlatSeparation=1183407"},
        {ColumnsStatement("Log"), "{ CALL sp_columns ('Log') }"},
        {kLocationNamesStatement, "SELECT LocationID,Name FROM LocationNames"},
        // The number is a signed 64-bit value on every statement that carries it.
        {ExternalStatusStatement(9007199254740993LL, 6),
         "UPDATE PageTable SET ExternalStatus=6 WHERE FlatSeparation=9007199254740993"},
        {UpdateFlatPageTableStatement(-42, 0, 66, 150, ""),
         "{CALL spUpdateFlatPageTable (-42,0,66,150,'',0)}"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(StatementText, QuotesAreDoubledAndOtherBytesStandAsTheyAre) {
    EXPECT_EQ(UpdateProcessStatement(7, 1, 1, "O'Hara-1183407.tif", ""),
              "{CALL spUpdateProcess (7,1,1,'O''Hara-1183407.tif','')}");
    EXPECT_EQ(AddLogEntryStatement(7, 156, 1183407, "it's ''bad''", "a;b'); DROP TABLE Log;--",
                                   true),
              "{CALL spAddLogEntry (7,156,-1,1183407, 'it''s ''''bad''''', 0, "
              "'a;b''); DROP TABLE Log;--',0)}");
    EXPECT_EQ(RegisterProcessStatement(66, "host'1", "Fan'out", 3),
              "{CALL spRegisterProcess (66,'host''1','Fan''out',3)}");
    EXPECT_EQ(ColumnsStatement("O'Log"), "{ CALL sp_columns ('O''Log') }");
    // Non-ASCII bytes, valid UTF-8 or not, and percent signs are sent unchanged.
    EXPECT_EQ(UpdateProcessStatement(7, 1, 1, "bl\xC3\xA5-%s%d-\xE5.tif", ""),
              "{CALL spUpdateProcess (7,1,1,'bl\xC3\xA5-%s%d-\xE5.tif','')}");
}

TEST(StatementText, LongTextsAreCutBeforeTheirQuotesAreDoubled) {
    const std::string message300(300, 'x');
    EXPECT_EQ(UpdateFlatPageTableStatement(1183407, 7, 65, 156, message300),
              "{CALL spUpdateFlatPageTable (1183407,7,65,156,'" + std::string(256, 'x') + "',0)}");
    EXPECT_EQ(PageErrorStatement(1183407, 46, message300),
              "UPDATE PageTable SET Status=46,LastError='" + std::string(99, 'x') +
                  "' WHERE FlatSeparation=1183407");
    // The log entry takes the whole message.
    EXPECT_NE(AddLogEntryStatement(7, 156, 1183407, message300, "f", true).find(message300),
              std::string::npos);
    // A quote at the cut counts once and is doubled after the cut.
    const std::string quoteAtCut = std::string(98, 'x') + "'yz";
    EXPECT_EQ(PageErrorStatement(5, 46, quoteAtCut),
              "UPDATE PageTable SET Status=46,LastError='" + std::string(98, 'x') +
                  "''' WHERE FlatSeparation=5");
}

TEST(StatementText, FirstCharactersCountsUtf8CharactersAndOtherTextInBytes) {
    const struct {
        std::string text;
        std::size_t limit;
        std::string expected;
    } cases[] = {
        {"abc", 5, "abc"},
        {"abcdef", 3, "abc"},
        {"", 0, ""},
        {"\xC3\xA5\xC3\xA5\xC3\xA5", 2, "\xC3\xA5\xC3\xA5"},  // "ååå": two characters
        {"a\xE2\x82\xAC" "b", 2, "a\xE2\x82\xAC"},           // "a€b": the euro sign stays whole
        {"\xF0\x9F\x98\x80x", 1, "\xF0\x9F\x98\x80"},         // a four-byte character
        {"\xE5\xE5\xE5\xE5", 2, "\xE5\xE5"},                  // Windows-1252 "åååå": bytes
        {"\xC3\xA5\xE5zz", 2, "\xC3\xA5"},                    // invalid later on: bytes
        {"\xC0\xAFzz", 1, "\xC0"},                            // overlong form: bytes
        {"\xED\xA0\x80zz", 1, "\xED"},                        // surrogate: bytes
        {"ab\xC3", 2, "ab"},                                  // truncated sequence: bytes
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstCharacters(c.text, c.limit), c.expected) << c.text << " / " << c.limit;
}

TEST(ConnectionString, PlainValuesStandAndAwkwardOnesAreBraced) {
    const struct {
        std::string dsn, user, password, expected;
    } cases[] = {
        {"OV", "sa", "vorpa", "DSN=OV;UID=sa;PWD=vorpa"},
        {"OV", "sa", "", "DSN=OV;UID=sa;PWD="},
        {"Plant DB", "pre press", "pa ss", "DSN=Plant DB;UID=pre press;PWD=pa ss"},
        {"OV", "sa", "p;w", "DSN=OV;UID=sa;PWD={p;w}"},
        {"OV", "sa", "a}b{", "DSN=OV;UID=sa;PWD={a}}b{}"},
        {"OV", "sa", " lead", "DSN=OV;UID=sa;PWD={ lead}"},
        {"O;V", "s=a", "x", "DSN={O;V};UID=s=a;PWD=x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildConnectionString(c.dsn, c.user, c.password), c.expected);
    // Shown to a person, a password that is set is hidden.
    EXPECT_EQ(ShownConnectionString("OV", "sa", "p;w"), "DSN=OV;UID=sa;PWD=********");
    EXPECT_EQ(ShownConnectionString("OV", "sa", ""), "DSN=OV;UID=sa;PWD=");
}

}  // namespace
}  // namespace plexivar::db
