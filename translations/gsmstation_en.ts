<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>AuditJob</name>
    <message>
        <source>Completed</source>
        <translation>Completed</translation>
    </message>
    <message>
        <source>Busy</source>
        <translation>Busy</translation>
    </message>
    <message>
        <source>No answer</source>
        <translation>No answer</translation>
    </message>
    <message>
        <source>Dial failed</source>
        <translation>Dial failed</translation>
    </message>
    <message>
        <source>Transfer failed</source>
        <translation>Transfer failed</translation>
    </message>
    <message>
        <source>Conversion failed</source>
        <translation>Conversion failed</translation>
    </message>
    <message>
        <source>File error</source>
        <translation>File error</translation>
    </message>
    <message>
        <source>Abandoned</source>
        <translation>Abandoned</translation>
    </message>
    <message>
        <source>Taken over</source>
        <translation>Taken over</translation>
    </message>
</context>
<context>
    <name>CallProgress</name>
    <message>
        <source>dialling</source>
        <translation>dialling</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>connected</translation>
    </message>
    <message>
        <source>pointer read</source>
        <translation>pointer read</translation>
    </message>
    <message>
        <source>memory map</source>
        <translation>memory map</translation>
    </message>
    <message>
        <source>batch %1 of %2</source>
        <translation>batch %1 of %2</translation>
    </message>
    <message>
        <source>converting</source>
        <translation>converting</translation>
    </message>
    <message>
        <source>saving</source>
        <translation>saving</translation>
    </message>
    <message>
        <source>erasing</source>
        <translation>erasing</translation>
    </message>
    <message>
        <source>hanging up</source>
        <translation>hanging up</translation>
    </message>
    <message>
        <source>%1 elapsed</source>
        <translation>%1 elapsed</translation>
    </message>
    <message>
        <source>%1 elapsed, %2 left</source>
        <translation>%1 elapsed, %2 left</translation>
    </message>
</context>
<context>
    <name>CallSession</name>
    <message>
        <source>   Reset   Alarm</source>
        <translation>   Reset   Alarm</translation>
    </message>
    <message>
        <source>Abrogate</source>
        <translation>Cancel Reset</translation>
    </message>
    <message>
        <source>Reset Alarm</source>
        <translation>Reset Alarm</translation>
    </message>
    <message>
        <source>Wait for logon...</source>
        <translation>Waiting for logon...</translation>
    </message>
    <message>
        <source>Connect...!</source>
        <translation>Connected...!</translation>
    </message>
    <message>
        <source>Time OUT</source>
        <translation>Time out</translation>
    </message>
    <message>
        <source>Wait for logoff...</source>
        <translation>Waiting for logoff...</translation>
    </message>
    <message>
        <source>Error Comunication Failed</source>
        <translation>Error: Communication Failed</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Configuration(*.prm);;Configuration(*.cfx)</source>
        <translation>Configuration (*.prm);;Configuration (*.cfx)</translation>
    </message>
    <message>
        <source>Telemetry(*.tlm)</source>
        <translation>Telemetry (*.tlm)</translation>
    </message>
    <message>
        <source>Audit Eva_Dts(*.txt)</source>
        <translation>EVA-DTS audit (*.txt)</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>  Conversion not Resolution </source>
        <translation>  Conversion failed </translation>
    </message>
    <message>
        <source>ERASE Erasable DATA ? </source>
        <translation>ERASE erasable DATA? </translation>
    </message>
    <message>
        <source>Save the audit</source>
        <translation>Save the audit</translation>
    </message>
    <message>
        <source>ERASE %1</source>
        <translation>ERASE %1</translation>
    </message>
</context>
<context>
    <name>CollectionsModel</name>
    <message>
        <source>GSM</source>
        <translation>GSM</translation>
    </message>
    <message>
        <source>Machine</source>
        <translation>Machine</translation>
    </message>
    <message>
        <source>Job</source>
        <translation>Job</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Due</translation>
    </message>
    <message>
        <source>Asked by</source>
        <translation>Asked by</translation>
    </message>
    <message>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Attempts</source>
        <translation>Attempts</translation>
    </message>
    <message>
        <source>Request</source>
        <translation>Request</translation>
    </message>
    <message>
        <source>Collector</source>
        <translation>Collector</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>Ended</source>
        <translation>Ended</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>Detail</translation>
    </message>
    <message>
        <source>completed</source>
        <translation>completed</translation>
    </message>
    <message>
        <source>given up</source>
        <translation>given up</translation>
    </message>
    <message>
        <source>pending</source>
        <translation>pending</translation>
    </message>
    <message>
        <source>claimed by %1 until %2</source>
        <translation>claimed by %1 until %2</translation>
    </message>
    <message>
        <source>pending, %1&apos;s lease ran out at %2</source>
        <translation>pending, %1&apos;s lease ran out at %2</translation>
    </message>
</context>
<context>
    <name>CollectionsTab</name>
    <message>
        <source>Machine or GSM number</source>
        <translation>Machine or GSM number</translation>
    </message>
    <message>
        <source>All requests</source>
        <translation>All requests</translation>
    </message>
    <message>
        <source>Pending only</source>
        <translation>Pending only</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>Claimed</source>
        <translation>Claimed</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>Completed</translation>
    </message>
    <message>
        <source>Given up</source>
        <translation>Given up</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Queue</source>
        <translation>Queue</translation>
    </message>
    <message>
        <source>Attempts</source>
        <translation>Attempts</translation>
    </message>
    <message>
        <source>All outcomes</source>
        <translation>All outcomes</translation>
    </message>
    <message>
        <source>Unfinished</source>
        <translation>Unfinished</translation>
    </message>
</context>
<context>
    <name>Csv</name>
    <message>
        <source>the quotes of field %1 are not closed</source>
        <translation>the quotes of field %1 are not closed</translation>
    </message>
    <message>
        <source>text after the closing quote of field %1</source>
        <translation>text after the closing quote of field %1</translation>
    </message>
    <message>
        <source>a quote inside field %1, which is not quoted</source>
        <translation>a quote inside field %1, which is not quoted</translation>
    </message>
</context>
<context>
    <name>DbTableModel</name>
    <message>
        <source>The change was not saved: %1</source>
        <translation>The change was not saved: %1</translation>
    </message>
    <message>
        <source>The record was not saved: %1</source>
        <translation>The record was not saved: %1</translation>
    </message>
    <message>
        <source>Nothing was deleted: %1</source>
        <translation>Nothing was deleted: %1</translation>
    </message>
</context>
<context>
    <name>Discovery</name>
    <message>
        <source>NO GSM FOUND!</source>
        <translation>NO GSM FOUND!</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>Direct connect</source>
        <translation>Direct connection</translation>
    </message>
</context>
<context>
    <name>EventsModel</name>
    <message>
        <source>waiting</source>
        <translation>waiting</translation>
    </message>
</context>
<context>
    <name>EventsTab</name>
    <message>
        <source>Machine or GSM number</source>
        <translation>Machine or GSM number</translation>
    </message>
    <message>
        <source>Sale point</source>
        <translation>Sale point</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>From</source>
        <translation>From</translation>
    </message>
    <message>
        <source>To</source>
        <translation>To</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Export events</source>
        <translation>Export events</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1 written to %2.</source>
        <translation>%1 written to %2.</translation>
    </message>
    <message>
        <source>All events</source>
        <translation>All events</translation>
    </message>
    <message>
        <source>Waiting for OK</source>
        <translation>Waiting for OK</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>Acknowledged</translation>
    </message>
</context>
<context>
    <name>Fields</name>
    <message>
        <source>GSM</source>
        <translation>GSM</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>Sale point</source>
        <translation>Sale point</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>City</source>
        <translation>City</translation>
    </message>
    <message>
        <source>Telephone</source>
        <translation>Telephone</translation>
    </message>
    <message>
        <source>Celular</source>
        <translation>Mobile</translation>
    </message>
    <message>
        <source>Number</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>SMS</source>
        <translation>SMS</translation>
    </message>
    <message>
        <source>Vending machine</source>
        <translation>Vending machine</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>Acknowledged</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Pending</source>
        <translation>Pending</translation>
    </message>
    <message>
        <source>Received by</source>
        <translation>Received by</translation>
    </message>
</context>
<context>
    <name>FrmCall</name>
    <message>
        <source>Call</source>
        <translation>Call</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>   Reset   Alarm</source>
        <translation>   Reset   Alarm</translation>
    </message>
    <message>
        <source>Audit</source>
        <translation>Audit</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Telemetry</source>
        <translation>Telemetry</translation>
    </message>
    <message>
        <source>All</source>
        <translation>All</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Select</translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation>Schedule</translation>
    </message>
    <message>
        <source>READ</source>
        <translation>READ</translation>
    </message>
    <message>
        <source>WRITE</source>
        <translation>WRITE</translation>
    </message>
    <message>
        <source>saved to %1</source>
        <translation>saved to %1</translation>
    </message>
</context>
<context>
    <name>FrmDb</name>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>CSV files (*.csv);;All files (*)</translation>
    </message>
    <message>
        <source>machine</source>
        <translation>machine</translation>
    </message>
    <message>
        <source>machines</source>
        <translation>machines</translation>
    </message>
    <message>
        <source>sale point</source>
        <translation>sale point</translation>
    </message>
    <message>
        <source>sale points</source>
        <translation>sale points</translation>
    </message>
    <message>
        <source>operator</source>
        <translation>operator</translation>
    </message>
    <message>
        <source>operators</source>
        <translation>operators</translation>
    </message>
    <message>
        <source>event</source>
        <translation>event</translation>
    </message>
    <message>
        <source>events</source>
        <translation>events</translation>
    </message>
    <message numerus="yes">
        <source>%n machine(s)</source>
        <translation>
            <numerusform>%n machine</numerusform>
            <numerusform>%n machines</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n sale point(s)</source>
        <translation>
            <numerusform>%n sale point</numerusform>
            <numerusform>%n sale points</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n operator(s)</source>
        <translation>
            <numerusform>%n operator</numerusform>
            <numerusform>%n operators</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n event(s)</source>
        <translation>
            <numerusform>%n event</numerusform>
            <numerusform>%n events</numerusform>
        </translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... and %1 more</translation>
    </message>
    <message>
        <source>Machine database - %1</source>
        <translation>Machine database - %1</translation>
    </message>
    <message>
        <source>Machines</source>
        <translation>Machines</translation>
    </message>
    <message>
        <source>Sale points</source>
        <translation>Sale points</translation>
    </message>
    <message>
        <source>Operators</source>
        <translation>Operators</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Events</translation>
    </message>
    <message numerus="yes">
        <source>%n request(s)</source>
        <translation>
            <numerusform>%n request</numerusform>
            <numerusform>%n requests</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attempt(s)</source>
        <translation>
            <numerusform>%n attempt</numerusform>
            <numerusform>%n attempts</numerusform>
        </translation>
    </message>
    <message>
        <source>The collections cannot be read: %1</source>
        <translation>The collections cannot be read: %1</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Collections</source>
        <translation>Collections</translation>
    </message>
</context>
<context>
    <name>FrmPin</name>
    <message>
        <source>Security Code</source>
        <translation>Security Code</translation>
    </message>
    <message>
        <source>Pin</source>
        <translation>PIN</translation>
    </message>
    <message>
        <source>Puk</source>
        <translation>PUK</translation>
    </message>
    <message>
        <source>Pin 2</source>
        <translation>PIN 2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Error Puk</source>
        <translation>Error PUK</translation>
    </message>
    <message>
        <source>PUK</source>
        <translation>PUK</translation>
    </message>
</context>
<context>
    <name>FrmProgor</name>
    <message>
        <source>Scheduler</source>
        <translation>Scheduler</translation>
    </message>
    <message>
        <source>Weekly</source>
        <translation>Weekly</translation>
    </message>
    <message>
        <source>Monthly</source>
        <translation>Monthly</translation>
    </message>
    <message>
        <source>Every</source>
        <translation>Every</translation>
    </message>
    <message>
        <source>No one</source>
        <translation>None</translation>
    </message>
    <message>
        <source>First</source>
        <translation>First</translation>
    </message>
    <message>
        <source>Last</source>
        <translation>Last</translation>
    </message>
    <message>
        <source>Hour/minute</source>
        <translation>Hour/minute</translation>
    </message>
    <message>
        <source>Hour</source>
        <translation>Hour</translation>
    </message>
    <message>
        <source>Minute</source>
        <translation>Minute</translation>
    </message>
    <message>
        <source>Collect audit unattended</source>
        <translation>Collect the audit unattended</translation>
    </message>
    <message>
        <source>Save and Exit</source>
        <translation>Save and Exit</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>The schedule %1 cannot be read (%2).<byte value="xd"/>
The entries in memory are shown and saved in its place.</source>
        <translation>The schedule %1 cannot be read (%2).<byte value="xd"/>
The entries in memory are shown and saved in its place.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>The schedule is full: all %1 entries belong to other numbers, so %2 cannot be scheduled.</source>
        <translation>The schedule is full: all %1 entries belong to other numbers, so %2 cannot be scheduled.</translation>
    </message>
    <message>
        <source>The schedule cannot be written to %1 (%2).<byte value="xd"/>
The entries stay in memory until the station ends.</source>
        <translation>The schedule cannot be written to %1 (%2).<byte value="xd"/>
The entries stay in memory until the station ends.</translation>
    </message>
    <message>
        <source>en</source>
        <comment>the locale of the day and month names</comment>
        <translation>en</translation>
    </message>
</context>
<context>
    <name>FrmSend</name>
    <message>
        <source>Send sms</source>
        <translation>Send SMS</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>The number must not hold double quotes or line breaks.</source>
        <translation>The number must not hold double quotes or line breaks.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Fail to send SMS! Retry?</source>
        <translation>Failed to send the SMS! Retry?</translation>
    </message>
    <message>
        <source>The SMS was sent but could not be written to %1 (%2).</source>
        <translation>The SMS was sent but could not be written to %1 (%2).</translation>
    </message>
</context>
<context>
    <name>FrmSet</name>
    <message>
        <source>Setup</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>Service Center</source>
        <translation>Service centre</translation>
    </message>
    <message>
        <source>Set GSM</source>
        <translation>Set GSM</translation>
    </message>
    <message>
        <source>Enable   PIN2</source>
        <translation>Enable   PIN 2</translation>
    </message>
    <message>
        <source>Serve the collection queue with this modem</source>
        <translation>Serve the collection queue with this modem</translation>
    </message>
</context>
<context>
    <name>FrmSms</name>
    <message>
        <source>SMS</source>
        <translation>SMS</translation>
    </message>
    <message>
        <source>GSM</source>
        <translation>GSM</translation>
    </message>
    <message>
        <source>Distributor</source>
        <translation>Vending machine</translation>
    </message>
    <message>
        <source>Sale Point</source>
        <translation>Sale point</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>N°</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Tel</source>
        <translation>Tel</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Ora</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Acknowledge all</source>
        <translation>Acknowledge all</translation>
    </message>
    <message>
        <source>Acknowledge the %1 messages in the queue?</source>
        <translation>Acknowledge the %1 messages in the queue?</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
</context>
<context>
    <name>FrmStGSM</name>
    <message>
        <source>GSM STATUS</source>
        <translation>GSM STATUS</translation>
    </message>
    <message>
        <source>Signal Quality GSM</source>
        <translation>GSM signal quality</translation>
    </message>
    <message>
        <source>Manufaturer</source>
        <translation>Manufacturer</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operator</translation>
    </message>
    <message>
        <source>KO</source>
        <translation>KO</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Signal Quality GPRS</source>
        <translation>GPRS signal quality</translation>
    </message>
    <message>
        <source>GPRS not Available</source>
        <translation>GPRS not available</translation>
    </message>
    <message>
        <source>DataBase</source>
        <translation>Database</translation>
    </message>
    <message>
        <source>Call</source>
        <translation>Call</translation>
    </message>
    <message>
        <source>Send SMS</source>
        <translation>Send SMS</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Wait connecting</source>
        <translation>Connecting, please wait</translation>
    </message>
    <message>
        <source>%1 is neither in %2 nor on the search path</source>
        <translation>%1 is neither in %2 nor on the search path</translation>
    </message>
    <message>
        <source> nor in </source>
        <translation> nor in </translation>
    </message>
    <message>
        <source>%1 could not be started</source>
        <translation>%1 could not be started</translation>
    </message>
    <message>
        <source>The station keeps running here. &quot;Exit&quot; in this icon&apos;s menu ends it.</source>
        <translation>The station keeps running here. &quot;Exit&quot; in this icon&apos;s menu ends it.</translation>
    </message>
    <message>
        <source>The station keeps running. &quot;Exit&quot; in this window&apos;s menu (right mouse button) ends it.</source>
        <translation>The station keeps running. &quot;Exit&quot; in this window&apos;s menu (right mouse button) ends it.</translation>
    </message>
    <message>
        <source>Collecting the audit of %1</source>
        <translation>Collecting the audit of %1</translation>
    </message>
    <message>
        <source>Collecting the audit of %1: %2, %3%</source>
        <translation>Collecting the audit of %1: %2, %3%</translation>
    </message>
    <message>
        <source>%1, tried again in 5 minutes</source>
        <translation>%1, tried again in 5 minutes</translation>
    </message>
    <message>
        <source>queued for the collectors</source>
        <translation>queued for the collectors</translation>
    </message>
    <message>
        <source>already queued for the collectors</source>
        <translation>already queued for the collectors</translation>
    </message>
</context>
<context>
    <name>MachineDb</name>
    <message>
        <source>The machine database %1 cannot be used: %2.<byte value="xd"/>
Machines, sale points and operators will not be found and events will not be filed until it is repaired.</source>
        <translation>The machine database %1 cannot be used: %2.<byte value="xd"/>
Machines, sale points and operators will not be found and events will not be filed until it is repaired.</translation>
    </message>
</context>
<context>
    <name>MachineFiles</name>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>Error File : Isn&apos;t a valid File</source>
        <translation>File error: not a valid file</translation>
    </message>
    <message>
        <source> Attention : Error File!!  </source>
        <translation> Attention: file error!!  </translation>
    </message>
    <message>
        <source> File %1 Not Found </source>
        <translation> File %1 Not Found </translation>
    </message>
    <message>
        <source>Error Number :%1</source>
        <translation>Error number: %1</translation>
    </message>
</context>
<context>
    <name>MachineLink</name>
    <message>
        <source> ERROR RX ! The CONNECTION are going to Close </source>
        <translation> RX ERROR! The CONNECTION is going to close </translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>Configurazione(*.prm)</source>
        <translation>Configuration (*.prm)</translation>
    </message>
    <message>
        <source>Configurazione(*.tlm)</source>
        <translation>Telemetry (*.tlm)</translation>
    </message>
    <message>
        <source>Save the configuration</source>
        <translation>Save the configuration</translation>
    </message>
    <message>
        <source>Save the telemetry</source>
        <translation>Save the telemetry</translation>
    </message>
</context>
<context>
    <name>MachineListModel</name>
    <message>
        <source>Vending machine</source>
        <translation>Vending machine</translation>
    </message>
    <message>
        <source>Gsm number</source>
        <translation>GSM number</translation>
    </message>
    <message>
        <source>Sale point</source>
        <translation>Sale point</translation>
    </message>
</context>
<context>
    <name>ModemCommands</name>
    <message>
        <source>Modified AUTO BAND.Close Program and Turn OFF/ON MODEM</source>
        <translation>AUTO BAND changed. Close the program and turn the MODEM OFF and ON</translation>
    </message>
</context>
<context>
    <name>NetworkPolling</name>
    <message>
        <source>ERROR! GSM no Connected</source>
        <translation>ERROR! GSM not connected</translation>
    </message>
    <message>
        <source>ERROR! No Connected</source>
        <translation>ERROR! Not connected</translation>
    </message>
</context>
<context>
    <name>Registration</name>
    <message>
        <source>NO connect</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>Connect Home network</source>
        <translation>Connected to the home network</translation>
    </message>
    <message>
        <source>Searching operator</source>
        <translation>Searching for an operator</translation>
    </message>
    <message>
        <source>Operator registration denied</source>
        <translation>Operator registration denied</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>Connect Roaming network</source>
        <translation>Connected in roaming</translation>
    </message>
    <message>
        <source> Unidentified</source>
        <translation> Unidentified</translation>
    </message>
    <message>
        <source> Operator n°%1</source>
        <translation> Operator no. %1</translation>
    </message>
</context>
<context>
    <name>ResetDialogue</name>
    <message>
        <source>Send Command RESET...Waiting Response</source>
        <translation>RESET command sent... waiting for the response</translation>
    </message>
    <message>
        <source>Impossible to send Cmd Reset.Try later!</source>
        <translation>The RESET command could not be sent. Try later!</translation>
    </message>
    <message>
        <source>Command RESET Sent </source>
        <translation>RESET command sent </translation>
    </message>
    <message>
        <source>Command RESET Sent. Waiting Response?</source>
        <translation>RESET command sent. Wait for the response?</translation>
    </message>
    <message>
        <source>Waiting for Response RESET Done </source>
        <translation>Waiting for the RESET done response </translation>
    </message>
    <message>
        <source>Impossible to receive response on state of Reset</source>
        <translation>No response on the state of the reset</translation>
    </message>
    <message>
        <source>RESET DONE</source>
        <translation>RESET DONE</translation>
    </message>
    <message>
        <source>  RESET DONE </source>
        <translation>  RESET DONE </translation>
    </message>
    <message>
        <source>Command Sent</source>
        <translation>Command sent</translation>
    </message>
    <message>
        <source>Impossible to receive response.Continue?</source>
        <translation>No response received. Continue?</translation>
    </message>
</context>
<context>
    <name>Rules</name>
    <message>
        <source>&quot;%1&quot; is required.</source>
        <translation>&quot;%1&quot; is required.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; must be 3 to 15 digits with an optional leading &quot;+&quot;, not &quot;%2&quot;.</source>
        <translation>&quot;%1&quot; must be 3 to 15 digits with an optional leading &quot;+&quot;, not &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>The GSM number %1 is already machine &quot;%2&quot;.</source>
        <translation>The GSM number %1 is already machine &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Sale point &quot;%1&quot; is not on file.</source>
        <translation>Sale point &quot;%1&quot; is not on file.</translation>
    </message>
    <message>
        <source>Operator &quot;%1&quot; is not on file.</source>
        <translation>Operator &quot;%1&quot; is not on file.</translation>
    </message>
    <message>
        <source>Sale point &quot;%1&quot; is already on file.</source>
        <translation>Sale point &quot;%1&quot; is already on file.</translation>
    </message>
    <message>
        <source>Operator &quot;%1&quot; is already on file.</source>
        <translation>Operator &quot;%1&quot; is already on file.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is &quot;%2&quot;, a number in exponent form: the spreadsheet column was formatted as a number. Format it as text and type the numbers again.</source>
        <translation>&quot;%1&quot; is &quot;%2&quot;, a number in exponent form: the spreadsheet column was formatted as a number. Format it as text and type the numbers again.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; must not hold a line break or a control character.</source>
        <translation>&quot;%1&quot; must not hold a line break or a control character.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; must be 1 to %2 letters, digits or signs without blanks or quotes, not &quot;%3&quot;.</source>
        <translation>&quot;%1&quot; must be 1 to %2 letters, digits or signs without blanks or quotes, not &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>The GSM number %1 is the identity of machine &quot;%2&quot;.</source>
        <translation>The GSM number %1 is the identity of machine &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>The identity %1 is already machine &quot;%2&quot;.</source>
        <translation>The identity %1 is already machine &quot;%2&quot;.</translation>
    </message>
</context>
<context>
    <name>Scheduler</name>
    <message>
        <source>The schedule %1 cannot be read (%2).<byte value="xd"/>
The station starts without scheduled calls.</source>
        <translation>The schedule %1 cannot be read (%2).<byte value="xd"/>
The station starts without scheduled calls.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>SimSupervision</name>
    <message>
        <source>SIM not Present or SIM Defect or SIM Busy </source>
        <translation>SIM missing, faulty or busy </translation>
    </message>
    <message>
        <source>Error PUK</source>
        <translation>Error PUK</translation>
    </message>
    <message>
        <source>PUK</source>
        <translation>PUK</translation>
    </message>
    <message>
        <source>Waiting for Phone to SIM card(antitheft)</source>
        <translation>Waiting for the phone-to-SIM code (antitheft)</translation>
    </message>
    <message>
        <source>Error PIN</source>
        <translation>Error PIN</translation>
    </message>
    <message>
        <source>PIN</source>
        <translation>PIN</translation>
    </message>
</context>
<context>
    <name>SmsReception</name>
    <message>
        <source>The received SMS cannot be written to %1 (%2).<byte value="xd"/>
They stay in the modem until the log can be written.</source>
        <translation>The received SMS cannot be written to %1 (%2).<byte value="xd"/>
They stay in the modem until the log can be written.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>TableIo</name>
    <message>
        <source>the file is empty; its first row must name the columns (%1)</source>
        <translation>the file is empty; its first row must name the columns (%1)</translation>
    </message>
    <message>
        <source>line %1: the header row cannot be read: %2</source>
        <translation>line %1: the header row cannot be read: %2</translation>
    </message>
    <message>
        <source>the column &quot;%1&quot; appears twice</source>
        <translation>the column &quot;%1&quot; appears twice</translation>
    </message>
    <message>
        <source>the column &quot;%1&quot; is missing</source>
        <translation>the column &quot;%1&quot; is missing</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is also on line %3.</source>
        <translation>%1 &quot;%2&quot; is also on line %3.</translation>
    </message>
    <message>
        <source>%1 of %2 rows are invalid</source>
        <translation>%1 of %2 rows are invalid</translation>
    </message>
    <message>
        <source>column %1 has no name and is ignored</source>
        <translation>column %1 has no name and is ignored</translation>
    </message>
    <message>
        <source>the column &quot;%1&quot; is ignored; the columns are %2</source>
        <translation>the column &quot;%1&quot; is ignored; the columns are %2</translation>
    </message>
</context>
<context>
    <name>TableTab</name>
    <message>
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Add...</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Import...</source>
        <translation>Import...</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>New %1</source>
        <translation>New %1</translation>
    </message>
    <message>
        <source>Delete machine &quot;%1&quot; (%2)?</source>
        <translation>Delete machine &quot;%1&quot; (%2)?</translation>
    </message>
    <message>
        <source>Delete %1 &quot;%2&quot;?</source>
        <translation>Delete %1 &quot;%2&quot;?</translation>
    </message>
    <message>
        <source>Delete %1?</source>
        <translation>Delete %1?</translation>
    </message>
    <message>
        <source>
%1 names it and keeps the name.</source>
        <translation>
%1 names it and keeps the name.</translation>
    </message>
    <message>
        <source>
%1 name it and keep the name.</source>
        <translation>
%1 name it and keep the name.</translation>
    </message>
    <message>
        <source>
%1 names them and keeps the names.</source>
        <translation>
%1 names them and keeps the names.</translation>
    </message>
    <message>
        <source>
%1 name them and keep the names.</source>
        <translation>
%1 name them and keep the names.</translation>
    </message>
    <message>
        <source>Import %1</source>
        <translation>Import %1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: %2.</source>
        <translation>%1: %2.</translation>
    </message>
    <message>
        <source>%1 of %2 rows of %3 are invalid:
%4

</source>
        <translation>%1 of %2 rows of %3 are invalid:
%4

</translation>
    </message>
    <message>
        <source>Nothing was imported.</source>
        <translation>Nothing was imported.</translation>
    </message>
    <message>
        <source>Import the %1 valid rows and skip the invalid ones?</source>
        <translation>Import the %1 valid rows and skip the invalid ones?</translation>
    </message>
    <message>
        <source>%1: nothing was imported: %2</source>
        <translation>%1: nothing was imported: %2</translation>
    </message>
    <message>
        <source>%1: %2 added, %3 updated.</source>
        <translation>%1: %2 added, %3 updated.</translation>
    </message>
    <message>
        <source>Export %1</source>
        <translation>Export %1</translation>
    </message>
    <message>
        <source>%1 written to %2.</source>
        <translation>%1 written to %2.</translation>
    </message>
</context>
<context>
    <name>TransferEngine</name>
    <message>
        <source>Write Telemetry OK</source>
        <translation>Telemetry written</translation>
    </message>
    <message>
        <source>Info Telemetry</source>
        <translation>Telemetry</translation>
    </message>
    <message>
        <source>ERROR TX ! REBROADCAST ? </source>
        <translation>TX ERROR! SEND AGAIN? </translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source> TIME OUT RX ! REBROADCAST ? </source>
        <translation> RX TIME OUT! SEND AGAIN? </translation>
    </message>
    <message>
        <source>COMUNICATION ERROR</source>
        <translation>COMMUNICATION ERROR</translation>
    </message>
    <message>
        <source>Lost Connection</source>
        <translation>Connection lost</translation>
    </message>
</context>
<context>
    <name>UnattendedCollector</name>
    <message>
        <source>Audit not collected</source>
        <translation>Audit not collected</translation>
    </message>
    <message>
        <source>%1: %2.</source>
        <translation>%1: %2.</translation>
    </message>
    <message>
        <source>%1: %2, attempt %3 of %4. See %5.</source>
        <translation>%1: %2, attempt %3 of %4. See %5.</translation>
    </message>
</context>
</TS>
