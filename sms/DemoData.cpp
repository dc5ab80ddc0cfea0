#include "DemoData.h"

#include "MachineDb.h"

namespace {
struct Machine
{
    const char *gsm, *description, *salePoint, *op;
};
const Machine Machines[] = {
    {"+393471110001", "Coffee 1 - hall", "Bar Centrale", "Marco Galli"},
    {"+393471110002", "Snack 4", "Stazione Porta Est", "Elena Conti"},
    {"+393471110003", "Cold drinks 2", "Palestra Olimpia", "Marco Galli"},
    {"+393471110004", "Coffee 9 - offices", "Uffici Lungodora", "Paolo Ferri"},
    {"+393471110005", "Water 1", "Caff\u00E8 dell'Angolo", "Elena Conti"},
};
} // namespace

bool DemoData::seed(MachineDb &db)
{
    bool ok = true;
    for (const Machine &m : Machines)
        ok &= db.append(MachineTables::Distributori, {{"GSM", m.gsm},
                                                      {"Description", m.description},
                                                      {"Sale point", m.salePoint},
                                                      {"Operator", m.op}});
    const char *points[][4] = {
        {"Bar Centrale", "Via Roma 12", "Torino", "011 5550112"},
        {"Stazione Porta Est", "Piazza della Stazione 1", "Milano", "02 5550987"},
        {"Palestra Olimpia", "Corso Francia 40", "Torino", "011 5554321"},
        {"Uffici Lungodora", "Lungo Dora Siena 5", "Torino", "011 5558765"},
        {"Caff\u00E8 dell'Angolo", "Via dell'Arsenale 3", "Torino", "011 5552468"},
    };
    for (const auto &p : points)
        ok &= db.append(MachineTables::PuntiVendita,
                        {{"Name", p[0]}, {"Address", p[1]}, {"City", p[2]}, {"Telephone", p[3]}});
    ok &= db.append(MachineTables::Operatori,
                    {{"Name", "Marco Galli"}, {"Celular", "+393489990001"}});
    ok &= db.append(MachineTables::Operatori,
                    {{"Name", "Elena Conti"}, {"Celular", "+393489990002"}});
    ok &= db.append(MachineTables::Operatori,
                    {{"Name", "Paolo Ferri"}, {"Celular", "+393489990003"}});
    return ok;
}

QList<QByteArray> DemoData::machineNumbers()
{
    QList<QByteArray> out;
    for (const Machine &m : Machines)
        out << m.gsm;
    return out;
}

QByteArray DemoData::strangerNumber()
{
    return QByteArrayLiteral("+393339876543");
}
