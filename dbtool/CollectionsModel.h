#pragma once

#include "MachineDb.h"

#include <QSqlQueryModel>
#include <QStringList>

class Clock;

// What the operator narrows the collection queue and its attempts to.
struct CollectionsFilter
{
    // A request waits until a collector claims it; a claim whose lease ran out waits again.
    enum class State { Any, Pending, Waiting, Claimed, Completed, GivenUp };

    QString machine{};        // GSM number or the machine's description, anywhere, either case
    State state = State::Any; // the requests in that state, and the attempts made for them
    QString outcome{};        // attempts with that outcome word, or Unfinished; empty for all
    qint64 request = 0;       // the attempts made for that request only; 0 for all
    bool operator==(const CollectionsFilter &) const = default;

    // The outcome of attempts that have no end: running, or their collector died.
    static inline const QString Unfinished = QStringLiteral("-");
};

// The collection queue (Requests) or its attempts (Attempts), read-only: newest first unless
// sorted by a column, filtered, times shown in local time. Empty until read by refresh(), a
// filter or an order. A database where nothing was ever queued has no queue tables: none shown.
class CollectionsModel : public QSqlQueryModel
{
    Q_OBJECT
public:
    enum class Kind { Requests, Attempts };
    // now: when leases count as held.
    CollectionsModel(SqlMachineDb &db, Kind kind, const Clock &now, QObject *parent = nullptr);

    Kind kind() const { return m_kind; }
    void setCollectionsFilter(const CollectionsFilter &filter);
    CollectionsFilter collectionsFilter() const { return m_filter; }
    // Reads the tables again with the filter and order in force; false on a database error.
    bool refresh();
    QString lastErrorText() const { return m_error; }

    // Column -1 goes back to newest first.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int matchingRows() const;
    int totalRows() const;
    // The outcome words the attempts on file carry, sorted.
    QStringList outcomesOnFile() const;
    // The request a row of the queue shows.
    qint64 requestAt(int row) const;
    // An outcome word as the operator reads it; the file keeps the word.
    static QString outcomeShown(const QString &word);

private:
    bool queueExists() const;
    QString statement(const QString &what, QVariantList &binds, bool ordered) const;
    qint64 nowMs() const;

    SqlMachineDb &m_db;
    Kind m_kind;
    const Clock &m_clock;
    CollectionsFilter m_filter;
    int m_sortColumn = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
    QString m_error;
    qint64 m_readAt = 0; // the moment the rows shown were read, for their leases
};
