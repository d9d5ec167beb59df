#!/bin/sh
# Run in a network namespace of its own (unshare --net): the virtual module
# over Modbus TCP and the runner polling it on the namespace's loopback
# interface, which is then taken down under the open connection, so that
# neither end hears of the other again. Prints the time the interface went
# down and the time the runner said the line was lost (within 0.1 s).
#   half_open.sh VIRTUAL_MODULE TOOL ERRORS_FILE
ip link set lo up || exit 77
"$1" --tcp-listen 127.0.0.1:5020 >/dev/null 2>&1 &
module=$!
sleep 0.3
"$2" --headless --tcp 127.0.0.1:5020 >/dev/null 2>"$3" &
runner=$!
sleep 1.5
date +%s.%N
ip link set lo down
i=0
while [ $i -lt 200 ] && ! grep -q "Trying to open it again" "$3"; do
    sleep 0.1
    i=$((i + 1))
done
date +%s.%N
kill -INT $runner
kill $module
wait
