<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>Brindle::Internal::AccessTokenDialog</name>
    <message>
        <source>Access Token</source>
        <translation>Токен доступа</translation>
    </message>
    <message>
        <source>GitLab access token for repository &quot;%1&quot;. It needs the scopes read_api and read_repository and is kept in the system keychain, never in the settings file.</source>
        <translation>Токен доступа GitLab для репозитория &quot;%1&quot;. Ему нужны области read_api и read_repository; он хранится в системном хранилище ключей и никогда не записывается в файл настроек.</translation>
    </message>
    <message>
        <source>Enter a new token to replace the current one</source>
        <translation>Введите новый токен вместо текущего</translation>
    </message>
    <message>
        <source>Access token</source>
        <translation>Токен доступа</translation>
    </message>
    <message>
        <source>An access token cannot contain spaces or control characters.</source>
        <translation>Токен доступа не может содержать пробелы или управляющие символы.</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Remove the repository&apos;s access token when the page is applied</source>
        <translation>Удалить токен доступа репозитория при применении страницы</translation>
    </message>
    <message>
        <source>Show token</source>
        <translation>Показать токен</translation>
    </message>
    <message>
        <source>The system keychain has not said yet whether the repository has a token.</source>
        <translation>Системная связка ключей ещё не сообщила, есть ли у репозитория токен.</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ApiClient</name>
    <message>
        <source>Searching examples</source>
        <translation>Поиск примеров</translation>
    </message>
    <message>
        <source>Search error: request return null object</source>
        <translation>Ошибка поиска: запрос вернул пустой объект</translation>
    </message>
    <message>
        <source>Search error: request return wrong data - no id field</source>
        <translation>Ошибка поиска: запрос вернул неверные данные — нет поля «id»</translation>
    </message>
    <message>
        <source>API client is ready</source>
        <translation>API-клиент готов</translation>
    </message>
    <message>
        <source>Repository error: group id not found - unable to fetch examples</source>
        <translation>Ошибка репозитория: идентификатор группы не найден — невозможно получить примеры</translation>
    </message>
    <message>
        <source>Fetch examples</source>
        <translation>Получение примеров</translation>
    </message>
    <message>
        <source>Fetch error: request return null object</source>
        <translation>Ошибка получения: запрос вернул пустой объект</translation>
    </message>
    <message>
        <source>Fetch error: request return wrong data - no projects field</source>
        <translation>Ошибка получения: запрос вернул неверные данные — нет поля «projects»</translation>
    </message>
    <message>
        <source>Load examples</source>
        <translation>Загрузка примеров</translation>
    </message>
    <message>
        <source>Load demos</source>
        <translation>Загрузка демонстраций</translation>
    </message>
    <message>
        <source>Load unknow examples type</source>
        <translation>Загрузка примеров неизвестного типа</translation>
    </message>
    <message>
        <source>Downloading example: %1</source>
        <translation>Загрузка примера: %1</translation>
    </message>
    <message>
        <source>Unable to download image: %1</source>
        <translation>Не удалось загрузить изображение: %1</translation>
    </message>
    <message>
        <source>Fetch error: request return wrong data - no list of projects</source>
        <translation>Ошибка получения: запрос вернул неверные данные — нет списка проектов</translation>
    </message>
    <message>
        <source>Fetch error: the group lists more than %1 projects</source>
        <translation>Ошибка получения: в группе больше %1 проектов</translation>
    </message>
    <message>
        <source>Access denied by %1: check the access token of repository %2</source>
        <translation>Доступ запрещён сервером %1: проверьте токен доступа репозитория %2</translation>
    </message>
    <message>
        <source>A private group needs an access token: set one with &quot;Access token...&quot; on the options page.</source>
        <translation>Для закрытой группы нужен токен доступа: задайте его кнопкой &quot;Токен доступа...&quot; на странице настроек.</translation>
    </message>
    <message>
        <source>Fetch error: one answer lists more than %1 projects</source>
        <translation>Ошибка получения: в одном ответе больше %1 проектов</translation>
    </message>
    <message>
        <source>Fetch error: the group&apos;s projects exceed the limit of %1</source>
        <translation>Ошибка получения: проекты группы превышают предел в %1</translation>
    </message>
    <message>
        <source>its address is not valid</source>
        <translation>его адрес недействителен</translation>
    </message>
    <message>
        <source>its address names no group</source>
        <translation>в его адресе не указана группа</translation>
    </message>
    <message>
        <source>The group %1 was not found on %2.</source>
        <translation>Группа %1 не найдена на %2.</translation>
    </message>
    <message>
        <source>the group %1 was not found; a private group needs an access token</source>
        <translation>группа %1 не найдена; для закрытой группы нужен токен доступа</translation>
    </message>
    <message>
        <source>the group %1 was not found</source>
        <translation>группа %1 не найдена</translation>
    </message>
    <message>
        <source>the server gave the group no valid id</source>
        <translation>сервер не сообщил действительный идентификатор группы</translation>
    </message>
    <message>
        <source>the download was cancelled</source>
        <translation>загрузка отменена</translation>
    </message>
    <message>
        <source>The archive of %1 is damaged: %2</source>
        <translation>Архив %1 повреждён: %2</translation>
    </message>
    <message>
        <source>Fetch error: the server repeats the same page of projects</source>
        <translation>Ошибка получения: сервер повторяет одну и ту же страницу проектов</translation>
    </message>
    <message>
        <source>its address is no http or https address</source>
        <translation>его адрес не является адресом http или https</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ApiRequest</name>
    <message>
        <source>The server&apos;s answer exceeds the limit of %1: %2</source>
        <translation>Ответ сервера превышает предел в %1: %2</translation>
    </message>
    <message>
        <source>Unable to save the download of %1: %2</source>
        <translation>Не удалось сохранить загрузку %1: %2</translation>
    </message>
    <message>
        <source>The server sent the request on to another server, which is not given the access token: %1</source>
        <translation>Сервер перенаправил запрос на другой сервер, которому токен доступа не передаётся: %1</translation>
    </message>
    <message>
        <source>The server did not complete its answer within %1 seconds (the limit of %2 at %3 per second): %4</source>
        <translation>Сервер не завершил ответ за %1 с (предел %2 при %3 в секунду): %4</translation>
    </message>
    <message>
        <source>the answer exceeds the limit of %1</source>
        <translation>ответ превышает предел в %1</translation>
    </message>
    <message>
        <source>the server did not complete its answer within %1 s</source>
        <translation>сервер не завершил ответ за %1 с</translation>
    </message>
    <message>
        <source>the server sent the request on to another server</source>
        <translation>сервер перенаправил запрос на другой сервер</translation>
    </message>
    <message>
        <source>the server did not answer within %1 s</source>
        <translation>сервер не ответил за %1 с</translation>
    </message>
    <message>
        <source>The server did not answer within %1 s: %2</source>
        <translation>Сервер не ответил за %1 с: %2</translation>
    </message>
    <message>
        <source>HTTP %1</source>
        <translation>код HTTP %1</translation>
    </message>
    <message>
        <source>HTTP %1 %2</source>
        <translation>код HTTP %1 (%2)</translation>
    </message>
    <message>
        <source>the archive is damaged: %1</source>
        <translation>архив повреждён: %1</translation>
    </message>
    <message>
        <source>The archive is damaged: %1: %2</source>
        <translation>Архив повреждён: %1: %2</translation>
    </message>
    <message>
        <source>The archive is refused: %1: %2</source>
        <translation>Архив отклонён: %1: %2</translation>
    </message>
    <message>
        <source>The server did not complete its answer within %1 seconds, the longest any answer may take: %2</source>
        <translation>Сервер не завершил ответ за %1 с — наибольшее время, которое может занимать ответ: %2</translation>
    </message>
    <message>
        <source>The connection to %1 is refused, nothing was sent: %2</source>
        <translation>Соединение с %1 отклонено, ничего не отправлено: %2</translation>
    </message>
    <message>
        <source>The server sent the request on from https to plain http, which is refused: %1</source>
        <translation>Сервер перенаправил запрос с https на незащищённый http, что запрещено: %1</translation>
    </message>
    <message>
        <source>the server sent the request on from https to plain http</source>
        <translation>сервер перенаправил запрос с https на незащищённый http</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ArchiveVerifier</name>
    <message>
        <source>there is not enough memory</source>
        <translation>недостаточно памяти</translation>
    </message>
    <message>
        <source>it holds no tar archive</source>
        <translation>в нём нет tar-архива</translation>
    </message>
    <message>
        <source>a tar header is damaged</source>
        <translation>заголовок tar повреждён</translation>
    </message>
    <message>
        <source>the archive ends inside a tar header</source>
        <translation>архив обрывается посреди заголовка tar</translation>
    </message>
    <message>
        <source>member %1 is cut short</source>
        <translation>элемент %1 обрезан</translation>
    </message>
    <message>
        <source>member %1 is damaged</source>
        <translation>элемент %1 повреждён</translation>
    </message>
    <message>
        <source>the end-of-archive blocks are missing</source>
        <translation>отсутствуют блоки конца архива</translation>
    </message>
    <message>
        <source>member %1 would be written outside its folder</source>
        <translation>элемент %1 был бы записан за пределами своей папки</translation>
    </message>
    <message>
        <source>member %1 would be written through the link %2</source>
        <translation>элемент %1 был бы записан через ссылку %2</translation>
    </message>
    <message>
        <source>member %1 links to %2, outside its folder</source>
        <translation>элемент %1 ссылается на %2 за пределами своей папки</translation>
    </message>
    <message>
        <source>it holds more than the %1 entries allowed</source>
        <translation>в нём больше элементов, чем допустимо (%1)</translation>
    </message>
    <message>
        <source>member %1 lies %2 folders deep, more than the %3 allowed</source>
        <translation>уровень вложенности элемента %1 равен %2, больше допустимого %3</translation>
    </message>
    <message>
        <source>the path of member %1 is %2 bytes long, more than the %3 allowed</source>
        <translation>длина пути элемента %1 — %2 байт, больше допустимых %3</translation>
    </message>
    <message>
        <source>it unpacks to at least %1, more than the %2 allowed</source>
        <translation>в распакованном виде он занимает не меньше %1, больше допустимых %2</translation>
    </message>
    <message>
        <source>it cannot be read</source>
        <translation>его не удаётся прочитать</translation>
    </message>
    <message>
        <source>there is data after the end of the gzip stream</source>
        <translation>после конца потока gzip есть лишние данные</translation>
    </message>
    <message>
        <source>it is empty</source>
        <translation>он пуст</translation>
    </message>
    <message>
        <source>the gzip stream ends early</source>
        <translation>поток gzip преждевременно обрывается</translation>
    </message>
    <message>
        <source>there is not enough memory to inflate it</source>
        <translation>недостаточно памяти для его распаковки</translation>
    </message>
    <message>
        <source>it is not a gzip file</source>
        <translation>это не файл gzip</translation>
    </message>
    <message>
        <source>its CRC-32 does not match</source>
        <translation>его CRC-32 не совпадает</translation>
    </message>
    <message>
        <source>its length does not match</source>
        <translation>его длина не совпадает</translation>
    </message>
    <message>
        <source>its compressed data is corrupt</source>
        <translation>его сжатые данные повреждены</translation>
    </message>
    <message>
        <source>it cannot be opened: %1</source>
        <translation>его не удаётся открыть: %1</translation>
    </message>
    <message>
        <source>its tar stream is larger than the %1 it may unpack to</source>
        <translation>его поток tar больше, чем %1, до которых его можно распаковать</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::BrindlePlugin</name>
    <message>
        <source>Examples</source>
        <translation>Примеры</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::CertificateCheck</name>
    <message>
        <source>the server&apos;s certificate has expired</source>
        <translation>срок действия сертификата сервера истёк</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is not valid yet</source>
        <translation>сертификат сервера ещё не действителен</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is made out to another host name</source>
        <translation>сертификат сервера выдан на другое имя узла</translation>
    </message>
    <message>
        <source>the server&apos;s certificate has been revoked</source>
        <translation>сертификат сервера отозван</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is issued by an authority this system does not trust</source>
        <translation>сертификат сервера выдан центром сертификации, которому эта система не доверяет</translation>
    </message>
    <message>
        <source>the server sent no certificate</source>
        <translation>сервер не прислал сертификат</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is not accepted: %1</source>
        <translation>сертификат сервера не принят: %1</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is not accepted</source>
        <translation>сертификат сервера не принят</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::DownloadService</name>
    <message>
        <source>Skip downloading examples - unable to find repository for name: %1</source>
        <translation>Загрузка примеров пропущена — не найден репозиторий с именем: %1</translation>
    </message>
    <message>
        <source>API client is not ready - restarting</source>
        <translation>API-клиент не готов — перезапуск</translation>
    </message>
    <message>
        <source>Skip downloading examples - unable to find repository for url: %1</source>
        <translation>Загрузка примеров пропущена — не найден репозиторий с адресом: %1</translation>
    </message>
    <message>
        <source>Skip saving example %1 - unable to find repository name for url: %2</source>
        <translation>Сохранение примера %1 пропущено — не найдено имя репозитория для адреса: %2</translation>
    </message>
    <message>
        <source>the access token changed</source>
        <translation>токен доступа изменён</translation>
    </message>
    <message>
        <source>the repository was looked up again</source>
        <translation>репозиторий запрошен заново</translation>
    </message>
    <message>
        <source>the server does not list it</source>
        <translation>его нет в списке сервера</translation>
    </message>
    <message>
        <source>it was removed</source>
        <translation>он был удалён</translation>
    </message>
    <message>
        <source>it was asked for again</source>
        <translation>он был запрошен снова</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ExampleInstaller</name>
    <message>
        <source>Unable to save the archive of example %1: %2</source>
        <translation>Не удалось сохранить архив примера %1: %2</translation>
    </message>
    <message>
        <source>Unable to create a directory in: %1</source>
        <translation>Не удалось создать каталог в: %1</translation>
    </message>
    <message>
        <source>Skip registering example %1 - the archive holds no directory of it</source>
        <translation>Регистрация примера %1 пропущена — в архиве нет его каталога</translation>
    </message>
    <message>
        <source>There was an error while creating example mainfest</source>
        <translation>Ошибка при создании манифеста примера</translation>
    </message>
    <message>
        <source>The data is not downloaded for example: %1</source>
        <translation>Данные примера не загружены: %1</translation>
    </message>
    <message>
        <source>Skip saving example %1 - unsafe name: %2</source>
        <translation>Сохранение примера %1 пропущено — небезопасное имя: %2</translation>
    </message>
    <message>
        <source>Unpacking example: %1</source>
        <translation>Распаковка примера: %1</translation>
    </message>
    <message>
        <source>Downloaded file is not an archive</source>
        <translation>Загруженный файл не является архивом</translation>
    </message>
    <message>
        <source>There was an error while unarchiving</source>
        <translation>Ошибка при распаковке архива</translation>
    </message>
    <message>
        <source>Skip registering example %1 - its files could not be checked: %2</source>
        <translation>Регистрация примера %1 пропущена – не удалось проверить его файлы: %2</translation>
    </message>
    <message>
        <source>Skip installing example %1 - it unpacks to more than %2 MiB, the limit set by MaxUnpackedMegabytes</source>
        <translation>Установка примера %1 пропущена – в распакованном виде он занимает больше %2 МиБ, предела MaxUnpackedMegabytes</translation>
    </message>
    <message>
        <source>some of its files could not be deleted</source>
        <translation>некоторые его файлы не удалось удалить</translation>
    </message>
    <message>
        <source>it unpacks to more than %1 MiB, the limit set by MaxUnpackedMegabytes</source>
        <translation>в распакованном виде он занимает больше %1 МиБ, предела MaxUnpackedMegabytes</translation>
    </message>
    <message>
        <source>the installed copy could not be moved aside</source>
        <translation>не удалось убрать установленную копию в сторону</translation>
    </message>
    <message>
        <source>the new copy could not be moved into place</source>
        <translation>не удалось поставить новую копию на место</translation>
    </message>
    <message>
        <source>the new copy could not be moved into place, and the old one could not be put back: it is in %1</source>
        <translation>не удалось поставить новую копию на место, а старую не удалось вернуть: она находится в %1</translation>
    </message>
    <message>
        <source>the archive holds no folder of it</source>
        <translation>в архиве нет его папки</translation>
    </message>
    <message>
        <source>its files could not be checked: %1</source>
        <translation>не удалось проверить его файлы: %1</translation>
    </message>
    <message>
        <source>its manifest could not be written</source>
        <translation>не удалось записать его манифест</translation>
    </message>
    <message>
        <source>Unable to install example %1 into %2: %3</source>
        <translation>Не удалось установить пример %1 в %2: %3</translation>
    </message>
    <message>
        <source>its name is not a safe folder name</source>
        <translation>его имя не подходит как безопасное имя папки</translation>
    </message>
    <message>
        <source>asked for again</source>
        <translation>запрошен повторно</translation>
    </message>
    <message>
        <source>removed</source>
        <translation>удалён</translation>
    </message>
    <message>
        <source>its archive is empty</source>
        <translation>его архив пуст</translation>
    </message>
    <message>
        <source>the archive is damaged: %1</source>
        <translation>архив повреждён: %1</translation>
    </message>
    <message>
        <source>The archive of %1 is damaged: %2</source>
        <translation>Архив %1 повреждён: %2</translation>
    </message>
    <message>
        <source>Skip installing example %1 - %2</source>
        <translation>Установка примера %1 пропущена — %2</translation>
    </message>
    <message>
        <source>no tool was found to unpack it: %1</source>
        <translation>не найдена программа для распаковки: %1</translation>
    </message>
    <message>
        <source>the unarchiver failed</source>
        <translation>ошибка программы распаковки</translation>
    </message>
    <message>
        <source>the unarchiver failed: %1</source>
        <translation>ошибка программы распаковки: %1</translation>
    </message>
    <message>
        <source>the folder %1 could not be created</source>
        <translation>не удалось создать папку %1</translation>
    </message>
    <message>
        <source>too many copies of it were kept within the same second</source>
        <translation>в одну и ту же секунду сохранено слишком много его копий</translation>
    </message>
    <message>
        <source>it has no project file (CMakeLists.txt or *.pro) in its top folder</source>
        <translation>в его верхней папке нет файла проекта (CMakeLists.txt или *.pro)</translation>
    </message>
    <message>
        <source>Skip registering example %1 - %2</source>
        <translation>Пример %1 не регистрируется – %2</translation>
    </message>
    <message>
        <source>your changes to it could not be kept: %1</source>
        <translation>ваши изменения в нём не удалось сохранить: %1</translation>
    </message>
    <message>
        <source>Your changes to %1 were kept in %2</source>
        <translation>Ваши изменения в %1 сохранены в %2</translation>
    </message>
    <message>
        <source>it was removed</source>
        <translation>он был удалён</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ExampleResult</name>
    <message>
        <source>%1 was installed.</source>
        <translation>Пример %1 установлен.</translation>
    </message>
    <message>
        <source>%1 was updated.</source>
        <translation>Пример %1 обновлён.</translation>
    </message>
    <message>
        <source>%1 was skipped.</source>
        <translation>Пример %1 пропущен.</translation>
    </message>
    <message>
        <source>%1 was skipped: %2.</source>
        <translation>Пример %1 пропущен: %2.</translation>
    </message>
    <message>
        <source>%1 could not be installed: %2.</source>
        <translation>Не удалось установить пример %1: %2.</translation>
    </message>
    <message>
        <source>%1 was removed.</source>
        <translation>Пример %1 удалён.</translation>
    </message>
    <message>
        <source>%1 could not be removed: %2.</source>
        <translation>Не удалось удалить пример %1: %2.</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::ExamplesDialog</name>
    <message>
        <source>Select Examples to Install</source>
        <translation>Выберите примеры для установки</translation>
    </message>
    <message>
        <source>Filter examples</source>
        <translation>Фильтр примеров</translation>
    </message>
    <message>
        <source>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Name:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Description:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Updated:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%3&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Location:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%4&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</source>
        <translation>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Имя:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Описание:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Обновлён:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%3&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Расположение:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%4&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</translation>
    </message>
    <message>
        <source>Examples of the repository</source>
        <translation>Примеры репозитория</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>%1 (installed)</source>
        <translation>%1 (установлен)</translation>
    </message>
    <message>
        <source>Installed: choosing it installs it again.</source>
        <translation>Установлен: если выбрать его, он будет установлен заново.</translation>
    </message>
    <message>
        <source>%1 (will be installed)</source>
        <translation>%1 (будет установлен)</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::OptionsWidget</name>
    <message>
        <source>Add or remove examples from selected repository</source>
        <translation>Добавление и удаление примеров выбранного репозитория</translation>
    </message>
    <message>
        <source>Installed Examples</source>
        <translation>Установленные примеры</translation>
    </message>
    <message>
        <source>Selected repository name</source>
        <translation>Имя выбранного репозитория</translation>
    </message>
    <message>
        <source>Add examples from online repository</source>
        <translation>Добавить примеры из онлайн-репозитория</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Добавить...</translation>
    </message>
    <message>
        <source>Remove selected installed examples</source>
        <translation>Удалить выбранные установленные примеры</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>List of installed examples</source>
        <translation>Список установленных примеров</translation>
    </message>
    <message>
        <source>Filter examples</source>
        <translation>Фильтр примеров</translation>
    </message>
    <message>
        <source>Repository:</source>
        <translation>Репозиторий:</translation>
    </message>
    <message>
        <source>Online Updates</source>
        <translation>Онлайн-обновления</translation>
    </message>
    <message>
        <source>Check every</source>
        <translation>Проверять каждые</translation>
    </message>
    <message>
        <source>Timeout for checking example updates and downloading new examples.
Set 0 to disable automatic updates.</source>
        <translation>Интервал проверки обновлений примеров и загрузки новых примеров.
Укажите 0, чтобы отключить автоматические обновления.</translation>
    </message>
    <message>
        <source>day(s)</source>
        <translation>дн.</translation>
    </message>
    <message>
        <source>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Location:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Updated:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Status:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%3&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</source>
        <translation>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Расположение:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Обновлён:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Состояние:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%3&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</translation>
    </message>
    <message>
        <source>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Folder:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Link:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</source>
        <translation>&lt;table&gt;&lt;tbody&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Папка:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%1&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td style=&quot;width: 40%;&quot;&gt;Ссылка:&amp;nbsp;&lt;/td&gt;&lt;td style=&quot;width: 60%;&quot;&gt;%2&lt;/td&gt;&lt;/tr&gt;&lt;/tbody&gt;&lt;/table&gt;</translation>
    </message>
    <message>
        <source>Updated</source>
        <translation>Актуален</translation>
    </message>
    <message>
        <source>Update available</source>
        <translation>Доступно обновление</translation>
    </message>
    <message>
        <source>Examples Not Found</source>
        <translation>Примеры не найдены</translation>
    </message>
    <message>
        <source>Check your online connection and try again later!</source>
        <translation>Проверьте подключение к сети и повторите попытку позже!</translation>
    </message>
    <message>
        <source>Set or clear the GitLab access token of the selected repository (for private groups)</source>
        <translation>Задать или удалить токен доступа GitLab выбранного репозитория (для закрытых групп)</translation>
    </message>
    <message>
        <source>Access token...</source>
        <translation>Токен доступа...</translation>
    </message>
    <message>
        <source>Access token: removed when you apply</source>
        <translation>Токен доступа: будет удалён при применении</translation>
    </message>
    <message>
        <source>Access token: saved when you apply</source>
        <translation>Токен доступа: будет сохранён при применении</translation>
    </message>
    <message>
        <source>Access token: unknown</source>
        <translation>Токен доступа: неизвестно</translation>
    </message>
    <message>
        <source>Access token: being read from the system keychain...</source>
        <translation>Токен доступа: читается из системного хранилища ключей...</translation>
    </message>
    <message>
        <source>Access token: none</source>
        <translation>Токен доступа: нет</translation>
    </message>
    <message>
        <source>Access token: set</source>
        <translation>Токен доступа: задан</translation>
    </message>
    <message>
        <source>Access token: set (this session only)</source>
        <translation>Токен доступа: задан (только на этот сеанс)</translation>
    </message>
    <message>
        <source>No system keychain is available: the access token is kept for this session only.</source>
        <translation>Системное хранилище ключей недоступно: токен доступа сохраняется только на этот сеанс.</translation>
    </message>
    <message>
        <source>Install the selected examples again from the online repository when the page is applied</source>
        <translation>Заново установить выбранные примеры из онлайн-репозитория при применении страницы</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Обновить</translation>
    </message>
    <message>
        <source>Installed examples</source>
        <translation>Установленные примеры</translation>
    </message>
    <message>
        <source>Filter installed examples</source>
        <translation>Фильтр установленных примеров</translation>
    </message>
    <message>
        <source>Check for updates every (days)</source>
        <translation>Проверять обновления каждые (дней)</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Выкл.</translation>
    </message>
    <message>
        <source>%1 (update available)</source>
        <translation>%1 (доступно обновление)</translation>
    </message>
    <message>
        <source>%1 (will be installed)</source>
        <translation>%1 (будет установлен)</translation>
    </message>
    <message>
        <source>%1 (will be updated)</source>
        <translation>%1 (будет обновлён)</translation>
    </message>
    <message>
        <source>%1 (will be removed)</source>
        <translation>%1 (будет удалён)</translation>
    </message>
    <message>
        <source>%1 (installing...)</source>
        <translation>%1 (устанавливается...)</translation>
    </message>
    <message>
        <source>%1 (being removed...)</source>
        <translation>%1 (удаляется...)</translation>
    </message>
    <message>
        <source>Will be installed when you apply</source>
        <translation>Будет установлен при применении</translation>
    </message>
    <message>
        <source>Will be updated when you apply</source>
        <translation>Будет обновлён при применении</translation>
    </message>
    <message>
        <source>Will be removed when you apply</source>
        <translation>Будет удалён при применении</translation>
    </message>
    <message>
        <source>Being installed</source>
        <translation>Устанавливается</translation>
    </message>
    <message>
        <source>Being removed</source>
        <translation>Удаляется</translation>
    </message>
    <message>
        <source>Examples Still Loading</source>
        <translation>Примеры ещё загружаются</translation>
    </message>
    <message>
        <source>The examples of repository %1 are still being loaded. Try again in a moment.</source>
        <translation>Примеры репозитория %1 ещё загружаются. Повторите попытку через минуту.</translation>
    </message>
    <message>
        <source>Access Token Needed</source>
        <translation>Нужен токен доступа</translation>
    </message>
    <message>
        <source>Repository %1 is a private group: set its access token with &quot;Access token...&quot; and apply it first.</source>
        <translation>Репозиторий %1 — закрытая группа: сначала задайте его токен доступа кнопкой &quot;Токен доступа...&quot; и примените его.</translation>
    </message>
    <message>
        <source>Access Denied</source>
        <translation>Доступ запрещён</translation>
    </message>
    <message>
        <source>The server refused the access token of repository %1: set a valid one with &quot;Access token...&quot;.</source>
        <translation>Сервер отклонил токен доступа репозитория %1: задайте действительный кнопкой &quot;Токен доступа...&quot;.</translation>
    </message>
    <message>
        <source>Repository status</source>
        <translation>Состояние репозитория</translation>
    </message>
    <message>
        <source>%1 (could not be installed: %2)</source>
        <translation>%1 (не удалось установить: %2)</translation>
    </message>
    <message>
        <source>%1 (could not be removed: %2)</source>
        <translation>%1 (не удалось удалить: %2)</translation>
    </message>
    <message>
        <source>Could not be installed</source>
        <translation>Не удалось установить</translation>
    </message>
    <message>
        <source>Could not be removed</source>
        <translation>Не удалось удалить</translation>
    </message>
    <message>
        <source>%1 (changed locally)</source>
        <translation>%1 (изменён локально)</translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <translation>
            <numerusform>%1 и ещё %n</numerusform>
            <numerusform>%1 и ещё %n</numerusform>
            <numerusform>%1 и ещё %n</numerusform>
        </translation>
    </message>
    <message>
        <source>Remove Changed Examples</source>
        <translation>Удаление изменённых примеров</translation>
    </message>
    <message>
        <source>You changed these examples since they were installed. Removing them deletes your changes for good:

%1

Remove them anyway?</source>
        <translation>Вы изменили эти примеры после их установки. Удаление безвозвратно уничтожит ваши изменения:

%1

Всё равно удалить?</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::Plugin</name>
    <message>
        <source>Open location...</source>
        <translation>Открыть расположение...</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::RepositoryCheck</name>
    <message>
        <source>no folder could be made to install the examples into: %1</source>
        <translation>не удалось создать папку для установки примеров: %1</translation>
    </message>
    <message>
        <source>the check ended before this project was done</source>
        <translation>проверка закончилась раньше, чем был обработан этот проект</translation>
    </message>
    <message>
        <source>the check ended before the group was listed</source>
        <translation>проверка закончилась раньше, чем был получен список группы</translation>
    </message>
    <message>
        <source>the group search returns other groups before this one: %1; the plugin skips them, but each costs a request, and a group that anyone names so could push this one beyond the pages searched</source>
        <translation>поиск групп возвращает другие группы раньше этой: %1; модуль их пропускает, но каждая стоит запроса, а группа с таким именем, созданная кем угодно, может вытеснить эту за пределы просматриваемых страниц</translation>
    </message>
    <message>
        <source>the group has no public projects</source>
        <translation>в группе нет публичных проектов</translation>
    </message>
    <message>
        <source>it has no description; Qt Creator logs a warning for it</source>
        <translation>у него нет описания; Qt Creator записывает об этом предупреждение в журнал</translation>
    </message>
    <message>
        <source>its name differs only in case from %1: one folder on a file system that ignores case</source>
        <translation>его имя отличается от %1 только регистром: на файловой системе без учёта регистра это одна папка</translation>
    </message>
    <message>
        <source>its name &quot;%1&quot; cannot be a folder name: the plugin skips it</source>
        <translation>его имя «%1» не может быть именем папки: модуль его пропускает</translation>
    </message>
    <message>
        <source>its archive is %1, more than %2: every user downloads it</source>
        <translation>его архив занимает %1, больше чем %2: его скачивает каждый пользователь</translation>
    </message>
    <message>
        <source>it unpacks to %1, more than %2</source>
        <translation>в распакованном виде он занимает %1, больше чем %2</translation>
    </message>
    <message>
        <source>its avatar is too large to be shown (%1); keep it below 1 MiB and 2048 x 2048 pixels</source>
        <translation>его аватар слишком велик для показа (%1); он должен быть меньше 1 МиБ и 2048 x 2048 пикселей</translation>
    </message>
    <message>
        <source>its archive could not be downloaded: %1</source>
        <translation>не удалось скачать его архив: %1</translation>
    </message>
    <message>
        <source>it was not installed</source>
        <translation>он не был установлен</translation>
    </message>
    <message>
        <source>it has neither an avatar nor a 128x128 picture in an icons folder: the Welcome screen shows the default picture</source>
        <translation>у него нет ни аватара, ни изображения 128x128 в папке icons: на экране приветствия будет изображение по умолчанию</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::RepositoryState</name>
    <message>
        <source>Last checked on %1.</source>
        <translation>Последняя проверка: %1.</translation>
    </message>
    <message>
        <source>Checking the repository for examples...</source>
        <translation>Поиск примеров в репозитории...</translation>
    </message>
    <message>
        <source>Downloading and installing examples...</source>
        <translation>Загрузка и установка примеров...</translation>
    </message>
    <message>
        <source>This repository is a private group: it needs an access token.</source>
        <translation>Этот репозиторий — закрытая группа: нужен токен доступа.</translation>
    </message>
    <message>
        <source>Access denied: check the access token of this repository.</source>
        <translation>Доступ запрещён: проверьте токен доступа этого репозитория.</translation>
    </message>
    <message>
        <source>Update failed: %1</source>
        <translation>Не удалось обновить: %1</translation>
    </message>
    <message>
        <source>check your online connection and try again later</source>
        <translation>проверьте подключение к сети и повторите попытку позже</translation>
    </message>
    <message>
        <source>%1 of %2 examples were installed or updated.</source>
        <translation>Установлено или обновлено примеров: %1 из %2.</translation>
    </message>
    <message numerus="yes">
        <source>%n more failed.</source>
        <translation>
            <numerusform>Ещё %n пример с ошибкой.</numerusform>
            <numerusform>Ещё %n примера с ошибкой.</numerusform>
            <numerusform>Ещё %n примеров с ошибкой.</numerusform>
        </translation>
    </message>
    <message>
        <source>Automatic updates are off.</source>
        <translation>Автоматические обновления выключены.</translation>
    </message>
    <message>
        <source>Up to date.</source>
        <translation>Всё актуально.</translation>
    </message>
    <message>
        <source>the group is private or not found, and no access token is set</source>
        <translation>группа закрыта или не найдена, а токен доступа не задан</translation>
    </message>
    <message>
        <source>the server refused the access token</source>
        <translation>сервер отклонил токен доступа</translation>
    </message>
    <message>
        <source>the lookup or listing failed</source>
        <translation>не удалось найти группу или получить список примеров</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::Settings</name>
    <message>
        <source>it needs up to %1, and %2 is free on the disk of %3, of which %4 must stay free</source>
        <translation>требуется до %1, а на диске с %3 свободно %2, из которых %4 должны остаться свободными</translation>
    </message>
</context>
<context>
    <name>Brindle::Internal::TokenStore</name>
    <message>
        <source>The repository URL is not valid.</source>
        <translation>Недопустимый адрес репозитория.</translation>
    </message>
    <message>
        <source>The access token contains control characters.</source>
        <translation>Токен доступа содержит управляющие символы.</translation>
    </message>
    <message>
        <source>The access token of %1 could not be read from the system keychain: %2</source>
        <translation>Не удалось прочитать токен доступа для %1 из системного хранилища ключей: %2</translation>
    </message>
    <message>
        <source>The access token of %1 could not be saved in the system keychain: %2</source>
        <translation>Не удалось сохранить токен доступа для %1 в системном хранилище ключей: %2</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Unable to cast repository from: %1</source>
        <translation>Не удалось получить репозиторий из: %1</translation>
    </message>
    <message>
        <source>example</source>
        <translation>пример</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Описание</translation>
    </message>
    <message>
        <source>This file is used by SDK to show image for example inside Welcome screen.
It is not the part of the example.</source>
        <translation>Этот файл используется SDK для показа изображения примера на экране приветствия.
Он не является частью примера.</translation>
    </message>
</context>
</TS>
