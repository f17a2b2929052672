#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
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
    using Idle = std::vector<std::unique_ptr<SQLite::Statement>>;

public:
    // The lease resets the statement and clears its bindings when it goes, so a returned statement
    // holds no read lock and no stale value.
    class Lease
    {
    public:
        // `home` is where the statement goes back to; null for a statement that is not kept.
        Lease(Idle *home, std::unique_ptr<SQLite::Statement> statement);
        ~Lease();
        Lease(Lease &&) = default;
        Lease(const Lease &) = delete;
        Lease &operator=(const Lease &) = delete;
        Lease &operator=(Lease &&) = delete;

        SQLite::Statement &operator*() const { return *m_statement; }
        SQLite::Statement *operator->() const { return m_statement.get(); }

    private:
        Idle *m_home;
        std::unique_ptr<SQLite::Statement> m_statement;
    };

    StatementCache();
    ~StatementCache();
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    // A prepared statement for `sql` on `database` (throws SQLite::Exception when it cannot be
    // prepared). Every statement of a cache must be for the same connection.
    Lease acquire(SQLite::Database &database, std::string_view sql);

private:
    // Ad-hoc queries (report filters) each have their own SQL: past this many texts, new ones are not
    // kept.
    static constexpr std::size_t MaxKeptTexts = 64;

    std::map<std::string, Idle, std::less<>> m_idle;
};
