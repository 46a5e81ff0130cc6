#include "Home/ModelObservers.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Support/ManualExecutor.hpp"

namespace marlowick {
namespace {

enum class Property { name, count };

TEST(ModelObservers, TellOnlyOfValuesThatChanged) {
    ModelObservers<Property> observers;
    std::vector<Property> told;
    const auto id = observers.subscribe([&](Property p) { told.push_back(p); });
    std::string name = "a";
    int count = 0;

    EXPECT_FALSE(observers.assign(name, std::string("a"), Property::name));
    EXPECT_TRUE(observers.assign(name, std::string("b"), Property::name));
    EXPECT_TRUE(observers.assign(count, 3, Property::count));
    EXPECT_FALSE(observers.assign(count, 3, Property::count));
    EXPECT_EQ(name, "b");
    EXPECT_EQ(told, (std::vector<Property>{Property::name, Property::count}));

    observers.unsubscribe(id);
    EXPECT_TRUE(observers.assign(count, 4, Property::count));
    EXPECT_EQ(told.size(), 2U);
}

TEST(ModelObservers, AnObserverMayUnsubscribeWhileBeingTold) {
    ModelObservers<Property> observers;
    int calls = 0;
    std::size_t id = 0;
    id = observers.subscribe([&](Property) {
        ++calls;
        observers.unsubscribe(id);
    });
    observers.notify(Property::name);
    observers.notify(Property::name);
    EXPECT_EQ(calls, 1);
}

TEST(ManualExecutor, RunsInOrderOnlyWhenAsked) {
    testing::ManualExecutor manual;
    const MainExecutor post = manual.executor();
    std::vector<int> ran;
    post([&] {
        ran.push_back(1);
        post([&] { ran.push_back(3); });
    });
    post([&] { ran.push_back(2); });
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(manual.pending(), 2U);
    EXPECT_TRUE(manual.runOne());
    EXPECT_EQ(ran, (std::vector<int>{1}));
    EXPECT_EQ(manual.runAll(), 2U);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace marlowick
