#include "gui/forms.h"

namespace mirn {

namespace forms {
namespace detail {
std::vector<std::function<void()>>& destroyers() {
    static std::vector<std::function<void()>> d;
    return d;
}
}  // namespace detail

void destroyAll() {
    auto& d = detail::destroyers();
    while (!d.empty()) {
        auto f = std::move(d.back());
        d.pop_back();
        f();
    }
}
}  // namespace forms

}  // namespace mirn
