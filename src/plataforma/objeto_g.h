#pragma once
// Ownership and casts for GObject-based types (GTK widgets, WebKit objects).
//
// Ref<T> owns one reference and drops it with g_object_unref. Adopting a
// floating reference (a freshly made GtkWidget) sinks it first, so the holder
// always owns exactly one real reference.
//
// The GLib cast macros (GTK_WIDGET, G_OBJECT...) are C-style casts and would
// break the warning set; comoG is the unchecked pointer cast they perform.

#include <glib-object.h>

#include <memory>
#include <utility>

namespace sorvenia {

template <class Destino, class Origen>
Destino* comoG(Origen* p) noexcept {
    return reinterpret_cast<Destino*>(p);
}

template <class T>
class Ref {
public:
    Ref() = default;

    // Takes over a reference the caller owns (a "transfer full" return
    // value); a floating reference is sunk.
    static Ref adoptar(T* p) {
        Ref r;
        if (p != nullptr && g_object_is_floating(p)) g_object_ref_sink(p);
        r.p_ = p;
        return r;
    }
    // Adds a reference of its own to an object someone else owns.
    static Ref compartir(T* p) {
        Ref r;
        if (p != nullptr) r.p_ = static_cast<T*>(g_object_ref(p));
        return r;
    }

    Ref(const Ref& otra) : p_(otra.p_) {
        if (p_ != nullptr) g_object_ref(p_);
    }
    Ref(Ref&& otra) noexcept : p_(std::exchange(otra.p_, nullptr)) {}
    Ref& operator=(Ref otra) noexcept {
        std::swap(p_, otra.p_);
        return *this;
    }
    ~Ref() {
        if (p_ != nullptr) g_object_unref(p_);
    }

    T* get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Holders for the plain GLib allocations that come back from calls.
struct LiberarTextoG {
    void operator()(char* p) const noexcept { g_free(p); }
};
using TextoG = std::unique_ptr<char, LiberarTextoG>;

struct LiberarErrorG {
    void operator()(GError* e) const noexcept { g_error_free(e); }
};
using ErrorG = std::unique_ptr<GError, LiberarErrorG>;

struct LiberarBytesG {
    void operator()(GBytes* b) const noexcept { g_bytes_unref(b); }
};
using BytesG = std::unique_ptr<GBytes, LiberarBytesG>;

// Connects a plain function to a signal; returns the handler id.
template <class F>
gulong conectarSenal(gpointer instancia, const char* senal, F* funcion, gpointer datos) {
    return g_signal_connect_data(instancia, senal, reinterpret_cast<GCallback>(funcion), datos, nullptr,
                                 static_cast<GConnectFlags>(0));
}

}  // namespace sorvenia
