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
    <name>cli::AcceptedCalls</name>
    <message>
        <source>Концентратор %1 (%2): связь потеряна. Ожидание следующего звонка на %3.</source>
        <translation>Concentrator %1 (%2): connection lost. Waiting for the next call on %3.</translation>
    </message>
    <message>
        <source>Концентратор %1 позвонил снова: связь заменена. Звонок с %2.</source>
        <translation>Concentrator %1 called again: the connection was replaced. Call from %2.</translation>
    </message>
    <message>
        <source>Звонок концентратора %1 (%2) закрыт.</source>
        <translation>The call of concentrator %1 (%2) was closed.</translation>
    </message>
    <message>
        <source>Концентратор %1 на связи (%2): запись пакетов счётчиков в %3.</source>
        <translation>Concentrator %1 is connected (%2): meter packets are written to %3.</translation>
    </message>
    <message>
        <source>Звонок концентратора %1 (%2) закрыт: на связи уже %3 концентраторов (предел)</source>
        <translation>The call of concentrator %1 (%2) was closed: %3 concentrators are already connected (the limit)</translation>
    </message>
    <message>
        <source>; с прошлой такой записи так же закрыто ещё %1.</source>
        <translation>; since the last such entry %1 more were closed the same way.</translation>
    </message>
    <message>
        <source>. Следующие такие закрытия записываются не чаще раза в %1 с.</source>
        <translation>. Further such closings are logged at most once per %1 s.</translation>
    </message>
</context>
<context>
    <name>cli::Collect</name>
    <message>
        <source>проверка часов</source>
        <translation>clock check</translation>
    </message>
    <message>
        <source>чтение буферов &apos;последних месяцев&apos;</source>
        <translation>reading the &apos;last months&apos; buffers</translation>
    </message>
    <message>
        <source>чтение буферов &apos;последних пакетов&apos;</source>
        <translation>reading the &apos;last packets&apos; buffers</translation>
    </message>
    <message>
        <source>Участок «%1»: файл пароля «%2» не читается.</source>
        <translation>Site «%1»: the password file «%2» cannot be read.</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Участок «%1»: %2</source>
        <translation>Site «%1»: %2</translation>
    </message>
    <message>
        <source>ожидание: участок не взят</source>
        <translation>waiting: the site is not taken</translation>
    </message>
    <message>
        <source>ожидание звонка</source>
        <translation>waiting for a call</translation>
    </message>
    <message>
        <source>ожидание звонка концентратора %1.</source>
        <translation>waiting for a call from concentrator %1.</translation>
    </message>
    <message>
        <source>концентратор опознан, UART-ID %1.</source>
        <translation>concentrator identified, UART-ID %1.</translation>
    </message>
    <message>
        <source>причина потери связи: %1.</source>
        <translation>cause of the connection loss: %1.</translation>
    </message>
    <message>
        <source>порт не открывается; повтор через %1 с.</source>
        <translation>the port does not open; retry in %1 s.</translation>
    </message>
    <message>
        <source>на связи (%1).</source>
        <translation>connected (%1).</translation>
    </message>
    <message>
        <source>подключение к %1…</source>
        <translation>connecting to %1…</translation>
    </message>
    <message>
        <source>связь потеряна.</source>
        <translation>connection lost.</translation>
    </message>
    <message>
        <source>снят с работы (сохранено).</source>
        <translation>taken out of service (saved).</translation>
    </message>
    <message>
        <source>Участок «%1»: звонок закрыт: участок держит другой сборщик.</source>
        <translation>Site «%1»: call closed: another collector holds the site.</translation>
    </message>
    <message>
        <source>концентратор позвонил снова: связь заменена.</source>
        <translation>the concentrator called again: the connection was replaced.</translation>
    </message>
    <message>
        <source>звонок закрыт.</source>
        <translation>call closed.</translation>
    </message>
    <message>
        <source>на связи (звонок концентратора %1).</source>
        <translation>connected (call of concentrator %1).</translation>
    </message>
    <message>
        <source>задание «%1» начато.</source>
        <translation>job «%1» started.</translation>
    </message>
    <message>
        <source>отклонение часов %1 с</source>
        <translation>clock offset %1 s</translation>
    </message>
    <message>
        <source>отклонение часов %1 с: часы установлены по часам компьютера</source>
        <translation>clock offset %1 s: the clock was set to the computer&apos;s clock</translation>
    </message>
    <message>
        <source>%1: в сети концентратора нет счётчиков.</source>
        <translation>%1: the concentrator&apos;s network has no meters.</translation>
    </message>
    <message>
        <source>задание «%1» выполнено: %2</source>
        <translation>job «%1» done: %2</translation>
    </message>
    <message>
        <source>задание «%1» не выполнено; повтор через %2 с.</source>
        <translation>job «%1» failed; retry in %2 s.</translation>
    </message>
    <message>
        <source>связь потеряна; ожидание следующего звонка.</source>
        <translation>connection lost; waiting for the next call.</translation>
    </message>
    <message>
        <source>связь потеряна; повтор через %1 с.</source>
        <translation>connection lost; retry in %1 s.</translation>
    </message>
    <message>
        <source>Участок «%1»: взят.</source>
        <translation>Site «%1»: taken.</translation>
    </message>
    <message>
        <source>Участок «%1»: взят у сборщика «%2».</source>
        <translation>Site «%1»: taken over from collector «%2».</translation>
    </message>
    <message>
        <source>отдан другому сборщику.</source>
        <translation>handed over to another collector.</translation>
    </message>
    <message>
        <source>Связи с базой сборщиков нет (%1): опрос всех участков остановлен до её восстановления.</source>
        <translation>No connection with the collectors&apos; database (%1): polling of all sites is stopped until it is back.</translation>
    </message>
    <message>
        <source>не опрашивается: связи с базой сборщиков нет.</source>
        <translation>not polled: no connection with the collectors&apos; database.</translation>
    </message>
    <message>
        <source>База сборщиков на связи: участки делятся.</source>
        <translation>The collectors&apos; database is connected: the sites are shared.</translation>
    </message>
    <message>
        <source>%1: участки calls-in звонят сборщику: нужен --accept [АДРЕС:]ПОРТ.</source>
        <translation>%1: calls-in sites call the collector: --accept [ADDRESS:]PORT is needed.</translation>
    </message>
    <message>
        <source>SIGHUP: таблица участков перечитывается.</source>
        <translation>SIGHUP: the sites table is read again.</translation>
    </message>
    <message>
        <source>SIGHUP: файл участков %1 перечитывается.</source>
        <translation>SIGHUP: the sites file %1 is read again.</translation>
    </message>
    <message>
        <source>Файл участков не принят: участки работают, как прежде.</source>
        <translation>The sites file was not accepted: the sites work as before.</translation>
    </message>
    <message>
        <source>Файл участков принят: добавлено %1, снято %2, изменено %3.</source>
        <translation>The sites file was accepted: %1 added, %2 removed, %3 changed.</translation>
    </message>
    <message>
        <source>Метрики: http://%1:%2/metrics</source>
        <translation>Metrics: http://%1:%2/metrics</translation>
    </message>
    <message>
        <source>Ожидание звонков концентраторов на %1:%2.</source>
        <translation>Waiting for concentrators&apos; calls on %1:%2.</translation>
    </message>
    <message>
        <source>Сборщик запущен: участков %1, данные в %2 (конец: SIGTERM; SIGHUP - перечитать файл участков).</source>
        <translation>Collector started: %1 sites, data in %2 (stop: SIGTERM; SIGHUP: read the sites file again).</translation>
    </message>
    <message>
        <source>%1 «%2» не принял показаний: %3. Они ждут в хранилище «%4» и будут отправлены при следующем запуске сборщика.</source>
        <translation>%1 «%2» did not accept readings: %3. They wait in the store «%4» and will be sent at the next start of the collector.</translation>
    </message>
    <message>
        <source>Брокер MQTT</source>
        <translation>MQTT broker</translation>
    </message>
    <message>
        <source>Адрес</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Сборщик остановлен: всё сохранено.</source>
        <translation>Collector stopped: everything is saved.</translation>
    </message>
</context>
<context>
    <name>cli::Commands</name>
    <message>
        <source>Счётчик %1: %2</source>
        <translation>Meter %1: %2</translation>
    </message>
    <message>
        <source>Часы концентратора установлены по часам компьютера.</source>
        <translation>The concentrator&apos;s clock was set to the computer&apos;s clock.</translation>
    </message>
    <message>
        <source>Показания помечаются UART-ID %1.</source>
        <translation>The readings are marked with UART-ID %1.</translation>
    </message>
    <message>
        <source>Счётчика %1 нет в сети концентратора: её размер %2 (--to не больше него).</source>
        <translation>Meter %1 is not in the concentrator&apos;s network: its size is %2 (--to at most that).</translation>
    </message>
    <message>
        <source>Ожидание звонков концентраторов на %1 (конец: Ctrl+C или SIGTERM).</source>
        <translation>Waiting for concentrators&apos; calls on %1 (stop: Ctrl+C or SIGTERM).</translation>
    </message>
    <message>
        <source>Пакетов принято: %1</source>
        <translation>Packets received: %1</translation>
    </message>
    <message>
        <source>Порт «%1» не найден: ожидание его появления (проверка каждую секунду; конец: Ctrl+C или SIGTERM).</source>
        <translation>Port «%1» not found: waiting for it to appear (checked every second; stop: Ctrl+C or SIGTERM).</translation>
    </message>
    <message>
        <source>Пакетов принято: 0</source>
        <translation>Packets received: 0</translation>
    </message>
    <message>
        <source>Связь восстановлена.</source>
        <translation>Connection restored.</translation>
    </message>
    <message>
        <source>Запись пакетов счётчиков с порта %1 в %2 (конец: Ctrl+C или SIGTERM).</source>
        <translation>Writing meter packets from port %1 to %2 (stop: Ctrl+C or SIGTERM).</translation>
    </message>
    <message>
        <source>Экспорт прерван: файлы не записаны.</source>
        <translation>Export interrupted: the files were not written.</translation>
    </message>
    <message>
        <source>%1: добавлено показаний %2 из %3</source>
        <translation>%1: readings added %2 of %3</translation>
    </message>
    <message>
        <source>Записано показаний: %1 (пакетов в файлах и журнале: %2)</source>
        <translation>Readings written: %1 (packets in the files and the journal: %2)</translation>
    </message>
</context>
<context>
    <name>cli::DataSinks</name>
    <message>
        <source>Файл «%1» не читается.</source>
        <translation>The file «%1» cannot be read.</translation>
    </message>
    <message>
        <source>Они есть в локальной базе данных порта; команда export допишет их.</source>
        <translation>They are in the port&apos;s local database; the export command will add them.</translation>
    </message>
    <message>
        <source>Они ждут в очереди «%1» и будут отправлены при следующем запуске с этим портом и адресом.</source>
        <translation>They wait in the queue «%1» and will be sent at the next start with this port and address.</translation>
    </message>
    <message>
        <source>Брокер MQTT «%1» не подтвердил показаний: %2. %3</source>
        <translation>MQTT broker «%1» did not confirm readings: %2. %3</translation>
    </message>
    <message>
        <source>В «%1» не записано показаний: %2. %3</source>
        <translation>No readings were written to «%1»: %2. %3</translation>
    </message>
</context>
<context>
    <name>cli::FirmwareCommand</name>
    <message>
        <source>строка длиннее одного запроса</source>
        <translation>the line is longer than one request</translation>
    </message>
    <message>
        <source>Файл прошивки «%1» не читается.</source>
        <translation>The firmware file «%1» cannot be read.</translation>
    </message>
    <message>
        <source>Прошивка не начата. Чтобы всё же загрузить этот файл, добавьте --force.</source>
        <translation>The upload was not started. To upload this file anyway, add --force.</translation>
    </message>
    <message>
        <source>Строк подтверждено: %1 из %2</source>
        <translation>Lines acknowledged: %1 of %2</translation>
    </message>
</context>
<context>
    <name>cli::KeyCommand</name>
    <message>
        <source>Ключ «%1» загружен (%2).</source>
        <translation>Key «%1» loaded (%2).</translation>
    </message>
    <message>
        <source>из Keys.ini</source>
        <translation>from Keys.ini</translation>
    </message>
    <message>
        <source>вычислен и записан в Keys.ini</source>
        <translation>derived and written to Keys.ini</translation>
    </message>
</context>
<context>
    <name>cli::Options</name>
    <message>
        <source>Использование: lumvaris-cli КОМАНДА [ПАРАМЕТРЫ]

Концентратор PLC-сети из терминала, сценария или службы. Данные выводятся на стандартный вывод
(текстом, или по одному объекту JSON в строке с --json), сообщения - на стандартный поток ошибок.

Команды:
  ports                      список портов, как в окне программы (имя, описание, серийный номер)
  info                       версия, конфигурация, UART-ID, часы и их отклонение, расчётный день,
                             калибровка часов, скорость порта, отпечаток ключа
  clock [--set]              часы концентратора и их отклонение от часов компьютера; с --set
                             установить часы компьютера и прочитать их обратно
  read-all [--months] [--from N] [--to M] [--pace reply]
                             прочитать буферы &apos;последних пакетов&apos; (с --months - &apos;последних
                             месяцев&apos;) счётчиков N..M (по умолчанию 1..размер сети) в локальную базу
                             данных порта, как окно программы; затем итог
  listen [--for СЕКУНДЫ]     записывать каждый пакет счётчика в локальную базу данных порта
                             (сохраняется каждую минуту и в конце) до SIGINT, SIGTERM или истечения
                             времени; для службы. Порта ещё нет - ждать его появления (проверка
                             каждую секунду)
  listen --accept [АДРЕС:]ПОРТ --allow HEX[,HEX...]|all [--ident ВЫРАЖЕНИЕ] [--max-calls N]
         [--for СЕКУНДЫ]
                             то же для концентраторов, чьи модемы сами звонят программе: ждать
                             их подключений на ПОРТ (адрес по умолчанию 127.0.0.1; IPv6 в
                             скобках: [::]:4001), принимать только разрешённые UART-ID (all -
                             любой); концентратор опознаётся по ответу на AddressRead или по
                             тексту модема (--ident: выражение с одной группой - UART-ID из
                             четырёх шестнадцатеричных цифр, например &apos;ID:([0-9A-F]{4})&apos;).
                             Звонки разных концентраторов принимаются одновременно (не
                             больше N, по умолчанию 256), у каждого свои файлы порта:
                             tcp-uart-UARTID-ПОРТ. Связь потеряна - ждать следующего звонка
  firmware ФАЙЛ [--legacy] [--force]
                             загрузить новую прошивку (--legacy: устаревший способ; --force: и файл,
                             не прошедший проверку формата Intel-HEX)
  key ИМЯ                    вычислить ключ закрытой сети по непустому имени (хранится в Keys.ini)
                             и загрузить
  send ТИП [HEX...]          один запрос по имени (ClockRead) или коду (81) с байтами после кода
                             типа; вывести ответ, как его показывает окно (с --json - и его байты).
                             Те же проверки, что в окне: адрес, пароль, диапазоны значений; ключ и
                             прошивку загружают команды key и firmware
  export --db АДРЕС          записать всю локальную базу данных порта (без связи с концентратором)
  collect --sites ФАЙЛ [--accept [АДРЕС:]ПОРТ] [--metrics [АДРЕС:]ПОРТ] [--data-dir КАТАЛОГ]
                             сборщик для парка концентраторов: все участки файла (TOML) в одном
                             процессе - порт каждого открыт всё время, показания всех участков -
                             в одном хранилище КАТАЛОГ/readings.sqlite и оттуда в получатели
                             участков (db, mqtt); файлы порта - только у участков с local_files;
                             задания по расписанию участка (буферы, месяцы, часы).
                             Участки работают одновременно, у каждого один запрос за раз; сетевых
                             подключений не больше max_connecting сразу и connects_per_second в
                             секунду (таблица [collector] файла участков; 8 и 20).
                             Участки calls-in звонят на --accept. SIGHUP - перечитать файл (файл с
                             ошибками не принимается, участки работают дальше), SIGTERM - сохранить
                             и выйти (0). --metrics: /metrics и /healthz для Prometheus (адрес по
                             умолчанию 127.0.0.1). Учёт выполненных заданий - в памяти: после
                             перезапуска задания, которые уже пора выполнять, выполняются сразу
  collect --claim postgresql://... [--sites ФАЙЛ] [--collector ИМЯ] [--max-sites N]
                             парк, общий для нескольких сборщиков: каждый берёт свою долю участков
                             (блокировки PostgreSQL) и опрашивает только их, участки умершего
                             сборщика берут другие и читают их буферы; без --sites - участки из
                             таблицы sites этой базы
  sites --claim postgresql://...
                             участки парка, общего для нескольких сборщиков: какой сборщик
                             какой участок держит и с какого времени (UTC), затем участки,
                             которые не держит никто

Параметры всех команд:
  --port ИМЯ                 порт: ttyUSB0, полный путь, имя из /dev/serial/by-id; или сетевой
                             адрес: tcp://УЗЕЛ:ПОРТ (сервер последовательных портов, модем),
                             rfc2217://УЗЕЛ:ПОРТ (Telnet с управлением портом, RFC 2217)
  --baud 38400|19200|9600    скорость порта (38400)
  --uart-id HEX              адрес концентратора (2FFF)
  --timeout СЕКУНДЫ          таймаут ответа (2; для сетевого адреса 4)
  --password ТЕКСТ           пароль, отправляемый перед каждой &apos;защищённой&apos; командой (виден всем
                             в ps: лучше --password-file или переменная LUMVARIS_PASSWORD)
  --password-file ФАЙЛ       пароль концентратора в первой строке файла
  --json                     по одному объекту JSON в строке на стандартный вывод
  --site ИМЯ                 имя концентратора в данных вне программы (по умолчанию - имя базы
                             данных порта и имя компьютера, например ttyUSB0@box17); без &apos;/&apos;, &apos;+&apos;,
                             &apos;#&apos;, управляющих символов и &apos;$&apos; в начале, не длиннее 100 символов
  --data-dir КАТАЛОГ         каталог локальных баз данных и Keys.ini (по умолчанию - тот же, что у
                             окна программы: каталог программы или ~/.local/share/Lumvaris)
  --lang ru|en               язык сообщений (по умолчанию - LUMVARIS_LANG или язык системы)
  --help, --version

Параметры read-all, listen (и export):
  --db АДРЕС                 ещё и записывать показания: sqlite:ФАЙЛ,
                             postgresql://пользователь@сервер:порт/база, csv:ФАЙЛ, jsonl:ФАЙЛ,
                             jsonl:- (стандартный вывод); можно несколько раз
  --mqtt mqtt[s]://[пользователь@]сервер[:порт]/ПРЕФИКС
                             публиковать показания брокеру MQTT (пароль - из
                             LUMVARIS_MQTT_PASSWORD или --mqtt-password-file)
  --mqtt-ca ФАЙЛ             сертификаты центров сертификации для mqtts://
  --mqtt-password-file ФАЙЛ  пароль брокера MQTT в первой строке файла

Код завершения:
  0    выполнено
  1    неверный вызов или ввод (ничего не отправлено)
  2    порт не открывается (причина - как в окне программы) или потерян и не вернулся; для
       listen --accept - адрес для звонков занят или недоступен; для sites - база данных
       сборщиков не читается
  3    нет ответа за время таймаута
  4    отказ концентратора (40h) или неверный пароль
  5    файл не читается или не записывается (также файл-получатель, не принявший показаний)
  6    read-all, export: сервер базы данных или брокер принял не все показания (они ждут
       в очереди на диске рядом с файлами порта и уйдут при следующем запуске)
  130  прервано (Ctrl+C); 143 и 129 - прервано сигналом SIGTERM или SIGHUP (кроме listen: 0)
</source>
        <translation>Usage: lumvaris-cli COMMAND [OPTIONS]

The PLC network concentrator from a terminal, a script or a service. Data go to standard output
(as text, or as one JSON object per line with --json), messages to standard error.

Commands:
  ports                      the port list, as in the program&apos;s window (name, description, serial)
  info                       version, configuration, UART-ID, clock and its offset, billing day,
                             clock trim, port rate, key fingerprint
  clock [--set]              the concentrator&apos;s clock and its offset from the computer&apos;s clock;
                             with --set, set it to the computer&apos;s clock and read it back
  read-all [--months] [--from N] [--to M] [--pace reply]
                             read the &apos;last packets&apos; buffers (with --months, the &apos;last months&apos;)
                             of meters N..M (by default 1..network size) into the port&apos;s local
                             database, as the program&apos;s window does; then the summary
  listen [--for SECONDS]     write every meter packet into the port&apos;s local database (saved
                             every minute and at the end) until SIGINT, SIGTERM or the time is
                             up; for a service. A port not there yet is awaited (checked every
                             second)
  listen --accept [ADDRESS:]PORT --allow HEX[,HEX...]|all [--ident REGEX] [--max-calls N]
         [--for SECONDS]
                             the same for concentrators whose modems call the program: wait for
                             their connections on PORT (address 127.0.0.1 by default; IPv6 in
                             brackets: [::]:4001), take only the allowed UART-IDs (all: any);
                             a concentrator is identified by its answer to AddressRead or by
                             its modem&apos;s text (--ident: an expression with one group, the
                             UART-ID of four hexadecimal digits, e.g. &apos;ID:([0-9A-F]{4})&apos;).
                             Calls of different concentrators are taken at once (at most N,
                             256 by default), each with its own port files:
                             tcp-uart-UARTID-PORT. A lost connection: wait for the next call
  firmware FILE [--legacy] [--force]
                             upload new firmware (--legacy: the outdated way; --force: also a
                             file that fails the Intel HEX format check)
  key NAME                   derive the closed-network key from a non-empty name (kept in
                             Keys.ini) and load it
  send TYPE [HEX...]         one request by name (ClockRead) or code (81) with the bytes after
                             the type code; print the reply as the window shows it (with --json,
                             its bytes too). The window&apos;s checks: address, password, value
                             ranges; the key and the firmware are loaded by key and firmware
  export --db ADDRESS        write the port&apos;s whole local database (no concentrator connection)
  collect --sites FILE [--accept [ADDRESS:]PORT] [--metrics [ADDRESS:]PORT] [--data-dir DIR]
                             the collector for a fleet of concentrators: every site of the file
                             (TOML) in one process; each one&apos;s port open all the time, every
                             site&apos;s readings in one store DIR/readings.sqlite and from there to
                             the sites&apos; destinations (db, mqtt); port files only for sites with
                             local_files; jobs by each site&apos;s schedule (buffers, months, clock).
                             The sites work side by side, one request at a time each; network
                             connections at most max_connecting at once and connects_per_second
                             a second (the sites file&apos;s [collector] table; 8 and 20).
                             calls-in sites call --accept. SIGHUP: read the file again (a file
                             with mistakes is not accepted, the sites go on), SIGTERM: save and
                             exit (0). --metrics: /metrics and /healthz for Prometheus (address
                             127.0.0.1 by default). The jobs done are kept in memory: after a
                             restart, the jobs that are due run at once
  collect --claim postgresql://... [--sites FILE] [--collector NAME] [--max-sites N]
                             a fleet shared by several collectors: each takes its share of the
                             sites (PostgreSQL locks) and polls only those, the sites of a dead
                             collector are taken by the others, which read their buffers;
                             without --sites, the sites come from this database&apos;s sites table
  sites --claim postgresql://...
                             the sites of a fleet shared by several collectors: which collector
                             holds which site and since when (UTC), then the sites that nobody
                             holds

Options of every command:
  --port NAME                the port: ttyUSB0, a full path, a name from /dev/serial/by-id; or a
                             network address: tcp://HOST:PORT (serial device server, modem),
                             rfc2217://HOST:PORT (Telnet with port control, RFC 2217)
  --baud 38400|19200|9600    the port rate (38400)
  --uart-id HEX              the concentrator&apos;s address (2FFF)
  --timeout SECONDS          the reply timeout (2; 4 for a network address)
  --password TEXT            the password sent before each &apos;protected&apos; command (visible to all
                             in ps: better --password-file or the variable LUMVARIS_PASSWORD)
  --password-file FILE       the concentrator&apos;s password in the first line of the file
  --json                     one JSON object per line on standard output
  --site NAME                the concentrator&apos;s name in the data outside the program (by
                             default the port&apos;s database name and the computer&apos;s name, e.g.
                             ttyUSB0@box17); no &apos;/&apos;, &apos;+&apos;, &apos;#&apos;, control characters or a leading
                             &apos;$&apos;, at most 100 characters
  --data-dir DIR             the directory of the local databases and Keys.ini (by default the
                             program window&apos;s: the program&apos;s directory or ~/.local/share/Lumvaris)
  --lang ru|en               the language of the messages (by default LUMVARIS_LANG or the system&apos;s)
  --help, --version

Options of read-all, listen (and export):
  --db ADDRESS               also write the readings: sqlite:FILE,
                             postgresql://user@server:port/database, csv:FILE, jsonl:FILE,
                             jsonl:- (standard output); may be given several times
  --mqtt mqtt[s]://[user@]server[:port]/PREFIX
                             publish the readings to an MQTT broker (the password from
                             LUMVARIS_MQTT_PASSWORD or --mqtt-password-file)
  --mqtt-ca FILE             the certificate authorities&apos; certificates for mqtts://
  --mqtt-password-file FILE  the MQTT broker&apos;s password in the first line of the file

Exit status:
  0    done
  1    invalid call or input (nothing sent)
  2    the port does not open (the reason as in the program&apos;s window) or was lost and did not
       come back; for listen --accept, the address for calls is taken or unavailable; for
       sites, the collectors&apos; database cannot be read
  3    no reply within the timeout
  4    the concentrator refused (40h) or a wrong password
  5    a file cannot be read or written (also a destination file that did not take the readings)
  6    read-all, export: the database server or the broker did not take all the readings (they
       wait in a queue on the disk beside the port&apos;s files and go at the next start)
  130  interrupted (Ctrl+C); 143 and 129: interrupted by SIGTERM or SIGHUP (listen: 0)
</translation>
    </message>
    <message>
        <source>%1 %2 вне допустимого диапазона %3..%4: ничего не отправлено.</source>
        <translation>%1 %2 is outside the allowed range %3..%4: nothing was sent.</translation>
    </message>
    <message>
        <source>
Адрес не изменён.</source>
        <translation>
The address was not changed.</translation>
    </message>
    <message>
        <source>Пароль</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Пароль содержит байт, который не является символом кодовой страницы 1251: ничего не отправлено.</source>
        <translation>The password contains a byte that is not a character of code page 1251: nothing was sent.</translation>
    </message>
    <message>
        <source>Ключ закрытой сети загружает команда key ИМЯ: ключ вычисляется по имени и хранится в Keys.ini, как в окне программы.</source>
        <translation>The closed-network key is loaded by the command key NAME: the key is derived from the name and kept in Keys.ini, as in the window.</translation>
    </message>
    <message>
        <source>Прошивку загружает команда firmware ФАЙЛ, проверив файл прежде, чем что-либо отправить.</source>
        <translation>The firmware is uploaded by the command firmware FILE, which checks the file before anything is sent.</translation>
    </message>
    <message>
        <source>Размер сети</source>
        <translation>Network size</translation>
    </message>
    <message>
        <source>Калибровка часов</source>
        <translation>Clock trim</translation>
    </message>
    <message>
        <source>Расчётный день</source>
        <translation>Billing day</translation>
    </message>
    <message>
        <source>Номер скорости</source>
        <translation>Rate number</translation>
    </message>
    <message>
        <source>Номер счётчика</source>
        <translation>Meter number</translation>
    </message>
    <message>
        <source>Число слов</source>
        <translation>Word count</translation>
    </message>
    <message>
        <source>Режим отладки</source>
        <translation>Debug mode</translation>
    </message>
    <message>
        <source>
Справка: lumvaris-cli --help</source>
        <translation>
Help: lumvaris-cli --help</translation>
    </message>
    <message>
        <source>%1 «%2» не найден.</source>
        <translation>%1 «%2» not found.</translation>
    </message>
    <message>
        <source>%1 «%2» - это каталог, а не файл.</source>
        <translation>%1 «%2» is a directory, not a file.</translation>
    </message>
    <message>
        <source>%1 «%2» не читается: нет доступа.</source>
        <translation>%1 «%2» cannot be read: access denied.</translation>
    </message>
    <message>
        <source>Параметр --%1 не относится к команде collect: его задаёт файл участков.</source>
        <translation>The option --%1 does not belong to the command collect: the sites file sets it.</translation>
    </message>
    <message>
        <source>Не указан файл участков: collect --sites ФАЙЛ (или --claim postgresql://... с таблицей sites).</source>
        <translation>No sites file given: collect --sites FILE (or --claim postgresql://... with a sites table).</translation>
    </message>
    <message>
        <source>участки делятся через PostgreSQL: postgresql://...</source>
        <translation>the sites are shared through PostgreSQL: postgresql://...</translation>
    </message>
    <message>
        <source>--max-sites: «%1» - не число от 1 до 100000.</source>
        <translation>--max-sites: «%1» is not a number from 1 to 100000.</translation>
    </message>
    <message>
        <source>Параметры --collector и --max-sites действуют только с --claim.</source>
        <translation>The options --collector and --max-sites work only with --claim.</translation>
    </message>
    <message>
        <source>Неизвестный параметр: --%1.</source>
        <translation>Unknown option: --%1.</translation>
    </message>
    <message>
        <source>Неверный вызов: %1</source>
        <translation>Invalid call: %1</translation>
    </message>
    <message>
        <source>Не указана команда.</source>
        <translation>No command given.</translation>
    </message>
    <message>
        <source>Неизвестная команда: %1.</source>
        <translation>Unknown command: %1.</translation>
    </message>
    <message>
        <source>Параметр --%1 не относится к команде %2.</source>
        <translation>The option --%1 does not belong to the command %2.</translation>
    </message>
    <message>
        <source>Порт задаётся или --port, или --accept, но не обоими.</source>
        <translation>The port is given by --port or by --accept, not by both.</translation>
    </message>
    <message>
        <source>Не указано, чьи звонки принимать: --allow HEX[,HEX...] (UART-ID) или --allow all.</source>
        <translation>Not said whose calls to take: --allow HEX[,HEX...] (UART-ID) or --allow all.</translation>
    </message>
    <message>
        <source>--allow: «%1» - не UART-ID (шестнадцатеричное число из 1-4 цифр).</source>
        <translation>--allow: «%1» is not a UART-ID (a hexadecimal number of 1-4 digits).</translation>
    </message>
    <message>
        <source>--allow: UART-ID %1 не годится: %2</source>
        <translation>--allow: UART-ID %1 is not valid: %2</translation>
    </message>
    <message>
        <source>С --accept UART-ID называет сам звонок: вместо --uart-id - --allow.</source>
        <translation>With --accept the call itself names the UART-ID: use --allow instead of --uart-id.</translation>
    </message>
    <message>
        <source>--max-calls: «%1» - не число от 1 до %2.</source>
        <translation>--max-calls: «%1» is not a number from 1 to %2.</translation>
    </message>
    <message>
        <source>Параметры --allow, --ident и --max-calls действуют только с --accept.</source>
        <translation>The options --allow, --ident and --max-calls work only with --accept.</translation>
    </message>
    <message>
        <source>Не указана база данных сборщиков: sites --claim postgresql://...</source>
        <translation>No collectors&apos; database given: sites --claim postgresql://...</translation>
    </message>
    <message>
        <source>Не указан порт: --port ИМЯ (список портов: lumvaris-cli ports).</source>
        <translation>No port given: --port NAME (the port list: lumvaris-cli ports).</translation>
    </message>
    <message>
        <source>Скорости «%1» нет: допустимы 38400, 19200 и 9600.</source>
        <translation>There is no rate «%1»: 38400, 19200 and 9600 are allowed.</translation>
    </message>
    <message>
        <source>UART-ID «%1» - не шестнадцатеричное число из 1-4 цифр.</source>
        <translation>UART-ID «%1» is not a hexadecimal number of 1-4 digits.</translation>
    </message>
    <message>
        <source>UART-ID %1 не годится: %2</source>
        <translation>UART-ID %1 is not valid: %2</translation>
    </message>
    <message>
        <source>Таймаут «%1» - не число секунд от 1 до 600.</source>
        <translation>The timeout «%1» is not a number of seconds from 1 to 600.</translation>
    </message>
    <message>
        <source>Пароль задаётся или --password, или --password-file, но не обоими.</source>
        <translation>The password is given by --password or by --password-file, not by both.</translation>
    </message>
    <message>
        <source>Файл пароля</source>
        <translation>Password file</translation>
    </message>
    <message>
        <source>--site: с --accept к имени добавляется «-UART-ID», поэтому оно не длиннее %1 символов (%2).</source>
        <translation>--site: with --accept «-UART-ID» is added to the name, so it is at most %1 characters long (%2).</translation>
    </message>
    <message>
        <source>Не указан каталог данных (--data-dir).</source>
        <translation>No data directory given (--data-dir).</translation>
    </message>
    <message>
        <source>Номер счётчика --from «%1» - не число от 1 до 4096.</source>
        <translation>The meter number --from «%1» is not a number from 1 to 4096.</translation>
    </message>
    <message>
        <source>Номер счётчика --to «%1» - не число от 1 до 4096.</source>
        <translation>The meter number --to «%1» is not a number from 1 to 4096.</translation>
    </message>
    <message>
        <source>Счётчики --from %1 --to %2: первый номер больше последнего.</source>
        <translation>Meters --from %1 --to %2: the first number is greater than the last.</translation>
    </message>
    <message>
        <source>Темп «%1» неизвестен: допустимы reply и window.</source>
        <translation>Unknown pace «%1»: reply and window are allowed.</translation>
    </message>
    <message>
        <source>Время --for «%1» - не положительное число секунд.</source>
        <translation>The time --for «%1» is not a positive number of seconds.</translation>
    </message>
    <message>
        <source>Не указано, куда записать базу данных порта: --db АДРЕС.</source>
        <translation>Not said where to write the port&apos;s database: --db ADDRESS.</translation>
    </message>
    <message>
        <source>Параметры --mqtt-ca и --mqtt-password-file действуют только с --mqtt.</source>
        <translation>The options --mqtt-ca and --mqtt-password-file work only with --mqtt.</translation>
    </message>
    <message>
        <source>Файл пароля брокера MQTT</source>
        <translation>MQTT broker password file</translation>
    </message>
    <message>
        <source>Файл сертификатов --mqtt-ca</source>
        <translation>Certificate file --mqtt-ca</translation>
    </message>
    <message>
        <source>Лишний аргумент команды %1: %2.</source>
        <translation>Extra argument of the command %1: %2.</translation>
    </message>
    <message>
        <source>Не указан файл прошивки: lumvaris-cli firmware ФАЙЛ.</source>
        <translation>No firmware file given: lumvaris-cli firmware FILE.</translation>
    </message>
    <message>
        <source>Не указано имя ключа: lumvaris-cli key ИМЯ.</source>
        <translation>No key name given: lumvaris-cli key NAME.</translation>
    </message>
    <message>
        <source>Имя ключа пустое: укажите имя ключа (lumvaris-cli key ИМЯ).</source>
        <translation>The key name is empty: give a key name (lumvaris-cli key NAME).</translation>
    </message>
    <message>
        <source>Не указан запрос: lumvaris-cli send ТИП [HEX...].</source>
        <translation>No request given: lumvaris-cli send TYPE [HEX...].</translation>
    </message>
    <message>
        <source>Запроса «%1» нет в каталоге (имя, например ClockRead, или код, например 81).</source>
        <translation>There is no request «%1» in the catalogue (a name, e.g. ClockRead, or a code, e.g. 81).</translation>
    </message>
    <message>
        <source>Запрос %1 адресуется счётчику, а не концентратору; send его не отправляет.</source>
        <translation>The request %1 is addressed to a meter, not to the concentrator; send does not send it.</translation>
    </message>
    <message>
        <source>Поле «%1» - не шестнадцатеричные байты (пары цифр 0-9, A-F).</source>
        <translation>The field «%1» is not hexadecimal bytes (pairs of digits 0-9, A-F).</translation>
    </message>
    <message>
        <source>Запрос %1 несёт не более %2 байт, дано %3.</source>
        <translation>The request %1 carries at most %2 bytes, %3 given.</translation>
    </message>
    <message>
        <source>Запрос %1 несёт %2 байт после кода типа, дано %3.</source>
        <translation>The request %1 carries %2 bytes after the type code, %3 given.</translation>
    </message>
</context>
<context>
    <name>cli::Output</name>
    <message>
        <source>  осталось %1</source>
        <translation>  %1 left</translation>
    </message>
</context>
<context>
    <name>cli::ReplyRecorder</name>
    <message>
        <source>Разрешить</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>Запретить</source>
        <translation>Forbid</translation>
    </message>
    <message>
        <source>больше ничего не делать</source>
        <translation>do nothing more</translation>
    </message>
    <message>
        <source>сразу передавать в последовательный порт</source>
        <translation>pass them to the serial port at once</translation>
    </message>
    <message>
        <source>Режим работы</source>
        <translation>Operating mode</translation>
    </message>
    <message>
        <source>PLC-интерфейс</source>
        <translation>PLC interface</translation>
    </message>
    <message>
        <source>Принятые пакеты сохранять в памяти и</source>
        <translation>Keep received packets in memory and</translation>
    </message>
    <message>
        <source>Автоматически переходить на зимнее время</source>
        <translation>Switch to winter time automatically</translation>
    </message>
    <message>
        <source>да</source>
        <translation>yes</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>no</translation>
    </message>
    <message>
        <source>Размер сети</source>
        <translation>Network size</translation>
    </message>
    <message>
        <source>Часы</source>
        <translation>Clock</translation>
    </message>
    <message>
        <source>День недели</source>
        <translation>Weekday</translation>
    </message>
    <message>
        <source>Отклонение от часов компьютера</source>
        <translation>Offset from the computer&apos;s clock</translation>
    </message>
    <message>
        <source>Дата/время последнего старта</source>
        <translation>Date/time of the last start</translation>
    </message>
    <message>
        <source>Скорость порта концентратора</source>
        <translation>Concentrator port rate</translation>
    </message>
    <message>
        <source>Расчётный день</source>
        <translation>Billing day</translation>
    </message>
    <message>
        <source>Калибровка часов</source>
        <translation>Clock trim</translation>
    </message>
    <message>
        <source>Регистры</source>
        <translation>Registers</translation>
    </message>
    <message>
        <source>%1: %2; коррекция %3</source>
        <translation>%1: %2; correction %3</translation>
    </message>
    <message>
        <source>Состояние линии</source>
        <translation>Line state</translation>
    </message>
    <message>
        <source>Свободных ячеек PLC-буфера</source>
        <translation>Free cells of the PLC buffer</translation>
    </message>
    <message>
        <source>Отпечаток ключа</source>
        <translation>Key fingerprint</translation>
    </message>
    <message>
        <source>Версия</source>
        <translation>Version</translation>
    </message>
</context>
<context>
    <name>cli::Session</name>
    <message>
        <source>Скорость порта %1 задаёт удалённая сторона: --baud на неё не действует.</source>
        <translation>The port rate %1 is set by the remote side: --baud has no effect on it.</translation>
    </message>
    <message>
        <source>Подключение к %1…</source>
        <translation>Connecting to %1…</translation>
    </message>
    <message>
        <source>%1 пока не отвечает: попытки продолжаются (конец: Ctrl+C или SIGTERM).</source>
        <translation>%1 does not answer yet: the attempts go on (stop: Ctrl+C or SIGTERM).</translation>
    </message>
    <message>
        <source>Повторить</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>
Проверьте подключение</source>
        <translation>
Check the connection</translation>
    </message>
    <message>
        <source>
Проверьте сеть до концентратора: повторное подключение.</source>
        <translation>
Check the network to the concentrator: connecting again.</translation>
    </message>
    <message>
        <source>
Проверьте кабель и адаптер концентратора.</source>
        <translation>
Check the concentrator&apos;s cable and adapter.</translation>
    </message>
    <message>
        <source>Нет ответа на %1 за %2 с: %3</source>
        <translation>No reply to %1 within %2 s: %3</translation>
    </message>
</context>
<context>
    <name>cli::Sites</name>
    <message>
        <source>Занятые участки не прочитаны: %1</source>
        <translation>The taken sites were not read: %1</translation>
    </message>
</context>
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
    <name>collect::Claims</name>
    <message>
        <source>нет соединения с «%1»: %2</source>
        <translation>no connection with «%1»: %2</translation>
    </message>
    <message>
        <source>нет соединения: %1</source>
        <translation>no connection: %1</translation>
    </message>
    <message>
        <source>нет памяти</source>
        <translation>no memory</translation>
    </message>
    <message>
        <source>сервер не ответил за %1 с</source>
        <translation>the server did not answer within %1 s</translation>
    </message>
    <message>
        <source>Не заняты (%1):</source>
        <translation>Not taken (%1):</translation>
    </message>
    <message>
        <source>таблица sites не читается: %1</source>
        <translation>the sites table cannot be read: %1</translation>
    </message>
</context>
<context>
    <name>collect::FleetStore</name>
    <message>
        <source>Хранилище показаний «%1» занято другим сборщиком (процесс %2).</source>
        <translation>The readings store «%1» is held by another collector (process %2).</translation>
    </message>
    <message>
        <source>Хранилище показаний «%1» не открывается: файл блокировки не создаётся.</source>
        <translation>The readings store «%1» does not open: the lock file cannot be created.</translation>
    </message>
    <message>
        <source>Хранилище показаний закрыто: «%1» не получит показаний.</source>
        <translation>The readings store is closed: «%1» gets no readings.</translation>
    </message>
</context>
<context>
    <name>collect::Health</name>
    <message>
        <source>цикл событий не отвечает %1 с</source>
        <translation>the event loop has not responded for %1 s</translation>
    </message>
    <message>
        <source>ни один концентратор не слышен %1 с</source>
        <translation>no concentrator heard for %1 s</translation>
    </message>
</context>
<context>
    <name>collect::MetricsServer</name>
    <message>
        <source>Адрес метрик %1:%2 не занять: %3.</source>
        <translation>The metrics address %1:%2 cannot be taken: %3.</translation>
    </message>
</context>
<context>
    <name>collect::SitesFile</name>
    <message>
        <source>строка</source>
        <translation>a string</translation>
    </message>
    <message>
        <source>целое число</source>
        <translation>an integer</translation>
    </message>
    <message>
        <source>дробное число</source>
        <translation>a decimal number</translation>
    </message>
    <message>
        <source>true или false</source>
        <translation>true or false</translation>
    </message>
    <message>
        <source>список</source>
        <translation>a list</translation>
    </message>
    <message>
        <source>таблица</source>
        <translation>a table</translation>
    </message>
    <message>
        <source>дата или время</source>
        <translation>a date or time</translation>
    </message>
    <message>
        <source>пустое значение</source>
        <translation>an empty value</translation>
    </message>
    <message>
        <source>«defaults» задаётся таблицей [defaults].</source>
        <translation>«defaults» is given as the table [defaults].</translation>
    </message>
    <message>
        <source>концентраторы задаются записями [[site]] (в двойных скобках).</source>
        <translation>concentrators are given as [[site]] entries (in double brackets).</translation>
    </message>
    <message>
        <source>«collector» задаётся таблицей [collector].</source>
        <translation>«collector» is given as the table [collector].</translation>
    </message>
    <message>
        <source>неизвестный раздел «%1»: в файле бывают только [defaults], [[site]] и [collector].</source>
        <translation>unknown section «%1»: the file has only [defaults], [[site]] and [collector].</translation>
    </message>
    <message>
        <source>в файле нет ни одного концентратора: добавьте запись [[site]].</source>
        <translation>the file has no concentrator: add a [[site]] entry.</translation>
    </message>
    <message>
        <source>«%1» — %2, а записано: %3.</source>
        <translation>«%1» is %2, but the file has: %3.</translation>
    </message>
    <message>
        <source>«%1» = %2: ожидается %3.</source>
        <translation>«%1» = %2: %3 expected.</translation>
    </message>
    <message>
        <source>список адресов в кавычках</source>
        <translation>a list of addresses in quotes</translation>
    </message>
    <message>
        <source>«%1» у каждого концентратора свой: он задаётся в [[site]], не в [defaults].</source>
        <translation>«%1» is each concentrator&apos;s own: it is given in [[site]], not in [defaults].</translation>
    </message>
    <message>
        <source>пароля в файле концентраторов быть не должно: этот файл читают и правят многие, он попадает в копии и в системы версий. Укажите password_file — файл с паролем, доступный только сборщику.</source>
        <translation>a password has no place in the sites file: many people read and edit it, it goes into copies and version control. Give password_file, a file with the password readable by the collector alone.</translation>
    </message>
    <message>
        <source>Скорости «%1» нет: допустимы 38400, 19200 и 9600.</source>
        <translation>There is no rate «%1»: 38400, 19200 and 9600 are allowed.</translation>
    </message>
    <message>
        <source>скорость 38400, 19200 или 9600</source>
        <translation>the rate 38400, 19200 or 9600</translation>
    </message>
    <message>
        <source>целое число секунд от 1 до 600</source>
        <translation>an integer number of seconds from 1 to 600</translation>
    </message>
    <message>
        <source>целое число часов от 0 до 8760 (0 — никогда)</source>
        <translation>an integer number of hours from 0 to 8760 (0: never)</translation>
    </message>
    <message>
        <source>день месяца от 1 до 28 (0 — никогда)</source>
        <translation>a day of the month from 1 to 28 (0: never)</translation>
    </message>
    <message>
        <source>целое число секунд от 0 до 86400 (0 — никогда)</source>
        <translation>an integer number of seconds from 0 to 86400 (0: never)</translation>
    </message>
    <message>
        <source>неизвестный ключ «%1».</source>
        <translation>unknown key «%1».</translation>
    </message>
    <message>
        <source>целое число от 1 до 1000</source>
        <translation>an integer from 1 to 1000</translation>
    </message>
    <message>
        <source>число секунд от 0 (никогда) до 604800</source>
        <translation>a number of seconds from 0 (never) to 604800</translation>
    </message>
    <message>
        <source>путь к файлу в кавычках</source>
        <translation>a file path in quotes</translation>
    </message>
    <message>
        <source>«password_file» пуст: укажите файл с паролем или уберите ключ.</source>
        <translation>«password_file» is empty: give a file with the password or remove the key.</translation>
    </message>
    <message>
        <source>Файл пароля «%1» не читается: %2.</source>
        <translation>The password file «%1» cannot be read: %2.</translation>
    </message>
    <message>
        <source>его нет</source>
        <translation>it does not exist</translation>
    </message>
    <message>
        <source>у концентратора нет имени: name = &quot;...&quot;.</source>
        <translation>the concentrator has no name: name = &quot;...&quot;.</translation>
    </message>
    <message>
        <source>имя в кавычках</source>
        <translation>a name in quotes</translation>
    </message>
    <message>
        <source>концентратора</source>
        <translation>the concentrator</translation>
    </message>
    <message>
        <source>концентратора «%1»</source>
        <translation>the concentrator «%1»</translation>
    </message>
    <message>
        <source>у %1 не указан порт: port = &quot;ttyUSB0&quot;, &quot;tcp://УЗЕЛ:ПОРТ&quot;, &quot;rfc2217://УЗЕЛ:ПОРТ&quot; или &quot;calls-in&quot;.</source>
        <translation>%1 has no port: port = &quot;ttyUSB0&quot;, &quot;tcp://HOST:PORT&quot;, &quot;rfc2217://HOST:PORT&quot; or &quot;calls-in&quot;.</translation>
    </message>
    <message>
        <source>имя порта или адрес в кавычках</source>
        <translation>a port name or address in quotes</translation>
    </message>
    <message>
        <source>порт не может быть пустым.</source>
        <translation>the port cannot be empty.</translation>
    </message>
    <message>
        <source>%1 звонит сам (calls-in): нужен его uart_id = &quot;2A3F&quot;, по нему узнаётся звонок.</source>
        <translation>%1 calls by itself (calls-in): its uart_id = &quot;2A3F&quot; is needed, the call is recognised by it.</translation>
    </message>
    <message>
        <source>Концентратор</source>
        <translation>The concentrator</translation>
    </message>
    <message>
        <source>Концентратор «%1»</source>
        <translation>The concentrator «%1»</translation>
    </message>
    <message>
        <source>имя «%1» уже носит концентратор в строке %2 (большие и малые буквы не различаются).</source>
        <translation>the name «%1» is already taken by the concentrator on line %2 (upper and lower case are not distinguished).</translation>
    </message>
    <message>
        <source>порт «%1» уже у концентратора «%2» (строка %3): один порт — один концентратор.</source>
        <translation>the port «%1» already belongs to the concentrator «%2» (line %3): one port, one concentrator.</translation>
    </message>
    <message>
        <source>UART-ID %1 уже у концентратора «%2» (строка %3), который тоже звонит сам: по звонку их не различить.</source>
        <translation>UART-ID %1 already belongs to the concentrator «%2» (line %3), which also calls by itself: their calls cannot be told apart.</translation>
    </message>
    <message>
        <source>«uart_id» пишется строкой шестнадцатеричных цифр в кавычках: uart_id = &quot;2A3F&quot;.</source>
        <translation>«uart_id» is written as a string of hexadecimal digits in quotes: uart_id = &quot;2A3F&quot;.</translation>
    </message>
    <message>
        <source>«uart_id» — строка шестнадцатеричных цифр в кавычках, а записано: %1.</source>
        <translation>«uart_id» is a string of hexadecimal digits in quotes, but the file has: %1.</translation>
    </message>
    <message>
        <source>UART-ID «%1» - не шестнадцатеричное число из 1-4 цифр.</source>
        <translation>UART-ID «%1» is not a hexadecimal number of 1-4 digits.</translation>
    </message>
    <message>
        <source>UART-ID %1 не годится: %2</source>
        <translation>UART-ID %1 is not valid: %2</translation>
    </message>
    <message>
        <source>файл концентраторов не читается: %1.</source>
        <translation>the sites file cannot be read: %1.</translation>
    </message>
    <message>
        <source>файла концентраторов нет.</source>
        <translation>there is no sites file.</translation>
    </message>
    <message>
        <source>файл больше %1 КиБ: файл концентраторов не бывает таким большим.</source>
        <translation>the file is larger than %1 KiB: a sites file is never that large.</translation>
    </message>
    <message>
        <source>файл не в кодировке UTF-8 (байт %1h); сохраните его в UTF-8.</source>
        <translation>the file is not in UTF-8 (byte %1h); save it in UTF-8.</translation>
    </message>
    <message>
        <source>ошибка в записи TOML: %1.</source>
        <translation>error in the TOML text: %1.</translation>
    </message>
    <message>
        <source>в таблице нет ни одного концентратора.</source>
        <translation>the table has no concentrator.</translation>
    </message>
    <message>
        <source>строки таблицы не читаются: %1.</source>
        <translation>the table rows cannot be read: %1.</translation>
    </message>
    <message>
        <source>строка без имени</source>
        <translation>a row without a name</translation>
    </message>
    <message>
        <source>(строк[еаи]) (\d+)</source>
        <comment>a regular expression: the word before a line number in this file&apos;s messages, then the number</comment>
        <translation>(line) (\d+)</translation>
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
        <translation>offset %1 s</translation>
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
    <name>link::QtSerialPort</name>
    <message>
        <source>Не задано имя порта.</source>
        <translation>No port name given.</translation>
    </message>
    <message>
        <source>Устройство «%1» не найдено.</source>
        <translation>Device «%1» not found.</translation>
    </message>
    <message>
        <source>Нет доступа к порту «%1» (отказано в доступе). Пользователь должен входить в группу dialout: sudo usermod -aG dialout &lt;имя пользователя&gt;, затем выйти из системы и войти снова.</source>
        <translation>No access to the port «%1» (permission denied). The user must be in the group dialout: sudo usermod -aG dialout &lt;user name&gt;, then log out and log in again.</translation>
    </message>
    <message>
        <source>«%1» - это каталог, а не последовательный порт.</source>
        <translation>«%1» is a directory, not a serial port.</translation>
    </message>
    <message>
        <source>Порт «%1» занят другой программой.</source>
        <translation>The port «%1» is in use by another program.</translation>
    </message>
    <message>
        <source>«%1» - не последовательный порт.</source>
        <translation>«%1» is not a serial port.</translation>
    </message>
    <message>
        <source>Порт «%1» не открывается: %2</source>
        <translation>The port «%1» does not open: %2</translation>
    </message>
    <message>
        <source>устройство отключено: адаптер вынут или программа на другом конце закрыла порт</source>
        <translation>the device is disconnected: the adapter was pulled or the program at the other end closed the port</translation>
    </message>
    <message>
        <source>порт перестал отвечать при чтении: устройство отключено или программа на другом конце закрыла порт</source>
        <translation>the port stopped responding to reads: the device is disconnected or the program at the other end closed the port</translation>
    </message>
    <message>
        <source>данные не удалось передать в порт: устройство отключено или не отвечает</source>
        <translation>the data could not be passed to the port: the device is disconnected or does not respond</translation>
    </message>
    <message>
        <source>порт не принял данные вовремя: устройство не отвечает</source>
        <translation>the port did not take the data in time: the device does not respond</translation>
    </message>
    <message>
        <source>ошибка порта: %1</source>
        <translation>port error: %1</translation>
    </message>
    <message>
        <source>Коммуникационный порт не открыт</source>
        <translation>The communication port is not open</translation>
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
