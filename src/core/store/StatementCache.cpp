#include "StatementCache.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

StatementCache::Lease::Lease(StatementCache &cache, std::string sql,
                             std::unique_ptr<SQLite::Statement> statement)
    : m_cache(&cache)
    , m_sql(std::move(sql))
    , m_statement(std::move(statement))
{}

StatementCache::Lease::~Lease()
{
    if (!m_statement)
        return;
    try {
        m_statement->reset();
        m_statement->clearBindings();
    } catch (const std::exception &) {
        // A statement that cannot be reset is not reused.
        return;
    }
    m_cache->giveBack(std::move(m_sql), std::move(m_statement));
}

StatementCache::StatementCache() = default;
StatementCache::~StatementCache() = default;

StatementCache::Lease StatementCache::acquire(SQLite::Database &database, const std::string &sql)
{
    const auto idle = m_idle.find(sql);
    if (idle != m_idle.end() && !idle->second.empty()) {
        std::unique_ptr<SQLite::Statement> statement = std::move(idle->second.back());
        idle->second.pop_back();
        return Lease(*this, sql, std::move(statement));
    }
    return Lease(*this, sql, std::make_unique<SQLite::Statement>(database, sql));
}

void StatementCache::giveBack(std::string sql, std::unique_ptr<SQLite::Statement> statement)
{
    // Ad-hoc queries (report filters) each have their own SQL: past a bound, new texts are not kept.
    const auto idle = m_idle.find(sql);
    if (idle != m_idle.end())
        idle->second.push_back(std::move(statement));
    else if (m_idle.size() < MaxKeptTexts)
        m_idle[std::move(sql)].push_back(std::move(statement));
}
