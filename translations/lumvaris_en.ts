<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>TFormAppOptions</name>
    <message>
        <source>Настройки локальной базы данных</source>
        <translation>Local database settings</translation>
    </message>
    <message>
        <source>Количество счётчиков  </source>
        <translation>Number of meters  </translation>
    </message>
    <message>
        <source>Глубина хранения (пакеты)  </source>
        <translation>Storage depth (packets)  </translation>
    </message>
    <message>
        <source>Глубина хранения (дни)  </source>
        <translation>Storage depth (days)  </translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
</context>
<context>
    <name>TFormDebug</name>
    <message>
        <source>Концентратор: отладка</source>
        <translation>Concentrator: debugging</translation>
    </message>
    <message>
        <source>Передавать номер фазы</source>
        <translation>Send the phase number</translation>
    </message>
    <message>
        <source>(только в &apos;прозрачном&apos; режиме)</source>
        <translation>(in &apos;transparent&apos; mode only)</translation>
    </message>
    <message>
        <source>Прекратить PLC-обмен</source>
        <translation>Stop the PLC traffic</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TFormGauge</name>
    <message>
        <source>Загрузка hex-файла</source>
        <translation>Loading the hex file</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TFormHashCalculate</name>
    <message>
        <source>Вычисление бинарного ключа, подождите, пожалуйста ...</source>
        <translation>Computing the binary key, please wait ...</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TFormLinkMonitor</name>
    <message>
        <source>Монитор обмена</source>
        <translation>Traffic monitor</translation>
    </message>
    <message>
        <source>Направление:</source>
        <translation>Direction:</translation>
    </message>
    <message>
        <source>в обе стороны</source>
        <translation>both ways</translation>
    </message>
    <message>
        <source>→ отправленные</source>
        <translation>→ sent</translation>
    </message>
    <message>
        <source>← принятые</source>
        <translation>← received</translation>
    </message>
    <message>
        <source>Пакеты счётчиков</source>
        <translation>Meter packets</translation>
    </message>
    <message>
        <source>Типы (hex):</source>
        <translation>Types (hex):</translation>
    </message>
    <message>
        <source>все</source>
        <translation>all</translation>
    </message>
    <message>
        <source>Коды типов через пробел, например: 81 85</source>
        <translation>Type codes separated by spaces, for example: 81 85</translation>
    </message>
    <message>
        <source>Пауза</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Таблица стоит, запись продолжается</source>
        <translation>The table stands still, recording goes on</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Сохранить...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>Строк: 0</source>
        <translation>Rows: 0</translation>
    </message>
</context>
<context>
    <name>TFormMain</name>
    <message>
        <source>Порт:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Последовательный порт: имя из списка или полный путь к устройству</source>
        <translation>Serial port: a name from the list or the full path of the device</translation>
    </message>
    <message>
        <source>Скорость:</source>
        <translation>Rate:</translation>
    </message>
    <message>
        <source>Прочитать</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Вызов справки</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Концентратор</source>
        <translation>Concentrator</translation>
    </message>
    <message>
        <source>Конфигурация концентратора </source>
        <translation>Concentrator configuration </translation>
    </message>
    <message>
        <source>Режим работы</source>
        <translation>Operating mode</translation>
    </message>
    <message>
        <source>PLC-интерфейс </source>
        <translation>PLC interface </translation>
    </message>
    <message>
        <source>Разрешить</source>
        <translation>Enable</translation>
    </message>
    <message>
        <source>Запретить</source>
        <translation>Disable</translation>
    </message>
    <message>
        <source>Размер сети </source>
        <translation>Network size </translation>
    </message>
    <message>
        <source>Принятые пакеты сохранять в памяти и ... </source>
        <translation>Keep received packets in memory and ... </translation>
    </message>
    <message>
        <source>больше ничего не делать</source>
        <translation>do nothing else</translation>
    </message>
    <message>
        <source>сразу передавать в последовательный порт</source>
        <translation>pass them to the serial port at once</translation>
    </message>
    <message>
        <source>Автоматически переходить на зимнее время</source>
        <translation>Switch to winter time automatically</translation>
    </message>
    <message>
        <source>Буфер &apos;последних пакетов&apos; </source>
        <translation>&apos;Last packets&apos; buffer </translation>
    </message>
    <message>
        <source>Номер счётчика</source>
        <translation>Meter number</translation>
    </message>
    <message>
        <source>Буфер &apos;последних месяцев&apos; </source>
        <translation>&apos;Last months&apos; buffer </translation>
    </message>
    <message>
        <source>Номер версии </source>
        <translation>Version number </translation>
    </message>
    <message>
        <source>Время/дата подчинённых узлов </source>
        <translation>Time/date of the slave nodes </translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Внимание! Назначение кнопок меняется при нажатии на &apos;Shift, Ctrl или Alt&apos;</source>
        <translation>Attention! The buttons change their purpose while &apos;Shift, Ctrl or Alt&apos; is held</translation>
    </message>
    <message>
        <source>&apos;Закрытые&apos; сети, шифрование</source>
        <translation>&apos;Closed&apos; networks, encryption</translation>
    </message>
    <message>
        <source>Ключ шифрования для &apos;закрытой&apos; сети </source>
        <translation>Encryption key of the &apos;closed&apos; network </translation>
    </message>
    <message>
        <source>&apos;Отпечаток&apos;:</source>
        <translation>&apos;Fingerprint&apos;:</translation>
    </message>
    <message>
        <source>Ключ:</source>
        <translation>Key:</translation>
    </message>
    <message>
        <source>Ёмкость сети 0 счётчиков</source>
        <translation>Network capacity 0 meters</translation>
    </message>
    <message>
        <source>Последние 0 пакетов</source>
        <translation>Last 0 packets</translation>
    </message>
    <message>
        <source>Последние 0 дней</source>
        <translation>Last 0 days</translation>
    </message>
    <message>
        <source>Состояние сети</source>
        <translation>Network health</translation>
    </message>
    <message>
        <source>Отмечать «не слышен» после, мин:</source>
        <translation>Mark &quot;not heard&quot; after, min:</translation>
    </message>
    <message>
        <source>&apos;Защищённые&apos; команды</source>
        <translation>&apos;Protected&apos; commands</translation>
    </message>
    <message>
        <source>Время/дата</source>
        <translation>Time/date</translation>
    </message>
    <message>
        <source>Установить</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Расчётный день</source>
        <translation>Billing day</translation>
    </message>
    <message>
        <source>Включить управление ограничением доступа</source>
        <translation>Enable access restriction</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Текущий:</source>
        <translation>Current:</translation>
    </message>
    <message>
        <source>Отправить</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Новый:</source>
        <translation>New:</translation>
    </message>
    <message>
        <source>На этой закладке собраны т.н. 
&apos;защищённые&apos; команды, т.е. 
команды, доступ к которым может 
быть ограничен путём установки 
пароля, отличного от пустой строки. 
Механизм ограничения доступа 
работает следующим образом:

1. Отправка правильного текущего 
пароля разрешает выполнение одной 
&apos;защищённой&apos; команды.

2. Установка нового пароля также 
является &apos;защищённой&apos; командой.

3. Установка в качестве нового
пароля пустой строки (исходное
значение) снимает все
ограничения доступа 
к &apos;защищённым&apos; командам.</source>
        <translation>This tab holds the so-called 
&apos;protected&apos; commands, that is 
commands whose use can be 
restricted by setting a 
password other than the empty 
string. The restriction 
works as follows:

1. Sending the right current 
password allows one 
&apos;protected&apos; command.

2. Setting a new password is 
itself a &apos;protected&apos; command.

3. Setting the empty string
as the new password (the
initial value) lifts every
restriction on the 
&apos;protected&apos; commands.</translation>
    </message>
    <message>
        <source>Состояние линии</source>
        <translation>Line state</translation>
    </message>
    <message>
        <source>ВНИМАНИЕ!</source>
        <translation>ATTENTION!</translation>
    </message>
    <message>
        <source> Данная функция действительна только для SLAVE-режимов работы концентратора.</source>
        <translation> This function works only in the SLAVE modes of the concentrator.</translation>
    </message>
    <message>
        <source>Состояние линии (все фазы)</source>
        <translation>Line state (all phases)</translation>
    </message>
    <message>
        <source>Авто (период 1 сек)</source>
        <translation>Auto (every 1 s)</translation>
    </message>
    <message>
        <source>Копировать в буфер обмена</source>
        <translation>Copy to the clipboard</translation>
    </message>
    <message>
        <source>Чтение</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Сервис</source>
        <translation>Service</translation>
    </message>
    <message>
        <source>Калибровка часов</source>
        <translation>Clock calibration</translation>
    </message>
    <message>
        <source>Калибровка часов концентратора</source>
        <translation>Concentrator clock calibration</translation>
    </message>
    <message>
        <source>Изменить скорость хода на ...</source>
        <translation>Change the clock rate by ...</translation>
    </message>
    <message>
        <source>Тесты</source>
        <translation>Tests</translation>
    </message>
    <message>
        <source>месяц</source>
        <translation>month</translation>
    </message>
    <message>
        <source>Январь</source>
        <translation>January</translation>
    </message>
    <message>
        <source>Февраль</source>
        <translation>February</translation>
    </message>
    <message>
        <source>Март</source>
        <translation>March</translation>
    </message>
    <message>
        <source>Апрель</source>
        <translation>April</translation>
    </message>
    <message>
        <source>Май</source>
        <translation>May</translation>
    </message>
    <message>
        <source>Июнь</source>
        <translation>June</translation>
    </message>
    <message>
        <source>Июль</source>
        <translation>July</translation>
    </message>
    <message>
        <source>Август</source>
        <translation>August</translation>
    </message>
    <message>
        <source>Сентябрь</source>
        <translation>September</translation>
    </message>
    <message>
        <source>Октябрь</source>
        <translation>October</translation>
    </message>
    <message>
        <source>Ноябрь</source>
        <translation>November</translation>
    </message>
    <message>
        <source>Декабрь</source>
        <translation>December</translation>
    </message>
    <message>
        <source>Дата/время последнего старта</source>
        <translation>Date/time of the last start</translation>
    </message>
    <message>
        <source>Полная проверка SRAM</source>
        <translation>Full SRAM test</translation>
    </message>
    <message>
        <source>Выполнить</source>
        <translation>Run</translation>
    </message>
    <message>
        <source>Сброс концентратора</source>
        <translation>Concentrator reset</translation>
    </message>
    <message>
        <source>Внутренние регистры</source>
        <translation>Internal registers</translation>
    </message>
    <message>
        <source>LEN (words)</source>
        <translation>LEN (words)</translation>
    </message>
    <message>
        <source>Читать</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>PLC-команды</source>
        <translation>PLC commands</translation>
    </message>
    <message>
        <source>&apos;Короткие&apos; PLC-команды</source>
        <translation>&apos;Short&apos; PLC commands</translation>
    </message>
    <message>
        <source>Энергия активная, &apos;точный срез&apos;          = 00/00</source>
        <translation>Active energy, &apos;exact slice&apos;             = 00/00</translation>
    </message>
    <message>
        <source>Энергия активная, фаза A &apos;точный срез&apos;   = 00/10</source>
        <translation>Active energy, phase A &apos;exact slice&apos;     = 00/10</translation>
    </message>
    <message>
        <source>Энергия активная, фаза B &apos;точный срез&apos;   = 00/20</source>
        <translation>Active energy, phase B &apos;exact slice&apos;     = 00/20</translation>
    </message>
    <message>
        <source>Энергия активная, фаза C &apos;точный срез&apos;   = 00/30</source>
        <translation>Active energy, phase C &apos;exact slice&apos;     = 00/30</translation>
    </message>
    <message>
        <source>Отключить нагрузку (все счётчики)        = 01/00</source>
        <translation>Disconnect the load (all meters)         = 01/00</translation>
    </message>
    <message>
        <source>Включить нагрузку (все счётчики)         = 01/01</source>
        <translation>Connect the load (all meters)            = 01/01</translation>
    </message>
    <message>
        <source>Энергия активная, Т1 на 00:00            = 02/40</source>
        <translation>Active energy, T1 at 00:00               = 02/40</translation>
    </message>
    <message>
        <source>Энергия активная, Т2 на 00:00            = 02/41</source>
        <translation>Active energy, T2 at 00:00               = 02/41</translation>
    </message>
    <message>
        <source>Энергия активная, Т3 на 00:00            = 02/42</source>
        <translation>Active energy, T3 at 00:00               = 02/42</translation>
    </message>
    <message>
        <source>Энергия активная, Т4 на 00:00            = 02/43</source>
        <translation>Active energy, T4 at 00:00               = 02/43</translation>
    </message>
    <message>
        <source>Получасовки                              = 02/44</source>
        <translation>Half-hour values                         = 02/44</translation>
    </message>
    <message>
        <source>Энергия реактивная прямая на 00:00       = 02/45</source>
        <translation>Reactive energy, forward, at 00:00       = 02/45</translation>
    </message>
    <message>
        <source>Энергия реактивная обратная на 00:00     = 02/46</source>
        <translation>Reactive energy, reverse, at 00:00       = 02/46</translation>
    </message>
    <message>
        <source>Серийный номер                           = 02/48</source>
        <translation>Serial number                            = 02/48</translation>
    </message>
    <message>
        <source>Слово состояния                          = 02/49</source>
        <translation>Status word                              = 02/49</translation>
    </message>
    <message>
        <source>Энергия активная,               на 00:00 = 02/4F</source>
        <translation>Active energy,               at 00:00    = 02/4F</translation>
    </message>
    <message>
        <source>Энергия активная, текущий тариф на 00:00 = 02/FE</source>
        <translation>Active energy, current tariff, at 00:00  = 02/FE</translation>
    </message>
    <message>
        <source>Вернуться в режим &quot;по умолчанию&quot;         = 02/FF</source>
        <translation>Back to the &quot;default&quot; mode               = 02/FF</translation>
    </message>
    <message>
        <source>Проверка PLC-буфера</source>
        <translation>PLC buffer check</translation>
    </message>
    <message>
        <source>Ячеек свободных: </source>
        <translation>Free cells: </translation>
    </message>
    <message>
        <source>&apos;Длинные&apos; PLC-команды</source>
        <translation>&apos;Long&apos; PLC commands</translation>
    </message>
    <message>
        <source>Тип:</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>Адрес:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>Для всех</source>
        <translation>For all</translation>
    </message>
    <message>
        <source>Контрольный байт:</source>
        <translation>Check byte:</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Редактировать</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Помощь</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Двойной щелчок обнуляет</source>
        <translation>A double click resets</translation>
    </message>
    <message>
        <source>Экспорт...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>Центральная база данных...</source>
        <translation>Central database...</translation>
    </message>
    <message>
        <source>Брокер MQTT...</source>
        <translation>MQTT broker...</translation>
    </message>
    <message>
        <source>«Прочитать всё»: следующий запрос сразу после ответа</source>
        <translation>&quot;Read all&quot;: the next request right after the reply</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Копировать текущую таблицу в Clipboard (Excel)</source>
        <translation>Copy the current table to the clipboard (Excel)</translation>
    </message>
    <message>
        <source>Сортировать пакеты с удалением дубликатов</source>
        <translation>Sort the packets, removing duplicates</translation>
    </message>
    <message>
        <source>Стереть все накопленные программой данные</source>
        <translation>Erase all data the program has collected</translation>
    </message>
    <message>
        <source>Показывать всё</source>
        <translation>Show everything</translation>
    </message>
    <message>
        <source>Настройки локальной базы данных</source>
        <translation>Local database settings</translation>
    </message>
    <message>
        <source>Монитор обмена</source>
        <translation>Traffic monitor</translation>
    </message>
    <message>
        <source>Таймаут порта = 1 сек</source>
        <translation>Port timeout = 1 s</translation>
    </message>
    <message>
        <source>Таймаут порта = 2 сек</source>
        <translation>Port timeout = 2 s</translation>
    </message>
    <message>
        <source>Таймаут порта = 4 сек</source>
        <translation>Port timeout = 4 s</translation>
    </message>
    <message>
        <source>Таймаут порта = 8 сек</source>
        <translation>Port timeout = 8 s</translation>
    </message>
    <message>
        <source>Таймаут порта = 16 сек</source>
        <translation>Port timeout = 16 s</translation>
    </message>
</context>
<context>
    <name>TFormNewAddress</name>
    <message>
        <source>Смена адреса концентратора</source>
        <translation>Change of the concentrator address</translation>
    </message>
    <message>
        <source>Прежний адрес (hex)</source>
        <translation>Old address (hex)</translation>
    </message>
    <message>
        <source>2001 &lt;=</source>
        <translation>2001 &lt;=</translation>
    </message>
    <message>
        <source>&lt;= 2FFF</source>
        <translation>&lt;= 2FFF</translation>
    </message>
    <message>
        <source>Новый адрес (hex)</source>
        <translation>New address (hex)</translation>
    </message>
    <message>
        <source>Принудительно</source>
        <translation>Forced</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>app::PortStateText</name>
    <message>
        <source> Коммуникационный порт открыт.</source>
        <translation> The communication port is open.</translation>
    </message>
    <message>
        <source> Данные не сохраняются!</source>
        <translation> The data are not being saved!</translation>
    </message>
    <message>
        <source> Связь восстановлена.</source>
        <translation> Connection restored.</translation>
    </message>
    <message>
        <source> Журнал не записывается!</source>
        <translation> The journal is not being written!</translation>
    </message>
    <message>
        <source> ВНИМАНИЕ! Порт потерян, ожидание адаптера: %1 с</source>
        <translation> ATTENTION! Port lost, waiting for the adapter: %1 s</translation>
    </message>
    <message>
        <source> Подключение к %1… (Esc - отмена)</source>
        <translation> Connecting to %1… (Esc to cancel)</translation>
    </message>
    <message>
        <source> ВНИМАНИЕ! Нет связи с %1, повторное подключение через %2 с (Esc - отмена)</source>
        <translation> ATTENTION! No connection to %1, reconnecting in %2 s (Esc to cancel)</translation>
    </message>
    <message>
        <source> ВНИМАНИЕ! Порт не открыт: адаптер не вернулся.</source>
        <translation> ATTENTION! The port is not open: the adapter did not come back.</translation>
    </message>
    <message>
        <source> ВНИМАНИЕ! Коммуникационный порт не открыт!</source>
        <translation> ATTENTION! The communication port is not open!</translation>
    </message>
</context>
<context>
    <name>app::QtFileDialog</name>
    <message>
        <source>Прошивка новой версии кода концентратора</source>
        <translation>Firmware of a new version of the concentrator code</translation>
    </message>
    <message>
        <source>Hex файлы (*.hex)</source>
        <translation>Hex files (*.hex)</translation>
    </message>
    <message>
        <source>Сохранить обмен</source>
        <translation>Save the traffic</translation>
    </message>
    <message>
        <source>Текстовые файлы (*.txt);;Все файлы (*)</source>
        <translation>Text files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>Экспорт базы данных</source>
        <translation>Database export</translation>
    </message>
    <message>
        <source>База данных SQLite (*.sqlite);;CSV (*.csv);;JSON Lines (*.jsonl)</source>
        <translation>SQLite database (*.sqlite);;CSV (*.csv);;JSON Lines (*.jsonl)</translation>
    </message>
</context>
<context>
    <name>app::QtMessageBox</name>
    <message>
        <source>Повторить</source>
        <translation>Retry</translation>
    </message>
</context>
<context>
    <name>app::StatusPanels</name>
    <message>
        <source> Байт принято = %1</source>
        <translation> Bytes received = %1</translation>
    </message>
</context>
<context>
    <name>cli::main</name>
    <message>
        <source>Аргумент %1 («%2») - не текст в кодировке UTF-8.
Справка: lumvaris-cli --help
</source>
        <translation>Argument %1 (&quot;%2&quot;) is not UTF-8 text.
Help: lumvaris-cli --help
</translation>
    </message>
    <message>
        <source>Каталог данных «%1» не создаётся.</source>
        <translation>The data directory &quot;%1&quot; cannot be created.</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::KeyPanel</name>
    <message>
        <source>Ключ не передан: порт закрыт</source>
        <translation>The key was not sent: the port is closed</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::LanguageMenu</name>
    <message>
        <source>Язык</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Язык не сохранён: файл настроек в «%1» не записывается.</source>
        <translation>The language was not saved: the settings file in &quot;%1&quot; cannot be written.</translation>
    </message>
    <message>
        <source>Язык окна сменится при следующем запуске программы.</source>
        <translation>The window will speak the new language from the next start of the program on.</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::LumvarisApplication</name>
    <message>
        <source>Непредвиденная ошибка.</source>
        <translation>Unexpected error.</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::ProtectedPage</name>
    <message>
        <source>Текущий пароль</source>
        <translation>The current password</translation>
    </message>
    <message>
        <source>Новый пароль</source>
        <translation>The new password</translation>
    </message>
    <message>
        <source>Дата %1.%2.%3 не существует.</source>
        <translation>The date %1.%2.%3 does not exist.</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::ReadingsMenu</name>
    <message>
        <source>Экспорт базы данных порта «%1» в
%2</source>
        <translation>Exporting the database of port &quot;%1&quot; to
%2</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Экспорт</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Экспорт отменён.</source>
        <translation>Export cancelled.</translation>
    </message>
    <message>
        <source>Экспорт не выполнен:
%1</source>
        <translation>The export failed:
%1</translation>
    </message>
    <message>
        <source>Экспортировано записей: %1 в «%2».</source>
        <translation>Records exported: %1 to &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>Адрес центральной базы данных, куда пишется каждый пакет и каждая запись буфера
(postgresql://пользователь@сервер:порт/база; пароль — из ~/.pgpass или PGPASSWORD).
Пусто — не писать:</source>
        <translation>Address of the central database that every packet and every buffer record is written to
(postgresql://user@host:port/database; the password from ~/.pgpass or PGPASSWORD).
Empty: write nothing:</translation>
    </message>
    <message>
        <source>Адрес брокера MQTT, куда публикуется каждый пакет и каждая запись буфера
(mqtt://пользователь@сервер:порт/префикс или mqtts://…; пароль — из переменной
LUMVARIS_MQTT_PASSWORD). Пусто — не публиковать:</source>
        <translation>Address of the MQTT broker that every packet and every buffer record is published to
(mqtt://user@host:port/prefix or mqtts://…; the password from the variable
LUMVARIS_MQTT_PASSWORD). Empty: publish nothing:</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::ServicePage</name>
    <message>
        <source>Внимание! Проверка памяти концентратора<byte value="xd"/>
занимает продолжительное время<byte value="xd"/>
и приводит к полному уничтожению всех<byte value="xd"/>
накопленных данных! Продолжить?</source>
        <translation>Attention! The concentrator memory test
takes a long time and destroys
all the data collected! Go on?</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::TFormLinkMonitor</name>
    <message>
        <source>Строк: %1 из %2 записанных</source>
        <translation>Rows: %1 of %2 recorded</translation>
    </message>
    <message>
        <source> — пауза, запись идёт</source>
        <translation> — paused, recording goes on</translation>
    </message>
    <message>
        <source>Не удалось сохранить файл %1:
%2</source>
        <translation>The file %1 could not be saved:
%2</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::TFormMain</name>
    <message>
        <source>Закрыть без сохранения</source>
        <translation>Close without saving</translation>
    </message>
    <message>
        <source>Продолжить без сохранения</source>
        <translation>Go on without saving</translation>
    </message>
    <message>
        <source>%1 [%2] - Сч.#%3</source>
        <translation>%1 [%2] - Meter #%3</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::UartIdPanel</name>
    <message>
        <source>
Адрес не изменён.</source>
        <translation>
The address was not changed.</translation>
    </message>
    <message>
        <source>Установить новый адрес концентратора?</source>
        <translation>Set the new concentrator address?</translation>
    </message>
</context>
<context>
    <name>lumvaris::app::VersionPanel</name>
    <message>
        <source>строка длиннее одного запроса</source>
        <translation>the line is longer than one request</translation>
    </message>
</context>
<context>
    <name>lumvaris::views::HealthTableModel</name>
    <message>
        <source>Сч.#</source>
        <translation>Meter #</translation>
    </message>
    <message>
        <source>Пакетов</source>
        <translation>Packets</translation>
    </message>
    <message>
        <source>За час</source>
        <translation>Last hour</translation>
    </message>
    <message>
        <source>Прошло</source>
        <translation>Elapsed</translation>
    </message>
    <message>
        <source>Уровень</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>Мин.</source>
        <translation>Min.</translation>
    </message>
    <message>
        <source>Макс.</source>
        <translation>Max.</translation>
    </message>
    <message>
        <source>Отметка</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>не слышен</source>
        <translation>not heard</translation>
    </message>
</context>
<context>
    <name>lumvaris::views::StoreGridModel</name>
    <message>
        <source>Сч.#</source>
        <translation>Meter #</translation>
    </message>
    <message>
        <source>Пакет</source>
        <translation>Packet</translation>
    </message>
    <message>
        <source>Текущее</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>Срез</source>
        <translation>Slice</translation>
    </message>
    <message>
        <source>Уровень</source>
        <translation>Level</translation>
    </message>
    <message>
        <source>Дата</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Прошло</source>
        <translation>Elapsed</translation>
    </message>
</context>
</TS>
