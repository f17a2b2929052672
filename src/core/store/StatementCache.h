#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite

// Prepared statements of one connection, kept for reuse: a large save or fetch runs the same few
// statements thousands of times, and preparing one costs more than running it. A statement in use is
// leased out, so a nested use of the same SQL gets a statement of its own.
class StatementCache
{
public:
    // The lease resets the statement and clears its bindings when it goes, so a returned statement
    // holds no read lock and no stale value.
    class Lease
    {
    public:
        Lease(StatementCache &cache, std::string sql, std::unique_ptr<SQLite::Statement> statement);
        ~Lease();
        Lease(Lease &&) = default;
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        Lease &operator=(Lease &&) = delete;

        SQLite::Statement &operator*() const { return *m_statement; }
        SQLite::Statement *operator->() const { return m_statement.get(); }

    private:
        StatementCache *m_cache;
        std::string m_sql;
        std::unique_ptr<SQLite::Statement> m_statement;
    };

    StatementCache();
    ~StatementCache();
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    // A prepared statement for `sql` on `database` (throws SQLite::Exception when it cannot be
    // prepared). Every statement of a cache must be for the same connection.
    Lease acquire(SQLite::Database &database, const std::string &sql);

private:
    static constexpr std::size_t MaxKeptTexts = 64;

    void giveBack(std::string sql, std::unique_ptr<SQLite::Statement> statement);

    std::map<std::string, std::vector<std::unique_ptr<SQLite::Statement>>> m_idle;
};
