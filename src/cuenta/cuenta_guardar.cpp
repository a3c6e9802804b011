// Saving a design to the account: the request body, the local copies around
// the upload, and the account's design list once it is stored.
#include <algorithm>
#include <string_view>

#include "cuenta/cuenta.h"

namespace sorvenia {
namespace {

// The request body, fields in the order they are written. Every key is the
// field's name; an absent field leaves its key out, never null. A temporary,
// written out at once: its views do not outlive the texts they show.
struct Cuerpo {
    std::string_view nombre;
    std::string_view doc;  // the document, already JSON text
    std::optional<std::string> id;
    std::optional<std::string> miniatura;
    std::optional<std::int64_t> version;
    std::optional<std::string> cliente_ref;  // only while the design has no id
};

std::string texto(std::string_view t) { return JSONValor(std::string(t)).cadena(); }

std::string escribir(const Cuerpo& c) {
    std::string salida = "{\"nombre\":" + texto(c.nombre);
    salida.append(",\"doc\":").append(c.doc);
    if (c.id) salida += ",\"id\":" + texto(*c.id);
    if (c.miniatura) salida += ",\"miniatura\":" + texto(*c.miniatura);
    if (c.version) salida += ",\"version\":" + std::to_string(*c.version);
    if (c.cliente_ref) salida += ",\"cliente_ref\":" + texto(*c.cliente_ref);
    salida += "}";
    return salida;
}

// The document as JSON text. A number that is not finite cannot be written:
// then nothing may be sent, and a local copy could not hold it either.
std::string textoDelDocumento(const JSONValor& doc) {
    std::string t = doc.cadena();
    if (t == "null" && !doc.esNulo()) throw ErrorCodificacion();
    return t;
}

LlamadaCuenta pedirGuardar(const Cuerpo& cuerpo) {
    auto llamada = llamadaGET({{"accion", "guardar"}}, 30);
    llamada.metodo = "POST";
    llamada.bytes = escribir(cuerpo);
    llamada.tipoBytes = "application/json";
    return llamada;
}

bool esConflicto(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ErrorAPI& e) {
        return e.codigo == "conflicto";
    } catch (...) {
        return false;
    }
}

// Removes the copy named by (id, ref) now that `subido` is in the account,
// unless the copy was written while the upload was under way and holds
// another document: that is a later state of the design (an editor that
// could not wait for this upload keeps its newest changes so), and only its
// own upload may remove it.
void borrarSiSuperada(Cuenta& cuenta, const std::optional<std::string>& id, const std::optional<std::string>& ref,
                      const std::string& subido, CopiaLocal::Fecha enviado) {
    const auto copia = cuenta.copiaLocal(id, ref);
    if (copia && copia->fecha > enviado && copia->doc.cadena() != subido) return;
    cuenta.borrarCopiaLocal(id, ref);
}

}  // namespace

Tarea<DisenoResumen> Cuenta::guardar(std::optional<std::string> id, std::string nombre, JSONValor doc,
                                     std::optional<std::string> miniatura, std::optional<std::int64_t> version,
                                     std::optional<std::string> ref) {
    auto yo = shared_from_this();
    const std::string docTexto = textoDelDocumento(doc);
    auto llamada = pedirGuardar(Cuerpo{nombre, docTexto, id, std::move(miniatura), version, id ? std::nullopt : ref});
    const auto enviado = std::chrono::system_clock::now();

    std::optional<RespuestaGuardar> respuesta;
    std::exception_ptr fallo;
    try {
        respuesta = co_await llamar<RespuestaGuardar>(std::move(llamada));
    } catch (...) {
        fallo = std::current_exception();
    }
    if (fallo) {
        // A conflict is the caller's to settle (it saves a copy under a new
        // name); any other failure must not lose what was being sent.
        if (!esConflicto(fallo)) guardarCopiaLocal(id, nombre, doc, ref, CopiaLocal::Base{version, std::nullopt});
        std::rethrow_exception(fallo);
    }

    DisenoResumen d = std::move(respuesta->diseno);
    borrarSiSuperada(*this, id, ref, docTexto, enviado);
    if (!id || *id != d.id) borrarSiSuperada(*this, d.id, std::nullopt, docTexto, enviado);
    // A copy kept under the ref before the design got its id is this design
    // too; nothing else would ever remove it.
    if (id && ref) borrarSiSuperada(*this, std::nullopt, ref, docTexto, enviado);
    colocarDiseno(d);
    co_return d;
}

void Cuenta::colocarDiseno(const DisenoResumen& d) {
    auto lista = disenos_;
    const auto entrada = std::find_if(lista.begin(), lista.end(), [&](const DisenoResumen& e) { return e.id == d.id; });
    if (entrada != lista.end())
        *entrada = d;
    else
        lista.insert(lista.begin(), d);
    // The service writes "yyyy-MM-dd HH:mm:ss", so text order is time order.
    std::stable_sort(lista.begin(), lista.end(),
                     [](const DisenoResumen& a, const DisenoResumen& b) { return a.modificado > b.modificado; });
    ponerDisenos(std::move(lista));
}

}  // namespace sorvenia
