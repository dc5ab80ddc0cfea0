#pragma once

#include "MachineDb.h"

#include <QDate>
#include <QSqlQueryModel>

class QIODevice;

// The event journal, read-only: newest first unless sorted by a column, and filtered. Texts
// match anywhere in their field, ASCII letters in either case; dates ("Data" is dd/MM/yy and the
// time) are taken in the years 2000 to 2099.
class EventsModel : public QSqlQueryModel
{
    Q_OBJECT
public:
    enum class State { Any, Pending, Acknowledged };
    struct Filter
    {
        State state = State::Any; // alarms still waiting for "OK", or those acknowledged
        QString machine{};        // the machine's description or GSM number
        QString salePoint{};
        QString operatorName{};
        QString search{}; // any field
        QDate from{}, to{}; // a null date leaves that end open
        bool operator==(const Filter &) const = default;
    };

    explicit EventsModel(SqlMachineDb &db, QObject *parent = nullptr);

    void setEventFilter(const Filter &filter);
    Filter eventFilter() const { return m_filter; }
    // Reads the journal again with the filter and order in force.
    bool refresh();

    // Column -1 goes back to newest first.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    int sortColumn() const { return m_sortColumn; }

    // A pending alarm reads "waiting" where the time of its acknowledgement will stand.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int matchingRows() const;
    int totalRows() const;

    // Writes the rows the filter leaves, in the order shown, as CSV.
    bool exportCsv(QIODevice &out, int *rows, QString *error) const;

private:
    QString statement(const QString &what, QVariantList &binds, bool ordered) const;

    SqlMachineDb &m_db;
    Filter m_filter;
    int m_sortColumn = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};
