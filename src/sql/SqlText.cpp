#include "sql/SqlText.h"

#include <algorithm>
#include <iterator>

#include "sql/GbkText.h"

namespace {

// Transact-SQL's reserved keywords; "WITHIN GROUP" appears as WITHIN.
constexpr std::string_view kReservedWords[] = {"ADD",
                                               "ALL",
                                               "ALTER",
                                               "AND",
                                               "ANY",
                                               "AS",
                                               "ASC",
                                               "AUTHORIZATION",
                                               "BACKUP",
                                               "BEGIN",
                                               "BETWEEN",
                                               "BREAK",
                                               "BROWSE",
                                               "BULK",
                                               "BY",
                                               "CASCADE",
                                               "CASE",
                                               "CHECK",
                                               "CHECKPOINT",
                                               "CLOSE",
                                               "CLUSTERED",
                                               "COALESCE",
                                               "COLLATE",
                                               "COLUMN",
                                               "COMMIT",
                                               "COMPUTE",
                                               "CONSTRAINT",
                                               "CONTAINS",
                                               "CONTAINSTABLE",
                                               "CONTINUE",
                                               "CONVERT",
                                               "CREATE",
                                               "CROSS",
                                               "CURRENT",
                                               "CURRENT_DATE",
                                               "CURRENT_TIME",
                                               "CURRENT_TIMESTAMP",
                                               "CURRENT_USER",
                                               "CURSOR",
                                               "DATABASE",
                                               "DBCC",
                                               "DEALLOCATE",
                                               "DECLARE",
                                               "DEFAULT",
                                               "DELETE",
                                               "DENY",
                                               "DESC",
                                               "DISK",
                                               "DISTINCT",
                                               "DISTRIBUTED",
                                               "DOUBLE",
                                               "DROP",
                                               "DUMP",
                                               "ELSE",
                                               "END",
                                               "ERRLVL",
                                               "ESCAPE",
                                               "EXCEPT",
                                               "EXEC",
                                               "EXECUTE",
                                               "EXISTS",
                                               "EXIT",
                                               "EXTERNAL",
                                               "FETCH",
                                               "FILE",
                                               "FILLFACTOR",
                                               "FOR",
                                               "FOREIGN",
                                               "FREETEXT",
                                               "FREETEXTTABLE",
                                               "FROM",
                                               "FULL",
                                               "FUNCTION",
                                               "GOTO",
                                               "GRANT",
                                               "GROUP",
                                               "HAVING",
                                               "HOLDLOCK",
                                               "IDENTITY",
                                               "IDENTITY_INSERT",
                                               "IDENTITYCOL",
                                               "IF",
                                               "IN",
                                               "INDEX",
                                               "INNER",
                                               "INSERT",
                                               "INTERSECT",
                                               "INTO",
                                               "IS",
                                               "JOIN",
                                               "KEY",
                                               "KILL",
                                               "LEFT",
                                               "LIKE",
                                               "LINENO",
                                               "LOAD",
                                               "MERGE",
                                               "NATIONAL",
                                               "NOCHECK",
                                               "NONCLUSTERED",
                                               "NOT",
                                               "NULL",
                                               "NULLIF",
                                               "OF",
                                               "OFF",
                                               "OFFSETS",
                                               "ON",
                                               "OPEN",
                                               "OPENDATASOURCE",
                                               "OPENQUERY",
                                               "OPENROWSET",
                                               "OPENXML",
                                               "OPTION",
                                               "OR",
                                               "ORDER",
                                               "OUTER",
                                               "OVER",
                                               "PERCENT",
                                               "PIVOT",
                                               "PLAN",
                                               "PRECISION",
                                               "PRIMARY",
                                               "PRINT",
                                               "PROC",
                                               "PROCEDURE",
                                               "PUBLIC",
                                               "RAISERROR",
                                               "READ",
                                               "READTEXT",
                                               "RECONFIGURE",
                                               "REFERENCES",
                                               "REPLICATION",
                                               "RESTORE",
                                               "RESTRICT",
                                               "RETURN",
                                               "REVERT",
                                               "REVOKE",
                                               "RIGHT",
                                               "ROLLBACK",
                                               "ROWCOUNT",
                                               "ROWGUIDCOL",
                                               "RULE",
                                               "SAVE",
                                               "SCHEMA",
                                               "SECURITYAUDIT",
                                               "SELECT",
                                               "SEMANTICKEYPHRASETABLE",
                                               "SEMANTICSIMILARITYDETAILSTABLE",
                                               "SEMANTICSIMILARITYTABLE",
                                               "SESSION_USER",
                                               "SET",
                                               "SETUSER",
                                               "SHUTDOWN",
                                               "SOME",
                                               "STATISTICS",
                                               "SYSTEM_USER",
                                               "TABLE",
                                               "TABLESAMPLE",
                                               "TEXTSIZE",
                                               "THEN",
                                               "TO",
                                               "TOP",
                                               "TRAN",
                                               "TRANSACTION",
                                               "TRIGGER",
                                               "TRUNCATE",
                                               "TRY_CONVERT",
                                               "TSEQUAL",
                                               "UNION",
                                               "UNIQUE",
                                               "UNPIVOT",
                                               "UPDATE",
                                               "UPDATETEXT",
                                               "USE",
                                               "USER",
                                               "VALUES",
                                               "VARYING",
                                               "VIEW",
                                               "WAITFOR",
                                               "WHEN",
                                               "WHERE",
                                               "WHILE",
                                               "WITH",
                                               "WITHIN",
                                               "WRITETEXT"};

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isReservedWord(std::string_view name) {
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return std::find(std::begin(kReservedWords), std::end(kReservedWords), upper) !=
           std::end(kReservedWords);
}

}  // namespace

std::string sqlLiteralBody(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = gbkCharLength(text, i);
        out.append(text.substr(i, length));
        if (length == 1 && text[i] == '\'') out += '\'';
        i += length;
    }
    return out;
}

bool isPlainIdentifier(std::string_view name) {
    // A leading "@", "#" or "$" means a variable, a temporary object or nothing
    // valid, so such names are bracketed too; non-ASCII letters are bracketed
    // rather than trusted to the server's collation.
    if (name.empty() || !(isAsciiLetter(name[0]) || name[0] == '_')) return false;
    for (char c : name)
        if (!(isAsciiLetter(c) || isDigit(c) || c == '_' || c == '@' || c == '#' || c == '$'))
            return false;
    return !isReservedWord(name);
}

std::string sqlIdentifier(std::string_view name) {
    if (isPlainIdentifier(name)) return std::string(name);
    std::string out = "[";
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = gbkCharLength(name, i);
        out.append(name.substr(i, length));
        if (length == 1 && name[i] == ']') out += ']';
        i += length;
    }
    out += ']';
    return out;
}

std::string logFileQuery(std::string_view database) {
    return "select database_id,name,physical_name AS CurrentLocation,state_desc,size from "
           "sys.master_files where database_id=db_id(N'" +
           sqlLiteralBody(database) + "');";
}
