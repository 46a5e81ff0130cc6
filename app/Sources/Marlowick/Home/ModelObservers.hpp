#pragma once
// Observation of a model's properties: observers are told which property changed, and only
// when its value really changed. Main thread only, like the model that owns the list.

#include <cstddef>
#include <functional>
#include <map>
#include <utility>

namespace marlowick {

template <class Property>
class ModelObservers {
public:
    using Observer = std::function<void(Property)>;

    // The id unsubscribes; ids are never reused within one list.
    std::size_t subscribe(Observer observer) {
        const std::size_t id = nextId++;
        observers.emplace(id, std::move(observer));
        return id;
    }
    void unsubscribe(std::size_t id) { observers.erase(id); }

    void notify(Property property) const {
        // A copy: an observer may subscribe or unsubscribe while being told.
        const auto snapshot = observers;
        for (const auto& [id, observer] : snapshot) observer(property);
    }

    // Stores `value` and tells the observers, unless it equals what is stored.
    template <class T, class U>
    bool assign(T& stored, U&& value, Property property) {
        if (stored == value) return false;
        stored = std::forward<U>(value);
        notify(property);
        return true;
    }

private:
    std::map<std::size_t, Observer> observers;
    std::size_t nextId = 1;
};

}  // namespace marlowick
