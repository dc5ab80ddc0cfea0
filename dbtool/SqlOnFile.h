#pragma once

#include "Rules.h"

// The rules' questions answered by look-ups in the database file itself.
class SqlOnFile : public Rules::OnFile
{
public:
    explicit SqlOnFile(MachineDb &db) : m_db(db) {}
    std::optional<QString> machineWithGsm(const QString &gsm) override
    {
        const auto m = m_db.findFirst(MachineTables::Distributori, QStringLiteral("GSM"), gsm);
        return m ? std::optional<QString>(m->value(QStringLiteral("Description"))) : std::nullopt;
    }
    std::optional<QString> machineWithIdentity(const QString &identity) override
    {
        const auto m =
            m_db.findFirst(MachineTables::Distributori, QStringLiteral("Identity"), identity);
        return m ? std::optional<QString>(m->value(QStringLiteral("Description"))) : std::nullopt;
    }
    bool hasSalePoint(const QString &name) override
    {
        return m_db.findFirst(MachineTables::PuntiVendita, QStringLiteral("Name"), name)
            .has_value();
    }
    bool hasOperator(const QString &name) override
    {
        return m_db.findFirst(MachineTables::Operatori, QStringLiteral("Name"), name).has_value();
    }

private:
    MachineDb &m_db;
};
