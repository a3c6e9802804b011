#pragma once
// The observer list of a main-thread model: screens subscribe and hear of
// every change of its published state, after the change (so they read the
// new value). A subscription ends when its handle is destroyed, or the model
// goes; an observer may end its own or others' subscriptions while it is
// being told. Main thread only: no locks.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace sorvenia {

template <class... Args>
class Observadores {
    struct Lista {
        std::map<std::uint64_t, std::function<void(Args...)>> observadores;
        std::uint64_t siguiente = 1;
    };

public:
    // Ends its subscription when destroyed (or on cancelar()).
    class Suscripcion {
    public:
        Suscripcion() = default;
        Suscripcion(std::weak_ptr<Lista> lista, std::uint64_t id) : lista_(std::move(lista)), id_(id) {}
        Suscripcion(Suscripcion&& otra) noexcept : lista_(std::move(otra.lista_)), id_(std::exchange(otra.id_, 0)) {}
        Suscripcion& operator=(Suscripcion&& otra) noexcept {
            if (this != &otra) {
                cancelar();
                lista_ = std::move(otra.lista_);
                id_ = std::exchange(otra.id_, 0);
            }
            return *this;
        }
        Suscripcion(const Suscripcion&) = delete;
        Suscripcion& operator=(const Suscripcion&) = delete;
        ~Suscripcion() { cancelar(); }

        void cancelar() {
            if (auto l = lista_.lock()) l->observadores.erase(id_);
            lista_.reset();
            id_ = 0;
        }

    private:
        std::weak_ptr<Lista> lista_;
        std::uint64_t id_ = 0;
    };

    [[nodiscard]] Suscripcion observar(std::function<void(Args...)> observador) {
        const auto id = lista_->siguiente++;
        lista_->observadores.emplace(id, std::move(observador));
        return Suscripcion(lista_, id);
    }

    void avisar(Args... args) const {
        // The ids of this moment: one that ends meanwhile is skipped, one
        // that starts meanwhile waits for the next change.
        std::vector<std::uint64_t> ids;
        for (const auto& [id, f] : lista_->observadores) ids.push_back(id);
        const auto lista = lista_;  // alive even if an observer destroys the model
        for (const auto id : ids) {
            const auto it = lista->observadores.find(id);
            if (it == lista->observadores.end()) continue;
            auto observador = it->second;  // a copy: it may unsubscribe itself
            observador(args...);
        }
    }

private:
    std::shared_ptr<Lista> lista_ = std::make_shared<Lista>();
};

}  // namespace sorvenia
