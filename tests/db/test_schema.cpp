#include "tests/db/test_schema.h"

namespace plexivar::testing {

// PostgreSQL plays the production database here. The ODBC driver sends "{CALL name
// (args)}" as "SELECT * FROM name (args)", so the procedures are functions. Unquoted
// names fold to lower case on both sides, so "PageTable" in a statement finds pagetable.
// Column sizes are those the program must respect: a status message of at most 256
// characters, a last error of at most 99; a longer text makes the statement fail here.
//
// Every procedure call and every PageTable update is also written to StatementLog with the
// server process that ran it, so that a test can tell how many connections were used.
const char* const kTestSchema = R"sql(
CREATE TABLE PageTable (
    FlatSeparation bigint PRIMARY KEY,
    PressZone varchar(20) NOT NULL DEFAULT '',
    PressCylinder varchar(20) NOT NULL DEFAULT '',
    ExternalStatus integer NOT NULL DEFAULT 0,
    Status integer NOT NULL DEFAULT 0,
    LastError varchar(99) NOT NULL DEFAULT '');

CREATE TABLE LocationNames (LocationID integer NOT NULL, Name varchar(50) NOT NULL);

CREATE TABLE Log (
    LogID serial PRIMARY KEY,
    ProcessID integer NOT NULL,
    EventCode integer NOT NULL,
    FlatSeparation bigint NOT NULL,
    Message text NOT NULL,
    FileName varchar(260));

CREATE TABLE Processes (
    ProcessID serial PRIMARY KEY,
    ProcessKind integer NOT NULL,
    HostName varchar(260) NOT NULL,
    ProcessText varchar(260) NOT NULL,
    LocationID integer NOT NULL,
    StateA integer NOT NULL DEFAULT 0,
    StateB integer NOT NULL DEFAULT 0,
    Text1 varchar(260) NOT NULL DEFAULT '',
    Text2 varchar(260) NOT NULL DEFAULT '');

-- One row per spUpdateFlatPageTable call, in the order they came.
CREATE TABLE FlatPageStatus (
    Seq serial PRIMARY KEY,
    FlatSeparation bigint NOT NULL,
    ProcessID integer NOT NULL,
    ProcessKind integer NOT NULL,
    StatusCode integer NOT NULL,
    Message varchar(256) NOT NULL);

CREATE TABLE StatementLog (
    Seq serial PRIMARY KEY,
    Name text NOT NULL,
    BackendPid integer NOT NULL DEFAULT pg_backend_pid());

CREATE FUNCTION spRegisterProcess(kind integer, host text, ptext text, location integer)
RETURNS TABLE (ProcessID integer) LANGUAGE sql AS $$
    INSERT INTO StatementLog(Name) VALUES ('spRegisterProcess');
    INSERT INTO Processes(ProcessKind, HostName, ProcessText, LocationID)
        VALUES (kind, host, ptext, location) RETURNING ProcessID;
$$;

CREATE FUNCTION spUpdateProcess(id integer, a integer, b integer, t1 text, t2 text)
RETURNS void LANGUAGE sql AS $$
    INSERT INTO StatementLog(Name) VALUES ('spUpdateProcess');
    UPDATE Processes SET StateA = a, StateB = b, Text1 = t1, Text2 = t2 WHERE ProcessID = id;
$$;

CREATE FUNCTION spUpdateFlatPageTable(flat bigint, id integer, kind integer, code integer,
                                      message text, unused integer)
RETURNS void LANGUAGE sql AS $$
    INSERT INTO StatementLog(Name) VALUES ('spUpdateFlatPageTable');
    INSERT INTO FlatPageStatus(FlatSeparation, ProcessID, ProcessKind, StatusCode, Message)
        VALUES (flat, id, kind, code, message);
$$;

CREATE FUNCTION spAddLogEntry(id integer, event integer, unused integer, flat bigint,
                              message text)
RETURNS void LANGUAGE sql AS $$
    INSERT INTO StatementLog(Name) VALUES ('spAddLogEntry');
    INSERT INTO Log(ProcessID, EventCode, FlatSeparation, Message)
        VALUES (id, event, flat, message);
$$;

-- The long form exists only where Log has its FileName column (plpgsql: checked at call).
CREATE FUNCTION spAddLogEntry(id integer, event integer, unused integer, flat bigint,
                              message text, unused2 integer, file text, unused3 integer)
RETURNS void LANGUAGE plpgsql AS $$
BEGIN
    INSERT INTO StatementLog(Name) VALUES ('spAddLogEntry');
    INSERT INTO Log(ProcessID, EventCode, FlatSeparation, Message, FileName)
        VALUES (id, event, flat, message, file);
END;
$$;

-- The catalogue procedure: one row per column of the table, the column name fourth.
CREATE FUNCTION sp_columns(tablename text)
RETURNS TABLE (table_qualifier text, table_owner text, table_name text, column_name text)
LANGUAGE sql AS $$
    SELECT table_catalog::text, table_schema::text, table_name::text, column_name::text
    FROM information_schema.columns
    WHERE table_schema = current_schema() AND table_name = lower(tablename)
    ORDER BY ordinal_position;
$$;

CREATE FUNCTION record_page_update() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    INSERT INTO StatementLog(Name) VALUES ('UPDATE PageTable');
    RETURN NULL;
END;
$$;
CREATE TRIGGER page_update AFTER UPDATE ON PageTable
    FOR EACH STATEMENT EXECUTE FUNCTION record_page_update();
)sql";

}  // namespace plexivar::testing
