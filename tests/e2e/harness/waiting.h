#ifndef WAITING_H
#define WAITING_H

#include <QDeadlineTimer>
#include <QTest>

// Polls condition until it holds or timeoutMs of wall-clock time have passed, whatever each
// look costs (QTRY_* counts its sleeps, so slow looks would stretch its timeout many times).
template<typename Condition>
bool waitUntil(Condition condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

#endif // WAITING_H
