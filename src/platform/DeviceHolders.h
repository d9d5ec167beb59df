#pragma once
// Whether a device is open in another process. Linux lets any number of
// programs open a serial line at once, and programs that take no lock (a
// terminal program, a script, a modem manager probing a new adapter) would
// silently share the received bytes with this one. Only processes whose
// descriptor table may be read are seen: all of them for root, those of the
// same user otherwise.

#include <sys/types.h>

/// True when a process other than this one has the character device open.
bool OtherProcessHoldsDevice(dev_t device);
