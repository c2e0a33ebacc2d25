#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "sql/SqlSession.h"

// A scripted session for logic tests: queries are answered from a table of
// exact SQL texts, statements succeed unless listed as failing, and every text
// sent is recorded in order. End-to-end tests use the real ODBC session and
// the TDS stand-in instead.
class FakeSession : public SqlSession {
public:
    struct Table {
        std::vector<std::string> columns;
        std::vector<std::vector<FieldValue>> rows;
    };
    struct Login {
        std::string server, login, password, database;
    };
    struct LogFile {
        std::string database;
        std::string path;  // CurrentLocation of the log row
        int pages = 0;     // size in 8-KB pages
    };

    static FieldValue text(const std::string& s) {
        FieldValue v;
        v.kind = FieldValue::Kind::Text;
        v.text = s;
        return v;
    }
    static FieldValue integer(long long n) {
        FieldValue v;
        v.kind = FieldValue::Kind::Int;
        v.integer = n;
        return v;
    }

    std::map<std::string, Table> answers;   // SQL text -> rows
    std::set<std::string> failingStatements;
    bool loginsSucceed = true;
    std::vector<Login> logins;               // every openConnection attempt
    std::vector<std::string> sent;           // every query and statement text, in order
    std::vector<std::string> statements;     // executeStatement texts only

    bool isOpen() const { return open_; }
    int liveResultSets() const { return static_cast<int>(sets_.size()); }

    // The SQL text of the per-database file query, with the name quoted as a literal.
    static std::string fileQuery(const std::string& database) {
        std::string quoted;
        for (char c : database) {
            quoted += c;
            if (c == '\'') quoted += '\'';
        }
        return "select database_id,name,physical_name AS CurrentLocation,state_desc,size from "
               "sys.master_files where database_id=db_id(N'" + quoted + "');";
    }

    // Answers the catalogue queries for these databases: counts, names, and
    // each database's files (a data file row, then the log row).
    void setDatabases(const std::vector<LogFile>& dbs) {
        Table count{{""}, {{integer(static_cast<long long>(dbs.size()))}}};
        answers["SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES"] = count;
        answers["SELECT count(name) FROM master.dbo.sysdatabases"] = count;
        Table names{{"NAME"}, {}};
        Table names2{{"Name"}, {}};
        int id = 1;
        for (const auto& db : dbs) {
            names.rows.push_back({text(db.database)});
            names2.rows.push_back({text(db.database)});
            Table files{{"database_id", "name", "CurrentLocation", "state_desc", "size"}, {}};
            files.rows.push_back({integer(id), text(db.database), text(db.path + ".mdf"), text("ONLINE"),
                                  integer(1024)});
            files.rows.push_back({integer(id), text(db.database + "_log"), text(db.path), text("ONLINE"),
                                  integer(db.pages)});
            answers[fileQuery(db.database)] = files;
            ++id;
        }
        answers["SELECT NAME FROM MASTER.DBO.SYSDATABASES"] = names;
        answers["SELECT Name FROM Master..SysDatabases"] = names2;
    }

    bool openConnection(const std::string& server, const std::string& login, const std::string& password,
                        const std::string& database) override {
        logins.push_back({server, login, password, database});
        if (!loginsSucceed) return false;
        sets_.clear();
        open_ = true;
        return true;
    }
    void closeConnection() override {
        open_ = false;
        sets_.clear();
    }
    ResultSet runQuery(const std::string& sql) override {
        sent.push_back(sql);
        if (sql.empty() || !open_) return 0;
        auto it = answers.find(sql);
        if (it == answers.end()) return 0;
        sets_.push_back({it->second, 0});
        return static_cast<ResultSet>(sets_.size());
    }
    void moveNext(ResultSet rs) override {
        if (rs < 1 || rs > static_cast<int>(sets_.size())) return;
        sets_[rs - 1].row++;
    }
    FieldValue readField(ResultSet rs, const std::string& column) override {
        if (rs < 1 || rs > static_cast<int>(sets_.size())) return {};
        const auto& cols = sets_[rs - 1].table.columns;
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i] == column) return readField(rs, static_cast<int>(i) + 1);
        return {};
    }
    FieldValue readField(ResultSet rs, int position) override {
        if (rs < 1 || rs > static_cast<int>(sets_.size())) return {};
        const Set& s = sets_[rs - 1];
        if (s.row >= s.table.rows.size()) return {};
        const auto& row = s.table.rows[s.row];
        if (position < 1 || position > static_cast<int>(row.size())) return {};
        return row[position - 1];
    }
    bool executeStatement(const std::string& sql) override {
        sent.push_back(sql);
        statements.push_back(sql);
        if (sql.empty() || !open_) return false;
        return !failingStatements.count(sql);
    }

private:
    struct Set {
        Table table;
        size_t row = 0;
    };
    bool open_ = false;
    std::vector<Set> sets_;
};
