#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <bitset>

// One row of the memory map an audit read walks through.
struct MapRecord
{
    quint8 type = 0;
    quint32 address = 0;
    quint16 length = 0;
};

// The station's module-level shared state: one instance, living for the whole run.
struct ModPublic
{
    // Modem station
    bool StationActive = false; // the main window may run its own AT exchanges
    qint16 SimErrorCount = 0;   // "ERROR" answers to the SIM-state query since start-up
    QString Manufacturer;       // answer to "AT+CGMI"
    QString AppFolder;          // the program's own folder
    bool PinConfirmed = false;  // the PIN window was confirmed since the last SIM tick

    // Machine link
    bool LinkActive = false;
    bool TransferStart = false;
    quint8 TransferMode = 0; // 1..7
    quint16 BlockCursor = 0;
    std::array<QByteArray, 256> FrameSlots;
    std::bitset<256> FrameSent; // slots whose request went out and still waits
    QByteArray RxFrame;
    bool FrameBad = false;
    quint8 BadFrameCount = 0;
    quint8 RxTimeoutCount = 0;

    // Reset dialogue
    quint8 ResetState = 0;
    bool AwaitResetAck = false;
    bool AwaitResetStatus = false;
    bool ResetAfterWrite = false;
    quint16 ResetRetryCount = 0;

    // Memory map and images
    QStringList MapLines = QStringList(45);
    QVector<MapRecord> MapRecords = QVector<MapRecord>(51);
    QByteArray ConfigImage = QByteArray(12928, '\0');
    QByteArray SnapshotImage = QByteArray(12928, '\0');
    QByteArray TelemetryImage;
    QByteArray AuditImage;
    qint32 AuditImageLength = 0;
    qint32 AuditImageSum = 0;

    bool FileCancelled = false;
};

// The one instance.
ModPublic &modPublic();
// Back to the start-of-run values (tests run several stations in one process).
void resetModPublic();
