#pragma once

#include "history/store/store.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vendrik::history {

/// True when `database` names a PostgreSQL server: a libpq connection URI ("postgresql://"
/// or "postgres://") or a key=value string ("service=NAME", "host=... dbname=..."); else it is
/// the path of a SQLite file.
bool isServerTarget(const std::string& database);

/// A server target as messages name it, and the passwords that no message may show.
struct TargetName {
    /// Its fields that are not secret, as libpq parses them: "host=/run/pg port=5432
    /// dbname=results user=ci" (or "service=NAME"); "the --database connection string" when
    /// libpq cannot parse it.
    std::string shown;
    /// The passwords it carries (in the string, in a connection string given as its dbname)
    /// and PGPASSWORD's.
    std::vector<std::string> secrets;
};
TargetName nameTarget(const std::string& target);

/// `message` with each of `secrets` written "***" in every spelling it may take there: as
/// given, percent-decoded and percent-encoded.
std::string withoutSecrets(std::string message, const std::vector<std::string>& secrets);

/// `values` as a PostgreSQL array literal of text ({"a","b\"c"}), for one parameter that
/// carries many rows: unnest($1::text[]).
std::string arrayLiteral(const std::vector<std::string>& values);

/// The rows of one query, text in each column; freed with the object.
class PgRows {
  public:
    explicit PgRows(PGresult* result) : result_(result, PQclear) {}
    int size() const { return PQntuples(result_.get()); }
    bool isNull(int row, int column) const { return PQgetisnull(result_.get(), row, column) != 0; }
    std::string text(int row, int column) const {
        return {PQgetvalue(result_.get(), row, column),
                static_cast<std::size_t>(PQgetlength(result_.get(), row, column))};
    }
    std::int64_t number(int row, int column) const {
        const char* digits = PQgetvalue(result_.get(), row, column);
        std::int64_t value = 0;
        std::from_chars(digits, digits + PQgetlength(result_.get(), row, column), value);
        return value;
    }
    PGresult* handle() const { return result_.get(); }

  private:
    std::unique_ptr<PGresult, void (*)(PGresult*)> result_;
};

/// A connection to a PostgreSQL server, closed with the object (which rolls back what it did
/// not commit).
class PgConnection {
  public:
    /// Connects to `target`: a libpq connection URI ("postgresql://[user@]host[:port]/db")
    /// or key=value string ("service=NAME"); the password comes as libpq users give it (in
    /// the target, PGPASSWORD, ~/.pgpass, a service file). Throws StoreError, naming the
    /// target by nameTarget and with no password in the message, also none that libpq took
    /// from a password or service file.
    explicit PgConnection(const std::string& target);

    /// The target as messages name it (see nameTarget).
    const std::string& shown() const { return name_.shown; }

    /// Runs `sql` with the parameters $1, $2, ... of `parameters` (nothing for NULL), as
    /// text; throws PgError saying what it was `doing`, with the server's message and its
    /// SQLSTATE. A parameter with a NUL byte, which the server's text cannot hold, is refused
    /// before anything is sent (code "22021").
    /// With `typedAsText`, every parameter is of type text, also one that `sql` does not use.
    PgRows run(const std::string& sql, const std::vector<std::optional<std::string>>& parameters,
               const std::string& doing, bool typedAsText = false);
    PgRows run(const std::string& sql, const std::string& doing) { return run(sql, {}, doing); }

  private:
    std::unique_ptr<PGconn, void (*)(PGconn*)> connection_;
    TargetName name_;
};

/// A failed statement: its SQLSTATE ("23505" for a unique violation, "22021" for bytes
/// that are not valid in the server's encoding) beside the message.
struct PgError : StoreError {
    PgError(const std::string& message, std::string sqlState)
        : StoreError(message), code(std::move(sqlState)) {}
    std::string code;
};

} // namespace vendrik::history
