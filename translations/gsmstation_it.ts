<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="en">
<context>
    <name>AuditJob</name>
    <message>
        <source>Completed</source>
        <translation>Completato</translation>
    </message>
    <message>
        <source>Busy</source>
        <translation>Occupato</translation>
    </message>
    <message>
        <source>No answer</source>
        <translation>Nessuna risposta</translation>
    </message>
    <message>
        <source>Dial failed</source>
        <translation>Chiamata non riuscita</translation>
    </message>
    <message>
        <source>Transfer failed</source>
        <translation>Trasferimento non riuscito</translation>
    </message>
    <message>
        <source>Conversion failed</source>
        <translation>Conversione non riuscita</translation>
    </message>
    <message>
        <source>File error</source>
        <translation>Errore di file</translation>
    </message>
    <message>
        <source>Abandoned</source>
        <translation>Interrotto</translation>
    </message>
    <message>
        <source>Taken over</source>
        <translation>Ripreso da un altro</translation>
    </message>
</context>
<context>
    <name>CallProgress</name>
    <message>
        <source>dialling</source>
        <translation>composizione</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>connesso</translation>
    </message>
    <message>
        <source>pointer read</source>
        <translation>lettura puntatori</translation>
    </message>
    <message>
        <source>memory map</source>
        <translation>mappa di memoria</translation>
    </message>
    <message>
        <source>batch %1 of %2</source>
        <translation>blocco %1 di %2</translation>
    </message>
    <message>
        <source>converting</source>
        <translation>conversione</translation>
    </message>
    <message>
        <source>saving</source>
        <translation>salvataggio</translation>
    </message>
    <message>
        <source>erasing</source>
        <translation>cancellazione</translation>
    </message>
    <message>
        <source>hanging up</source>
        <translation>chiusura chiamata</translation>
    </message>
    <message>
        <source>%1 elapsed</source>
        <translation>%1 trascorsi</translation>
    </message>
    <message>
        <source>%1 elapsed, %2 left</source>
        <translation>%1 trascorsi, %2 rimanenti</translation>
    </message>
</context>
<context>
    <name>CallSession</name>
    <message>
        <source>   Reset   Alarm</source>
        <translation>   Reset   Allarmi</translation>
    </message>
    <message>
        <source>Abrogate</source>
        <translation>Annulla reset</translation>
    </message>
    <message>
        <source>Reset Alarm</source>
        <translation>Reset allarmi</translation>
    </message>
    <message>
        <source>Wait for logon...</source>
        <translation>Attesa connessione...</translation>
    </message>
    <message>
        <source>Connect...!</source>
        <translation>Connesso...!</translation>
    </message>
    <message>
        <source>Time OUT</source>
        <translation>Tempo scaduto</translation>
    </message>
    <message>
        <source>Wait for logoff...</source>
        <translation>Attesa disconnessione...</translation>
    </message>
    <message>
        <source>Error Comunication Failed</source>
        <translation>Errore: comunicazione fallita</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Apri</translation>
    </message>
    <message>
        <source>Configuration(*.prm);;Configuration(*.cfx)</source>
        <translation>Configurazione (*.prm);;Configurazione (*.cfx)</translation>
    </message>
    <message>
        <source>Telemetry(*.tlm)</source>
        <translation>Telemetria (*.tlm)</translation>
    </message>
    <message>
        <source>Audit Eva_Dts(*.txt)</source>
        <translation>Audit EVA-DTS (*.txt)</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERRORE</translation>
    </message>
    <message>
        <source>  Conversion not Resolution </source>
        <translation>  Conversione non riuscita </translation>
    </message>
    <message>
        <source>ERASE Erasable DATA ? </source>
        <translation>CANCELLARE i DATI cancellabili? </translation>
    </message>
    <message>
        <source>Save the audit</source>
        <translation>Salva l&apos;audit</translation>
    </message>
    <message>
        <source>ERASE %1</source>
        <translation>CANCELLA %1</translation>
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
        <translation>Distributore</translation>
    </message>
    <message>
        <source>Job</source>
        <translation>Lavoro</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Previsto</translation>
    </message>
    <message>
        <source>Asked by</source>
        <translation>Richiesto da</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Stato</translation>
    </message>
    <message>
        <source>Attempts</source>
        <translation>Tentativi</translation>
    </message>
    <message>
        <source>Request</source>
        <translation>Richiesta</translation>
    </message>
    <message>
        <source>Collector</source>
        <translation>Raccoglitore</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Iniziato</translation>
    </message>
    <message>
        <source>Ended</source>
        <translation>Finito</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Esito</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>Dettaglio</translation>
    </message>
    <message>
        <source>completed</source>
        <translation>completata</translation>
    </message>
    <message>
        <source>given up</source>
        <translation>non riuscita</translation>
    </message>
    <message>
        <source>pending</source>
        <translation>in attesa</translation>
    </message>
    <message>
        <source>claimed by %1 until %2</source>
        <translation>assegnata a %1 fino al %2</translation>
    </message>
    <message>
        <source>pending, %1&apos;s lease ran out at %2</source>
        <translation>in attesa, scaduta per %1 il %2</translation>
    </message>
</context>
<context>
    <name>CollectionsTab</name>
    <message>
        <source>Machine or GSM number</source>
        <translation>Distributore o numero GSM</translation>
    </message>
    <message>
        <source>All requests</source>
        <translation>Tutte le richieste</translation>
    </message>
    <message>
        <source>Pending only</source>
        <translation>Solo da completare</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>In attesa</translation>
    </message>
    <message>
        <source>Claimed</source>
        <translation>Assegnate</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>Completate</translation>
    </message>
    <message>
        <source>Given up</source>
        <translation>Non riuscite</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aggiorna</translation>
    </message>
    <message>
        <source>Queue</source>
        <translation>Coda</translation>
    </message>
    <message>
        <source>Attempts</source>
        <translation>Tentativi</translation>
    </message>
    <message>
        <source>All outcomes</source>
        <translation>Tutti gli esiti</translation>
    </message>
    <message>
        <source>Unfinished</source>
        <translation>Non conclusi</translation>
    </message>
</context>
<context>
    <name>Csv</name>
    <message>
        <source>the quotes of field %1 are not closed</source>
        <translation>le virgolette del campo %1 non sono chiuse</translation>
    </message>
    <message>
        <source>text after the closing quote of field %1</source>
        <translation>testo dopo le virgolette di chiusura del campo %1</translation>
    </message>
    <message>
        <source>a quote inside field %1, which is not quoted</source>
        <translation>virgolette dentro il campo %1, che non è tra virgolette</translation>
    </message>
</context>
<context>
    <name>DbTableModel</name>
    <message>
        <source>The change was not saved: %1</source>
        <translation>La modifica non è stata salvata: %1</translation>
    </message>
    <message>
        <source>The record was not saved: %1</source>
        <translation>Il record non è stato salvato: %1</translation>
    </message>
    <message>
        <source>Nothing was deleted: %1</source>
        <translation>Non è stato eliminato nulla: %1</translation>
    </message>
</context>
<context>
    <name>Discovery</name>
    <message>
        <source>NO GSM FOUND!</source>
        <translation>NESSUN GSM TROVATO!</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERRORE</translation>
    </message>
    <message>
        <source>Direct connect</source>
        <translation>Connessione diretta</translation>
    </message>
</context>
<context>
    <name>EventsModel</name>
    <message>
        <source>waiting</source>
        <translation>in attesa</translation>
    </message>
</context>
<context>
    <name>EventsTab</name>
    <message>
        <source>Machine or GSM number</source>
        <translation>Distributore o numero GSM</translation>
    </message>
    <message>
        <source>Sale point</source>
        <translation>Punto vendita</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operatore</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Cerca</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Dal</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Al</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>Esporta...</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 di %2</translation>
    </message>
    <message>
        <source>Export events</source>
        <translation>Esporta eventi</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1 written to %2.</source>
        <translation>Scritto in %2: %1.</translation>
    </message>
    <message>
        <source>All events</source>
        <translation>Tutti gli eventi</translation>
    </message>
    <message>
        <source>Waiting for OK</source>
        <translation>In attesa di OK</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>Confermato</translation>
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
        <translation>Descrizione</translation>
    </message>
    <message>
        <source>Sale point</source>
        <translation>Punto vendita</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operatore</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Indirizzo</translation>
    </message>
    <message>
        <source>City</source>
        <translation>Città</translation>
    </message>
    <message>
        <source>Telephone</source>
        <translation>Telefono</translation>
    </message>
    <message>
        <source>Celular</source>
        <translation>Cellulare</translation>
    </message>
    <message>
        <source>Number</source>
        <translation>Numero</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>SMS</source>
        <translation>SMS</translation>
    </message>
    <message>
        <source>Vending machine</source>
        <translation>Distributore</translation>
    </message>
    <message>
        <source>Acknowledged</source>
        <translation>Confermato</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Postazione</translation>
    </message>
    <message>
        <source>Pending</source>
        <translation>In attesa</translation>
    </message>
    <message>
        <source>Received by</source>
        <translation>Ricevuto da</translation>
    </message>
</context>
<context>
    <name>FrmCall</name>
    <message>
        <source>Call</source>
        <translation>Chiamata</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnetti</translation>
    </message>
    <message>
        <source>   Reset   Alarm</source>
        <translation>   Reset   Allarmi</translation>
    </message>
    <message>
        <source>Audit</source>
        <translation>Audit</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Dati</translation>
    </message>
    <message>
        <source>Telemetry</source>
        <translation>Telemetria</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tutto</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Selezione</translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation>Pianifica</translation>
    </message>
    <message>
        <source>READ</source>
        <translation>LEGGI</translation>
    </message>
    <message>
        <source>WRITE</source>
        <translation>SCRIVI</translation>
    </message>
    <message>
        <source>saved to %1</source>
        <translation>salvato in %1</translation>
    </message>
</context>
<context>
    <name>FrmDb</name>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>File CSV (*.csv);;Tutti i file (*)</translation>
    </message>
    <message>
        <source>machine</source>
        <translation>distributore</translation>
    </message>
    <message>
        <source>machines</source>
        <translation>distributori</translation>
    </message>
    <message>
        <source>sale point</source>
        <translation>punto vendita</translation>
    </message>
    <message>
        <source>sale points</source>
        <translation>punti vendita</translation>
    </message>
    <message>
        <source>operator</source>
        <translation>operatore</translation>
    </message>
    <message>
        <source>operators</source>
        <translation>operatori</translation>
    </message>
    <message>
        <source>event</source>
        <translation>evento</translation>
    </message>
    <message>
        <source>events</source>
        <translation>eventi</translation>
    </message>
    <message numerus="yes">
        <source>%n machine(s)</source>
        <translation>
            <numerusform>%n distributore</numerusform>
            <numerusform>%n distributori</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n sale point(s)</source>
        <translation>
            <numerusform>%n punto vendita</numerusform>
            <numerusform>%n punti vendita</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n operator(s)</source>
        <translation>
            <numerusform>%n operatore</numerusform>
            <numerusform>%n operatori</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n event(s)</source>
        <translation>
            <numerusform>%n evento</numerusform>
            <numerusform>%n eventi</numerusform>
        </translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>riga %1: %2</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... e altre %1</translation>
    </message>
    <message>
        <source>Machine database - %1</source>
        <translation>Archivio distributori - %1</translation>
    </message>
    <message>
        <source>Machines</source>
        <translation>Distributori</translation>
    </message>
    <message>
        <source>Sale points</source>
        <translation>Punti vendita</translation>
    </message>
    <message>
        <source>Operators</source>
        <translation>Operatori</translation>
    </message>
    <message>
        <source>Events</source>
        <translation>Eventi</translation>
    </message>
    <message numerus="yes">
        <source>%n request(s)</source>
        <translation>
            <numerusform>%n richiesta</numerusform>
            <numerusform>%n richieste</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attempt(s)</source>
        <translation>
            <numerusform>%n tentativo</numerusform>
            <numerusform>%n tentativi</numerusform>
        </translation>
    </message>
    <message>
        <source>The collections cannot be read: %1</source>
        <translation>Le raccolte non si possono leggere: %1</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 di %2</translation>
    </message>
    <message>
        <source>Collections</source>
        <translation>Raccolte</translation>
    </message>
</context>
<context>
    <name>FrmPin</name>
    <message>
        <source>Security Code</source>
        <translation>Codice di sicurezza</translation>
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
        <translation>Errore PUK</translation>
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
        <translation>Pianificazione</translation>
    </message>
    <message>
        <source>Weekly</source>
        <translation>Settimanale</translation>
    </message>
    <message>
        <source>Monthly</source>
        <translation>Mensile</translation>
    </message>
    <message>
        <source>Every</source>
        <translation>Ogni</translation>
    </message>
    <message>
        <source>No one</source>
        <translation>Nessuno</translation>
    </message>
    <message>
        <source>First</source>
        <translation>Primo</translation>
    </message>
    <message>
        <source>Last</source>
        <translation>Ultimo</translation>
    </message>
    <message>
        <source>Hour/minute</source>
        <translation>Ora/minuto</translation>
    </message>
    <message>
        <source>Hour</source>
        <translation>Ora</translation>
    </message>
    <message>
        <source>Minute</source>
        <translation>Minuto</translation>
    </message>
    <message>
        <source>Collect audit unattended</source>
        <translation>Raccogli l&apos;audit senza operatore</translation>
    </message>
    <message>
        <source>Save and Exit</source>
        <translation>Salva ed esci</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Esci</translation>
    </message>
    <message>
        <source>The schedule %1 cannot be read (%2).<byte value="xd"/>
The entries in memory are shown and saved in its place.</source>
        <translation>La pianificazione %1 non può essere letta (%2).<byte value="xd"/>
Sono mostrate le voci in memoria, che verranno salvate al suo posto.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>The schedule is full: all %1 entries belong to other numbers, so %2 cannot be scheduled.</source>
        <translation>La pianificazione è piena: tutte le %1 voci appartengono ad altri numeri, quindi %2 non può essere pianificato.</translation>
    </message>
    <message>
        <source>The schedule cannot be written to %1 (%2).<byte value="xd"/>
The entries stay in memory until the station ends.</source>
        <translation>La pianificazione non può essere scritta in %1 (%2).<byte value="xd"/>
Le voci restano in memoria fino alla chiusura della stazione.</translation>
    </message>
    <message>
        <source>en</source>
        <comment>the locale of the day and month names</comment>
        <translation>it</translation>
    </message>
</context>
<context>
    <name>FrmSend</name>
    <message>
        <source>Send sms</source>
        <translation>Invia SMS</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Invia</translation>
    </message>
    <message>
        <source>The number must not hold double quotes or line breaks.</source>
        <translation>Il numero non deve contenere virgolette doppie né a capo.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Fail to send SMS! Retry?</source>
        <translation>Invio SMS non riuscito! Riprovare?</translation>
    </message>
    <message>
        <source>The SMS was sent but could not be written to %1 (%2).</source>
        <translation>L&apos;SMS è stato inviato ma non è stato possibile scriverlo in %1 (%2).</translation>
    </message>
</context>
<context>
    <name>FrmSet</name>
    <message>
        <source>Setup</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Service Center</source>
        <translation>Centro servizi</translation>
    </message>
    <message>
        <source>Set GSM</source>
        <translation>Imposta GSM</translation>
    </message>
    <message>
        <source>Enable   PIN2</source>
        <translation>Abilita   PIN 2</translation>
    </message>
    <message>
        <source>Serve the collection queue with this modem</source>
        <translation>Servire la coda di raccolta con questo modem</translation>
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
        <translation>Distributore</translation>
    </message>
    <message>
        <source>Sale Point</source>
        <translation>Punto vendita</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operatore</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Invia</translation>
    </message>
    <message>
        <source>N°</source>
        <translation>N°</translation>
    </message>
    <message>
        <source>Tel</source>
        <translation>Tel</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Ora</source>
        <translation>Ora</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Acknowledge all</source>
        <translation>Conferma tutti</translation>
    </message>
    <message>
        <source>Acknowledge the %1 messages in the queue?</source>
        <translation>Confermare i %1 messaggi in coda?</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Postazione</translation>
    </message>
</context>
<context>
    <name>FrmStGSM</name>
    <message>
        <source>GSM STATUS</source>
        <translation>STATO GSM</translation>
    </message>
    <message>
        <source>Signal Quality GSM</source>
        <translation>Qualità segnale GSM</translation>
    </message>
    <message>
        <source>Manufaturer</source>
        <translation>Produttore</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modello</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Numero di serie</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>Operatore</translation>
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
        <translation>Qualità segnale GPRS</translation>
    </message>
    <message>
        <source>GPRS not Available</source>
        <translation>GPRS non disponibile</translation>
    </message>
    <message>
        <source>DataBase</source>
        <translation>Archivio</translation>
    </message>
    <message>
        <source>Call</source>
        <translation>Chiamata</translation>
    </message>
    <message>
        <source>Send SMS</source>
        <translation>Invia SMS</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Stato</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Esci</translation>
    </message>
    <message>
        <source>Wait connecting</source>
        <translation>Connessione in corso</translation>
    </message>
    <message>
        <source>%1 is neither in %2 nor on the search path</source>
        <translation>%1 non è né in %2 né nel percorso di ricerca</translation>
    </message>
    <message>
        <source> nor in </source>
        <translation> né in </translation>
    </message>
    <message>
        <source>%1 could not be started</source>
        <translation>Non è stato possibile avviare %1</translation>
    </message>
    <message>
        <source>The station keeps running here. &quot;Exit&quot; in this icon&apos;s menu ends it.</source>
        <translation>La stazione resta attiva qui. &quot;Esci&quot; nel menu di questa icona la chiude.</translation>
    </message>
    <message>
        <source>The station keeps running. &quot;Exit&quot; in this window&apos;s menu (right mouse button) ends it.</source>
        <translation>La stazione resta attiva. &quot;Esci&quot; nel menu di questa finestra (tasto destro del mouse) la chiude.</translation>
    </message>
    <message>
        <source>Collecting the audit of %1</source>
        <translation>Raccolta dell&apos;audit di %1</translation>
    </message>
    <message>
        <source>Collecting the audit of %1: %2, %3%</source>
        <translation>Raccolta dell&apos;audit di %1: %2, %3%</translation>
    </message>
    <message>
        <source>%1, tried again in 5 minutes</source>
        <translation>%1, nuovo tentativo tra 5 minuti</translation>
    </message>
    <message>
        <source>queued for the collectors</source>
        <translation>in coda per i raccoglitori</translation>
    </message>
    <message>
        <source>already queued for the collectors</source>
        <translation>già in coda per i raccoglitori</translation>
    </message>
</context>
<context>
    <name>MachineDb</name>
    <message>
        <source>The machine database %1 cannot be used: %2.<byte value="xd"/>
Machines, sale points and operators will not be found and events will not be filed until it is repaired.</source>
        <translation>L&apos;archivio distributori %1 non è utilizzabile: %2.<byte value="xd"/>
Distributori, punti vendita e operatori non saranno trovati e gli eventi non saranno archiviati finché non sarà riparato.</translation>
    </message>
</context>
<context>
    <name>MachineFiles</name>
    <message>
        <source>ERROR</source>
        <translation>ERRORE</translation>
    </message>
    <message>
        <source>Error File : Isn&apos;t a valid File</source>
        <translation>Errore file: il file non è valido</translation>
    </message>
    <message>
        <source> Attention : Error File!!  </source>
        <translation> Attenzione: errore nel file!!  </translation>
    </message>
    <message>
        <source> File %1 Not Found </source>
        <translation> File %1 non trovato </translation>
    </message>
    <message>
        <source>Error Number :%1</source>
        <translation>Errore numero: %1</translation>
    </message>
</context>
<context>
    <name>MachineLink</name>
    <message>
        <source> ERROR RX ! The CONNECTION are going to Close </source>
        <translation> ERRORE RX! La CONNESSIONE sta per essere chiusa </translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERRORE</translation>
    </message>
    <message>
        <source>Configurazione(*.prm)</source>
        <translation>Configurazione (*.prm)</translation>
    </message>
    <message>
        <source>Configurazione(*.tlm)</source>
        <translation>Telemetria (*.tlm)</translation>
    </message>
    <message>
        <source>Save the configuration</source>
        <translation>Salva la configurazione</translation>
    </message>
    <message>
        <source>Save the telemetry</source>
        <translation>Salva la telemetria</translation>
    </message>
</context>
<context>
    <name>MachineListModel</name>
    <message>
        <source>Vending machine</source>
        <translation>Distributore</translation>
    </message>
    <message>
        <source>Gsm number</source>
        <translation>Numero GSM</translation>
    </message>
    <message>
        <source>Sale point</source>
        <translation>Punto vendita</translation>
    </message>
</context>
<context>
    <name>ModemCommands</name>
    <message>
        <source>Modified AUTO BAND.Close Program and Turn OFF/ON MODEM</source>
        <translation>AUTO BAND modificato. Chiudere il programma e spegnere e riaccendere il MODEM</translation>
    </message>
</context>
<context>
    <name>NetworkPolling</name>
    <message>
        <source>ERROR! GSM no Connected</source>
        <translation>ERRORE! GSM non connesso</translation>
    </message>
    <message>
        <source>ERROR! No Connected</source>
        <translation>ERRORE! Non connesso</translation>
    </message>
</context>
<context>
    <name>Registration</name>
    <message>
        <source>NO connect</source>
        <translation>Non connesso</translation>
    </message>
    <message>
        <source>Connect Home network</source>
        <translation>Connesso alla rete nazionale</translation>
    </message>
    <message>
        <source>Searching operator</source>
        <translation>Ricerca operatore</translation>
    </message>
    <message>
        <source>Operator registration denied</source>
        <translation>Registrazione all&apos;operatore negata</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Sconosciuto</translation>
    </message>
    <message>
        <source>Connect Roaming network</source>
        <translation>Connesso in roaming</translation>
    </message>
    <message>
        <source> Unidentified</source>
        <translation> Non identificato</translation>
    </message>
    <message>
        <source> Operator n°%1</source>
        <translation> Operatore n°%1</translation>
    </message>
</context>
<context>
    <name>ResetDialogue</name>
    <message>
        <source>Send Command RESET...Waiting Response</source>
        <translation>Comando RESET inviato... attesa risposta</translation>
    </message>
    <message>
        <source>Impossible to send Cmd Reset.Try later!</source>
        <translation>Impossibile inviare il comando RESET. Riprovare più tardi!</translation>
    </message>
    <message>
        <source>Command RESET Sent </source>
        <translation>Comando RESET inviato </translation>
    </message>
    <message>
        <source>Command RESET Sent. Waiting Response?</source>
        <translation>Comando RESET inviato. Attendere la risposta?</translation>
    </message>
    <message>
        <source>Waiting for Response RESET Done </source>
        <translation>Attesa risposta RESET eseguito </translation>
    </message>
    <message>
        <source>Impossible to receive response on state of Reset</source>
        <translation>Impossibile ricevere la risposta sullo stato del reset</translation>
    </message>
    <message>
        <source>RESET DONE</source>
        <translation>RESET ESEGUITO</translation>
    </message>
    <message>
        <source>  RESET DONE </source>
        <translation>  RESET ESEGUITO </translation>
    </message>
    <message>
        <source>Command Sent</source>
        <translation>Comando inviato</translation>
    </message>
    <message>
        <source>Impossible to receive response.Continue?</source>
        <translation>Impossibile ricevere la risposta. Continuare?</translation>
    </message>
</context>
<context>
    <name>Rules</name>
    <message>
        <source>&quot;%1&quot; is required.</source>
        <translation>&quot;%1&quot; è obbligatorio.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; must be 3 to 15 digits with an optional leading &quot;+&quot;, not &quot;%2&quot;.</source>
        <translation>&quot;%1&quot; deve avere da 3 a 15 cifre con un &quot;+&quot; iniziale facoltativo, non &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>The GSM number %1 is already machine &quot;%2&quot;.</source>
        <translation>Il numero GSM %1 è già del distributore &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Sale point &quot;%1&quot; is not on file.</source>
        <translation>Il punto vendita &quot;%1&quot; non è in archivio.</translation>
    </message>
    <message>
        <source>Operator &quot;%1&quot; is not on file.</source>
        <translation>L&apos;operatore &quot;%1&quot; non è in archivio.</translation>
    </message>
    <message>
        <source>Sale point &quot;%1&quot; is already on file.</source>
        <translation>Il punto vendita &quot;%1&quot; è già in archivio.</translation>
    </message>
    <message>
        <source>Operator &quot;%1&quot; is already on file.</source>
        <translation>L&apos;operatore &quot;%1&quot; è già in archivio.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is &quot;%2&quot;, a number in exponent form: the spreadsheet column was formatted as a number. Format it as text and type the numbers again.</source>
        <translation>&quot;%1&quot; è &quot;%2&quot;, un numero in forma esponenziale: la colonna del foglio di calcolo era formattata come numero. Formattala come testo e digita di nuovo i numeri.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; must not hold a line break or a control character.</source>
        <translation>&quot;%1&quot; non deve contenere a capo o caratteri di controllo.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; must be 1 to %2 letters, digits or signs without blanks or quotes, not &quot;%3&quot;.</source>
        <translation>&quot;%1&quot; deve avere da 1 a %2 lettere, cifre o segni senza spazi né virgolette, non &quot;%3&quot;.</translation>
    </message>
    <message>
        <source>The GSM number %1 is the identity of machine &quot;%2&quot;.</source>
        <translation>Il numero GSM %1 è l&apos;identità del distributore &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>The identity %1 is already machine &quot;%2&quot;.</source>
        <translation>L&apos;identità %1 è già del distributore &quot;%2&quot;.</translation>
    </message>
</context>
<context>
    <name>Scheduler</name>
    <message>
        <source>The schedule %1 cannot be read (%2).<byte value="xd"/>
The station starts without scheduled calls.</source>
        <translation>La pianificazione %1 non può essere letta (%2).<byte value="xd"/>
La stazione parte senza chiamate pianificate.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
</context>
<context>
    <name>SimSupervision</name>
    <message>
        <source>SIM not Present or SIM Defect or SIM Busy </source>
        <translation>SIM assente, difettosa o occupata </translation>
    </message>
    <message>
        <source>Error PUK</source>
        <translation>Errore PUK</translation>
    </message>
    <message>
        <source>PUK</source>
        <translation>PUK</translation>
    </message>
    <message>
        <source>Waiting for Phone to SIM card(antitheft)</source>
        <translation>Attesa codice telefono-SIM (antifurto)</translation>
    </message>
    <message>
        <source>Error PIN</source>
        <translation>Errore PIN</translation>
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
        <translation>Gli SMS ricevuti non possono essere scritti in %1 (%2).<byte value="xd"/>
Restano nel modem finché il registro non potrà essere scritto.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
</context>
<context>
    <name>TableIo</name>
    <message>
        <source>the file is empty; its first row must name the columns (%1)</source>
        <translation>il file è vuoto; la prima riga deve nominare le colonne (%1)</translation>
    </message>
    <message>
        <source>line %1: the header row cannot be read: %2</source>
        <translation>riga %1: la riga di intestazione non è leggibile: %2</translation>
    </message>
    <message>
        <source>the column &quot;%1&quot; appears twice</source>
        <translation>la colonna &quot;%1&quot; compare due volte</translation>
    </message>
    <message>
        <source>the column &quot;%1&quot; is missing</source>
        <translation>manca la colonna &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is also on line %3.</source>
        <translation>%1 &quot;%2&quot; è anche alla riga %3.</translation>
    </message>
    <message>
        <source>%1 of %2 rows are invalid</source>
        <translation>%1 righe su %2 non sono valide</translation>
    </message>
    <message>
        <source>column %1 has no name and is ignored</source>
        <translation>la colonna %1 non ha nome ed è ignorata</translation>
    </message>
    <message>
        <source>the column &quot;%1&quot; is ignored; the columns are %2</source>
        <translation>la colonna &quot;%1&quot; è ignorata; le colonne sono %2</translation>
    </message>
</context>
<context>
    <name>TableTab</name>
    <message>
        <source>Search</source>
        <translation>Cerca</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Aggiungi...</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Elimina</translation>
    </message>
    <message>
        <source>Import...</source>
        <translation>Importa...</translation>
    </message>
    <message>
        <source>Export...</source>
        <translation>Esporta...</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 di %2</translation>
    </message>
    <message>
        <source>New %1</source>
        <translation>Nuovo %1</translation>
    </message>
    <message>
        <source>Delete machine &quot;%1&quot; (%2)?</source>
        <translation>Eliminare il distributore &quot;%1&quot; (%2)?</translation>
    </message>
    <message>
        <source>Delete %1 &quot;%2&quot;?</source>
        <translation>Eliminare %1 &quot;%2&quot;?</translation>
    </message>
    <message>
        <source>Delete %1?</source>
        <translation>Eliminare %1?</translation>
    </message>
    <message>
        <source>
%1 names it and keeps the name.</source>
        <translation>
%1 lo indica e ne conserva il nome.</translation>
    </message>
    <message>
        <source>
%1 name it and keep the name.</source>
        <translation>
%1 lo indicano e ne conservano il nome.</translation>
    </message>
    <message>
        <source>
%1 names them and keeps the names.</source>
        <translation>
%1 li indica e ne conserva i nomi.</translation>
    </message>
    <message>
        <source>
%1 name them and keep the names.</source>
        <translation>
%1 li indicano e ne conservano i nomi.</translation>
    </message>
    <message>
        <source>Import %1</source>
        <translation>Importa %1</translation>
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
        <translation>%1 righe su %2 di %3 non sono valide:
%4

</translation>
    </message>
    <message>
        <source>Nothing was imported.</source>
        <translation>Non è stato importato nulla.</translation>
    </message>
    <message>
        <source>Import the %1 valid rows and skip the invalid ones?</source>
        <translation>Importare le %1 righe valide e saltare quelle non valide?</translation>
    </message>
    <message>
        <source>%1: nothing was imported: %2</source>
        <translation>%1: non è stato importato nulla: %2</translation>
    </message>
    <message>
        <source>%1: %2 added, %3 updated.</source>
        <translation>%1: %2 aggiunti, %3 aggiornati.</translation>
    </message>
    <message>
        <source>Export %1</source>
        <translation>Esporta %1</translation>
    </message>
    <message>
        <source>%1 written to %2.</source>
        <translation>Scritto in %2: %1.</translation>
    </message>
</context>
<context>
    <name>TransferEngine</name>
    <message>
        <source>Write Telemetry OK</source>
        <translation>Telemetria scritta</translation>
    </message>
    <message>
        <source>Info Telemetry</source>
        <translation>Telemetria</translation>
    </message>
    <message>
        <source>ERROR TX ! REBROADCAST ? </source>
        <translation>ERRORE TX! RITRASMETTERE? </translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERRORE</translation>
    </message>
    <message>
        <source> TIME OUT RX ! REBROADCAST ? </source>
        <translation> TIME OUT RX! RITRASMETTERE? </translation>
    </message>
    <message>
        <source>COMUNICATION ERROR</source>
        <translation>ERRORE DI COMUNICAZIONE</translation>
    </message>
    <message>
        <source>Lost Connection</source>
        <translation>Connessione persa</translation>
    </message>
</context>
<context>
    <name>UnattendedCollector</name>
    <message>
        <source>Audit not collected</source>
        <translation>Audit non raccolto</translation>
    </message>
    <message>
        <source>%1: %2.</source>
        <translation>%1: %2.</translation>
    </message>
    <message>
        <source>%1: %2, attempt %3 of %4. See %5.</source>
        <translation>%1: %2, tentativo %3 di %4. Vedere %5.</translation>
    </message>
</context>
</TS>
