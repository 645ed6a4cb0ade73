<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>REVArodozDoc</name>
    <message>
        <source>mirelo updater</source>
        <translation>mirelo updater</translation>
    </message>
    <message>
        <source>Update file</source>
        <translation>Update-Datei</translation>
    </message>
    <message>
        <source>Tracks:</source>
        <translation>Spuren:</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <source>Type:</source>
        <translation>Typ:</translation>
    </message>
    <message>
        <source>SMF</source>
        <translation>SMF</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>Auflösung:</translation>
    </message>
    <message>
        <source>Tempo:</source>
        <translation>Tempo:</translation>
    </message>
    <message>
        <source>Time signature:</source>
        <translation>Taktart:</translation>
    </message>
    <message>
        <source>Copyright:</source>
        <translation>Copyright:</translation>
    </message>
    <message>
        <source>Length:</source>
        <translation>Länge:</translation>
    </message>
    <message>
        <source>Beats:</source>
        <translation>Zählzeiten:</translation>
    </message>
    <message>
        <source>Elapsed:</source>
        <translation>Verstrichen:</translation>
    </message>
    <message>
        <source>00:00:00.000</source>
        <translation>00:00:00.000</translation>
    </message>
    <message>
        <source>0.0</source>
        <translation>0.0</translation>
    </message>
    <message>
        <source>Po&amp;sition:</source>
        <translation>Po&amp;sition:</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Where in the update file playing starts; an update always goes out whole, from the start</source>
        <translation>Wo in der Update-Datei die Wiedergabe beginnt; ein Update wird immer vollständig und von Anfang an gesendet</translation>
    </message>
    <message>
        <source>&amp;Tempo (%):</source>
        <translation>&amp;Tempo (%):</translation>
    </message>
    <message>
        <source>Tempo</source>
        <translation>Tempo</translation>
    </message>
    <message>
        <source>The tempo rate in percent; the update is always sent at the pace its file sets</source>
        <translation>Das Tempo in Prozent; ein Update wird immer in dem Tempo gesendet, das seine Datei vorgibt</translation>
    </message>
    <message>
        <source>Shown only: the update keeps the pace of its file.</source>
        <translation>Nur zur Anzeige: Das Update hält das Tempo seiner Datei ein.</translation>
    </message>
    <message>
        <source>100</source>
        <translation>100</translation>
    </message>
    <message>
        <source>&amp;Output:</source>
        <translation>&amp;Ausgang:</translation>
    </message>
    <message>
        <source>Output device</source>
        <translation>Ausgabegerät</translation>
    </message>
    <message>
        <source>The MIDI destination the update is sent to: the instrument</source>
        <translation>Das MIDI-Ziel, an das das Update gesendet wird: das Instrument</translation>
    </message>
    <message>
        <source>Update progress</source>
        <translation>Update-Fortschritt</translation>
    </message>
    <message>
        <source>The share of the update messages sent; full only once the whole update went out</source>
        <translation>Der Anteil der gesendeten Update-Nachrichten; voll erst, wenn das ganze Update gesendet ist</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Repeat</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Plays the file again when it ends; an update is sent once</source>
        <translation>Spielt die Datei nach ihrem Ende erneut ab; ein Update wird nur einmal gesendet</translation>
    </message>
    <message>
        <source>Rewind</source>
        <translation>Zurückspulen</translation>
    </message>
    <message>
        <source>Moves the position back to the start of the file</source>
        <translation>Setzt die Position an den Anfang der Datei zurück</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Stops playing; an update cannot be stopped once it has started</source>
        <translation>Beendet die Wiedergabe; ein begonnenes Update lässt sich nicht anhalten</translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation>Abs&amp;pielen</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Sends the update to the output device; on while the update is being sent</source>
        <translation>Sendet das Update an das Ausgabegerät; eingeschaltet, solange das Update gesendet wird</translation>
    </message>
</context>
<context>
    <name>RunReport</name>
    <message>
        <source>“%1”</source>
        <extracomment>Quotation marks around the name of a device or file, as the language writes them.</extracomment>
        <translation>„%1“</translation>
    </message>
    <message>
        <source>no device</source>
        <translation>kein Gerät</translation>
    </message>
    <message>
        <source>%1 message</source>
        <translation>%1 Nachricht</translation>
    </message>
    <message>
        <source>%1 messages</source>
        <translation>%1 Nachrichten</translation>
    </message>
    <message>
        <source>%1 of %2 message</source>
        <translation>%1 von %2 Nachricht</translation>
    </message>
    <message>
        <source>%1 of %2 messages</source>
        <translation>%1 von %2 Nachrichten</translation>
    </message>
    <message>
        <source>%1, about %2 left</source>
        <translation>%1, noch etwa %2</translation>
    </message>
    <message>
        <source>sent %1 (%2 bytes) in %3 to %4</source>
        <translation>%1 (%2 Bytes) in %3 an %4 gesendet</translation>
    </message>
    <message>
        <source>sent %1 (%2 bytes) in %3 to %4, %5 later than the file&apos;s %6: the sender was held up; the file&apos;s spacing was kept</source>
        <translation>%1 (%2 Bytes) in %3 an %4 gesendet, %5 später als die %6 laut Datei: Der Sender wurde aufgehalten; die Abstände aus der Datei blieben erhalten</translation>
    </message>
    <message>
        <source>%1 (status %2)</source>
        <translation>%1 (Status %2)</translation>
    </message>
    <message>
        <source>the transfer stopped</source>
        <translation>die Übertragung brach ab</translation>
    </message>
    <message>
        <source>the destination went away and its output was closed</source>
        <translation>das Zielgerät ist nicht mehr da, sein Ausgang wurde geschlossen</translation>
    </message>
    <message>
        <source>send failed at message %1 of %2: %3</source>
        <translation>Senden bei Nachricht %1 von %2 fehlgeschlagen: %3</translation>
    </message>
    <message>
        <source>interrupted before the first message; nothing was sent</source>
        <translation>vor der ersten Nachricht unterbrochen; es wurde nichts gesendet</translation>
    </message>
    <message>
        <source>interrupted after message %1 of %2; the instrument must be updated again</source>
        <translation>nach Nachricht %1 von %2 unterbrochen; das Instrument muss erneut aktualisiert werden</translation>
    </message>
    <message>
        <source>%1 (%2 bytes) reached %3; the instrument must receive the whole update: send it again</source>
        <translation>%1 (%2 Bytes) an %3 übertragen; das Instrument braucht das vollständige Update: Senden Sie es erneut</translation>
    </message>
    <message>
        <source>the bundled update file %1 was not found: there is no resource folder</source>
        <translation>die mitgelieferte Update-Datei %1 wurde nicht gefunden: Es gibt keinen Ressourcenordner</translation>
    </message>
    <message>
        <source>the bundled update file %1 was not found in the resource folder %2</source>
        <translation>die mitgelieferte Update-Datei %1 wurde im Ressourcenordner %2 nicht gefunden</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: out of memory while building the schedule</source>
        <translation>%1: zu wenig Arbeitsspeicher, um den Sendeplan zu erstellen</translation>
    </message>
    <message>
        <source>%1 can be sent</source>
        <translation>%1 kann gesendet werden</translation>
    </message>
    <message>
        <source>the update file cannot be sent: %1</source>
        <translation>die Update-Datei kann nicht gesendet werden: %1</translation>
    </message>
    <message>
        <source>stopped at message 1 of %1: nothing was sent</source>
        <translation>bei Nachricht 1 von %1 abgebrochen: Es wurde nichts gesendet</translation>
    </message>
    <message>
        <source>stopped at message %1 of %2: the instrument must be updated again</source>
        <translation>bei Nachricht %1 von %2 abgebrochen: Das Instrument muss erneut aktualisiert werden</translation>
    </message>
    <message>
        <source>the update did not complete: %1; nothing was sent to the instrument</source>
        <translation>das Update wurde nicht abgeschlossen: %1; an das Instrument wurde nichts gesendet</translation>
    </message>
    <message>
        <source>the update did not complete: %1; the instrument must be updated again</source>
        <translation>das Update wurde nicht abgeschlossen: %1; das Instrument muss erneut aktualisiert werden</translation>
    </message>
    <message>
        <source>not started: nothing was sent</source>
        <translation>nicht gestartet: Es wurde nichts gesendet</translation>
    </message>
    <message>
        <source>the update was not started, and nothing was sent to the instrument: %1</source>
        <translation>das Update wurde nicht gestartet, an das Instrument wurde nichts gesendet: %1</translation>
    </message>
    <message>
        <source>an update is being sent to %1. Closing now leaves the instrument half-written and it must be updated again</source>
        <translation>an %1 wird gerade ein Update gesendet. Wenn Sie jetzt schließen, ist das Instrument nur zum Teil beschrieben und muss erneut aktualisiert werden</translation>
    </message>
    <message>
        <source>the window was closed during the update: %1</source>
        <translation>das Fenster wurde während des Updates geschlossen: %1</translation>
    </message>
    <message>
        <source>the window was closed during the update: %1; the instrument must be updated again</source>
        <translation>das Fenster wurde während des Updates geschlossen: %1; das Instrument muss erneut aktualisiert werden</translation>
    </message>
    <message>
        <source>%1 of %2 are due before a message ahead of them in the file and will leave up to %3 ms late</source>
        <translation>%1 von %2 sind früher fällig als eine Nachricht, die in der Datei vor ihnen steht, und gehen bis zu %3 ms zu spät hinaus</translation>
    </message>
    <message>
        <source>the file times this update to take %1; keep the instrument connected and switched on until it ends</source>
        <translation>laut Datei dauert dieses Update %1; lassen Sie das Instrument angeschlossen und eingeschaltet, bis es fertig ist</translation>
    </message>
    <message>
        <source>%1.%2 s</source>
        <translation>%1,%2 s</translation>
    </message>
    <message>
        <source>%1:%2</source>
        <translation>%1:%2</translation>
    </message>
    <message>
        <source>%1:%2:%3</source>
        <translation>%1:%2:%3</translation>
    </message>
    <message>
        <source>%1 days</source>
        <translation>%1 Tage</translation>
    </message>
    <message>
        <source>%1 years</source>
        <translation>%1 Jahre</translation>
    </message>
</context>
</TS>
