#include "StatementCache.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

StatementCache::Lease::Lease(Idle *home, std::unique_ptr<SQLite::Statement> statement)
    : m_home(home)
    , m_statement(std::move(statement))
{}

StatementCache::Lease::~Lease()
{
    if (!m_statement || !m_home)
        return;
    try {
        m_statement->reset();
        m_statement->clearBindings();
    } catch (const std::exception &) {
        // A statement that cannot be reset is not reused.
        return;
    }
    m_home->push_back(std::move(m_statement));
}

StatementCache::StatementCache() = default;
StatementCache::~StatementCache() = default;

StatementCache::Lease StatementCache::acquire(SQLite::Database &database, std::string_view sql)
{
    auto idle = m_idle.find(sql);
    if (idle == m_idle.end()) {
        if (m_idle.size() >= MaxKeptTexts)
            return Lease(nullptr, std::make_unique<SQLite::Statement>(database, std::string(sql)));
        idle = m_idle.emplace(std::string(sql), Idle()).first;
    }
    if (!idle->second.empty()) {
        std::unique_ptr<SQLite::Statement> statement = std::move(idle->second.back());
        idle->second.pop_back();
        return Lease(&idle->second, std::move(statement));
    }
    return Lease(&idle->second, std::make_unique<SQLite::Statement>(database, std::string(sql)));
}
