#pragma once
// Every window exists once for the whole run and keeps its contents between
// openings. form<T>() creates it hidden on first use; destroyAll() ends them
// (at exit, and between tests).
#include <functional>
#include <vector>

namespace mirn {

namespace forms {
namespace detail {
std::vector<std::function<void()>>& destroyers();
template <class T>
T*& slot() {
    static T* p = nullptr;
    return p;
}
}  // namespace detail

template <class T>
T& form() {
    T*& p = detail::slot<T>();
    if (!p) {
        p = new T();
        detail::destroyers().push_back([] {
            delete detail::slot<T>();
            detail::slot<T>() = nullptr;
        });
    }
    return *p;
}

template <class T>
bool exists() {
    return detail::slot<T>() != nullptr;
}

// Destroys the windows in the reverse order of their creation.
void destroyAll();
}  // namespace forms

}  // namespace mirn
