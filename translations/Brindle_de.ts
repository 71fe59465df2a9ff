<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Brindle::Internal::AccessTokenDialog</name>
    <message>
        <source>Access Token</source>
        <translation>Zugriffstoken</translation>
    </message>
    <message>
        <source>GitLab access token for repository &quot;%1&quot;. It needs the scopes read_api and read_repository and is kept in the system keychain, never in the settings file.</source>
        <translation>GitLab-Zugriffstoken für das Repository &quot;%1&quot;. Es braucht die Bereiche read_api und read_repository und wird im Schlüsselbund des Systems aufbewahrt, nie in der Einstellungsdatei.</translation>
    </message>
    <message>
        <source>Enter a new token to replace the current one</source>
        <translation>Neues Token eingeben, um das bisherige zu ersetzen</translation>
    </message>
    <message>
        <source>Access token</source>
        <translation>Zugriffstoken</translation>
    </message>
    <message>
        <source>An access token cannot contain spaces or control characters.</source>
        <translation>Ein Zugriffstoken kann keine Leer- oder Steuerzeichen enthalten.</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove the repository&apos;s access token when the page is applied</source>
        <translation>Das Zugriffstoken des Repositorys beim Anwenden der Seite entfernen</translation>
    </message>
    <message>
        <source>Show token</source>
        <translation>Token anzeigen</translation>
    </message>
    <message>
        <source>The system keychain has not said yet whether the repository has a token.</source>
        <translation>Der Schlüsselbund des Systems hat noch nicht gemeldet, ob das Repository ein Token hat.</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ApiClient</name>
    <message>
        <source>Searching examples</source>
        <translation>Beispiele werden gesucht</translation>
    </message>
    <message>
        <source>Search error: request return null object</source>
        <translation>Suchfehler: Die Anfrage lieferte ein leeres Objekt</translation>
    </message>
    <message>
        <source>Search error: request return wrong data - no id field</source>
        <translation>Suchfehler: Die Anfrage lieferte falsche Daten – kein Feld „id“</translation>
    </message>
    <message>
        <source>API client is ready</source>
        <translation>API-Client ist bereit</translation>
    </message>
    <message>
        <source>Repository error: group id not found - unable to fetch examples</source>
        <translation>Repository-Fehler: Gruppen-ID nicht gefunden – Beispiele können nicht abgerufen werden</translation>
    </message>
    <message>
        <source>Fetch examples</source>
        <translation>Beispiele werden abgerufen</translation>
    </message>
    <message>
        <source>Fetch error: request return null object</source>
        <translation>Abruffehler: Die Anfrage lieferte ein leeres Objekt</translation>
    </message>
    <message>
        <source>Fetch error: request return wrong data - no projects field</source>
        <translation>Abruffehler: Die Anfrage lieferte falsche Daten – kein Feld „projects“</translation>
    </message>
    <message>
        <source>Load examples</source>
        <translation>Beispiele laden</translation>
    </message>
    <message>
        <source>Load demos</source>
        <translation>Demos laden</translation>
    </message>
    <message>
        <source>Load unknow examples type</source>
        <translation>Beispiele unbekannter Art laden</translation>
    </message>
    <message>
        <source>Downloading example: %1</source>
        <translation>Beispiel wird heruntergeladen: %1</translation>
    </message>
    <message>
        <source>Unable to download image: %1</source>
        <translation>Bild kann nicht heruntergeladen werden: %1</translation>
    </message>
    <message>
        <source>Fetch error: request return wrong data - no list of projects</source>
        <translation>Abruffehler: Die Anfrage lieferte falsche Daten – keine Liste von Projekten</translation>
    </message>
    <message>
        <source>Fetch error: the group lists more than %1 projects</source>
        <translation>Abruffehler: Die Gruppe listet mehr als %1 Projekte auf</translation>
    </message>
    <message>
        <source>Access denied by %1: check the access token of repository %2</source>
        <translation>Zugriff verweigert von %1: Prüfen Sie das Zugriffstoken des Repositorys %2</translation>
    </message>
    <message>
        <source>A private group needs an access token: set one with &quot;Access token...&quot; on the options page.</source>
        <translation>Eine private Gruppe braucht ein Zugriffstoken: Legen Sie es mit &quot;Zugriffstoken...&quot; auf der Einstellungsseite fest.</translation>
    </message>
    <message>
        <source>Fetch error: one answer lists more than %1 projects</source>
        <translation>Abruffehler: Eine Antwort listet mehr als %1 Projekte auf</translation>
    </message>
    <message>
        <source>Fetch error: the group&apos;s projects exceed the limit of %1</source>
        <translation>Abruffehler: Die Projekte der Gruppe überschreiten die Grenze von %1</translation>
    </message>
    <message>
        <source>its address is not valid</source>
        <translation>seine Adresse ist ungültig</translation>
    </message>
    <message>
        <source>its address names no group</source>
        <translation>seine Adresse nennt keine Gruppe</translation>
    </message>
    <message>
        <source>The group %1 was not found on %2.</source>
        <translation>Die Gruppe %1 wurde auf %2 nicht gefunden.</translation>
    </message>
    <message>
        <source>the group %1 was not found; a private group needs an access token</source>
        <translation>die Gruppe %1 wurde nicht gefunden; eine private Gruppe braucht ein Zugriffstoken</translation>
    </message>
    <message>
        <source>the group %1 was not found</source>
        <translation>die Gruppe %1 wurde nicht gefunden</translation>
    </message>
    <message>
        <source>the server gave the group no valid id</source>
        <translation>der Server lieferte keine gültige ID für die Gruppe</translation>
    </message>
    <message>
        <source>the download was cancelled</source>
        <translation>der Download wurde abgebrochen</translation>
    </message>
    <message>
        <source>The archive of %1 is damaged: %2</source>
        <translation>Das Archiv von %1 ist beschädigt: %2</translation>
    </message>
    <message>
        <source>Fetch error: the server repeats the same page of projects</source>
        <translation>Abruffehler: Der Server wiederholt dieselbe Seite von Projekten</translation>
    </message>
    <message>
        <source>its address is no http or https address</source>
        <translation>seine Adresse ist keine http- oder https-Adresse</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ApiRequest</name>
    <message>
        <source>The server&apos;s answer exceeds the limit of %1: %2</source>
        <translation>Die Antwort des Servers überschreitet die Grenze von %1: %2</translation>
    </message>
    <message>
        <source>Unable to save the download of %1: %2</source>
        <translation>Der Download von %1 kann nicht gespeichert werden: %2</translation>
    </message>
    <message>
        <source>The server sent the request on to another server, which is not given the access token: %1</source>
        <translation>Der Server hat die Anfrage an einen anderen Server weitergeleitet, der das Zugriffstoken nicht erhält: %1</translation>
    </message>
    <message>
        <source>The server did not complete its answer within %1 seconds (the limit of %2 at %3 per second): %4</source>
        <translation>Der Server hat seine Antwort nicht innerhalb von %1 Sekunden abgeschlossen (die Grenze von %2 bei %3 pro Sekunde): %4</translation>
    </message>
    <message>
        <source>the answer exceeds the limit of %1</source>
        <translation>die Antwort überschreitet die Grenze von %1</translation>
    </message>
    <message>
        <source>the server did not complete its answer within %1 s</source>
        <translation>der Server hat seine Antwort nicht innerhalb von %1 s abgeschlossen</translation>
    </message>
    <message>
        <source>the server sent the request on to another server</source>
        <translation>der Server hat die Anfrage an einen anderen Server weitergeleitet</translation>
    </message>
    <message>
        <source>the server did not answer within %1 s</source>
        <translation>der Server hat nicht innerhalb von %1 s geantwortet</translation>
    </message>
    <message>
        <source>The server did not answer within %1 s: %2</source>
        <translation>Der Server hat nicht innerhalb von %1 s geantwortet: %2</translation>
    </message>
    <message>
        <source>HTTP %1</source>
        <translation>HTTP-Status %1</translation>
    </message>
    <message>
        <source>HTTP %1 %2</source>
        <translation>HTTP-Status %1 (%2)</translation>
    </message>
    <message>
        <source>the archive is damaged: %1</source>
        <translation>das Archiv ist beschädigt: %1</translation>
    </message>
    <message>
        <source>The archive is damaged: %1: %2</source>
        <translation>Das Archiv ist beschädigt: %1: %2</translation>
    </message>
    <message>
        <source>The archive is refused: %1: %2</source>
        <translation>Das Archiv wird abgelehnt: %1: %2</translation>
    </message>
    <message>
        <source>The server did not complete its answer within %1 seconds, the longest any answer may take: %2</source>
        <translation>Der Server hat seine Antwort nicht innerhalb von %1 Sekunden abgeschlossen, der längsten Zeit, die eine Antwort dauern darf: %2</translation>
    </message>
    <message>
        <source>The connection to %1 is refused, nothing was sent: %2</source>
        <translation>Die Verbindung zu %1 wird abgelehnt, es wurde nichts gesendet: %2</translation>
    </message>
    <message>
        <source>The server sent the request on from https to plain http, which is refused: %1</source>
        <translation>Der Server hat die Anfrage von https an unverschlüsseltes http weitergeleitet, was abgelehnt wird: %1</translation>
    </message>
    <message>
        <source>the server sent the request on from https to plain http</source>
        <translation>der Server hat die Anfrage von https an unverschlüsseltes http weitergeleitet</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ArchiveVerifier</name>
    <message>
        <source>there is not enough memory</source>
        <translation>nicht genügend Arbeitsspeicher</translation>
    </message>
    <message>
        <source>it holds no tar archive</source>
        <translation>es enthält kein tar-Archiv</translation>
    </message>
    <message>
        <source>a tar header is damaged</source>
        <translation>ein tar-Header ist beschädigt</translation>
    </message>
    <message>
        <source>the archive ends inside a tar header</source>
        <translation>das Archiv endet mitten in einem tar-Header</translation>
    </message>
    <message>
        <source>member %1 is cut short</source>
        <translation>der Eintrag %1 ist abgeschnitten</translation>
    </message>
    <message>
        <source>member %1 is damaged</source>
        <translation>der Eintrag %1 ist beschädigt</translation>
    </message>
    <message>
        <source>the end-of-archive blocks are missing</source>
        <translation>die Blöcke für das Archivende fehlen</translation>
    </message>
    <message>
        <source>member %1 would be written outside its folder</source>
        <translation>der Eintrag %1 würde außerhalb seines Ordners geschrieben</translation>
    </message>
    <message>
        <source>member %1 would be written through the link %2</source>
        <translation>der Eintrag %1 würde über den Link %2 geschrieben</translation>
    </message>
    <message>
        <source>member %1 links to %2, outside its folder</source>
        <translation>der Eintrag %1 verweist auf %2, außerhalb seines Ordners</translation>
    </message>
    <message>
        <source>it holds more than the %1 entries allowed</source>
        <translation>es enthält mehr als die erlaubten %1 Einträge</translation>
    </message>
    <message>
        <source>member %1 lies %2 folders deep, more than the %3 allowed</source>
        <translation>der Eintrag %1 liegt %2 Ordner tief, mehr als die erlaubten %3</translation>
    </message>
    <message>
        <source>the path of member %1 is %2 bytes long, more than the %3 allowed</source>
        <translation>der Pfad des Eintrags %1 ist %2 Byte lang, mehr als die erlaubten %3</translation>
    </message>
    <message>
        <source>it unpacks to at least %1, more than the %2 allowed</source>
        <translation>entpackt belegt es mindestens %1, mehr als die erlaubten %2</translation>
    </message>
    <message>
        <source>it cannot be read</source>
        <translation>es kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>there is data after the end of the gzip stream</source>
        <translation>nach dem Ende des gzip-Datenstroms folgen weitere Daten</translation>
    </message>
    <message>
        <source>it is empty</source>
        <translation>es ist leer</translation>
    </message>
    <message>
        <source>the gzip stream ends early</source>
        <translation>der gzip-Datenstrom endet vorzeitig</translation>
    </message>
    <message>
        <source>there is not enough memory to inflate it</source>
        <translation>zum Entpacken ist nicht genügend Arbeitsspeicher vorhanden</translation>
    </message>
    <message>
        <source>it is not a gzip file</source>
        <translation>es ist keine gzip-Datei</translation>
    </message>
    <message>
        <source>its CRC-32 does not match</source>
        <translation>seine CRC-32-Prüfsumme stimmt nicht</translation>
    </message>
    <message>
        <source>its length does not match</source>
        <translation>seine Länge stimmt nicht</translation>
    </message>
    <message>
        <source>its compressed data is corrupt</source>
        <translation>seine komprimierten Daten sind fehlerhaft</translation>
    </message>
    <message>
        <source>it cannot be opened: %1</source>
        <translation>es kann nicht geöffnet werden: %1</translation>
    </message>
    <message>
        <source>its tar stream is larger than the %1 it may unpack to</source>
        <translation>sein tar-Datenstrom ist größer als die %1, zu denen es entpackt werden darf</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::BrindlePlugin</name>
    <message>
        <source>Examples</source>
        <translation>Beispiele</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::CertificateCheck</name>
    <message>
        <source>the server&apos;s certificate has expired</source>
        <translation>das Zertifikat des Servers ist abgelaufen</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is not valid yet</source>
        <translation>das Zertifikat des Servers ist noch nicht gültig</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is made out to another host name</source>
        <translation>das Zertifikat des Servers ist auf einen anderen Hostnamen ausgestellt</translation>
    </message>
    <message>
        <source>the server&apos;s certificate has been revoked</source>
        <translation>das Zertifikat des Servers wurde widerrufen</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is issued by an authority this system does not trust</source>
        <translation>das Zertifikat des Servers stammt von einer Zertifizierungsstelle, der dieses System nicht vertraut</translation>
    </message>
    <message>
        <source>the server sent no certificate</source>
        <translation>der Server hat kein Zertifikat gesendet</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is not accepted: %1</source>
        <translation>das Zertifikat des Servers wird nicht akzeptiert: %1</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is not accepted</source>
        <translation>das Zertifikat des Servers wird nicht akzeptiert</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::DownloadService</name>
    <message>
        <source>Skip downloading examples - unable to find repository for name: %1</source>
        <translation>Herunterladen der Beispiele übersprungen – kein Repository mit dem Namen: %1</translation>
    </message>
    <message>
        <source>API client is not ready - restarting</source>
        <translation>API-Client ist nicht bereit – Neustart</translation>
    </message>
    <message>
        <source>Skip downloading examples - unable to find repository for url: %1</source>
        <translation>Herunterladen der Beispiele übersprungen – kein Repository mit der URL: %1</translation>
    </message>
    <message>
        <source>Skip saving example %1 - unable to find repository name for url: %2</source>
        <translation>Speichern des Beispiels %1 übersprungen – kein Repository-Name für die URL: %2</translation>
    </message>
    <message>
        <source>the access token changed</source>
        <translation>das Zugriffstoken wurde geändert</translation>
    </message>
    <message>
        <source>the repository was looked up again</source>
        <translation>das Repository wurde erneut abgefragt</translation>
    </message>
    <message>
        <source>the server does not list it</source>
        <translation>der Server führt es nicht auf</translation>
    </message>
    <message>
        <source>it was removed</source>
        <translation>es wurde entfernt</translation>
    </message>
    <message>
        <source>it was asked for again</source>
        <translation>es wurde erneut angefordert</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ExampleInstaller</name>
    <message>
        <source>Unable to save the archive of example %1: %2</source>
        <translation>Das Archiv des Beispiels %1 kann nicht gespeichert werden: %2</translation>
    </message>
    <message>
        <source>Unable to create a directory in: %1</source>
        <translation>Verzeichnis kann nicht angelegt werden in: %1</translation>
    </message>
    <message>
        <source>Skip registering example %1 - the archive holds no directory of it</source>
        <translation>Registrieren des Beispiels %1 übersprungen – das Archiv enthält kein Verzeichnis dafür</translation>
    </message>
    <message>
        <source>There was an error while creating example mainfest</source>
        <translation>Beim Erstellen des Beispielmanifests ist ein Fehler aufgetreten</translation>
    </message>
    <message>
        <source>The data is not downloaded for example: %1</source>
        <translation>Die Daten des Beispiels wurden nicht heruntergeladen: %1</translation>
    </message>
    <message>
        <source>Skip saving example %1 - unsafe name: %2</source>
        <translation>Speichern des Beispiels %1 übersprungen – unsicherer Name: %2</translation>
    </message>
    <message>
        <source>Unpacking example: %1</source>
        <translation>Beispiel wird entpackt: %1</translation>
    </message>
    <message>
        <source>Downloaded file is not an archive</source>
        <translation>Die heruntergeladene Datei ist kein Archiv</translation>
    </message>
    <message>
        <source>There was an error while unarchiving</source>
        <translation>Beim Entpacken ist ein Fehler aufgetreten</translation>
    </message>
    <message>
        <source>Skip registering example %1 - its files could not be checked: %2</source>
        <translation>Registrieren des Beispiels %1 übersprungen – seine Dateien konnten nicht geprüft werden: %2</translation>
    </message>
    <message>
        <source>Skip installing example %1 - it unpacks to more than %2 MiB, the limit set by MaxUnpackedMegabytes</source>
        <translation>Installation des Beispiels %1 übersprungen – entpackt belegt es mehr als %2 MiB, die Grenze aus MaxUnpackedMegabytes</translation>
    </message>
    <message>
        <source>some of its files could not be deleted</source>
        <translation>einige seiner Dateien konnten nicht gelöscht werden</translation>
    </message>
    <message>
        <source>it unpacks to more than %1 MiB, the limit set by MaxUnpackedMegabytes</source>
        <translation>entpackt belegt es mehr als %1 MiB, die Grenze aus MaxUnpackedMegabytes</translation>
    </message>
    <message>
        <source>the installed copy could not be moved aside</source>
        <translation>die installierte Kopie konnte nicht beiseitegeschoben werden</translation>
    </message>
    <message>
        <source>the new copy could not be moved into place</source>
        <translation>die neue Kopie konnte nicht an ihren Platz verschoben werden</translation>
    </message>
    <message>
        <source>the new copy could not be moved into place, and the old one could not be put back: it is in %1</source>
        <translation>die neue Kopie konnte nicht an ihren Platz verschoben werden, und die alte konnte nicht zurückgelegt werden: sie liegt in %1</translation>
    </message>
    <message>
        <source>the archive holds no folder of it</source>
        <translation>das Archiv enthält keinen Ordner dafür</translation>
    </message>
    <message>
        <source>its files could not be checked: %1</source>
        <translation>seine Dateien konnten nicht geprüft werden: %1</translation>
    </message>
    <message>
        <source>its manifest could not be written</source>
        <translation>sein Manifest konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Unable to install example %1 into %2: %3</source>
        <translation>Das Beispiel %1 kann nicht in %2 installiert werden: %3</translation>
    </message>
    <message>
        <source>its name is not a safe folder name</source>
        <translation>sein Name ist kein sicherer Ordnername</translation>
    </message>
    <message>
        <source>asked for again</source>
        <translation>erneut angefordert</translation>
    </message>
    <message>
        <source>removed</source>
        <translation>entfernt</translation>
    </message>
    <message>
        <source>its archive is empty</source>
        <translation>sein Archiv ist leer</translation>
    </message>
    <message>
        <source>the archive is damaged: %1</source>
        <translation>das Archiv ist beschädigt: %1</translation>
    </message>
    <message>
        <source>The archive of %1 is damaged: %2</source>
        <translation>Das Archiv von %1 ist beschädigt: %2</translation>
    </message>
    <message>
        <source>Skip installing example %1 - %2</source>
        <translation>Installation des Beispiels %1 übersprungen – %2</translation>
    </message>
    <message>
        <source>no tool was found to unpack it: %1</source>
        <translation>kein Werkzeug zum Entpacken gefunden: %1</translation>
    </message>
    <message>
        <source>the unarchiver failed</source>
        <translation>das Entpackprogramm ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>the unarchiver failed: %1</source>
        <translation>das Entpackprogramm ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>the folder %1 could not be created</source>
        <translation>der Ordner %1 konnte nicht angelegt werden</translation>
    </message>
    <message>
        <source>too many copies of it were kept within the same second</source>
        <translation>in derselben Sekunde wurden zu viele Kopien davon aufbewahrt</translation>
    </message>
    <message>
        <source>it has no project file (CMakeLists.txt or *.pro) in its top folder</source>
        <translation>es hat keine Projektdatei (CMakeLists.txt oder *.pro) in seinem obersten Ordner</translation>
    </message>
    <message>
        <source>Skip registering example %1 - %2</source>
        <translation>Beispiel %1 wird nicht registriert – %2</translation>
    </message>
    <message>
        <source>your changes to it could not be kept: %1</source>
        <translation>Ihre Änderungen daran konnten nicht aufbewahrt werden: %1</translation>
    </message>
    <message>
        <source>Your changes to %1 were kept in %2</source>
        <translation>Ihre Änderungen an %1 wurden in %2 aufbewahrt</translation>
    </message>
    <message>
        <source>it was removed</source>
        <translation>es wurde entfernt</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ExampleResult</name>
    <message>
        <source>%1 was installed.</source>
        <translation>%1 wurde installiert.</translation>
    </message>
    <message>
        <source>%1 was updated.</source>
        <translation>%1 wurde aktualisiert.</translation>
    </message>
    <message>
        <source>%1 was skipped.</source>
        <translation>%1 wurde übersprungen.</translation>
    </message>
    <message>
        <source>%1 was skipped: %2.</source>
        <translation>%1 wurde übersprungen: %2.</translation>
    </message>
    <message>
        <source>%1 could not be installed: %2.</source>
        <translation>%1 konnte nicht installiert werden: %2.</translation>
    </message>
    <message>
        <source>%1 was removed.</source>
        <translation>%1 wurde entfernt.</translation>
    </message>
    <message>
        <source>%1 could not be removed: %2.</source>
        <translation>%1 konnte nicht entfernt werden: %2.</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ExamplesDialog</name>
    <message>
        <source>Select Examples to Install</source>
        <translation>Zu installierende Beispiele auswählen</translation>
    </message>
    <message>
        <source>Filter examples</source>
        <translation>Beispiele filtern</translation>
    </message>
    <message>
        <source>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Name:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Description:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Updated:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%3&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Location:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%4&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</source>
        <translation>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Name:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Beschreibung:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Aktualisiert:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%3&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Ort:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%4&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</translation>
    </message>
    <message>
        <source>Examples of the repository</source>
        <translation>Beispiele des Repositorys</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 – %2</translation>
    </message>
    <message>
        <source>%1 (installed)</source>
        <translation>%1 (installiert)</translation>
    </message>
    <message>
        <source>Installed: choosing it installs it again.</source>
        <translation>Installiert: Wählen Sie es aus, wird es erneut installiert.</translation>
    </message>
    <message>
        <source>%1 (will be installed)</source>
        <translation>%1 (wird installiert)</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::OptionsWidget</name>
    <message>
        <source>Add or remove examples from selected repository</source>
        <translation>Beispiele des ausgewählten Repositorys hinzufügen oder entfernen</translation>
    </message>
    <message>
        <source>Installed Examples</source>
        <translation>Installierte Beispiele</translation>
    </message>
    <message>
        <source>Selected repository name</source>
        <translation>Name des ausgewählten Repositorys</translation>
    </message>
    <message>
        <source>Add examples from online repository</source>
        <translation>Beispiele aus dem Online-Repository hinzufügen</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Hinzufügen...</translation>
    </message>
    <message>
        <source>Remove selected installed examples</source>
        <translation>Ausgewählte installierte Beispiele entfernen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>List of installed examples</source>
        <translation>Liste der installierten Beispiele</translation>
    </message>
    <message>
        <source>Filter examples</source>
        <translation>Beispiele filtern</translation>
    </message>
    <message>
        <source>Repository:</source>
        <translation>Repository:</translation>
    </message>
    <message>
        <source>Online Updates</source>
        <translation>Online-Aktualisierungen</translation>
    </message>
    <message>
        <source>Check every</source>
        <translation>Prüfen alle</translation>
    </message>
    <message>
        <source>Timeout for checking example updates and downloading new examples.
Set 0 to disable automatic updates.</source>
        <translation>Zeitabstand für die Suche nach Aktualisierungen und das Herunterladen neuer Beispiele.
0 schaltet die automatischen Aktualisierungen aus.</translation>
    </message>
    <message>
        <source>day(s)</source>
        <translation>Tag(e)</translation>
    </message>
    <message>
        <source>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Location:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Updated:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Status:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%3&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</source>
        <translation>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Ort:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Aktualisiert:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Status:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%3&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</translation>
    </message>
    <message>
        <source>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Folder:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Link:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</source>
        <translation>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Ordner:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Link:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</translation>
    </message>
    <message>
        <source>Updated</source>
        <translation>Aktuell</translation>
    </message>
    <message>
        <source>Update available</source>
        <translation>Aktualisierung verfügbar</translation>
    </message>
    <message>
        <source>Examples Not Found</source>
        <translation>Keine Beispiele gefunden</translation>
    </message>
    <message>
        <source>Check your online connection and try again later!</source>
        <translation>Prüfen Sie Ihre Internetverbindung und versuchen Sie es später erneut!</translation>
    </message>
    <message>
        <source>Set or clear the GitLab access token of the selected repository (for private groups)</source>
        <translation>Das GitLab-Zugriffstoken des gewählten Repositorys setzen oder entfernen (für private Gruppen)</translation>
    </message>
    <message>
        <source>Access token...</source>
        <translation>Zugriffstoken...</translation>
    </message>
    <message>
        <source>Access token: removed when you apply</source>
        <translation>Zugriffstoken: wird beim Anwenden entfernt</translation>
    </message>
    <message>
        <source>Access token: saved when you apply</source>
        <translation>Zugriffstoken: wird beim Anwenden gespeichert</translation>
    </message>
    <message>
        <source>Access token: unknown</source>
        <translation>Zugriffstoken: unbekannt</translation>
    </message>
    <message>
        <source>Access token: being read from the system keychain...</source>
        <translation>Zugriffstoken: wird aus dem Schlüsselbund des Systems gelesen...</translation>
    </message>
    <message>
        <source>Access token: none</source>
        <translation>Zugriffstoken: keines</translation>
    </message>
    <message>
        <source>Access token: set</source>
        <translation>Zugriffstoken: gesetzt</translation>
    </message>
    <message>
        <source>Access token: set (this session only)</source>
        <translation>Zugriffstoken: gesetzt (nur für diese Sitzung)</translation>
    </message>
    <message>
        <source>No system keychain is available: the access token is kept for this session only.</source>
        <translation>Kein Schlüsselbund des Systems verfügbar: Das Zugriffstoken gilt nur für diese Sitzung.</translation>
    </message>
    <message>
        <source>Install the selected examples again from the online repository when the page is applied</source>
        <translation>Die ausgewählten Beispiele beim Anwenden der Seite erneut aus dem Online-Repository installieren</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Installed examples</source>
        <translation>Installierte Beispiele</translation>
    </message>
    <message>
        <source>Filter installed examples</source>
        <translation>Installierte Beispiele filtern</translation>
    </message>
    <message>
        <source>Check for updates every (days)</source>
        <translation>Nach Aktualisierungen suchen alle (Tage)</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>%1 (update available)</source>
        <translation>%1 (Aktualisierung verfügbar)</translation>
    </message>
    <message>
        <source>%1 (will be installed)</source>
        <translation>%1 (wird installiert)</translation>
    </message>
    <message>
        <source>%1 (will be updated)</source>
        <translation>%1 (wird aktualisiert)</translation>
    </message>
    <message>
        <source>%1 (will be removed)</source>
        <translation>%1 (wird entfernt)</translation>
    </message>
    <message>
        <source>%1 (installing...)</source>
        <translation>%1 (wird gerade installiert...)</translation>
    </message>
    <message>
        <source>%1 (being removed...)</source>
        <translation>%1 (wird gerade entfernt...)</translation>
    </message>
    <message>
        <source>Will be installed when you apply</source>
        <translation>Wird beim Anwenden installiert</translation>
    </message>
    <message>
        <source>Will be updated when you apply</source>
        <translation>Wird beim Anwenden aktualisiert</translation>
    </message>
    <message>
        <source>Will be removed when you apply</source>
        <translation>Wird beim Anwenden entfernt</translation>
    </message>
    <message>
        <source>Being installed</source>
        <translation>Wird gerade installiert</translation>
    </message>
    <message>
        <source>Being removed</source>
        <translation>Wird gerade entfernt</translation>
    </message>
    <message>
        <source>Examples Still Loading</source>
        <translation>Beispiele werden noch geladen</translation>
    </message>
    <message>
        <source>The examples of repository %1 are still being loaded. Try again in a moment.</source>
        <translation>Die Beispiele des Repositorys %1 werden noch geladen. Versuchen Sie es gleich noch einmal.</translation>
    </message>
    <message>
        <source>Access Token Needed</source>
        <translation>Zugriffstoken erforderlich</translation>
    </message>
    <message>
        <source>Repository %1 is a private group: set its access token with &quot;Access token...&quot; and apply it first.</source>
        <translation>Das Repository %1 ist eine private Gruppe: Legen Sie zuerst sein Zugriffstoken mit &quot;Zugriffstoken...&quot; fest und wenden Sie es an.</translation>
    </message>
    <message>
        <source>Access Denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>The server refused the access token of repository %1: set a valid one with &quot;Access token...&quot;.</source>
        <translation>Der Server hat das Zugriffstoken des Repositorys %1 abgelehnt: Legen Sie mit &quot;Zugriffstoken...&quot; ein gültiges fest.</translation>
    </message>
    <message>
        <source>Repository status</source>
        <translation>Status des Repositorys</translation>
    </message>
    <message>
        <source>%1 (could not be installed: %2)</source>
        <translation>%1 (konnte nicht installiert werden: %2)</translation>
    </message>
    <message>
        <source>%1 (could not be removed: %2)</source>
        <translation>%1 (konnte nicht entfernt werden: %2)</translation>
    </message>
    <message>
        <source>Could not be installed</source>
        <translation>Konnte nicht installiert werden</translation>
    </message>
    <message>
        <source>Could not be removed</source>
        <translation>Konnte nicht entfernt werden</translation>
    </message>
    <message>
        <source>%1 (changed locally)</source>
        <translation>%1 (lokal geändert)</translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <translation>
            <numerusform>%1 und %n weitere</numerusform>
            <numerusform>%1 und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>Remove Changed Examples</source>
        <translation>Geänderte Beispiele entfernen</translation>
    </message>
    <message>
        <source>You changed these examples since they were installed. Removing them deletes your changes for good:

%1

Remove them anyway?</source>
        <translation>Sie haben diese Beispiele seit ihrer Installation geändert. Beim Entfernen gehen Ihre Änderungen endgültig verloren:

%1

Trotzdem entfernen?</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::Plugin</name>
    <message>
        <source>Open location...</source>
        <translation>Speicherort öffnen...</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::RepositoryCheck</name>
    <message>
        <source>no folder could be made to install the examples into: %1</source>
        <translation>es konnte kein Ordner für die Installation der Beispiele angelegt werden: %1</translation>
    </message>
    <message>
        <source>the check ended before this project was done</source>
        <translation>die Prüfung endete, bevor dieses Projekt fertig war</translation>
    </message>
    <message>
        <source>the check ended before the group was listed</source>
        <translation>die Prüfung endete, bevor die Gruppe aufgelistet war</translation>
    </message>
    <message>
        <source>the group search returns other groups before this one: %1; the plugin skips them, but each costs a request, and a group that anyone names so could push this one beyond the pages searched</source>
        <translation>die Gruppensuche liefert vor dieser Gruppe andere: %1; das Plugin überspringt sie, aber jede kostet eine Anfrage, und eine so benannte Gruppe eines beliebigen Nutzers könnte diese über die durchsuchten Seiten hinaus verdrängen</translation>
    </message>
    <message>
        <source>the group has no public projects</source>
        <translation>die Gruppe hat keine öffentlichen Projekte</translation>
    </message>
    <message>
        <source>it has no description; Qt Creator logs a warning for it</source>
        <translation>es hat keine Beschreibung; Qt Creator protokolliert dafür eine Warnung</translation>
    </message>
    <message>
        <source>its name differs only in case from %1: one folder on a file system that ignores case</source>
        <translation>sein Name unterscheidet sich von %1 nur in der Groß-/Kleinschreibung: ein einziger Ordner auf einem Dateisystem, das sie nicht unterscheidet</translation>
    </message>
    <message>
        <source>its name &quot;%1&quot; cannot be a folder name: the plugin skips it</source>
        <translation>sein Name „%1“ kann kein Ordnername sein: das Plugin überspringt es</translation>
    </message>
    <message>
        <source>its archive is %1, more than %2: every user downloads it</source>
        <translation>sein Archiv ist %1 groß, mehr als %2: jeder Nutzer lädt es herunter</translation>
    </message>
    <message>
        <source>it unpacks to %1, more than %2</source>
        <translation>es wird zu %1 entpackt, mehr als %2</translation>
    </message>
    <message>
        <source>its avatar is too large to be shown (%1); keep it below 1 MiB and 2048 x 2048 pixels</source>
        <translation>sein Avatar ist zu groß für die Anzeige (%1); er sollte unter 1 MiB und 2048 x 2048 Pixeln bleiben</translation>
    </message>
    <message>
        <source>its archive could not be downloaded: %1</source>
        <translation>sein Archiv konnte nicht heruntergeladen werden: %1</translation>
    </message>
    <message>
        <source>it was not installed</source>
        <translation>es wurde nicht installiert</translation>
    </message>
    <message>
        <source>it has neither an avatar nor a 128x128 picture in an icons folder: the Welcome screen shows the default picture</source>
        <translation>es hat weder einen Avatar noch ein 128x128-Bild in einem icons-Ordner: der Startbildschirm zeigt das Standardbild</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::RepositoryState</name>
    <message>
        <source>Last checked on %1.</source>
        <translation>Zuletzt geprüft am %1.</translation>
    </message>
    <message>
        <source>Checking the repository for examples...</source>
        <translation>Das Repository wird nach Beispielen durchsucht...</translation>
    </message>
    <message>
        <source>Downloading and installing examples...</source>
        <translation>Beispiele werden heruntergeladen und installiert...</translation>
    </message>
    <message>
        <source>This repository is a private group: it needs an access token.</source>
        <translation>Dieses Repository ist eine private Gruppe: Es braucht ein Zugriffstoken.</translation>
    </message>
    <message>
        <source>Access denied: check the access token of this repository.</source>
        <translation>Zugriff verweigert: Prüfen Sie das Zugriffstoken dieses Repositorys.</translation>
    </message>
    <message>
        <source>Update failed: %1</source>
        <translation>Aktualisierung fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>check your online connection and try again later</source>
        <translation>Prüfen Sie Ihre Internetverbindung und versuchen Sie es später erneut</translation>
    </message>
    <message>
        <source>%1 of %2 examples were installed or updated.</source>
        <translation>%1 von %2 Beispielen wurden installiert oder aktualisiert.</translation>
    </message>
    <message numerus="yes">
        <source>%n more failed.</source>
        <translation>
            <numerusform>%n weiteres Beispiel ist fehlgeschlagen.</numerusform>
            <numerusform>%n weitere Beispiele sind fehlgeschlagen.</numerusform>
        </translation>
    </message>
    <message>
        <source>Automatic updates are off.</source>
        <translation>Automatische Aktualisierungen sind aus.</translation>
    </message>
    <message>
        <source>Up to date.</source>
        <translation>Aktuell.</translation>
    </message>
    <message>
        <source>the group is private or not found, and no access token is set</source>
        <translation>die Gruppe ist privat oder wurde nicht gefunden, und es ist kein Zugriffstoken gesetzt</translation>
    </message>
    <message>
        <source>the server refused the access token</source>
        <translation>der Server hat das Zugriffstoken abgelehnt</translation>
    </message>
    <message>
        <source>the lookup or listing failed</source>
        <translation>die Abfrage oder das Auflisten ist fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::Settings</name>
    <message>
        <source>it needs up to %1, and %2 is free on the disk of %3, of which %4 must stay free</source>
        <translation>es benötigt bis zu %1, und auf dem Datenträger von %3 sind %2 frei, von denen %4 frei bleiben müssen</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::TokenStore</name>
    <message>
        <source>The repository URL is not valid.</source>
        <translation>Die Adresse des Repositorys ist ungültig.</translation>
    </message>
    <message>
        <source>The access token contains control characters.</source>
        <translation>Das Zugriffstoken enthält Steuerzeichen.</translation>
    </message>
    <message>
        <source>The access token of %1 could not be read from the system keychain: %2</source>
        <translation>Das Zugriffstoken von %1 konnte nicht aus dem Schlüsselbund des Systems gelesen werden: %2</translation>
    </message>
    <message>
        <source>The access token of %1 could not be saved in the system keychain: %2</source>
        <translation>Das Zugriffstoken von %1 konnte nicht im Schlüsselbund des Systems gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Unable to cast repository from: %1</source>
        <translation>Repository kann nicht ermittelt werden aus: %1</translation>
    </message>
    <message>
        <source>example</source>
        <translation>Beispiel</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>This file is used by SDK to show image for example inside Welcome screen.
It is not the part of the example.</source>
        <translation>Diese Datei verwendet das SDK, um das Bild des Beispiels im Willkommensbildschirm anzuzeigen.
Sie ist nicht Teil des Beispiels.</translation>
    </message>
</context>
</TS>
