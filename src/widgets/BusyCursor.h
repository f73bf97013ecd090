#pragma once

#include <QtGlobal>

// Shows the busy pointer while an operation on a lot of text runs. The event loop is
// blocked meanwhile, so the choice is made up front from the amount of work: text of
// this many characters takes about half a second or more on a modest machine.
class BusyCursor
{
public:
    static constexpr qint64 Threshold = 2'000'000;

    explicit BusyCursor(qint64 characters);
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_shown = false;
};
