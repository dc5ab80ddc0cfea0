#pragma once

#include "MachineFiles.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>
#include <array>
#include <bitset>

// What a transfer moves. The numbers are the modes' own, as the console shows them.
enum class TransferMode : quint8 {
    None = 0,
    ReadConfig = 1,
    WriteConfig = 2,
    WriteChanged = 3,
    ResetDialogue = 4,
    ReadAudit = 5,
    ReadTelemetry = 6,
    WriteTelemetry = 7,
};

// The reset dialogue's steps.
enum class ResetStep : quint8 {
    SendReset,
    AwaitAck,
    AskStatus,
    AwaitStatus,
    Erase,
};

// One row of the memory map an audit read walks through.
struct MapRecord
{
    quint8 type = 0;
    quint32 address = 0;
    quint16 length = 0;
};

// The state of one call's machine link: its outstanding requests, receiver, transfer, reset
// dialogue, memory map and images. Each call has its own; nothing here is shared between calls.
struct LinkState
{
    bool LinkActive = false;
    bool TransferStart = false;
    TransferMode mode = TransferMode::None;
    quint16 BlockCursor = 0;
    std::array<QByteArray, 256> FrameSlots;
    std::bitset<256> FrameSent; // slots whose request went out and still waits
    QByteArray RxFrame;
    bool FrameBad = false;
    quint8 BadFrameCount = 0;
    quint8 RxTimeoutCount = 0;

    // Reset dialogue
    ResetStep ResetState = ResetStep::SendReset;
    bool AwaitResetAck = false;
    bool AwaitResetStatus = false;
    bool ResetAfterWrite = false;
    quint16 ResetRetryCount = 0;

    // Memory map and images
    QStringList MapLines = QStringList(45);
    QVector<MapRecord> MapRecords = QVector<MapRecord>(51);
    QByteArray ConfigImage = QByteArray(MachineFiles::ConfigImageSize, '\0');
    QByteArray SnapshotImage = QByteArray(MachineFiles::ConfigImageSize, '\0');
    QByteArray TelemetryImage;
    QByteArray AuditImage;
    qint32 AuditImageLength = 0;
    qint32 AuditImageSum = 0;

    bool FileCancelled = false;
};
