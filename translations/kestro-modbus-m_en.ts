<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CommandLine</name>
    <message>
        <source>--write needs REG=VALUE, got &quot;%1&quot;</source>
        <translation>--write needs REG=VALUE, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--write register must be 0..19, got &quot;%1&quot;</source>
        <translation>--write register must be 0..19, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--write value must be 0..65535, got &quot;%1&quot;</source>
        <translation>--write value must be 0..65535, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--summary needs a file name</source>
        <translation>--summary needs a file name</translation>
    </message>
    <message>
        <source>--port needs a device path</source>
        <translation>--port needs a device path</translation>
    </message>
    <message>
        <source>unknown baud rate &quot;%1&quot; (110 to 256000, e.g. 9600)</source>
        <translation>unknown baud rate &quot;%1&quot; (110 to 256000, e.g. 9600)</translation>
    </message>
    <message>
        <source>--address must be 1..127, got &quot;%1&quot;</source>
        <translation>--address must be 1..127, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--cycles must be a positive number, got &quot;%1&quot;</source>
        <translation>--cycles must be a positive number, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>unknown option &quot;%1&quot;</source>
        <translation>unknown option &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--scan and %1 exclude each other</source>
        <translation>--scan and %1 exclude each other</translation>
    </message>
    <message>
        <source>--scan needs --port PATH</source>
        <translation>--scan needs --port PATH</translation>
    </message>
    <message>
        <source>--scan tries only 2400, 4800, 9600, 19200, 38400, 57600 and 115200 baud, not %1</source>
        <translation>--scan tries only 2400, 4800, 9600, 19200, 38400, 57600 and 115200 baud, not %1</translation>
    </message>
    <message>
        <source>--record needs a file name</source>
        <translation>--record needs a file name</translation>
    </message>
    <message>
        <source>--record-max-mb must be a whole number of megabytes, 1 or more, got &quot;%1&quot;</source>
        <translation>--record-max-mb must be a whole number of megabytes, 1 or more, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1 takes no value</source>
        <translation>%1 takes no value</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>--simulate and --port exclude each other</source>
        <translation>--simulate and --port exclude each other</translation>
    </message>
    <message>
        <source>--headless needs --port PATH or --simulate</source>
        <translation>--headless needs --port PATH or --simulate</translation>
    </message>
    <message>
        <source>       kestro-modbus-m [--simulate] [--start] [--record FILE] [--record-max-mb N]
  (no option)        the operator window on the stored port
  --simulate         the window on the built-in virtual module; the stored
                     port settings are read but not overwritten
  --start            press Start once the window is up
  --record FILE      record the traffic in FILE from the start (CSV), as the
                     monitor&apos;s context menu does
  --record-max-mb N  as for the runner
</source>
        <translation>       kestro-modbus-m [--simulate] [--start] [--record FILE] [--record-max-mb N]
  (no option)        the operator window on the stored port
  --simulate         the window on the built-in virtual module; the stored
                     port settings are read but not overwritten
  --start            press Start once the window is up
  --record FILE      record the traffic in FILE from the start (CSV), as the
                     monitor&apos;s context menu does
  --record-max-mb N  as for the runner
</translation>
    </message>
    <message>
        <source>--settle needs a whole number of milliseconds, got &quot;%1&quot;</source>
        <translation>--settle needs a whole number of milliseconds, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--tolerance needs a percentage, e.g. 0.5, got &quot;%1&quot;</source>
        <translation>--tolerance needs a percentage, e.g. 0.5, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--settle and --tolerance belong to --linearity FROM:TO:STEP</source>
        <translation>--settle and --tolerance belong to --linearity FROM:TO:STEP</translation>
    </message>
    <message>
        <source>--linearity ends the run itself; leave out --cycles</source>
        <translation>--linearity ends the run itself; leave out --cycles</translation>
    </message>
    <message>
        <source>usage: kestro-modbus-m --headless (--port PATH | --simulate) [--baud RATE]
                       [--address N] [--cycles K] [--write REG=VALUE]...
                       [--record FILE] [--record-max-mb N] [--summary FILE]
                       [--linearity FROM:TO:STEP [--settle MS] [--tolerance PCT]]
       kestro-modbus-m --headless --port PATH --scan [--baud RATE]...
       kestro-modbus-m --simulate

Polls the 20 holding registers of one Modbus RTU slave and prints every
request (Tx-) and reply (Rx-) as a hexadecimal traffic line, then
  Tx=&lt;requests sent&gt; Er=&lt;replies missed&gt;
  registers=&lt;register 0&gt;,...,&lt;register 19&gt;

  --port PATH        serial device, e.g. /dev/ttyUSB0 (8 data bits, 2 stop bits,
                     no parity, no flow control)
  --simulate         poll the built-in virtual module instead of a device
  --baud RATE        110, 300, 600, 1200, 2400, 4800, 9600 (default), 14400,
                     19200, 38400, 56000, 57600, 115200, 128000 or 256000
  --address N        slave address 1..127 (default 1)
  --cycles K         send K requests, settle the last, then stop (default:
                     until SIGINT or SIGTERM)
  --write REG=VALUE  write VALUE (0..65535) to register REG (0..19); repeatable,
                     sent in order, each followed by at least one read
  --record FILE      record every request, reply and miss in FILE (CSV)
  --record-max-mb N  start a new FILE when it would pass N megabytes, keeping
                     the last nine as FILE.1 to FILE.9 (default 1024)
  --summary FILE     write the link statistics to FILE (JSON) at the end
  --linearity FROM:TO:STEP
                     the linearity test: write each output value from FROM to
                     TO by STEP (0..2200) to register 3, keep polling for the
                     settle time, take the mean of the feedback (register 2)
                     over the reads of its last 250 ms, then write the output
                     back; prints output,feedback,deviation,deviation_pct a
                     point and &quot;linearity: max deviation D% at output V,
                     tolerance T%: PASS&quot; (or FAIL) after the traffic
  --settle MS        settle time of each point, 300 or more (default 1000)
  --tolerance PCT    largest deviation that passes, in per cent of the full
                     scale 2200, above 0 (default 0.5)
  --lang LANG        the language of the texts: %1; zh (Chinese) is the
                     default, auto follows the desktop; KESTRO_LANG=LANG as well
  --scan             look for modules: at each RATE given (default: 9600,
                     19200, 38400, 57600, 115200, 4800, 2400) ask addresses
                     1 to 127 in turn and print &quot;found address=N baud=RATE&quot;
                     for each that answers; progress goes to standard error

Exit status: 0 done (a scan: found a module; a linearity test: it passed), 1 the
port could not be opened or a file could not be written, 2 a bad command line,
3 a scan found no module or the linearity test failed (a deviation beyond the
tolerance, or the line was lost).
</source>
        <translation>usage: kestro-modbus-m --headless (--port PATH | --simulate) [--baud RATE]
                       [--address N] [--cycles K] [--write REG=VALUE]...
                       [--record FILE] [--record-max-mb N] [--summary FILE]
                       [--linearity FROM:TO:STEP [--settle MS] [--tolerance PCT]]
       kestro-modbus-m --headless --port PATH --scan [--baud RATE]...
       kestro-modbus-m --simulate

Polls the 20 holding registers of one Modbus RTU slave and prints every
request (Tx-) and reply (Rx-) as a hexadecimal traffic line, then
  Tx=&lt;requests sent&gt; Er=&lt;replies missed&gt;
  registers=&lt;register 0&gt;,...,&lt;register 19&gt;

  --port PATH        serial device, e.g. /dev/ttyUSB0 (8 data bits, 2 stop bits,
                     no parity, no flow control)
  --simulate         poll the built-in virtual module instead of a device
  --baud RATE        110, 300, 600, 1200, 2400, 4800, 9600 (default), 14400,
                     19200, 38400, 56000, 57600, 115200, 128000 or 256000
  --address N        slave address 1..127 (default 1)
  --cycles K         send K requests, settle the last, then stop (default:
                     until SIGINT or SIGTERM)
  --write REG=VALUE  write VALUE (0..65535) to register REG (0..19); repeatable,
                     sent in order, each followed by at least one read
  --record FILE      record every request, reply and miss in FILE (CSV)
  --record-max-mb N  start a new FILE when it would pass N megabytes, keeping
                     the last nine as FILE.1 to FILE.9 (default 1024)
  --summary FILE     write the link statistics to FILE (JSON) at the end
  --linearity FROM:TO:STEP
                     the linearity test: write each output value from FROM to
                     TO by STEP (0..2200) to register 3, keep polling for the
                     settle time, take the mean of the feedback (register 2)
                     over the reads of its last 250 ms, then write the output
                     back; prints output,feedback,deviation,deviation_pct a
                     point and &quot;linearity: max deviation D% at output V,
                     tolerance T%: PASS&quot; (or FAIL) after the traffic
  --settle MS        settle time of each point, 300 or more (default 1000)
  --tolerance PCT    largest deviation that passes, in per cent of the full
                     scale 2200, above 0 (default 0.5)
  --lang LANG        the language of the texts: %1; zh (Chinese) is the
                     default, auto follows the desktop; KESTRO_LANG=LANG as well
  --scan             look for modules: at each RATE given (default: 9600,
                     19200, 38400, 57600, 115200, 4800, 2400) ask addresses
                     1 to 127 in turn and print &quot;found address=N baud=RATE&quot;
                     for each that answers; progress goes to standard error

Exit status: 0 done (a scan: found a module; a linearity test: it passed), 1 the
port could not be opened or a file could not be written, 2 a bad command line,
3 a scan found no module or the linearity test failed (a deviation beyond the
tolerance, or the line was lost).
</translation>
    </message>
</context>
<context>
    <name>FindDialog</name>
    <message>
        <source>查找</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>下一个</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>上一个</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>查找内容：</source>
        <translation>Find:</translation>
    </message>
    <message>
        <source>找不到“%1”</source>
        <translation>“%1” not found</translation>
    </message>
</context>
<context>
    <name>HeadlessMain</name>
    <message>
        <source>the virtual module could not start: %1</source>
        <translation>the virtual module could not start: %1</translation>
    </message>
</context>
<context>
    <name>HeadlessRunner</name>
    <message>
        <source>the recording stopped, polling goes on: %1</source>
        <translation>the recording stopped, polling goes on: %1</translation>
    </message>
    <message>
        <source>cannot record the traffic: %1</source>
        <translation>cannot record the traffic: %1</translation>
    </message>
    <message>
        <source>cannot write the summary: %1</source>
        <translation>cannot write the summary: %1</translation>
    </message>
    <message>
        <source>the output could not be written back to %1</source>
        <translation>the output could not be written back to %1</translation>
    </message>
    <message>
        <source>--summary %1 is the recording %2: the summary would replace it; name another file</source>
        <translation>--summary %1 is the recording %2: the summary would replace it; name another file</translation>
    </message>
</context>
<context>
    <name>KESTRO_MODBUS_M</name>
    <message>
        <source>kestro-modbus-m: no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); running the headless runner on the virtual module instead.
</source>
        <translation>kestro-modbus-m: no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); running the headless runner on the virtual module instead.
</translation>
    </message>
    <message>
        <source>kestro-modbus-m: no display to show the window on (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); use --headless.

</source>
        <translation>kestro-modbus-m: no display to show the window on (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset); use --headless.

</translation>
    </message>
</context>
<context>
    <name>Language</name>
    <message>
        <source>%1 or %2</source>
        <translation>%1 or %2</translation>
    </message>
    <message>
        <source>--lang needs a value: %1</source>
        <translation>--lang needs a value: %1</translation>
    </message>
    <message>
        <source>%1 must be %2, got &quot;%3&quot;</source>
        <translation>%1 must be %2, got &quot;%3&quot;</translation>
    </message>
    <message>
        <source>kestro-modbus-m: the catalogue for &quot;%1&quot; is missing (%2); the texts stay in Chinese.</source>
        <translation>kestro-modbus-m: the catalogue for &quot;%1&quot; is missing (%2); the texts stay in Chinese.</translation>
    </message>
    <message>
        <source>kestro-modbus-m: the catalogue for &quot;%1&quot; is damaged (%2); the texts stay in Chinese.</source>
        <translation>kestro-modbus-m: the catalogue for &quot;%1&quot; is damaged (%2); the texts stay in Chinese.</translation>
    </message>
    <message>
        <source>kestro-modbus-m: the catalogue for &quot;%1&quot; holds no texts (%2); the texts stay in Chinese.</source>
        <translation>kestro-modbus-m: the catalogue for &quot;%1&quot; holds no texts (%2); the texts stay in Chinese.</translation>
    </message>
    <message>
        <source>kestro-modbus-m: the catalogue for &quot;%1&quot; could not be used (%2); the texts stay in Chinese.</source>
        <translation>kestro-modbus-m: the catalogue for &quot;%1&quot; could not be used (%2); the texts stay in Chinese.</translation>
    </message>
</context>
<context>
    <name>LineKeeper</name>
    <message>
        <source>Trying to open it again every second.</source>
        <translation>Trying to open it again every second.</translation>
    </message>
    <message>
        <source>The line is back after %1 s.</source>
        <translation>The line is back after %1 s.</translation>
    </message>
</context>
<context>
    <name>LinearityDialog</name>
    <message>
        <source>线性测试</source>
        <translation>Linearity test</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source> %</source>
        <translation> %</translation>
    </message>
    <message>
        <source>开始测试</source>
        <translation>Start test</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>起始输出 (0-%1)</source>
        <translation>From output (0-%1)</translation>
    </message>
    <message>
        <source>终止输出 (0-%1)</source>
        <translation>To output (0-%1)</translation>
    </message>
    <message>
        <source>步长</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>稳定时间</source>
        <translation>Settle time</translation>
    </message>
    <message>
        <source>允许偏差 (满量程 %1)</source>
        <translation>Tolerance (of full scale %1)</translation>
    </message>
    <message>
        <source>起始输出不能大于终止输出。</source>
        <translation>From must not be above To.</translation>
    </message>
</context>
<context>
    <name>LinearityPlan</name>
    <message>
        <source>--linearity values must be 0..%1, got %2:%3</source>
        <translation>--linearity values must be 0..%1, got %2:%3</translation>
    </message>
    <message>
        <source>--linearity FROM must not be above TO, got %1:%2</source>
        <translation>--linearity FROM must not be above TO, got %1:%2</translation>
    </message>
    <message>
        <source>--linearity STEP must be 1..%1, got %2</source>
        <translation>--linearity STEP must be 1..%1, got %2</translation>
    </message>
    <message>
        <source>--settle must be %1 ms or more (the feedback is averaged over the last %2 ms), got %3</source>
        <translation>--settle must be %1 ms or more (the feedback is averaged over the last %2 ms), got %3</translation>
    </message>
    <message>
        <source>--tolerance must be a percentage above 0, got %1</source>
        <translation>--tolerance must be a percentage above 0, got %1</translation>
    </message>
    <message>
        <source>--linearity needs FROM:TO:STEP, three whole numbers, got &quot;%1&quot;</source>
        <translation>--linearity needs FROM:TO:STEP, three whole numbers, got &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>MonitorCommands</name>
    <message>
        <source>查找…</source>
        <translation>Find…</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>另存为…</source>
        <translation>Save as…</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>停止记录</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>开始记录…</source>
        <translation>Start recording…</translation>
    </message>
    <message>
        <source>统计…</source>
        <translation>Statistics…</translation>
    </message>
    <message>
        <source>记录：%1</source>
        <translation>Recording: %1</translation>
    </message>
    <message>
        <source>开始记录</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>无法创建记录文件。</source>
        <translation>The recording file cannot be created.</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>无法保存文件。</source>
        <translation>The file cannot be saved.</translation>
    </message>
    <message>
        <source>记录已停止：%1</source>
        <translation>Recording stopped: %1</translation>
    </message>
    <message>
        <source>无法写入记录文件，记录已停止。</source>
        <translation>The recording file cannot be written; the recording has stopped.</translation>
    </message>
</context>
<context>
    <name>OpenFailure</name>
    <message>
        <source>(no port chosen)</source>
        <translation>(no port chosen)</translation>
    </message>
</context>
<context>
    <name>PollCycle</name>
    <message>
        <source>The line echoes every request (an RS-485 adapter with local echo); the echo is dropped.</source>
        <translation>The line echoes every request (an RS-485 adapter with local echo); the echo is dropped.</translation>
    </message>
    <message>
        <source>串口打开失败，串口号可能不存在，请检查设置</source>
        <translation>The port could not be opened; it may not exist. Check the settings.</translation>
    </message>
</context>
<context>
    <name>PollPort</name>
    <message>
        <source>This line has no rate of its own.</source>
        <translation>This line has no rate of its own.</translation>
    </message>
</context>
<context>
    <name>RegisterMap</name>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>反馈实际电流</source>
        <translation>Feedback current</translation>
    </message>
    <message>
        <source>反馈显示值</source>
        <translation>Feedback display</translation>
    </message>
    <message>
        <source>输出显示值</source>
        <translation>Output display</translation>
    </message>
    <message>
        <source>输出范围</source>
        <translation>Output range</translation>
    </message>
    <message>
        <source>显示模式</source>
        <translation>Display mode</translation>
    </message>
    <message>
        <source>输出值调节倍数</source>
        <translation>Output scale factor</translation>
    </message>
    <message>
        <source>设备ID(重启生效)</source>
        <translation>Device ID (after restart)</translation>
    </message>
    <message>
        <source>波特率(重启生效)</source>
        <translation>Baud rate (after restart)</translation>
    </message>
    <message>
        <source>输入干接点值</source>
        <translation>Dry-contact input</translation>
    </message>
    <message>
        <source>输出继电器值</source>
        <translation>Relay output</translation>
    </message>
    <message>
        <source>继电器功能</source>
        <translation>Relay function</translation>
    </message>
    <message>
        <source>继电器触发值</source>
        <translation>Relay trigger value</translation>
    </message>
    <message>
        <source>继电器触发延时</source>
        <translation>Relay trigger delay</translation>
    </message>
    <message>
        <source>自动控制参数1</source>
        <translation>Auto control parameter 1</translation>
    </message>
    <message>
        <source>自动控制参数2</source>
        <translation>Auto control parameter 2</translation>
    </message>
    <message>
        <source>自动控制参数3</source>
        <translation>Auto control parameter 3</translation>
    </message>
    <message>
        <source>寄存器说明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>值0-65535</source>
        <translation>Value 0-65535</translation>
    </message>
</context>
<context>
    <name>ScanRunner</name>
    <message>
        <source>scan: no module answered</source>
        <translation>scan: no module answered</translation>
    </message>
    <message>
        <source>scan: %1 found</source>
        <translation>scan: %1 found</translation>
    </message>
    <message>
        <source>scan: %1 baud, addresses %2 to %3, up to %4 s</source>
        <translation>scan: %1 baud, addresses %2 to %3, up to %4 s</translation>
    </message>
    <message>
        <source>scan: the line echoes every request (an RS-485 adapter with local echo); the echo is dropped</source>
        <translation>scan: the line echoes every request (an RS-485 adapter with local echo); the echo is dropped</translation>
    </message>
</context>
<context>
    <name>StatisticsDialog</name>
    <message>
        <source>统计</source>
        <translation>Statistics</translation>
    </message>
    <message>
        <source>项目</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>数值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>应答时间分布</source>
        <translation>Response times</translation>
    </message>
    <message>
        <source>请求 (Tx)</source>
        <translation>Requests (Tx)</translation>
    </message>
    <message>
        <source>丢失 (Er)</source>
        <translation>Missed (Er)</translation>
    </message>
    <message>
        <source>正确应答</source>
        <translation>Sound replies</translation>
    </message>
    <message>
        <source>应答时间 最小</source>
        <translation>Response min</translation>
    </message>
    <message>
        <source>应答时间 平均</source>
        <translation>Response avg</translation>
    </message>
    <message>
        <source>应答时间 50%</source>
        <translation>Response 50%</translation>
    </message>
    <message>
        <source>应答时间 95%</source>
        <translation>Response 95%</translation>
    </message>
    <message>
        <source>应答时间 99%</source>
        <translation>Response 99%</translation>
    </message>
    <message>
        <source>应答时间 最大</source>
        <translation>Response max</translation>
    </message>
</context>
<context>
    <name>TComSetupFrm</name>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Baud rate</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>Data bits</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>Stop bits</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>Flow control</source>
        <translation>Flow control</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source> Settings </source>
        <translation> Settings </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Port settings file: %1</source>
        <translation>Port settings file: %1</translation>
    </message>
    <message>
        <source>KESTRO_MODBUS_M_V1.0   功能测试(KESTRO)</source>
        <translation>KESTRO_MODBUS_M_V1.0   Function test (KESTRO)</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>继电器</source>
        <translation>Relay</translation>
    </message>
    <message>
        <source>反馈</source>
        <translation>Fbk</translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Out</translation>
    </message>
    <message>
        <source>寄存器读写</source>
        <translation>Registers</translation>
    </message>
    <message>
        <source>串口数据监视</source>
        <translation>Traffic</translation>
    </message>
    <message>
        <source>Tx=</source>
        <translation>Tx</translation>
    </message>
    <message>
        <source>Er=</source>
        <translation>Er</translation>
    </message>
    <message>
        <source>串口设置</source>
        <translation>Port…</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>连续减5</source>
        <translation>Ramp −5</translation>
    </message>
    <message>
        <source>不用</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>连续加5</source>
        <translation>Ramp +5</translation>
    </message>
    <message>
        <source>校准输入零点</source>
        <translation>Calibrate input zero</translation>
    </message>
    <message>
        <source>校准输出量程</source>
        <translation>Calibrate span</translation>
    </message>
    <message>
        <source>校准输入20mA</source>
        <translation>Calibrate input 20mA</translation>
    </message>
    <message>
        <source>继电器开</source>
        <translation>Relay on</translation>
    </message>
    <message>
        <source>继电器关</source>
        <translation>Relay off</translation>
    </message>
    <message>
        <source>写寄存器值</source>
        <translation>Write register</translation>
    </message>
    <message>
        <source>自动加减寄存器3 输出显示值 测试</source>
        <translation>Ramp test, register 3 (output)</translation>
    </message>
    <message>
        <source>值:</source>
        <translation>=</translation>
    </message>
</context>
<context>
    <name>TiEditCustom</name>
    <message>
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Select All</translation>
    </message>
</context>
<context>
    <name>TrendPlot</name>
    <message>
        <source>%1  输出 %2  反馈 %3</source>
        <translation>%1  Output %2  Feedback %3</translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>反馈</source>
        <translation>Feedback</translation>
    </message>
</context>
<context>
    <name>TrendWindow</name>
    <message>
        <source>趋势</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>线性测试…</source>
        <translation>Linearity test…</translation>
    </message>
    <message>
        <source>停止测试</source>
        <translation>Stop test</translation>
    </message>
    <message>
        <source>导出 CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>保存测试结果…</source>
        <translation>Save test result…</translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>反馈</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>偏差</source>
        <translation>Deviation</translation>
    </message>
    <message>
        <source>偏差 %</source>
        <translation>Dev. %</translation>
    </message>
    <message>
        <source>时间曲线</source>
        <translation>Over time</translation>
    </message>
    <message>
        <source>反馈-输出 (X-Y)</source>
        <translation>Feedback vs output (X-Y)</translation>
    </message>
    <message>
        <source>导出 CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>保存测试结果</source>
        <translation>Save test result</translation>
    </message>
    <message>
        <source>线性测试：第 %1/%2 点</source>
        <translation>Linearity test: point %1/%2</translation>
    </message>
    <message>
        <source>请先按“开始”轮询，再做线性测试。</source>
        <translation>Press “Start” to poll first, then run the linearity test.</translation>
    </message>
    <message>
        <source>线性测试：等待读数…</source>
        <translation>Linearity test: waiting for readings…</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>无法保存文件。</source>
        <translation>The file cannot be saved.</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>PASS</translation>
    </message>
    <message>
        <source>不合格</source>
        <translation>FAIL</translation>
    </message>
    <message>
        <source>最大偏差 %1%（输出 %2），允许 %3%：%4</source>
        <translation>Max deviation %1% at output %2, tolerance %3%: %4</translation>
    </message>
    <message>
        <source>未测得任何点，允许 %1%：%2</source>
        <translation>No point measured, tolerance %1%: %2</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source> 输出未能恢复为 %1。</source>
        <translation> The output could not be written back to %1.</translation>
    </message>
    <message>
        <source>输出 %1 时</source>
        <translation>at output %1</translation>
    </message>
    <message>
        <source>第一个测点之前</source>
        <translation>before the first point</translation>
    </message>
    <message>
        <source>%1线路中断：串口无法发送</source>
        <translation>line lost %1: the port refuses to send</translation>
    </message>
    <message>
        <source>%1线路中断：连续 %2 次无应答</source>
        <translation>line lost %1: no reply to %2 requests in a row</translation>
    </message>
    <message>
        <source>输出寄存器不接受 %1，读回 %2</source>
        <translation>the output register does not take %1, it reads %2</translation>
    </message>
    <message>
        <source>%1输出被改为 %2</source>
        <translation>%1, the output was changed to %2</translation>
    </message>
    <message>
        <source>%1测试被停止</source>
        <translation>interrupted %1</translation>
    </message>
    <message>
        <source>%1轮询已停止</source>
        <translation>polling stopped %1</translation>
    </message>
</context>
<context>
    <name>WindowMain</name>
    <message>
        <source>The virtual module could not start: %1</source>
        <translation>The virtual module could not start: %1</translation>
    </message>
</context>
<context>
    <name>XyPlot</name>
    <message>
        <source>输出 %1  反馈 %2</source>
        <translation>Output %1  Feedback %2</translation>
    </message>
    <message>
        <source>反馈 / 输出，允许偏差 ±%1%</source>
        <translation>Feedback / output, tolerance ±%1%</translation>
    </message>
</context>
</TS>
