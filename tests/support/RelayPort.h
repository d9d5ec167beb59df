#pragma once
// A PollPort that hands every call on to another one (the real port, as a
// rule), for tests and benchmarks that look at some of the calls on their way.

#include "poll/ForwardingLine.h"

#include <utility>

class RelayPort : public ForwardingLine {
public:
    explicit RelayPort(PollPort& port) : ForwardingLine(port), m_port(port) {}

protected:
    PollPort& m_port;
};
