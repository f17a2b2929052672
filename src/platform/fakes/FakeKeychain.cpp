#include "FakeKeychain.h"

FakeKeychain::FakeKeychain(const QString &service)
    : m_service(service)
{}

bool FakeKeychain::saveGenericPassword(const QString &password, const QString &account)
{
    if (m_failing || password.isEmpty())
        return false;
    m_items.insert(account, password);
    return true;
}

std::optional<QString> FakeKeychain::getGenericAccountPassword(const QString &account)
{
    const auto item = m_items.constFind(account);
    if (m_failing || item == m_items.constEnd() || item->isEmpty())
        return std::nullopt;
    return *item;
}

bool FakeKeychain::deleteGenericPasswordForAccount(const QString &account)
{
    if (m_failing || account.isEmpty())
        return false;
    m_items.remove(account);
    return true;
}
