#pragma once
// Waits for what is queued to be handled, not for a length of time: a marker posted behind the
// queued events is handled after them, as the queue keeps its order.
#include <QCoreApplication>
#include <QTest>
#include <memory>

namespace folioknife::testing {

// Handles events until a call posted now has run (true) or the bound passes (false).
inline bool settle(int milliseconds = 10000) {
    auto handled = std::make_shared<bool>(false);  // outlives a wait that gives up
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [handled] { *handled = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&] { return *handled; }, milliseconds);
}

}  // namespace folioknife::testing
