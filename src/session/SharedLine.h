#pragma once
// One line that two engines take turns on: the poll engine, which sends, and
// the listen engine, which never does. Each gets a turn of its own that
// stands for the line; the line's events (received bytes, lost and back) go
// to the turn that opened it last, and a turn cannot open the line while
// the other holds it open.
//
//     SharedLine shared(keeper);
//     PollCycle poll(shared.PollTurn(), view);
//     ListenEngine listen(shared.ListenTurn(), view);

#include "poll/ForwardingLine.h"

#include <QCoreApplication>

class SharedLine {
    Q_DECLARE_TR_FUNCTIONS(SharedLine)

public:
    explicit SharedLine(PollPort& line);
    ~SharedLine();
    SharedLine(const SharedLine&) = delete;
    SharedLine& operator=(const SharedLine&) = delete;

    PollPort& PollTurn() { return m_poll; }
    PollPort& ListenTurn() { return m_listen; }

private:
    class Turn : public ForwardingLine {
    public:
        Turn(SharedLine& shared, Turn& other)
            : ForwardingLine(shared.m_line), m_shared(shared), m_other(other) {}

        bool Connected() const override;
        PortResult Open() override;
        PortResult Close() override;
        PortResult Write(const std::uint8_t* bytes, int count) override;
        // The line's events go to the turn that holds it.
        void SetOnRxChar(std::function<void(int count)> handler) override {
            m_onRxChar = std::move(handler);
        }
        void SetOnLineChange(std::function<void(const LineChange& change)> handler) override {
            m_onLineChange = std::move(handler);
        }

        std::function<void(int count)> m_onRxChar;
        std::function<void(const LineChange& change)> m_onLineChange;

    private:
        SharedLine& m_shared;
        Turn& m_other;
    };

    PollPort& m_line;
    Turn m_poll{*this, m_listen};
    Turn m_listen{*this, m_poll};
    // The turn that opened the line last (or is opening it); none before.
    Turn* m_holder = nullptr;
};
