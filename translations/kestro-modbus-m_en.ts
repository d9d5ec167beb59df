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
        <source>--listen and %1 exclude each other</source>
        <translation>--listen and %1 exclude each other</translation>
    </message>
    <message>
        <source>--listen needs --port PATH</source>
        <translation>--listen needs --port PATH</translation>
    </message>
    <message>
        <source>--print-plan takes no other option than --headless</source>
        <translation>--print-plan takes no other option than --headless</translation>
    </message>
    <message>
        <source>%1 belongs to --test</source>
        <translation>%1 belongs to --test</translation>
    </message>
    <message>
        <source>--test and %1 exclude each other</source>
        <translation>--test and %1 exclude each other</translation>
    </message>
    <message>
        <source>--test needs --serial SN</source>
        <translation>--test needs --serial SN</translation>
    </message>
    <message>
        <source>--serial must be 1 to 64 letters, digits, &apos;-&apos;, &apos;_&apos; or &apos;.&apos;, got &quot;%1&quot;</source>
        <translation>--serial must be 1 to 64 letters, digits, &apos;-&apos;, &apos;_&apos; or &apos;.&apos;, got &quot;%1&quot;</translation>
    </message>
    <message>
        <source>
The function test of one unit:
       kestro-modbus-m --headless (--port PATH | --simulate) --test --serial SN
                       [--plan FILE] [--report-dir DIR] [--station-log FILE]
                       [--baud RATE] [--address N]
       kestro-modbus-m --headless --print-plan

  --test             run the plan&apos;s steps on the unit, then leave it safe (relay
                     off, output 0); prints &quot;step NAME: PASS|FAIL|SKIP&quot; with the
                     measurements, then &quot;test SN: PASS&quot; or &quot;test SN: FAIL
                     (failed: NAME,...)&quot;
  --serial SN        the unit&apos;s serial number: 1 to 64 letters, digits, - _ .
  --plan FILE        the test plan (JSON); default: the built-in plan
  --report-dir DIR   where SN-&lt;time&gt;-&lt;attempt&gt;.json and .pdf go (default: .)
  --station-log FILE one CSV row per test (default: DIR/station-log.csv)
  --baud, --address  the line&apos;s rate and the unit&apos;s address, instead of the plan&apos;s
  --print-plan       write the built-in plan to standard output

Exit status of a test: 0 PASS, 3 FAIL, 1 the test could not run or was
interrupted (ABORTED), 2 a bad command line or plan.
</source>
        <translation>
The function test of one unit:
       kestro-modbus-m --headless (--port PATH | --simulate) --test --serial SN
                       [--plan FILE] [--report-dir DIR] [--station-log FILE]
                       [--baud RATE] [--address N]
       kestro-modbus-m --headless --print-plan

  --test             run the plan&apos;s steps on the unit, then leave it safe (relay
                     off, output 0); prints &quot;step NAME: PASS|FAIL|SKIP&quot; with the
                     measurements, then &quot;test SN: PASS&quot; or &quot;test SN: FAIL
                     (failed: NAME,...)&quot;
  --serial SN        the unit&apos;s serial number: 1 to 64 letters, digits, - _ .
  --plan FILE        the test plan (JSON); default: the built-in plan
  --report-dir DIR   where SN-&lt;time&gt;-&lt;attempt&gt;.json and .pdf go (default: .)
  --station-log FILE one CSV row per test (default: DIR/station-log.csv)
  --baud, --address  the line&apos;s rate and the unit&apos;s address, instead of the plan&apos;s
  --print-plan       write the built-in plan to standard output

Exit status of a test: 0 PASS, 3 FAIL, 1 the test could not run or was
interrupted (ABORTED), 2 a bad command line or plan.
</translation>
    </message>
    <message>
        <source>       kestro-modbus-m [--simulate] [--start] [--record FILE] [--record-max-mb N]
                       [--test] [--plan FILE] [--report-dir DIR] [--station-log FILE]
  (no option)        the operator window on the stored port
  --simulate         the window on the built-in virtual module; the stored
                     port settings are read but not overwritten
  --start            press Start once the window is up
  --record FILE      record the traffic in FILE from the start (CSV), as the
                     monitor&apos;s context menu does
  --record-max-mb N  as for the runner
  --test             open the production test window (F6) once the window is up
  --plan FILE, --report-dir DIR, --station-log FILE
                     the production test&apos;s plan and records, as for the runner
</source>
        <translation>       kestro-modbus-m [--simulate] [--start] [--record FILE] [--record-max-mb N]
                       [--test] [--plan FILE] [--report-dir DIR] [--station-log FILE]
  (no option)        the operator window on the stored port
  --simulate         the window on the built-in virtual module; the stored
                     port settings are read but not overwritten
  --start            press Start once the window is up
  --record FILE      record the traffic in FILE from the start (CSV), as the
                     monitor&apos;s context menu does
  --record-max-mb N  as for the runner
  --test             open the production test window (F6) once the window is up
  --plan FILE, --report-dir DIR, --station-log FILE
                     the production test&apos;s plan and records, as for the runner
</translation>
    </message>
    <message>
        <source>--tcp and --rtu-over-tcp exclude each other</source>
        <translation>--tcp and --rtu-over-tcp exclude each other</translation>
    </message>
    <message>
        <source>%1 port must be 1..65535, got &quot;%2&quot;</source>
        <translation>%1 port must be 1..65535, got &quot;%2&quot;</translation>
    </message>
    <message>
        <source>%1 needs HOST[:PORT], got &quot;%2&quot;</source>
        <translation>%1 needs HOST[:PORT], got &quot;%2&quot;</translation>
    </message>
    <message>
        <source>%1 and %2 exclude each other</source>
        <translation>%1 and %2 exclude each other</translation>
    </message>
    <message>
        <source>--scan over a network line takes one --baud at most: the rate of the serial line behind the gateway</source>
        <translation>--scan over a network line takes one --baud at most: the rate of the serial line behind the gateway</translation>
    </message>
    <message>
        <source>--headless needs --port PATH, --tcp HOST[:PORT], --rtu-over-tcp HOST[:PORT] or --simulate</source>
        <translation>--headless needs --port PATH, --tcp HOST[:PORT], --rtu-over-tcp HOST[:PORT] or --simulate</translation>
    </message>
    <message>
        <source>usage: kestro-modbus-m --headless (--port PATH | --simulate) [--baud RATE]
                       [--address N] [--cycles K] [--write REG=VALUE]...
                       [--record FILE] [--record-max-mb N] [--summary FILE]
                       [--linearity FROM:TO:STEP [--settle MS] [--tolerance PCT]]
       kestro-modbus-m --headless --port PATH --scan [--baud RATE]...
       kestro-modbus-m --headless --listen --port PATH [--baud RATE]
                       [--address N] [--record FILE] [--summary FILE]
       (--tcp HOST[:PORT] or --rtu-over-tcp HOST[:PORT] in place of --port)
       kestro-modbus-m --simulate

Polls the 20 holding registers of one Modbus RTU slave and prints every
request (Tx-) and reply (Rx-) as a hexadecimal traffic line, then
  Tx=&lt;requests sent&gt; Er=&lt;replies missed&gt;
  registers=&lt;register 0&gt;,...,&lt;register 19&gt;

  --port PATH        serial device, e.g. /dev/ttyUSB0 (8 data bits, 2 stop bits,
                     no parity, no flow control)
  --tcp HOST[:PORT]  poll over Modbus TCP (port 502 by default): a gateway, or
                     a device that speaks Modbus TCP itself
  --rtu-over-tcp HOST[:PORT]
                     poll through a serial device server that passes the RTU
                     frames through (port 502 by default); on both network
                     lines --baud is the rate of the serial line behind, which
                     sets the pause after a reply (without it a Modbus TCP
                     device takes the shortest pause, a device server 9600),
                     and a lost connection is made again every second
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
  --listen           listen to a bus another master polls, sending nothing
                     (the port is opened for reading only; DTR and RTS are
                     not set): the master&apos;s frames print as Tx- lines, the
                     slaves&apos; and bytes that make no frame as Rx- lines; at
                     SIGINT or SIGTERM Tx= counts the master&apos;s requests, Er=
                     those without a sound reply, and registers= the values
                     the master last read from --address (see docs/listen.md)

Exit status: 0 done (a scan: found a module; a linearity test: it passed), 1 the
port could not be opened, the host of a network line could not be found or a file
could not be written, 2 a bad command line,
3 a scan found no module or the linearity test failed (a deviation beyond the
tolerance, or the line was lost).
</source>
        <translation>usage: kestro-modbus-m --headless (--port PATH | --simulate) [--baud RATE]
                       [--address N] [--cycles K] [--write REG=VALUE]...
                       [--record FILE] [--record-max-mb N] [--summary FILE]
                       [--linearity FROM:TO:STEP [--settle MS] [--tolerance PCT]]
       kestro-modbus-m --headless --port PATH --scan [--baud RATE]...
       kestro-modbus-m --headless --listen --port PATH [--baud RATE]
                       [--address N] [--record FILE] [--summary FILE]
       (--tcp HOST[:PORT] or --rtu-over-tcp HOST[:PORT] in place of --port)
       kestro-modbus-m --simulate

Polls the 20 holding registers of one Modbus RTU slave and prints every
request (Tx-) and reply (Rx-) as a hexadecimal traffic line, then
  Tx=&lt;requests sent&gt; Er=&lt;replies missed&gt;
  registers=&lt;register 0&gt;,...,&lt;register 19&gt;

  --port PATH        serial device, e.g. /dev/ttyUSB0 (8 data bits, 2 stop bits,
                     no parity, no flow control)
  --tcp HOST[:PORT]  poll over Modbus TCP (port 502 by default): a gateway, or
                     a device that speaks Modbus TCP itself
  --rtu-over-tcp HOST[:PORT]
                     poll through a serial device server that passes the RTU
                     frames through (port 502 by default); on both network
                     lines --baud is the rate of the serial line behind, which
                     sets the pause after a reply (without it a Modbus TCP
                     device takes the shortest pause, a device server 9600),
                     and a lost connection is made again every second
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
  --listen           listen to a bus another master polls, sending nothing
                     (the port is opened for reading only; DTR and RTS are
                     not set): the master&apos;s frames print as Tx- lines, the
                     slaves&apos; and bytes that make no frame as Rx- lines; at
                     SIGINT or SIGTERM Tx= counts the master&apos;s requests, Er=
                     those without a sound reply, and registers= the values
                     the master last read from --address (see docs/listen.md)

Exit status: 0 done (a scan: found a module; a linearity test: it passed), 1 the
port could not be opened, the host of a network line could not be found or a file
could not be written, 2 a bad command line,
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
    <message>
        <source>kestro-modbus-m: cannot find the host %1: %2</source>
        <translation>kestro-modbus-m: cannot find the host %1: %2</translation>
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
    <name>HostResolver</name>
    <message>
        <source>the name service gave no answer within %1 s</source>
        <translation>the name service gave no answer within %1 s</translation>
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
    <name>ListenChoice</name>
    <message>
        <source>只听总线（不发送）</source>
        <translation>Listen to the bus only (send nothing)</translation>
    </message>
    <message>
        <source>停止监听</source>
        <translation>Stop listening</translation>
    </message>
    <message>
        <source>正在监听总线，不能写寄存器</source>
        <translation>Listening to the bus: registers cannot be written</translation>
    </message>
    <message>
        <source>正在轮询：先按“停止”，再选择只听总线</source>
        <translation>Polling: press Stop first, then choose to listen to the bus</translation>
    </message>
    <message>
        <source>只听总线，不发送</source>
        <translation>Listening to the bus, sending nothing</translation>
    </message>
    <message>
        <source>USB 适配器延迟 %1 ms，应答时间为粗略值；改为 1 ms 的 udev 规则（写入 %2 后重插）：%3</source>
        <translation>USB adapter latency %1 ms: response times are coarse. The udev rule that makes it 1 ms (put it into %2, then plug the adapter in again): %3</translation>
    </message>
</context>
<context>
    <name>ListenEngine</name>
    <message>
        <source>%1: the USB adapter holds received bytes for %2 ms (its latency timer), so response times are coarse. To lower it to 1 ms, put this rule into %3 and plug the adapter in again: %4</source>
        <translation>%1: the USB adapter holds received bytes for %2 ms (its latency timer), so response times are coarse. To lower it to 1 ms, put this rule into %3 and plug the adapter in again: %4</translation>
    </message>
</context>
<context>
    <name>ListenRunner</name>
    <message>
        <source>the recording stopped, listening goes on: %1</source>
        <translation>the recording stopped, listening goes on: %1</translation>
    </message>
    <message>
        <source>listening on %1 at %2 baud; nothing is sent</source>
        <translation>listening on %1 at %2 baud; nothing is sent</translation>
    </message>
    <message>
        <source>cannot record the traffic: %1</source>
        <translation>cannot record the traffic: %1</translation>
    </message>
    <message>
        <source>cannot write the summary: %1</source>
        <translation>cannot write the summary: %1</translation>
    </message>
</context>
<context>
    <name>ModbusTcpFraming</name>
    <message>
        <source>The peer sent a frame with protocol id %1, which is not Modbus TCP.</source>
        <translation>The peer sent a frame with protocol id %1, which is not Modbus TCP.</translation>
    </message>
    <message>
        <source>The peer sent a frame length of %1 bytes, which no Modbus frame has.</source>
        <translation>The peer sent a frame length of %1 bytes, which no Modbus frame has.</translation>
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
    <name>NetworkLine</name>
    <message>
        <source>Cannot connect to %1: %2.</source>
        <translation>Cannot connect to %1: %2.</translation>
    </message>
    <message>
        <source>The network line has no host.</source>
        <translation>The network line has no host.</translation>
    </message>
    <message>
        <source>Cannot find the host %1: %2.</source>
        <translation>Cannot find the host %1: %2.</translation>
    </message>
    <message>
        <source>it has no address</source>
        <translation>it has no address</translation>
    </message>
    <message>
        <source>The network line is not open.</source>
        <translation>The network line is not open.</translation>
    </message>
    <message>
        <source>The connection to %1 failed: %2.</source>
        <translation>The connection to %1 failed: %2.</translation>
    </message>
    <message>
        <source>%1 closed the connection.</source>
        <translation>%1 closed the connection.</translation>
    </message>
</context>
<context>
    <name>NetworkLineDialog</name>
    <message>
        <source>网络连接</source>
        <translation>Network line</translation>
    </message>
    <message>
        <source>主机名或 IP 地址</source>
        <translation>host name or IP address</translation>
    </message>
    <message>
        <source>Modbus TCP 设备本身（无串口网关）</source>
        <translation>A Modbus TCP device itself (no serial gateway)</translation>
    </message>
    <message>
        <source>经网关或串口服务器时，回复后的间隔按串口设置中的波特率（网关后串口的速率）。</source>
        <translation>Through a gateway or device server, the pause after a reply follows the baud rate of the serial settings (the rate of the serial line behind it).</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>主机</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>帧格式</source>
        <translation>Framing</translation>
    </message>
    <message>
        <source>请填写主机名或 IP 地址（端口另填）。</source>
        <translation>Enter a host name or IP address (the port goes in its own field).</translation>
    </message>
</context>
<context>
    <name>NetworkLineStore</name>
    <message>
        <source>The settings file is damaged.</source>
        <translation>The settings file is damaged.</translation>
    </message>
    <message>
        <source>The network line&apos;s settings cannot be read.</source>
        <translation>The network line&apos;s settings cannot be read.</translation>
    </message>
    <message>
        <source>The network line&apos;s settings cannot be stored.</source>
        <translation>The network line&apos;s settings cannot be stored.</translation>
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
    <message>
        <source>This line cannot be opened for listening only.</source>
        <translation>This line cannot be opened for listening only.</translation>
    </message>
</context>
<context>
    <name>ProductionTestWindow</name>
    <message>
        <source>请扫描序列号</source>
        <translation>Scan a serial number</translation>
    </message>
    <message>
        <source>出厂测试</source>
        <translation>Production test</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>扫描或输入序列号后按回车</source>
        <translation>Scan or type the serial number, then Enter</translation>
    </message>
    <message>
        <source>停止测试</source>
        <translation>Stop test</translation>
    </message>
    <message>
        <source>步骤</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>测量值</source>
        <translation>Measurements</translation>
    </message>
    <message>
        <source>测试进行中，请等待结果。</source>
        <translation>A test is running; wait for its result.</translation>
    </message>
    <message>
        <source>序列号无效：“%1”。只能用字母、数字、-、_ 和 .，最长 64 个字符。</source>
        <translation>Invalid serial number &quot;%1&quot;: letters, digits, -, _ and . only, at most 64 characters.</translation>
    </message>
    <message>
        <source>测试计划无法读取：%1</source>
        <translation>The test plan cannot be read: %1</translation>
    </message>
    <message>
        <source>无法写入报告：%1</source>
        <translation>Cannot write the report: %1</translation>
    </message>
    <message>
        <source>串口无法打开，测试没有开始。</source>
        <translation>The port cannot be opened; the test did not start.</translation>
    </message>
    <message>
        <source>测试中…</source>
        <translation>Testing…</translation>
    </message>
    <message>
        <source>正在测试 %1</source>
        <translation>Testing %1</translation>
    </message>
    <message>
        <source>等待</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>测试中</source>
        <translation>Testing</translation>
    </message>
    <message>
        <source>%1：%2。报告：%3</source>
        <translation>%1: %2. Report: %3</translation>
    </message>
    <message>
        <source>%1：%2。无法写入报告：%3</source>
        <translation>%1: %2. Cannot write the records: %3</translation>
    </message>
    <message>
        <source>已测 %1    合格 %2    良率 %3</source>
        <translation>Tested %1    Passed %2    Yield %3</translation>
    </message>
    <message>
        <source>通信</source>
        <translation>Communication</translation>
    </message>
    <message>
        <source>地址和波特率</source>
        <translation>Address and rate</translation>
    </message>
    <message>
        <source>继电器</source>
        <translation>Relay</translation>
    </message>
    <message>
        <source>输出线性</source>
        <translation>Output linearity</translation>
    </message>
    <message>
        <source>校准</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>恢复安全状态</source>
        <translation>Left safe</translation>
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
    <name>RtuOverTcpFraming</name>
    <message>
        <source>The peer sent more than %1 bytes for one request, more than any Modbus RTU frame holds.</source>
        <translation>The peer sent more than %1 bytes for one request, more than any Modbus RTU frame holds.</translation>
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
    <name>SharedLine</name>
    <message>
        <source>The line is in use: polling and listening take turns.</source>
        <translation>The line is in use: polling and listening take turns.</translation>
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
    <message>
        <source>应答时间 粗略</source>
        <translation>Response coarse</translation>
    </message>
    <message>
        <source>%1 个（USB 适配器延迟）</source>
        <translation>%1 (USB adapter latency)</translation>
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
    <message>
        <source>正在只听总线：先按“停止”，再开始轮询</source>
        <translation>Listening to the bus: press Stop first, then start polling</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>网络连接 %1</source>
        <translation>Network line %1</translation>
    </message>
    <message>
        <source>网络连接</source>
        <translation>Network line</translation>
    </message>
    <message>
        <source>网络连接设置...</source>
        <translation>Network line settings...</translation>
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
    <name>TcpClient</name>
    <message>
        <source>no answer within %1 s</source>
        <translation>no answer within %1 s</translation>
    </message>
    <message>
        <source>the peer takes no more data</source>
        <translation>the peer takes no more data</translation>
    </message>
</context>
<context>
    <name>TestRunner</name>
    <message>
        <source>kestro-modbus-m: cannot write reports: %1</source>
        <translation>kestro-modbus-m: cannot write reports: %1</translation>
    </message>
    <message>
        <source>kestro-modbus-m: cannot write the report: %1</source>
        <translation>kestro-modbus-m: cannot write the report: %1</translation>
    </message>
    <message>
        <source>kestro-modbus-m: cannot write the test&apos;s records: %1</source>
        <translation>kestro-modbus-m: cannot write the test&apos;s records: %1</translation>
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
