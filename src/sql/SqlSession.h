#pragma once

#include <cstdint>
#include <string>

// A handle to the rows of one query; 0 stands for no result set.
using ResultSet = int;

// A value read from one column of the current row, tagged with its kind.
struct FieldValue {
    enum class Kind { Text, Int, Short, Byte, Float, Double, Bool, DateTime, Bytes };
    Kind kind = Kind::Text;
    std::string text;          // Text (GBK), DateTime (as text), Bytes
    std::int64_t integer = 0;  // Int, Short, Byte, Bool
    double real = 0;           // Float, Double

    // A count as the listings read it: byte, short and int unchanged; float and
    // double truncated toward zero; anything else 0.
    int asCount() const {
        switch (kind) {
            case Kind::Int: case Kind::Short: case Kind::Byte: case Kind::Bool:
                return static_cast<int>(integer);
            case Kind::Float: case Kind::Double:
                return static_cast<int>(real);
            default:
                return 0;
        }
    }
    // A number widened to double: byte, short, int, float and double; anything else 0.
    double asNumber() const {
        switch (kind) {
            case Kind::Int: case Kind::Short: case Kind::Byte: case Kind::Bool:
                return static_cast<double>(integer);
            case Kind::Float: case Kind::Double:
                return real;
            default:
                return 0;
        }
    }
    // The text of a text column; empty for other kinds.
    const std::string& asText() const {
        static const std::string empty;
        return kind == Kind::Text ? text : empty;
    }
};

// The program's one database session (外部数据库1). Texts are GBK.
// Nothing here shows a message or throws: failures are values.
class SqlSession {
public:
    virtual ~SqlSession() = default;

    // Opens a new connection first; only when it succeeded does it close the
    // previous one (releasing its result sets). False keeps the old connection.
    virtual bool openConnection(const std::string& server, const std::string& login,
                                const std::string& password, const std::string& database) = 0;
    virtual void closeConnection() = 0;
    // 0 when the text is empty, nothing is open, or the server rejects or times out the query.
    virtual ResultSet runQuery(const std::string& sql) = 0;
    virtual void moveNext(ResultSet rs) = 0;
    virtual FieldValue readField(ResultSet rs, const std::string& column) = 0;
    virtual FieldValue readField(ResultSet rs, int position) = 0;  // from 1
    // True when the statement ran; every result it returns is drained.
    virtual bool executeStatement(const std::string& sql) = 0;
};
