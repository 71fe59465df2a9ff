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
</context>
<context>
    <name>Brindle::Internal::BrindlePlugin</name>
    <message>
        <source>Examples</source>
        <translation>Beispiele</translation>
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
        <source>Unable to install example %1 into: %2</source>
        <translation>Beispiel %1 kann nicht installiert werden in: %2</translation>
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
        <source>%1 (could not be installed)</source>
        <translation>%1 (konnte nicht installiert werden)</translation>
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
        <source>Could not be installed; the status below says why</source>
        <translation>Konnte nicht installiert werden; der Status unten nennt den Grund</translation>
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
        <source>Checking the repository for examples...</source>
        <translation>Das Repository wird nach Beispielen durchsucht...</translation>
    </message>
    <message>
        <source>Downloading and installing examples...</source>
        <translation>Beispiele werden heruntergeladen und installiert...</translation>
    </message>
    <message>
        <source>Up to date.</source>
        <translation>Aktuell.</translation>
    </message>
    <message>
        <source>Up to date, last checked on %1.</source>
        <translation>Aktuell, zuletzt geprüft am %1.</translation>
    </message>
    <message>
        <source>Automatic updates are off.</source>
        <translation>Automatische Aktualisierungen sind aus.</translation>
    </message>
    <message>
        <source>Automatic updates are off, last checked on %1.</source>
        <translation>Automatische Aktualisierungen sind aus, zuletzt geprüft am %1.</translation>
    </message>
    <message>
        <source>Update failed: %1</source>
        <translation>Aktualisierung fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Last checked on %1.</source>
        <translation>Zuletzt geprüft am %1.</translation>
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
        <source>Could not install: %1. The IDE&apos;s log has the details.</source>
        <translation>Nicht installiert werden konnte: %1. Einzelheiten stehen im Protokoll der IDE.</translation>
    </message>
    <message>
        <source>Repository status</source>
        <translation>Status des Repositorys</translation>
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
