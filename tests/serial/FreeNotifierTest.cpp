// Listeners hear once when a component goes away, and one that leaves before
// (or while) the others are told is not called.

#include "serial/FreeNotifier.h"
#include "serial/ComPort.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

TEST(FreeNotifier, EveryListenerStillSubscribedIsToldOnce) {
    std::vector<std::string> told;
    int first = 0;
    int second = 0;
    int third = 0;
    {
        FreeNotifier notifier;
        notifier.subscribe(&first, [&] { told.push_back("first"); });
        notifier.subscribe(&second, [&] { told.push_back("second"); });
        notifier.subscribe(&third, [&] { told.push_back("third"); });
        // Subscribing again replaces the callback instead of adding one.
        notifier.subscribe(&first, [&] { told.push_back("first again"); });
        notifier.unsubscribe(&third);
        EXPECT_TRUE(notifier.isSubscribed(&second));
        EXPECT_FALSE(notifier.isSubscribed(&third));
    }
    EXPECT_EQ(told, (std::vector<std::string>{"first again", "second"}));
}

TEST(FreeNotifier, AListenerThatLeavesWhileOthersAreToldIsNotCalled) {
    // The first listener's callback tears down the second one (as a window
    // closing its controls would); the second must not be called afterwards.
    std::vector<std::string> told;
    auto notifier = std::make_unique<FreeNotifier>();
    FreeNotifier* const going = notifier.get();
    int first = 0;
    auto second = std::make_unique<int>(0);
    notifier->subscribe(&first, [&] {
        told.push_back("first");
        going->unsubscribe(second.get());
    });
    notifier->subscribe(second.get(), [&] { told.push_back("second"); });
    notifier.reset();
    EXPECT_EQ(told, std::vector<std::string>{"first"});
}

TEST(FreeNotifier, APortTellsItsListenersWhenDestroyed) {
    bool told = false;
    {
        TComPort port;
        port.FreeNotification().subscribe(&told, [&] { told = true; });
    }
    EXPECT_TRUE(told);
}
