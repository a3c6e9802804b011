#pragma once
// A weak reference to a GObject (GWeakRef): it never keeps the object
// alive and reads as empty once the object is finalized. GLib keeps the
// holder's address, so a holder is neither copied nor moved: keep it in a
// unique_ptr when it must live in a container.

#include <glib-object.h>

#include "plataforma/objeto_g.h"

namespace sorvenia {

template <class T>
class RefDebil {
public:
    explicit RefDebil(T* objeto) { g_weak_ref_init(&ref_, objeto); }
    ~RefDebil() { g_weak_ref_clear(&ref_); }
    RefDebil(const RefDebil&) = delete;
    RefDebil& operator=(const RefDebil&) = delete;

    // A strong reference while the object lives; empty afterwards.
    Ref<T> obtener() const { return Ref<T>::adoptar(static_cast<T*>(g_weak_ref_get(&ref_))); }

private:
    mutable GWeakRef ref_;
};

}  // namespace sorvenia
