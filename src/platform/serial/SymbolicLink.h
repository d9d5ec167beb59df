#pragma once
// A symbolic link that leads to a serial device, as udev keeps them under
// /dev/serial/by-id: re-pointed in one step when the device comes back under
// another name, and removed when it goes away.

#include <string>

/// Makes linkPath a symbolic link to target, replacing whatever link was
/// there in one rename, so that whoever opens linkPath meanwhile finds the
/// old target or the new one, never nothing. Returns 0 or an errno.
int pointLinkAt(const std::string& linkPath, const std::string& target);

/// Removes the link; a link that is not there is no error. Returns 0 or an errno.
int removeLink(const std::string& linkPath);
