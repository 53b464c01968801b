<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>cli::main</name>
    <message>
        <source>Аргумент %1 («%2») - не текст в кодировке UTF-8.
Справка: lumvaris-cli --help
</source>
        <translation>Argument %1 («%2») is not UTF-8 text.
Help: lumvaris-cli --help
</translation>
    </message>
    <message>
        <source>Каталог данных «%1» не создаётся.</source>
        <translation>The data directory «%1» cannot be created.</translation>
    </message>
</context>
<context>
    <name>commands::AddressRules</name>
    <message>
        <source>Адрес %1 не может быть адресом концентратора: адреса 1000..1FFF принадлежат счётчикам, и ответы концентратора приняли бы за пакеты счётчиков. Связь с концентратором была бы потеряна.</source>
        <translation>Address %1 cannot be a concentrator address: addresses 1000..1FFF belong to meters, and the concentrator&apos;s replies would be taken for meter packets. The connection with the concentrator would be lost.</translation>
    </message>
    <message>
        <source>Адрес FFFF — адрес самой программы; концентратор с этим адресом был бы недоступен.</source>
        <translation>Address FFFF is the address of the program itself; a concentrator with this address would be unreachable.</translation>
    </message>
</context>
<context>
    <name>commands::Catalogue</name>
    <message>
        <source>Пароль неверный!</source>
        <translation>Wrong password!</translation>
    </message>
    <message>
        <source>Команда недоступна, введите пароль!</source>
        <translation>Command not available, enter the password!</translation>
    </message>
</context>
<context>
    <name>commands::ModeTable</name>
    <message>
        <source>Прочитать</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Отладка</source>
        <translation>Debug</translation>
    </message>
    <message>
        <source>Прочитать всё</source>
        <translation>Read all</translation>
    </message>
    <message>
        <source>Очистить всё</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <source>Очистить </source>
        <translation>Clear </translation>
    </message>
    <message>
        <source>Загрузить новую</source>
        <translation>Load new</translation>
    </message>
    <message>
        <source>Загрузить новую (устар.)</source>
        <translation>Load new (legacy)</translation>
    </message>
    <message>
        <source>Выполнить</source>
        <translation>Execute</translation>
    </message>
    <message>
        <source>в Clipboard</source>
        <translation>to Clipboard</translation>
    </message>
</context>
<context>
    <name>commands::PlcCommands</name>
    <message>
        <source>Команда не задана: введите её байты в шестнадцатеричном виде.</source>
        <translation>No command given: enter its bytes in hexadecimal.</translation>
    </message>
    <message>
        <source>Команда слишком длинная (%1 байт): не более %2 байт, %3 блоков по 4 байта.</source>
        <translation>The command is too long (%1 bytes): at most %2 bytes, %3 blocks of 4 bytes.</translation>
    </message>
    <message>
        <source>с кодом U+%1</source>
        <translation>with code U+%1</translation>
    </message>
    <message>
        <source>Команда содержит символ %1 (позиция %2), который не является шестнадцатеричной цифрой: введите байты команды цифрами 0-9 и A-F, при желании разделяя их пробелами.</source>
        <translation>The command contains the character %1 (position %2), which is not a hexadecimal digit: enter the command bytes with the digits 0-9 and A-F, optionally separated by spaces.</translation>
    </message>
</context>
<context>
    <name>commands::ReadAllLoop</name>
    <message>
        <source>без ответа %1, записи %2, без данных %3</source>
        <translation>no reply %1, records %2, no data %3</translation>
    </message>
    <message>
        <source>Стоп %1/%2: </source>
        <translation>Stop %1/%2: </translation>
    </message>
    <message>
        <source>Все %1: </source>
        <translation>All %1: </translation>
    </message>
</context>
<context>
    <name>commands::Records</name>
    <message>
        <source>Понедельник</source>
        <translation>Monday</translation>
    </message>
    <message>
        <source>Вторник</source>
        <translation>Tuesday</translation>
    </message>
    <message>
        <source>Среда</source>
        <translation>Wednesday</translation>
    </message>
    <message>
        <source>Четверг</source>
        <translation>Thursday</translation>
    </message>
    <message>
        <source>Пятница</source>
        <translation>Friday</translation>
    </message>
    <message>
        <source>Суббота</source>
        <translation>Saturday</translation>
    </message>
    <message>
        <source>Воскресенье</source>
        <translation>Sunday</translation>
    </message>
    <message>
        <source>откл. %1 с</source>
        <translation>off. %1 s</translation>
    </message>
</context>
<context>
    <name>commands::ReplyHandler</name>
    <message>
        <source>Ошибка! PLC-буфер концентратора переполнен.</source>
        <translation>Error! The concentrator&apos;s PLC buffer is full.</translation>
    </message>
    <message>
        <source>Дата последнего старта концентратора недопустима: день %1, месяц %2, год %3.</source>
        <translation>The concentrator&apos;s last start date is invalid: day %1, month %2, year %3.</translation>
    </message>
    <message>
        <source>Часы концентратора показывают недопустимые дату и время: %1.%2.%3 %4:%5:%6.</source>
        <translation>The concentrator&apos;s clock shows an invalid date and time: %1.%2.%3 %4:%5:%6.</translation>
    </message>
    <message>
        <source>Ошибка преобразования даты и времени в записи буфера счётчика.</source>
        <translation>Error converting the date and time in a meter buffer record.</translation>
    </message>
</context>
<context>
    <name>commands::RequestStatusText</name>
    <message>
        <source>Ошибка!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>Нет данных ...</source>
        <translation>No data ...</translation>
    </message>
    <message>
        <source>Память очищена</source>
        <translation>Memory cleared</translation>
    </message>
</context>
<context>
    <name>commands::Text1251</name>
    <message>
        <source>%1 не отправлен: в нём %2 символов, а концентратору можно передать не больше %3.</source>
        <translation>%1 not sent: it has %2 characters, and the concentrator accepts at most %3.</translation>
    </message>
    <message>
        <source>%1 не отправлен: символ «%2» (U+%3) не входит в кодовую страницу 1251.</source>
        <translation>%1 not sent: the character «%2» (U+%3) is not in code page 1251.</translation>
    </message>
    <message>
        <source>%1 не отправлен: его нельзя записать в кодовой странице 1251.</source>
        <translation>%1 not sent: it cannot be written in code page 1251.</translation>
    </message>
</context>
<context>
    <name>firmware::FirmwareFile</name>
    <message>
        <source>Не удалось открыть файл<byte value="xd"/>
&apos;%1&apos;:<byte value="xd"/>
%2</source>
        <translation>Could not open the file<byte value="xd"/>
&apos;%1&apos;:<byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>Не удалось прочитать файл<byte value="xd"/>
&apos;%1&apos;:<byte value="xd"/>
%2</source>
        <translation>Could not read the file<byte value="xd"/>
&apos;%1&apos;:<byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>Файл<byte value="xd"/>
&apos;%1&apos;<byte value="xd"/>
слишком велик для прошивки концентратора (допустимо не более %2 байт).</source>
        <translation>The file<byte value="xd"/>
&apos;%1&apos;<byte value="xd"/>
is too large for the concentrator&apos;s firmware (at most %2 bytes allowed).</translation>
    </message>
    <message>
        <source>Файл слишком велик для прошивки концентратора: %1 байт (допустимо не более %2).</source>
        <translation>The file is too large for the concentrator&apos;s firmware: %1 bytes (at most %2 allowed).</translation>
    </message>
    <message>
        <source>Строка %1 файла слишком длинная (длина %2): в один запрос помещается не более %3 символов.<byte value="xd"/>
Прошивка не начата.</source>
        <translation>Line %1 of the file is too long (length %2): one request holds at most %3 characters.<byte value="xd"/>
The upload was not started.</translation>
    </message>
</context>
<context>
    <name>firmware::FirmwareUpload</name>
    <message>
        <source>Ответ концентратора: </source>
        <translation>Concentrator reply: </translation>
    </message>
    <message>
        <source>В файле &apos;%1&apos; нет ни одной записи данных: прошивать нечего.<byte value="xd"/>
Концентратору ничего не отправлено. Выберите файл с прошивкой.</source>
        <translation>The file &apos;%1&apos; has no data records: there is nothing to upload.<byte value="xd"/>
Nothing was sent to the concentrator. Choose a firmware file.</translation>
    </message>
    <message>
        <source><byte value="xd"/>
Подтверждено строк: %1 из %2.</source>
        <translation><byte value="xd"/>
Lines acknowledged: %1 of %2.</translation>
    </message>
    <message>
        <source>Прошивка прервана: концентратор не подтвердил строку %1 после %2 попыток.</source>
        <translation>Upload aborted: the concentrator did not acknowledge line %1 after %2 attempts.</translation>
    </message>
    <message>
        <source>Прошивка отменена.</source>
        <translation>Upload cancelled.</translation>
    </message>
    <message>
        <source>Прошивка прервана: связь с концентратором потеряна%1.</source>
        <translation>Upload aborted: the connection with the concentrator was lost%1.</translation>
    </message>
    <message>
        <source>Прошивка не начата: связь с концентратором потеряна%1.</source>
        <translation>Upload not started: the connection with the concentrator was lost%1.</translation>
    </message>
    <message>
        <source>Начать прошивку из файла<byte value="xd"/>
&apos;%1&apos;?</source>
        <translation>Start the firmware upload from the file<byte value="xd"/>
&apos;%1&apos;?</translation>
    </message>
</context>
<context>
    <name>firmware::IntelHexCheck</name>
    <message>
        <source>строка %1: </source>
        <translation>line %1: </translation>
    </message>
    <message>
        <source>нет двоеточия в начале</source>
        <translation>no colon at the start</translation>
    </message>
    <message>
        <source>символ, который не является шестнадцатеричной цифрой</source>
        <translation>a character that is not a hexadecimal digit</translation>
    </message>
    <message>
        <source>нечётное число шестнадцатеричных цифр</source>
        <translation>an odd number of hexadecimal digits</translation>
    </message>
    <message>
        <source>число байтов данных не совпадает с длиной записи</source>
        <translation>the number of data bytes does not match the record length</translation>
    </message>
    <message>
        <source>неверная контрольная сумма записи</source>
        <translation>wrong record checksum</translation>
    </message>
    <message>
        <source>запись конца файла стоит не последней</source>
        <translation>the end-of-file record is not the last one</translation>
    </message>
    <message>
        <source>в файле нет записи конца файла :00000001FF</source>
        <translation>the file has no end-of-file record :00000001FF</translation>
    </message>
    <message>
        <source>последняя запись не является записью конца файла :00000001FF</source>
        <translation>the last record is not the end-of-file record :00000001FF</translation>
    </message>
    <message>
        <source>Внимание! Файл не соответствует формату Intel-HEX:</source>
        <translation>Warning! The file does not follow the Intel HEX format:</translation>
    </message>
    <message>
        <source>Всего замечаний: %1.</source>
        <translation>Remarks in total: %1.</translation>
    </message>
</context>
<context>
    <name>keys::KeyFile</name>
    <message>
        <source>Не удалось прочитать файл ключей «%1»: %2. Ключ не записан.</source>
        <translation>Could not read the key file «%1»: %2. The key was not written.</translation>
    </message>
    <message>
        <source>Ключ «%1» нельзя записать в файл ключей.</source>
        <translation>The key «%1» cannot be written to the key file.</translation>
    </message>
    <message>
        <source>Не удалось записать файл ключей «%1»: %2</source>
        <translation>Could not write the key file «%1»: %2</translation>
    </message>
</context>
<context>
    <name>keys::KeyName</name>
    <message>
        <source>Имя ключа не может содержать перевод строки.</source>
        <translation>A key name cannot contain a line break.</translation>
    </message>
    <message>
        <source>Имя ключа не может содержать знак «=».</source>
        <translation>A key name cannot contain the character «=».</translation>
    </message>
    <message>
        <source>Имя ключа не может начинаться со знака «[».</source>
        <translation>A key name cannot start with the character «[».</translation>
    </message>
    <message>
        <source>Имя ключа не может начинаться со знака «;».</source>
        <translation>A key name cannot start with the character «;».</translation>
    </message>
    <message>
        <source>Имя ключа содержит знак «%1», которого нет в кодовой странице 1251.</source>
        <translation>The key name contains the character «%1», which is not in code page 1251.</translation>
    </message>
</context>
<context>
    <name>link::NetworkAddress</name>
    <message>
        <source>Адрес «%1» не годится: ожидается tcp://УЗЕЛ:ПОРТ или rfc2217://УЗЕЛ:ПОРТ (адрес IPv6 в квадратных скобках: tcp://[::1]:4001).</source>
        <translation>The address «%1» is not valid: expected tcp://HOST:PORT or rfc2217://HOST:PORT (an IPv6 address in square brackets: tcp://[::1]:4001).</translation>
    </message>
    <message>
        <source>В адресе «%1» не указан порт: tcp://УЗЕЛ:ПОРТ.</source>
        <translation>The address «%1» has no port: tcp://HOST:PORT.</translation>
    </message>
    <message>
        <source>Адрес IPv6 в «%1» пишется в квадратных скобках: tcp://[::1]:4001.</source>
        <translation>The IPv6 address in «%1» is written in square brackets: tcp://[::1]:4001.</translation>
    </message>
    <message>
        <source>Порт в адресе «%1» должен быть числом от 1 до 65535.</source>
        <translation>The port in the address «%1» must be a number from 1 to 65535.</translation>
    </message>
</context>
<context>
    <name>link::NetworkPort</name>
    <message>
        <source>%1 отказал в соединении: на этом порту никто не ждёт</source>
        <translation>%1 refused the connection: nobody is listening on that port</translation>
    </message>
    <message>
        <source>%1 закрыл соединение</source>
        <translation>%1 closed the connection</translation>
    </message>
    <message>
        <source>узел %1 не найден</source>
        <translation>host %1 not found</translation>
    </message>
    <message>
        <source>%1 не отвечает</source>
        <translation>%1 does not respond</translation>
    </message>
    <message>
        <source>сеть до %1 недоступна</source>
        <translation>the network to %1 is unreachable</translation>
    </message>
    <message>
        <source>%1 не ответил за %2 с</source>
        <translation>%1 did not answer within %2 s</translation>
    </message>
    <message>
        <source>соединение не установлено</source>
        <translation>connection not established</translation>
    </message>
</context>
<context>
    <name>link::PortDiscovery</name>
    <message>
        <source>Симулятор концентратора (lumvaris-sim)</source>
        <translation>Concentrator simulator (lumvaris-sim)</translation>
    </message>
</context>
<context>
    <name>meterdata::FileProblem</name>
    <message>
        <source>«%1» не является файлом.</source>
        <translation>«%1» is not a file.</translation>
    </message>
    <message>
        <source>папка «%1» не существует.</source>
        <translation>the folder «%1» does not exist.</translation>
    </message>
    <message>
        <source>файл «%1» защищён от записи.</source>
        <translation>the file «%1» is write-protected.</translation>
    </message>
    <message>
        <source>нет права записи в папку «%1».</source>
        <translation>no permission to write to the folder «%1».</translation>
    </message>
    <message>
        <source>файл «%1» не может быть записан: %2</source>
        <translation>the file «%1» cannot be written: %2</translation>
    </message>
    <message>
        <source>на диске не хватает места для «%1».</source>
        <translation>not enough disk space for «%1».</translation>
    </message>
    <message>
        <source>ошибка записи «%1» (проверьте носитель): %2</source>
        <translation>error writing «%1» (check the medium): %2</translation>
    </message>
</context>
<context>
    <name>meterdata::JournalWriter</name>
    <message>
        <source>не удалось записать журнал «%1»: %2</source>
        <translation>could not write the journal «%1»: %2</translation>
    </message>
    <message>
        <source>Не удалось записать журнал «%1»: %2</source>
        <translation>Could not write the journal «%1»: %2</translation>
    </message>
</context>
<context>
    <name>meterdata::MeterDatabase</name>
    <message>
        <source>Ёмкость сети </source>
        <translation>Network capacity </translation>
    </message>
    <message>
        <source> счётчиков</source>
        <translation> meters</translation>
    </message>
    <message>
        <source>Последние </source>
        <translation>Last </translation>
    </message>
    <message>
        <source> пакетов</source>
        <translation> packets</translation>
    </message>
    <message>
        <source> дней</source>
        <translation> days</translation>
    </message>
    <message>
        <source>процесс %1</source>
        <translation>process %1</translation>
    </message>
    <message>
        <source>файл блокировки «%1» не называет процесса и не удаляется</source>
        <translation>the lock file «%1» names no process and is not removed</translation>
    </message>
    <message>
        <source>, компьютер %1</source>
        <translation>, computer %1</translation>
    </message>
    <message>
        <source>Файлы локальной базы данных «%1» и «%2» уже используются другой копией программы (%3).
Эта копия их не изменит: соединение не открыто. Закройте другую копию программы или выберите порт с другим именем.</source>
        <translation>The local database files «%1» and «%2» are already in use by another copy of the program (%3).
This copy will not change them: the connection is not open. Close the other copy of the program or choose a port with another name.</translation>
    </message>
    <message>
        <source>Недостаточно памяти для локальной базы данных (%1 x %2 записей).</source>
        <translation>Not enough memory for the local database (%1 x %2 records).</translation>
    </message>
    <message>
        <source>Файл локальной базы данных «%1» повреждён и не может быть загружен.
Он сохранён без изменений под именем «%2»; данные порта накапливаются в новом файле.</source>
        <translation>The local database file «%1» is damaged and cannot be loaded.
It was kept unchanged under the name «%2»; the port&apos;s data is collected in a new file.</translation>
    </message>
    <message>
        <source>Данные порта «%1» не будут сохраняться в локальной базе данных, пока не устранена причина:
%2</source>
        <translation>The data of the port «%1» will not be saved in the local database until the cause is removed:
%2</translation>
    </message>
    <message>
        <source>недостаточно памяти</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>Журнал локальной базы данных «%1» повреждён (%2) и не может быть переименован; журнал этого порта не ведётся, чтобы файл остался нетронутым.</source>
        <translation>The local database journal «%1» is damaged (%2) and cannot be renamed; this port&apos;s journal is not kept, so that the file stays untouched.</translation>
    </message>
    <message>
        <source>Журнал локальной базы данных «%1» повреждён (%2).
Он сохранён без изменений под именем «%3». Записи, прошедшие проверку (%4), возвращены в базу данных; журнал порта начат заново.</source>
        <translation>The local database journal «%1» is damaged (%2).
It was kept unchanged under the name «%3». The records that passed the check (%4) were returned to the database; the port&apos;s journal was started anew.</translation>
    </message>
    <message>
        <source>Журнал локальной базы данных не ведётся: %1
Данные порта «%2» сохраняются раз в минуту; принятое после последнего сохранения пропадёт, если программа завершится аварийно.</source>
        <translation>The local database journal is not kept: %1
The data of the port «%2» is saved once a minute; what was received after the last save is lost if the program crashes.</translation>
    </message>
    <message>
        <source>Недостаточно памяти для таблицы сети.</source>
        <translation>Not enough memory for the network table.</translation>
    </message>
    <message>
        <source>Не удалось удалить файл «%1»: %2</source>
        <translation>Could not delete the file «%1»: %2</translation>
    </message>
</context>
<context>
    <name>meterdata::MeterJournal</name>
    <message>
        <source>неизвестный заголовок</source>
        <translation>unknown header</translation>
    </message>
    <message>
        <source>запись со смещения %1 не прошла проверку</source>
        <translation>the record at offset %1 failed the check</translation>
    </message>
    <message>
        <source>Восстановлено из журнала: %1 запись</source>
        <translation>Restored from the journal: %1 record</translation>
    </message>
    <message>
        <source>Восстановлено из журнала: %1 записи</source>
        <translation>Restored from the journal: %1 records</translation>
    </message>
    <message>
        <source>Восстановлено из журнала: %1 записей</source>
        <translation>Restored from the journal: %1 records</translation>
    </message>
</context>
<context>
    <name>meterdata::MeterPacketIntake</name>
    <message>
        <source>Ошибка преобразования даты и времени в записи буфера счётчика.</source>
        <translation>Error converting the date and time in a meter buffer record.</translation>
    </message>
</context>
<context>
    <name>meterdata::RecordTextFormatter</name>
    <message>
        <source>кВт·ч (S-T1)</source>
        <translation>kWh (S-T1)</translation>
    </message>
    <message>
        <source>кВт·ч (S-T2)</source>
        <translation>kWh (S-T2)</translation>
    </message>
    <message>
        <source>кВт·ч (S-T3)</source>
        <translation>kWh (S-T3)</translation>
    </message>
    <message>
        <source>кВт·ч (S-T4)</source>
        <translation>kWh (S-T4)</translation>
    </message>
    <message>
        <source>кВт·ч (S-SUM)</source>
        <translation>kWh (S-SUM)</translation>
    </message>
    <message>
        <source>кВт·ч (ABC-T1)</source>
        <translation>kWh (ABC-T1)</translation>
    </message>
    <message>
        <source>кВт·ч (ABC-T2)</source>
        <translation>kWh (ABC-T2)</translation>
    </message>
    <message>
        <source>кВт·ч (ABC-T3)</source>
        <translation>kWh (ABC-T3)</translation>
    </message>
    <message>
        <source>кВт·ч (ABC-T4)</source>
        <translation>kWh (ABC-T4)</translation>
    </message>
    <message>
        <source>кВт·ч (A-SUM)</source>
        <translation>kWh (A-SUM)</translation>
    </message>
    <message>
        <source>кВт·ч (B-SUM)</source>
        <translation>kWh (B-SUM)</translation>
    </message>
    <message>
        <source>кВт·ч (C-SUM)</source>
        <translation>kWh (C-SUM)</translation>
    </message>
    <message>
        <source>кВт·ч (ABC-SUM)</source>
        <translation>kWh (ABC-SUM)</translation>
    </message>
    <message>
        <source>кВт·ч (T1 на 00:00)</source>
        <translation>kWh (T1 at 00:00)</translation>
    </message>
    <message>
        <source>кВт·ч (T2 на 00:00)</source>
        <translation>kWh (T2 at 00:00)</translation>
    </message>
    <message>
        <source>кВт·ч (T3 на 00:00)</source>
        <translation>kWh (T3 at 00:00)</translation>
    </message>
    <message>
        <source>кВт·ч (T4 на 00:00)</source>
        <translation>kWh (T4 at 00:00)</translation>
    </message>
    <message>
        <source>кВт·ч (получасовка #%1)</source>
        <translation>kWh (half hour #%1)</translation>
    </message>
    <message>
        <source>ER+ квар·ч (на 00:00)</source>
        <translation>ER+ kvarh (at 00:00)</translation>
    </message>
    <message>
        <source>ER- квар·ч (на 00:00)</source>
        <translation>ER- kvarh (at 00:00)</translation>
    </message>
    <message>
        <source>Серийный номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Статус</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>кВт·ч (SUM на 00:00)</source>
        <translation>kWh (SUM at 00:00)</translation>
    </message>
    <message>
        <source>Хол.вода-A, куб.м</source>
        <translation>Cold water-A, m³</translation>
    </message>
    <message>
        <source>Хол.вода-B, куб.м</source>
        <translation>Cold water-B, m³</translation>
    </message>
    <message>
        <source>Гор.вода-A, куб.м</source>
        <translation>Hot water-A, m³</translation>
    </message>
    <message>
        <source>Гор.вода-B, куб.м</source>
        <translation>Hot water-B, m³</translation>
    </message>
    <message>
        <source>Не выполнено</source>
        <translation>Not done</translation>
    </message>
    <message>
        <source>Выполняется</source>
        <translation>Running</translation>
    </message>
    <message>
        <source>Выполнено</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Старт</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>нет данных</source>
        <translation>no data</translation>
    </message>
</context>
<context>
    <name>meterdata::TMatrix</name>
    <message>
        <source>Файл базы данных «%1» не загружен (%2) и не может быть переименован; данные этого хранилища не будут сохраняться, чтобы файл остался нетронутым.</source>
        <translation>The database file «%1» was not loaded (%2) and cannot be renamed; the data of this store will not be saved, so that the file stays untouched.</translation>
    </message>
    <message>
        <source>Не удалось создать файл «%1»: %2</source>
        <translation>Could not create the file «%1»: %2</translation>
    </message>
    <message>
        <source>«%1» не является файлом.</source>
        <translation>«%1» is not a file.</translation>
    </message>
    <message>
        <source>короткий заголовок</source>
        <translation>short header</translation>
    </message>
    <message>
        <source>размеры %1 x %2</source>
        <translation>dimensions %1 x %2</translation>
    </message>
    <message>
        <source>файл короче своих записей</source>
        <translation>the file is shorter than its records</translation>
    </message>
    <message>
        <source>нет памяти для %1 x %2 записей</source>
        <translation>no memory for %1 x %2 records</translation>
    </message>
    <message>
        <source>ошибка чтения</source>
        <translation>read error</translation>
    </message>
    <message>
        <source>это не файл</source>
        <translation>not a file</translation>
    </message>
    <message>
        <source>Файл базы данных «%1» не прочитан: %2.</source>
        <translation>The database file «%1» was not read: %2.</translation>
    </message>
    <message>
        <source>У хранилища нет файла.</source>
        <translation>The store has no file.</translation>
    </message>
    <message>
        <source>Не удалось записать файл «%1»: %2</source>
        <translation>Could not write the file «%1»: %2</translation>
    </message>
</context>
<context>
    <name>monitor::TrafficText</name>
    <message>
        <source> пакет счётчика %1</source>
        <translation> meter packet %1</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Напр.</source>
        <translation>Dir.</translation>
    </message>
    <message>
        <source>Источник</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>Получатель</source>
        <translation>Destination</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Данные</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Отметка</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>отброшено байт: %1</source>
        <translation>bytes dropped: %1</translation>
    </message>
    <message>
        <source>неверная КС: %1 вместо %2</source>
        <translation>wrong checksum: %1 instead of %2</translation>
    </message>
    <message>
        <source>пустой кадр</source>
        <translation>empty frame</translation>
    </message>
</context>
<context>
    <name>mqtt::MqttAddress</name>
    <message>
        <source>Ожидается mqtt://[пользователь@]сервер[:порт]/ПРЕФИКС или mqtts://[пользователь@]сервер[:порт]/ПРЕФИКС.</source>
        <translation>Expected mqtt://[user@]server[:port]/PREFIX or mqtts://[user@]server[:port]/PREFIX.</translation>
    </message>
    <message>
        <source>Адрес брокера MQTT не указан. </source>
        <translation>No MQTT broker address given. </translation>
    </message>
    <message>
        <source>Адрес брокера MQTT «%1» не распознан. </source>
        <translation>The MQTT broker address «%1» is not recognised. </translation>
    </message>
    <message>
        <source>Адрес «%1» содержит пароль. Пароль в адресе не принимается, чтобы он не попал в файлы настроек и в список процессов: укажите его в переменной окружения %2 или в файле пароля.</source>
        <translation>The address «%1» contains a password. A password in the address is not accepted, so that it does not end up in settings files and in the process list: give it in the environment variable %2 or in a password file.</translation>
    </message>
    <message>
        <source>В адресе «%1» не указан сервер. </source>
        <translation>The address «%1» has no server. </translation>
    </message>
    <message>
        <source>Адрес «%1»: после префикса тем ничего не должно быть («?…», «#…»).</source>
        <translation>The address «%1»: nothing may follow the topic prefix («?…», «#…»).</translation>
    </message>
    <message>
        <source>В адресе «%1» порт 0 не годится.</source>
        <translation>In the address «%1» port 0 is not valid.</translation>
    </message>
    <message>
        <source>В адресе «%1» не указан префикс тем (…/ПРЕФИКС). </source>
        <translation>The address «%1» has no topic prefix (…/PREFIX). </translation>
    </message>
    <message>
        <source>В адресе «%1» префикс тем «%2» не годится: в нём не может быть «+», «#» и управляющих символов, и он не может начинаться с «$».</source>
        <translation>In the address «%1» the topic prefix «%2» is not valid: it cannot contain «+», «#» or control characters, and it cannot start with «$».</translation>
    </message>
    <message>
        <source>Файл пароля брокера MQTT «%1» не читается: %2.</source>
        <translation>The MQTT broker password file «%1» cannot be read: %2.</translation>
    </message>
    <message>
        <source>Указан файл пароля «%1», но в адресе «%2» нет пользователя (mqtt://пользователь@сервер/…).</source>
        <translation>A password file «%1» is given, but the address «%2» has no user (mqtt://user@server/…).</translation>
    </message>
</context>
<context>
    <name>mqtt::MqttSink</name>
    <message>
        <source>соединение отклонено (брокер на этом порту не запущен)</source>
        <translation>connection refused (no broker is running on that port)</translation>
    </message>
    <message>
        <source>сервер не отвечает</source>
        <translation>the server does not respond</translation>
    </message>
    <message>
        <source>сервер недоступен по сети</source>
        <translation>the server is unreachable over the network</translation>
    </message>
    <message>
        <source>сервер «%1» не найден</source>
        <translation>server «%1» not found</translation>
    </message>
    <message>
        <source>соединение разорвано</source>
        <translation>connection broken</translation>
    </message>
    <message>
        <source>брокер перестал отвечать</source>
        <translation>the broker stopped responding</translation>
    </message>
    <message>
        <source>соединение не установлено</source>
        <translation>connection not established</translation>
    </message>
    <message>
        <source>Брокер MQTT «%1»</source>
        <translation>MQTT broker «%1»</translation>
    </message>
    <message>
        <source> не принимает подключение без пользователя и пароля: укажите пользователя в адресе (mqtt://пользователь@сервер/…), а пароль — в переменной окружения %1 или в файле пароля.</source>
        <translation> does not accept a connection without a user and password: give the user in the address (mqtt://user@server/…), and the password in the environment variable %1 or in a password file.</translation>
    </message>
    <message>
        <source> отказал во входе пользователю «%1»: пароль не задан (переменная окружения %2 не установлена и файл пароля не указан).</source>
        <translation> refused the login of user «%1»: no password given (the environment variable %2 is not set and no password file is given).</translation>
    </message>
    <message>
        <source> отказал во входе пользователю «%1»: неверное имя или пароль, либо у пользователя нет доступа.</source>
        <translation> refused the login of user «%1»: wrong name or password, or the user has no access.</translation>
    </message>
    <message>
        <source> не поддерживает протокол MQTT 3.1.1.</source>
        <translation> does not support the MQTT 3.1.1 protocol.</translation>
    </message>
    <message>
        <source> отклонил идентификатор клиента.</source>
        <translation> rejected the client identifier.</translation>
    </message>
    <message>
        <source> сейчас не принимает подключения.</source>
        <translation> does not accept connections now.</translation>
    </message>
    <message>
        <source> отклонил подключение (код %1).</source>
        <translation> refused the connection (code %1).</translation>
    </message>
    <message>
        <source>брокер не отвечает по TLS (этот порт, вероятно, без TLS: mqtt:// вместо mqtts://, или порт 8883)</source>
        <translation>the broker does not answer over TLS (this port is probably without TLS: mqtt:// instead of mqtts://, or port 8883)</translation>
    </message>
    <message>
        <source>сертификат брокера не прошёл проверку (укажите файл центров сертификации: --mqtt-ca)</source>
        <translation>the broker&apos;s certificate failed the check (give the file of certificate authorities: --mqtt-ca)</translation>
    </message>
    <message>
        <source>Брокер MQTT «%1» недоступен: %2. Показания ждут в очереди (не больше %3) и будут отправлены, когда связь восстановится.</source>
        <translation>MQTT broker «%1» unreachable: %2. The readings wait in the queue (at most %3) and will be sent when the connection is back.</translation>
    </message>
    <message>
        <source>Связь с брокером MQTT «%1» восстановлена: показания из очереди отправляются.</source>
        <translation>Connection with MQTT broker «%1» restored: the queued readings are being sent.</translation>
    </message>
    <message>
        <source>Связь с брокером MQTT «%1» потеряна: %2. Показания ждут в очереди (не больше %3) и будут отправлены, когда связь восстановится.</source>
        <translation>Connection with MQTT broker «%1» lost: %2. The readings wait in the queue (at most %3) and will be sent when the connection is back.</translation>
    </message>
    <message>
        <source>Соединение с брокером MQTT «%1» не установлено: %2</source>
        <translation>Connection with MQTT broker «%1» not established: %2</translation>
    </message>
    <message>
        <source>Клиент MQTT не создан: недостаточно памяти.</source>
        <translation>MQTT client not created: not enough memory.</translation>
    </message>
    <message>
        <source>Файл сертификатов «%1» для брокера MQTT не годится: %2.</source>
        <translation>The certificate file «%1» for the MQTT broker is not usable: %2.</translation>
    </message>
    <message>
        <source>сертификаты не прочитаны</source>
        <translation>certificates not read</translation>
    </message>
    <message>
        <source>нет ответа за %1 мс</source>
        <translation>no answer within %1 ms</translation>
    </message>
    <message>
        <source>Очередь отправки на брокер MQTT «%1» на диске заполнена (%2): новые показания в неё не попадают и остаются только в локальной базе данных порта.</source>
        <translation>The queue to MQTT broker «%1» on the disk is full (%2): new readings do not enter it and stay only in the port&apos;s local database.</translation>
    </message>
</context>
<context>
    <name>session::CallIn</name>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 мс</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>адрес уже занят</source>
        <translation>the address is already in use</translation>
    </message>
    <message>
        <source>нет прав (порты ниже 1024 открывает только root)</source>
        <translation>no permission (only root opens ports below 1024)</translation>
    </message>
    <message>
        <source>у этой машины нет такого адреса</source>
        <translation>this machine has no such address</translation>
    </message>
    <message>
        <source>такие адреса эта машина не поддерживает</source>
        <translation>this machine does not support such addresses</translation>
    </message>
    <message>
        <source>ошибка сети</source>
        <translation>network error</translation>
    </message>
    <message>
        <source>«%1» — не адрес для входящих подключений: нужен [АДРЕС:]ПОРТ, например 4001, 192.168.0.10:4001 или [::1]:4001.</source>
        <translation>«%1» is not an address for incoming connections: [ADDRESS:]PORT is needed, for example 4001, 192.168.0.10:4001 or [::1]:4001.</translation>
    </message>
    <message>
        <source>«%1»: адрес IPv6 пишется в квадратных скобках, например [::1]:4001.</source>
        <translation>«%1»: an IPv6 address is written in square brackets, for example [::1]:4001.</translation>
    </message>
    <message>
        <source>«%1»: порт должен быть числом от 0 до 65535.</source>
        <translation>«%1»: the port must be a number from 0 to 65535.</translation>
    </message>
    <message>
        <source>Выражение «%1» составлено неправильно (ошибка в знаке %2).</source>
        <translation>The expression «%1» is malformed (error at character %2).</translation>
    </message>
    <message>
        <source>В выражении «%1» должна быть ровно одна группа в скобках: UART-ID из четырёх шестнадцатеричных цифр, например ID:([0-9A-F]{4}).</source>
        <translation>The expression «%1» must have exactly one group in parentheses: the UART-ID of four hexadecimal digits, for example ID:([0-9A-F]{4}).</translation>
    </message>
    <message>
        <source>Не удалось ждать входящих подключений на %1: %2.</source>
        <translation>Could not wait for incoming connections on %1: %2.</translation>
    </message>
    <message>
        <source>Входящее подключение %1 закрыто: ожидающих опознания подключений уже %2 (предел)</source>
        <translation>Incoming connection %1 closed: %2 connections already wait to be identified (the limit)</translation>
    </message>
    <message>
        <source>; с прошлой такой записи так же закрыто ещё %1.</source>
        <translation>; since the last such entry %1 more were closed the same way.</translation>
    </message>
    <message>
        <source>. Следующие такие закрытия записываются не чаще раза в %1.</source>
        <translation>. Further such closings are logged at most once per %1.</translation>
    </message>
    <message>
        <source>собеседник отключился до опознания</source>
        <translation>the peer disconnected before being identified</translation>
    </message>
    <message>
        <source>прислано больше %1 байт без опознания</source>
        <translation>more than %1 bytes sent without identification</translation>
    </message>
    <message>
        <source>в первых %1 байтах нет опознавательного текста</source>
        <translation>no identification text in the first %1 bytes</translation>
    </message>
    <message>
        <source>в опознавательном тексте нет UART-ID из четырёх шестнадцатеричных цифр</source>
        <translation>the identification text has no UART-ID of four hexadecimal digits</translation>
    </message>
    <message>
        <source>UART-ID %1 не может быть адресом концентратора</source>
        <translation>UART-ID %1 cannot be a concentrator address</translation>
    </message>
    <message>
        <source>UART-ID %1 не разрешён</source>
        <translation>UART-ID %1 is not allowed</translation>
    </message>
    <message>
        <source>Входящее подключение %1 закрыто: %2.</source>
        <translation>Incoming connection %1 closed: %2.</translation>
    </message>
    <message>
        <source>не опознано за %1</source>
        <translation>not identified within %1</translation>
    </message>
</context>
<context>
    <name>session::Connection</name>
    <message>
        <source>ВНИМАНИЕ! При открытии порта произошла ошибка!</source>
        <translation>WARNING! An error occurred while opening the port!</translation>
    </message>
    <message>
        <source>ВНИМАНИЕ! Связь с коммуникационным портом потеряна</source>
        <translation>WARNING! The connection with the communication port was lost</translation>
    </message>
    <message>
        <source>.
Проверьте подключение и выберите порт заново.</source>
        <translation>.
Check the connection and choose the port again.</translation>
    </message>
    <message>
        <source>Данные, принятые после последнего сохранения, останутся в журнале и вернутся в базу при следующем открытии этого порта. </source>
        <translation>The data received after the last save stays in the journal and returns to the database the next time this port is opened. </translation>
    </message>
    <message>
        <source>Данные, принятые после последнего сохранения, будут потеряны. </source>
        <translation>The data received after the last save will be lost. </translation>
    </message>
    <message>
        <source>Не удалось сохранить локальную базу данных:
%1

%2Повторить попытку?</source>
        <translation>Could not save the local database:
%1

%2Try again?</translation>
    </message>
    <message>
        <source>нет ответа по сети %1 с</source>
        <translation>no answer over the network for %1 s</translation>
    </message>
    <message>
        <source>Концентратор работает на скорости %1 бит/с. Скорость порта %2 задаёт удалённая сторона: если там другая, установите эту.</source>
        <translation>The concentrator runs at %1 bit/s. The port rate %2 is set by the remote side: if it is different there, set this one.</translation>
    </message>
</context>
<context>
    <name>session::ExportJob</name>
    <message>
        <source>Экспорт уже идёт.</source>
        <translation>An export is already running.</translation>
    </message>
</context>
<context>
    <name>session::LiveSinks</name>
    <message>
        <source>
Показания в «%1» не передаются; их допишет команда export.</source>
        <translation>
The readings are not passed to «%1»; the export command will add them later.</translation>
    </message>
</context>
<context>
    <name>session::NetworkPortChoice</name>
    <message>
        <source>Скорость порта %1 задаёт удалённая сторона: выбор скорости на неё не действует.</source>
        <translation>The port rate %1 is set by the remote side: choosing a rate here has no effect on it.</translation>
    </message>
    <message>
        <source>сетевой адрес</source>
        <translation>network address</translation>
    </message>
</context>
<context>
    <name>session::Result</name>
    <message>
        <source>Непредвиденная ошибка.</source>
        <translation>Unexpected error.</translation>
    </message>
</context>
<context>
    <name>session::SiteName</name>
    <message>
        <source>Имя концентратора не может быть пустым.</source>
        <translation>The concentrator name cannot be empty.</translation>
    </message>
    <message>
        <source>Имя концентратора длиннее %1 символов (%2).</source>
        <translation>The concentrator name is longer than %1 characters (%2).</translation>
    </message>
    <message>
        <source>Имя концентратора «%1» начинается с «$»: такие темы MQTT принадлежат брокеру.</source>
        <translation>The concentrator name «%1» starts with «$»: such MQTT topics belong to the broker.</translation>
    </message>
    <message>
        <source>Имя концентратора «%1» начинается с «%2»: в таблице CSV такая ячейка читается как формула.</source>
        <translation>The concentrator name «%1» starts with «%2»: in a CSV table such a cell is read as a formula.</translation>
    </message>
    <message>
        <source>Имя концентратора «%1» содержит «%2»: в теме MQTT это разделитель или подстановочный знак.</source>
        <translation>The concentrator name «%1» contains «%2»: in an MQTT topic this is a separator or a wildcard.</translation>
    </message>
    <message>
        <source>Имя концентратора содержит управляющий символ (код %1).</source>
        <translation>The concentrator name contains a control character (code %1).</translation>
    </message>
</context>
<context>
    <name>sinks::AppendFile</name>
    <message>
        <source>файл удалён, переименован или его папки больше нет</source>
        <translation>the file was deleted or renamed, or its folder is gone</translation>
    </message>
    <message>
        <source>читающая сторона канала не принимает данные</source>
        <translation>the reading side of the pipe does not accept data</translation>
    </message>
    <message>
        <source>файл начинается не так, как файл показаний этой программы; в него ничего не дописывается</source>
        <translation>the file does not start as a readings file of this program does; nothing is appended to it</translation>
    </message>
    <message>
        <source>последняя строка файла длиннее %1 байт</source>
        <translation>the last line of the file is longer than %1 bytes</translation>
    </message>
</context>
<context>
    <name>sinks::FileText</name>
    <message>
        <source>на диске нет места</source>
        <translation>no space left on the disk</translation>
    </message>
    <message>
        <source>превышена квота на диске</source>
        <translation>disk quota exceeded</translation>
    </message>
    <message>
        <source>нет прав доступа</source>
        <translation>no access rights</translation>
    </message>
    <message>
        <source>файловая система доступна только для чтения</source>
        <translation>the file system is read-only</translation>
    </message>
    <message>
        <source>нет такого файла или папки</source>
        <translation>no such file or folder</translation>
    </message>
    <message>
        <source>часть пути - не папка</source>
        <translation>part of the path is not a folder</translation>
    </message>
    <message>
        <source>это папка, а не файл</source>
        <translation>it is a folder, not a file</translation>
    </message>
    <message>
        <source>ошибка ввода-вывода (проверьте носитель)</source>
        <translation>input/output error (check the medium)</translation>
    </message>
    <message>
        <source>читающая сторона закрыла канал</source>
        <translation>the reading side closed the pipe</translation>
    </message>
    <message>
        <source>у канала нет читающей стороны</source>
        <translation>the pipe has no reading side</translation>
    </message>
    <message>
        <source>файл слишком велик</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>открыто слишком много файлов</source>
        <translation>too many open files</translation>
    </message>
    <message>
        <source>слишком длинное имя файла</source>
        <translation>the file name is too long</translation>
    </message>
</context>
<context>
    <name>sinks::LineFileSink</name>
    <message>
        <source>стандартный вывод</source>
        <translation>standard output</translation>
    </message>
    <message>
        <source>Не удалось создать файл %1: %2</source>
        <translation>Could not create the file %1: %2</translation>
    </message>
    <message>
        <source>Не удалось записать файл %1: %2</source>
        <translation>Could not write the file %1: %2</translation>
    </message>
    <message>
        <source>Не удалось открыть %1 для записи: %2</source>
        <translation>Could not open %1 for writing: %2</translation>
    </message>
    <message>
        <source>Показания не дописываются в %1: %2</source>
        <translation>Readings are not appended to %1: %2</translation>
    </message>
    <message>
        <source>%1 не открыт.%2</source>
        <translation>%1 is not open.%2</translation>
    </message>
    <message>
        <source>Не удалось записать в %1: %2</source>
        <translation>Could not write to %1: %2</translation>
    </message>
</context>
<context>
    <name>sinks::Outbox</name>
    <message>
        <source>Очередь показаний «%1» повреждена или принадлежит другому адресу</source>
        <translation>The readings queue «%1» is damaged or belongs to another address</translation>
    </message>
    <message>
        <source>Очередь показаний «%1» повреждена: %2 байт после %3 показаний отброшены; недостающее допишет команда export.</source>
        <translation>The readings queue «%1» is damaged: %2 bytes after %3 readings were dropped; the export command will add what is missing.</translation>
    </message>
    <message>
        <source>Не удалось открыть очередь показаний «%1»: %2</source>
        <translation>Could not open the readings queue «%1»: %2</translation>
    </message>
    <message>
        <source>это не файл</source>
        <translation>not a file</translation>
    </message>
    <message>
        <source>: она начата заново.</source>
        <translation>: it was started anew.</translation>
    </message>
    <message>
        <source>: она сохранена под именем «%1», начата новая.</source>
        <translation>: it was kept under the name «%1», a new one was started.</translation>
    </message>
    <message>
        <source>%1 МБ</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 КБ</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>%1 байт</source>
        <translation>%1 bytes</translation>
    </message>
</context>
<context>
    <name>sinks::PortExport</name>
    <message>
        <source>Локальной базы данных порта «%1» нет: не найдены файлы «%2» и «%3».</source>
        <translation>The local database of the port «%1» does not exist: the files «%2» and «%3» were not found.</translation>
    </message>
    <message>
        <source> Экспорт не выполнен.</source>
        <translation> The export was not done.</translation>
    </message>
</context>
<context>
    <name>sinks::ReadingStore</name>
    <message>
        <source>нет памяти</source>
        <translation>no memory</translation>
    </message>
    <message>
        <source>Хранилище показаний «%1» не открывается: %2.</source>
        <translation>The readings store «%1» does not open: %2.</translation>
    </message>
</context>
<context>
    <name>sinks::SinkQueue</name>
    <message>
        <source>Связь с «%1» восстановлена: показания из очереди записываются.</source>
        <translation>Connection with «%1» restored: the queued readings are being written.</translation>
    </message>
    <message>
        <source>
Показания ждут в очереди и будут записаны, когда связь восстановится.</source>
        <translation>
The readings wait in the queue and will be written when the connection is back.</translation>
    </message>
    <message>
        <source>Очередь записи в «%1» на диске заполнена (%2): новые показания в неё не попадают и остаются только в локальной базе данных порта. Экспорт базы порта позже допишет недостающие.</source>
        <translation>The write queue to «%1» on the disk is full (%2): new readings do not enter it and stay only in the port&apos;s local database. An export of the port&apos;s database adds what is missing later.</translation>
    </message>
</context>
<context>
    <name>sinks::SinkUrl</name>
    <message>
        <source>Ожидается sqlite:ФАЙЛ, postgresql://пользователь@сервер:порт/база, csv:ФАЙЛ, jsonl:ФАЙЛ или jsonl:- (стандартный вывод).</source>
        <translation>Expected sqlite:FILE, postgresql://user@server:port/database, csv:FILE, jsonl:FILE or jsonl:- (standard output).</translation>
    </message>
    <message>
        <source>недостаточно памяти</source>
        <translation>not enough memory</translation>
    </message>
    <message>
        <source>Адрес базы данных PostgreSQL «%1» не распознан: %2</source>
        <translation>The PostgreSQL database address «%1» is not recognised: %2</translation>
    </message>
    <message>
        <source>Адрес «%1» содержит пароль. Пароль в адресе не принимается, чтобы он не попал в файлы настроек: укажите его в файле ~/.pgpass или в переменной окружения PGPASSWORD.</source>
        <translation>The address «%1» contains a password. A password in the address is not accepted, so that it does not end up in settings files: give it in the file ~/.pgpass or in the environment variable PGPASSWORD.</translation>
    </message>
    <message>
        <source>Адрес «%1»: значение параметра «%2» содержит «;», что драйвер базы данных не передаёт.</source>
        <translation>The address «%1»: the value of the parameter «%2» contains «;», which the database driver does not pass on.</translation>
    </message>
    <message>
        <source>Адрес базы данных PostgreSQL «%1» не распознан: порт «%2» - не число от 1 до 65535.</source>
        <translation>The PostgreSQL database address «%1» is not recognised: the port «%2» is not a number from 1 to 65535.</translation>
    </message>
    <message>
        <source>Адрес для записи показаний не указан. </source>
        <translation>No address to write the readings to is given. </translation>
    </message>
    <message>
        <source>В адресе «%1» не указан файл.</source>
        <translation>The address «%1» has no file.</translation>
    </message>
    <message>
        <source>В адресе «%1»: стандартный вывод («-») принимает только jsonl:-.</source>
        <translation>In the address «%1»: standard output («-») is accepted only by jsonl:-.</translation>
    </message>
    <message>
        <source>Адрес «%1» не распознан. </source>
        <translation>The address «%1» is not recognised. </translation>
    </message>
</context>
<context>
    <name>sinks::SqlSink</name>
    <message>
        <source>Драйвер базы данных %1 не установлен (пакет %2): запись в «%3» невозможна.</source>
        <translation>The database driver %1 is not installed (package %2): writing to «%3» is impossible.</translation>
    </message>
    <message>
        <source>Не удалось открыть базу данных SQLite «%1»: %2</source>
        <translation>Could not open the SQLite database «%1»: %2</translation>
    </message>
    <message>
        <source>Не удалось подготовить таблицы показаний в «%1»: %2</source>
        <translation>Could not prepare the readings tables in «%1»: %2</translation>
    </message>
    <message>
        <source>Таблицы показаний в «%1» устроены по версии %2, а эта программа знает только версию %3: обновите программу.</source>
        <translation>The readings tables in «%1» follow version %2, and this program knows only version %3: update the program.</translation>
    </message>
    <message>
        <source>Базы данных в «%1» нет на сервере PostgreSQL: %2</source>
        <translation>The database in «%1» does not exist on the PostgreSQL server: %2</translation>
    </message>
    <message>
        <source>Сервер PostgreSQL «%1» отказал во входе: %2. Проверьте пользователя в адресе и пароль (~/.pgpass, PGPASSFILE или PGPASSWORD).</source>
        <translation>The PostgreSQL server «%1» refused the login: %2. Check the user in the address and the password (~/.pgpass, PGPASSFILE or PGPASSWORD).</translation>
    </message>
    <message>
        <source>Нет соединения с базой данных PostgreSQL «%1»: сервер не отвечает.</source>
        <translation>No connection with the PostgreSQL database «%1»: the server does not respond.</translation>
    </message>
    <message>
        <source>Нет соединения с базой данных PostgreSQL «%1»: %2</source>
        <translation>No connection with the PostgreSQL database «%1»: %2</translation>
    </message>
    <message>
        <source>Не удалось записать показания в «%1»: %2</source>
        <translation>Could not write the readings to «%1»: %2</translation>
    </message>
    <message>
        <source>нет соединения libpq</source>
        <translation>no libpq connection</translation>
    </message>
    <message>
        <source>нет соединения SQLite</source>
        <translation>no SQLite connection</translation>
    </message>
    <message>
        <source>Соединение с «%1» не открыто.</source>
        <translation>The connection with «%1» is not open.</translation>
    </message>
    <message>
        <source>Нет соединения с базой данных «%1»: сервер не ответил вовремя.</source>
        <translation>No connection with the database «%1»: the server did not answer in time.</translation>
    </message>
</context>
</TS>
