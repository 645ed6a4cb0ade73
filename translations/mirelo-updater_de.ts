<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>CAlertText</name>
    <message>
        <source>The file could not be opened.</source>
        <translation>Die Datei konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>It may be missing, or you may not have permission to read it.</source>
        <translation>Vielleicht fehlt sie, oder Sie haben keine Leseberechtigung dafür.</translation>
    </message>
    <message>
        <source>The file could not be opened because its name is not valid.</source>
        <translation>Die Datei konnte nicht geöffnet werden, weil ihr Name ungültig ist.</translation>
    </message>
    <message>
        <source>The operation could not be completed.</source>
        <translation>Der Vorgang konnte nicht abgeschlossen werden.</translation>
    </message>
    <message>
        <source>%1 error %2</source>
        <translation>%1-Fehler %2</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>CDocumentAlerts</name>
    <message>
        <source>The update file could not be opened.</source>
        <translation>Die Update-Datei konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>%1 is not a file on this computer.</source>
        <translation>%1 ist keine Datei auf diesem Computer.</translation>
    </message>
    <message>
        <source>The update file “%1” could not be opened.</source>
        <translation>Die Update-Datei „%1“ konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>There is no file at %1.</source>
        <translation>Unter %1 gibt es keine Datei.</translation>
    </message>
    <message>
        <source>Reinstall mirelo updater, or open another update file.</source>
        <translation>Installieren Sie mirelo updater neu, oder öffnen Sie eine andere Update-Datei.</translation>
    </message>
    <message>
        <source>“%1” is damaged and cannot be sent.</source>
        <translation>„%1“ ist beschädigt und kann nicht gesendet werden.</translation>
    </message>
    <message>
        <source>There is not enough memory to check “%1”.</source>
        <translation>Der Arbeitsspeicher reicht nicht, um „%1“ zu prüfen.</translation>
    </message>
    <message>
        <source>“%1” cannot be read.</source>
        <translation>„%1“ kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Nothing was sent. Reinstall mirelo updater to restore its update file.</source>
        <translation>Es wurde nichts gesendet. Installieren Sie mirelo updater neu, damit die Update-Datei wieder vorhanden ist.</translation>
    </message>
    <message>
        <source>Nothing was sent. Download the update file again, or open another one.</source>
        <translation>Es wurde nichts gesendet. Laden Sie die Update-Datei erneut herunter, oder öffnen Sie eine andere.</translation>
    </message>
    <message>
        <source>The capture file cannot be used.</source>
        <translation>Die Mitschnittdatei kann nicht verwendet werden.</translation>
    </message>
    <message>
        <source>MIRELO_CAPTURE: %1.</source>
        <translation>MIRELO_CAPTURE: %1.</translation>
    </message>
    <message>
        <source>Set MIRELO_CAPTURE to a new file name in a folder you may write to, then start mirelo updater again.</source>
        <translation>Setzen Sie MIRELO_CAPTURE auf einen neuen Dateinamen in einem Ordner, in den Sie schreiben dürfen, und starten Sie mirelo updater dann neu.</translation>
    </message>
    <message>
        <source>This file cannot be opened while the capture writes there.</source>
        <translation>Diese Datei kann nicht geöffnet werden, solange der Mitschnitt in sie schreibt.</translation>
    </message>
    <message>
        <source>Open another update file.</source>
        <translation>Öffnen Sie eine andere Update-Datei.</translation>
    </message>
    <message>
        <source>The capture file cannot be written.</source>
        <translation>In die Mitschnittdatei kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>Set MIRELO_CAPTURE to a file in a folder you may write to, which no other capture is writing, then start mirelo updater again.</source>
        <translation>Setzen Sie MIRELO_CAPTURE auf eine Datei in einem Ordner, in den Sie schreiben dürfen und in die kein anderer Mitschnitt schreibt, und starten Sie mirelo updater dann neu.</translation>
    </message>
    <message>
        <source>Make sure the capture file can be written, then send again.</source>
        <translation>Sorgen Sie dafür, dass in die Mitschnittdatei geschrieben werden kann, und senden Sie dann erneut.</translation>
    </message>
    <message>
        <source>There is no MIDI system to send the update through.</source>
        <translation>Es gibt kein MIDI-System, über das das Update gesendet werden kann.</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Send the update again?</source>
        <translation>Update erneut senden?</translation>
    </message>
    <message>
        <source>The whole update was sent to “%1”. Sending it again starts over from the first message.</source>
        <translation>Das ganze Update wurde an „%1“ gesendet. Erneutes Senden beginnt wieder bei der ersten Nachricht.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Send &amp;Again</source>
        <translation>&amp;Erneut senden</translation>
    </message>
    <message>
        <source>Send the update to “%1”?</source>
        <translation>Update an „%1“ senden?</translation>
    </message>
    <message>
        <source>“%1” is a software port, not an instrument connected by USB: the instrument may receive nothing. Choose the instrument under Output unless you know this port leads to it.</source>
        <translation>„%1“ ist ein Software-Port, kein per USB angeschlossenes Instrument: Möglicherweise kommt beim Instrument nichts an. Wählen Sie das Instrument unter „Ausgang“, es sei denn, Sie wissen, dass dieser Port zu ihm führt.</translation>
    </message>
    <message>
        <source>Send &amp;Anyway</source>
        <translation>&amp;Trotzdem senden</translation>
    </message>
    <message>
        <source>Stop sending the update?</source>
        <translation>Senden des Updates abbrechen?</translation>
    </message>
    <message>
        <source>&amp;Keep Sending</source>
        <translation>&amp;Weiter senden</translation>
    </message>
    <message>
        <source>&amp;Close Anyway</source>
        <translation>Trotzdem &amp;schließen</translation>
    </message>
</context>
<context>
    <name>CDocumentRun</name>
    <message>
        <source>it is no longer open</source>
        <translation>sie ist nicht mehr geöffnet</translation>
    </message>
    <message>
        <source>the output</source>
        <translation>der Ausgang</translation>
    </message>
    <message>
        <source>The update did not complete.</source>
        <translation>Das Update wurde nicht abgeschlossen.</translation>
    </message>
    <message>
        <source>Nothing was sent: the instrument still has its old firmware.</source>
        <translation>Es wurde nichts gesendet: Auf dem Instrument ist noch die alte Firmware.</translation>
    </message>
    <message>
        <source>The instrument is half-written and must be updated again before it is used.</source>
        <translation>Das Instrument ist nur zum Teil beschrieben und muss erneut aktualisiert werden, bevor es benutzt wird.</translation>
    </message>
    <message>
        <source>%1 went away at message %2 of %3. %4</source>
        <translation>%1 war bei Nachricht %2 von %3 nicht mehr da. %4</translation>
    </message>
    <message>
        <source>Connect the instrument again, choose it under Output and send the update again.</source>
        <translation>Schließen Sie das Instrument wieder an, wählen Sie es unter „Ausgang“ und senden Sie das Update erneut.</translation>
    </message>
    <message>
        <source>Message %1 of %2 could not be sent: %3. %4</source>
        <translation>Nachricht %1 von %2 konnte nicht gesendet werden: %3. %4</translation>
    </message>
    <message>
        <source>Make sure the capture file can be written (free space, the file left in place), then send the update again.</source>
        <translation>Sorgen Sie dafür, dass in die Mitschnittdatei geschrieben werden kann (freier Speicherplatz, Datei nicht verschoben oder gelöscht), und senden Sie das Update dann erneut.</translation>
    </message>
    <message>
        <source>Sending stopped at message %1 of %2. %3</source>
        <translation>Das Senden brach bei Nachricht %1 von %2 ab. %3</translation>
    </message>
    <message>
        <source>The transfer stopped at message %1 of %2. %3</source>
        <translation>Die Übertragung brach bei Nachricht %1 von %2 ab. %3</translation>
    </message>
    <message>
        <source>Check the cable and that the instrument is switched on, then send the update again.</source>
        <translation>Prüfen Sie das Kabel und ob das Instrument eingeschaltet ist, und senden Sie das Update dann erneut.</translation>
    </message>
    <message>
        <source>status %1</source>
        <translation>Status %1</translation>
    </message>
    <message>
        <source>The update was not started.</source>
        <translation>Das Update wurde nicht gestartet.</translation>
    </message>
    <message>
        <source>Put the update file back, or open it again with File › Open Update File…, then send it.</source>
        <translation>Legen Sie die Update-Datei wieder an ihren Platz, oder öffnen Sie sie erneut mit Datei › Update-Datei öffnen…, und senden Sie sie dann.</translation>
    </message>
</context>
<context>
    <name>CFilePanel</name>
    <message>
        <source>format %1, %2 track</source>
        <translation>Format %1, %2 Spur</translation>
    </message>
    <message>
        <source>format %1, %2 tracks</source>
        <translation>Format %1, %2 Spuren</translation>
    </message>
    <message>
        <source>%1 frames per second, %2 ticks per frame</source>
        <translation>%1 Frames pro Sekunde, %2 Ticks pro Frame</translation>
    </message>
    <message>
        <source>%1 ticks per quarter note</source>
        <translation>%1 Ticks pro Viertelnote</translation>
    </message>
    <message>
        <source>%1 SysEx, %2 bytes</source>
        <translation>%1 SysEx, %2 Bytes</translation>
    </message>
    <message>
        <source>SHA-256 %1</source>
        <translation>SHA-256 %1</translation>
    </message>
</context>
<context>
    <name>CInstrumentLine</name>
    <message>
        <source>Asking the instrument who it is…</source>
        <translation>Das Instrument wird gefragt, wer es ist…</translation>
    </message>
</context>
<context>
    <name>COutcomeLine</name>
    <message>
        <source>Checking</source>
        <translation>Wird geprüft</translation>
    </message>
    <message>
        <source>Sent</source>
        <translation>Gesendet</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Not sent</source>
        <translation>Nicht gesendet</translation>
    </message>
    <message>
        <source>Stopped at %p%</source>
        <translation>Abgebrochen bei %p %</translation>
    </message>
</context>
<context>
    <name>COutputList</name>
    <message>
        <source>Endpoint-%1</source>
        <translation>Endpunkt %1</translation>
    </message>
    <message>
        <source>“%1” could not be opened.</source>
        <translation>„%1“ konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>No Device</source>
        <translation>Kein Gerät</translation>
    </message>
    <message>
        <source>No instrument connected: connect it by USB and switch it on; it appears here.</source>
        <translation>Kein Instrument angeschlossen: Schließen Sie es per USB an und schalten Sie es ein; dann erscheint es hier.</translation>
    </message>
    <message>
        <source>This output is a software port, not the instrument: choose the instrument above.</source>
        <translation>Dieser Ausgang ist ein Software-Port, nicht das Instrument: Wählen Sie oben das Instrument.</translation>
    </message>
</context>
<context>
    <name>CUpdateMemory</name>
    <message>
        <source>The last update to “%1” did not complete on %2: send it again.</source>
        <translation>Das letzte Update an „%1“ am %2 wurde nicht abgeschlossen: Senden Sie es erneut.</translation>
    </message>
    <message>
        <source>d MMM yyyy</source>
        <comment>date of an update</comment>
        <translation>d. MMMM yyyy</translation>
    </message>
</context>
<context>
    <name>CWindowMenus</name>
    <message>
        <source>&lt;table&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Alt+S&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Send the update&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Alt+O&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Choose the output&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Ctrl+O&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Open another update file&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Ctrl+W&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Close the window&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Ctrl+Q&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Quit&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;F1&lt;/b&gt;&lt;/td&gt;&lt;td&gt;These keyboard shortcuts&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;p&gt;Closing during an update asks first.&lt;/p&gt;</source>
        <translation>&lt;table&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Alt+U&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Update senden&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Alt+A&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Ausgang wählen&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Strg+O&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Andere Update-Datei öffnen&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Strg+W&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Fenster schließen&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;Strg+Q&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Beenden&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;&lt;b&gt;F1&lt;/b&gt;&lt;/td&gt;&lt;td&gt;Diese Tastenkürzel&lt;/td&gt;&lt;/tr&gt;&lt;/table&gt;&lt;p&gt;Wer während eines Updates schließt, wird vorher gefragt.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>About mirelo updater</source>
        <translation>Über mirelo updater</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;mirelo updater %1&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Sends a firmware update, stored as SysEx messages in a Standard MIDI File, to a MIDI instrument, each message at the time the file gives it.&lt;/p&gt;&lt;p&gt;Keep the instrument connected and switched on until the update has ended.&lt;/p&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;mirelo updater %1&lt;/b&gt;&lt;/p&gt;&lt;p&gt;Sendet ein Firmware-Update, das als SysEx-Nachrichten in einer Standard-MIDI-Datei vorliegt, an ein MIDI-Instrument, jede Nachricht zu der Zeit, die die Datei für sie vorgibt.&lt;/p&gt;&lt;p&gt;Lassen Sie das Instrument angeschlossen und eingeschaltet, bis das Update beendet ist.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Open Update File</source>
        <translation>Update-Datei öffnen</translation>
    </message>
    <message>
        <source>Update files (*.dat *.mid *.midi *.smf);;All files (*)</source>
        <translation>Update-Dateien (*.dat *.mid *.midi *.smf);;Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>MyErrors</name>
    <message>
        <source>Unknown OS error: %1.</source>
        <translation>Unbekannter Betriebssystemfehler: %1.</translation>
    </message>
</context>
<context>
    <name>REVArodozDelegate</name>
    <message>
        <source>The bundled update file is missing.</source>
        <translation>Die mitgelieferte Update-Datei fehlt.</translation>
    </message>
    <message>
        <source>Reinstall mirelo updater, or set MIRELO_RESOURCES to the folder that holds its update file.</source>
        <translation>Installieren Sie mirelo updater neu, oder setzen Sie MIRELO_RESOURCES auf den Ordner, in dem die Update-Datei liegt.</translation>
    </message>
</context>
<context>
    <name>REVArodozDoc</name>
    <message>
        <source>Update file</source>
        <translation>Update-Datei</translation>
    </message>
    <message>
        <source>Elapsed:</source>
        <translation>Verstrichen:</translation>
    </message>
    <message>
        <source>&amp;Output:</source>
        <translation>&amp;Ausgang:</translation>
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
        <source>Sends the update to the output device; on while the update is being sent</source>
        <translation>Sendet das Update an das Ausgabegerät; eingeschaltet, solange das Update gesendet wird</translation>
    </message>
    <message>
        <source>Connect the instrument by USB, switch it on, choose it under Output and press Send Update. Do not unplug it or switch it off until the update has ended.</source>
        <translation>Schließen Sie das Instrument per USB an, schalten Sie es ein, wählen Sie es unter „Ausgang“ und drücken Sie „Update senden“. Ziehen Sie es nicht ab und schalten Sie es nicht aus, bis das Update beendet ist.</translation>
    </message>
    <message>
        <source>An earlier update that did not complete</source>
        <translation>Ein früheres Update, das nicht abgeschlossen wurde</translation>
    </message>
    <message>
        <source>File:</source>
        <translation>Datei:</translation>
    </message>
    <message>
        <source>Update file name</source>
        <translation>Name der Update-Datei</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>Format and tracks</source>
        <translation>Format und Spuren</translation>
    </message>
    <message>
        <source>Division:</source>
        <translation>Zeitbasis:</translation>
    </message>
    <message>
        <source>Division</source>
        <translation>Zeitbasis</translation>
    </message>
    <message>
        <source>Messages:</source>
        <translation>Nachrichten:</translation>
    </message>
    <message>
        <source>Messages and bytes</source>
        <translation>Nachrichten und Bytes</translation>
    </message>
    <message>
        <source>Takes:</source>
        <translation>Dauer:</translation>
    </message>
    <message>
        <source>How long the update takes</source>
        <translation>Wie lange das Update dauert</translation>
    </message>
    <message>
        <source>SHA-256:</source>
        <translation>SHA-256:</translation>
    </message>
    <message>
        <source>SHA-256</source>
        <translation>SHA-256</translation>
    </message>
    <message>
        <source>Firmware:</source>
        <translation>Firmware:</translation>
    </message>
    <message>
        <source>Firmware version</source>
        <translation>Firmware-Version</translation>
    </message>
    <message>
        <source>Messages sent</source>
        <translation>Gesendete Nachrichten</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Verstrichene Zeit</translation>
    </message>
    <message>
        <source>How the update file check or the last update ended</source>
        <translation>Wie die Prüfung der Update-Datei oder das letzte Update ausging</translation>
    </message>
    <message>
        <source>&amp;Send Update</source>
        <translation>&amp;Update senden</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Open Update File…</source>
        <translation>Update-Datei ö&amp;ffnen…</translation>
    </message>
    <message>
        <source>&amp;Close Window</source>
        <translation>Fenster &amp;schließen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Keyboard Shortcuts</source>
        <translation>&amp;Tastenkürzel</translation>
    </message>
    <message>
        <source>&amp;About mirelo updater</source>
        <translation>Ü&amp;ber mirelo updater</translation>
    </message>
    <message>
        <source>No MIDI system.</source>
        <translation>Kein MIDI-System.</translation>
    </message>
    <message>
        <source>Checking the update file “%1”…</source>
        <translation>Update-Datei „%1“ wird geprüft…</translation>
    </message>
    <message>
        <source>The elapsed time cannot be shown.</source>
        <translation>Die verstrichene Zeit kann nicht angezeigt werden.</translation>
    </message>
    <message>
        <source>The connection to the MIDI system could not be closed.</source>
        <translation>Die Verbindung zum MIDI-System konnte nicht geschlossen werden.</translation>
    </message>
    <message>
        <source>Sending…</source>
        <translation>Wird gesendet…</translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>Ask the Instrument &amp;Which Firmware It Runs</source>
        <translation>Instrument nach seiner &amp;Firmware fragen</translation>
    </message>
    <message>
        <source>Before and after an update, and when an output is chosen, ask the instrument who it is (a MIDI Device Inquiry). Off: no request besides the update goes out.</source>
        <translation>Vor und nach einem Update und bei der Wahl eines Ausgangs das Instrument fragen, wer es ist (eine MIDI-Geräteabfrage). Aus: Außer dem Update geht keine Anfrage hinaus.</translation>
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
    <message>
        <source>instrument: firmware %1 → %2</source>
        <translation>Instrument: Firmware %1 → %2</translation>
    </message>
    <message>
        <source>%1 has no MIDI source of its own to answer on, so the instrument was not asked which firmware it runs</source>
        <translation>%1 hat keine eigene MIDI-Quelle, über die es antworten könnte; deshalb wurde das Instrument nicht nach seiner Firmware gefragt</translation>
    </message>
    <message>
        <source>the instrument could not be asked which firmware it runs: %1; whether it took the update was not checked</source>
        <translation>das Instrument konnte nicht nach seiner Firmware gefragt werden: %1; ob es das Update übernommen hat, wurde nicht geprüft</translation>
    </message>
    <message>
        <source>%1 sent our identity request back, as a loop-back does: no instrument answered, so whether one took the update was not checked</source>
        <translation>%1 hat unsere Identitätsanfrage zurückgeschickt, wie es eine Schleife (Loop-back) tut: Kein Instrument hat geantwortet, daher wurde nicht geprüft, ob eines das Update übernommen hat</translation>
    </message>
    <message>
        <source>the instrument did not say which firmware it runs (many instruments do not), so whether it took the update was not checked</source>
        <translation>das Instrument hat seine Firmware nicht genannt (viele Instrumente tun das nicht), daher wurde nicht geprüft, ob es das Update übernommen hat</translation>
    </message>
    <message>
        <source>the instrument reports %1, the version this update carries</source>
        <translation>das Instrument meldet %1, die Version aus diesem Update</translation>
    </message>
    <message>
        <source>the instrument still reports %1: the update did not take</source>
        <translation>das Instrument meldet weiterhin %1: Das Update wurde nicht übernommen</translation>
    </message>
    <message>
        <source>the instrument reports %1, not %2, the version this update carries: the update did not take</source>
        <translation>das Instrument meldet %1 statt %2, der Version aus diesem Update: Das Update wurde nicht übernommen</translation>
    </message>
    <message>
        <source>the instrument still reports %1, and the update file does not say which version it carries: whether it took the update is not known</source>
        <translation>das Instrument meldet weiterhin %1, und die Update-Datei nennt ihre Version nicht: Ob das Update übernommen wurde, ist nicht bekannt</translation>
    </message>
    <message>
        <source>the instrument reported firmware %1 before the update and did not answer within %2 after it: whether it took the update is not known</source>
        <translation>das Instrument meldete vor dem Update die Firmware %1 und hat danach nicht innerhalb von %2 geantwortet: Ob es das Update übernommen hat, ist nicht bekannt</translation>
    </message>
    <message>
        <source>the instrument went away after the update and did not come back within %1: whether it took the update is not known</source>
        <translation>das Instrument war nach dem Update nicht mehr da und ist nicht innerhalb von %1 zurückgekehrt: Ob es das Update übernommen hat, ist nicht bekannt</translation>
    </message>
    <message>
        <source>interrupted while waiting for the instrument to answer after the update: whether it took the update is not known</source>
        <translation>unterbrochen, während auf die Antwort des Instruments nach dem Update gewartet wurde: Ob es das Update übernommen hat, ist nicht bekannt</translation>
    </message>
    <message>
        <source>every message was sent; waiting up to %1 for the instrument to answer again (it may restart): keep it connected</source>
        <translation>alle Nachrichten wurden gesendet; bis zu %1 wird auf eine erneute Antwort des Instruments gewartet (es startet eventuell neu): Lassen Sie es angeschlossen</translation>
    </message>
    <message>
        <source>manufacturer %1, family %2, model %3 · firmware %4</source>
        <translation>Hersteller %1, Familie %2, Modell %3 · Firmware %4</translation>
    </message>
    <message>
        <source>it has no MIDI source of its own to answer on</source>
        <translation>es hat keine eigene MIDI-Quelle, über die es antworten könnte</translation>
    </message>
    <message>
        <source>it could not be asked who it is: %1</source>
        <translation>es konnte nicht gefragt werden, wer es ist: %1</translation>
    </message>
    <message>
        <source>did not answer: it sent our request back, as a loop-back does, so it is no instrument</source>
        <translation>keine Antwort: es hat unsere Anfrage zurückgeschickt, wie eine Schleife es tut, es ist also kein Instrument</translation>
    </message>
    <message>
        <source>did not answer (many instruments do not)</source>
        <translation>keine Antwort (viele Instrumente antworten nicht)</translation>
    </message>
</context>
</TS>
