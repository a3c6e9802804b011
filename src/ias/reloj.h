#pragma once
// Work that must happen some seconds from now, whatever the main loop is
// doing: the time limits and the second stage of the stop sequence. One
// thread keeps the clock and hands each due item to the worker pool.

#include <cstdint>
#include <functional>

namespace sorvenia {

// A scheduled item; anular() calls it off (nothing happens when it has
// already run). Dropping the handle does not call it off.
class Aviso {
public:
    Aviso() = default;
    explicit Aviso(std::uint64_t id) : id_(id) {}
    void anular() const;

private:
    std::uint64_t id_ = 0;
};

// Runs `fn` on the worker pool `segundos` from now (at once for zero,
// negative or NaN; never for +infinity).
Aviso programar(double segundos, std::function<void()> fn);

}  // namespace sorvenia
