#pragma once
// Whether a device is open in another process. Linux lets any number of
// programs open a serial line at once, and programs that take no lock (a
// terminal program, a script, a modem manager probing a new adapter) would
// silently share the received bytes with this one. Only processes whose
// descriptor table may be read are seen: all of them for root, those of the
// same user otherwise.

#include <string>

/// The path the kernel gives for an open descriptor of this process (what
/// other processes' descriptors of the same device read as), or an empty
/// text when it cannot be told.
std::string OpenDescriptorPath(int fd);

/// True when a process other than this one has a descriptor open whose path
/// (as OpenDescriptorPath gives it) is the given one. Only the descriptors'
/// link texts are read, never the files behind them, so a hung network mount
/// in another process cannot hold this up.
bool OtherProcessHoldsPath(const std::string& path);
