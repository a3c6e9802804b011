// Answering a complete request: the decision is pure (respuesta_mcp.h);
// here the handlers are called, on the worker pool, and the answer is sent.
#include <asio/post.hpp>

#include <atomic>
#include <exception>
#include <optional>
#include <variant>

#include "centro/conexion_mcp.h"
#include "centro/motor_mcp.h"

namespace sorvenia::detalle {
namespace {

template <class... F>
struct Casos : F... {
    using F::operator()...;
};
template <class... F>
Casos(F...) -> Casos<F...>;

// What the tool handler calls when it is done, from any thread. The shaping
// (counting letters of long texts) goes back to the pool. Once the server or
// the connection is gone, or on a second call, it does nothing.
AlTerminarHerramienta alTerminar(MotorMCP& motor, const std::shared_ptr<ConexionMCP>& conexion, std::string id) {
    auto llamada = std::make_shared<std::atomic<bool>>(false);
    return [debilMotor = motor.weak_from_this(), debil = std::weak_ptr<ConexionMCP>(conexion), id = std::move(id),
            llamada](nlohmann::json items) {
        if (llamada->exchange(true)) return;
        // The motor first: while it is held the connection's socket cannot
        // outlive its I/O context.
        const auto m = debilMotor.lock();
        if (!m) return;
        auto c = debil.lock();
        if (!c) return;
        asio::post(m->piscina, [c, id, items = std::move(items)]() mutable {
            try {
                c->enviar(respuestaDeHerramienta(id, std::move(items)));
            } catch (...) {
                c->abandonar();
            }
        });
    };
}

void llamar(MotorMCP& motor, const std::shared_ptr<ConexionMCP>& conexion, LlamarHerramienta llamada) {
    if (!motor.ejecutar) return conexion->enviar(respuestaDeHerramienta(llamada.id, itemsSinManejador()));
    auto terminar = alTerminar(motor, conexion, std::move(llamada.id));
    try {
        motor.ejecutar(std::move(llamada.peticion), terminar);
    } catch (const std::exception& e) {
        terminar(itemsDeError(e.what()));
    } catch (...) {
        terminar(itemsDeError(""));
    }
}

void inicializar(MotorMCP& motor, const std::shared_ptr<ConexionMCP>& conexion, Inicializar inicio) {
    if (motor.alInicializar) {
        try {
            motor.alInicializar(std::move(inicio.cliente));
        } catch (...) {
            // Only a display name is lost; the client still gets its answer.
        }
    }
    conexion->enviar(inicio.respuesta);
}

// What a decision asks for, on the worker pool.
void cumplir(MotorMCP& motor, const std::shared_ptr<ConexionMCP>& conexion, DecisionMCP decision) {
    std::visit(Casos{
                   [&](RespuestaEndpoint& r) { conexion->enviar(r); },
                   [&](Inicializar& i) { inicializar(motor, conexion, std::move(i)); },
                   [&](LlamarHerramienta& l) { llamar(motor, conexion, std::move(l)); },
               },
               decision);
}

}  // namespace

void responder(MotorMCP& motor, std::shared_ptr<ConexionMCP> conexion, PeticionCompleta peticion) {
    // A small request is decided here on the I/O thread, in microseconds; when
    // no handler is needed (ping, tools/list, refusals) the answer is
    // written at once, without a trip to the pool and back. Larger requests
    // are parsed on the pool, so that no other connection waits for them.
    if (peticion.cabecera.size() + peticion.cuerpo.size() <= peticionDecididaAlLeer) {
        std::optional<DecisionMCP> decision;
        try {
            decision = decidir(peticion.cabecera, peticion.cuerpo, motor.token, motor.instrucciones);
        } catch (...) {
            return conexion->cerrar();
        }
        if (auto* r = std::get_if<RespuestaEndpoint>(&*decision)) return conexion->responderYa(*r);
        asio::post(motor.piscina, [&motor, conexion, decision = std::move(*decision)]() mutable {
            try {
                cumplir(motor, conexion, std::move(decision));
            } catch (...) {
                conexion->abandonar();
            }
        });
        return;
    }
    asio::post(motor.piscina, [&motor, conexion, peticion = std::move(peticion)] {
        try {
            cumplir(motor, conexion, decidir(peticion.cabecera, peticion.cuerpo, motor.token, motor.instrucciones));
        } catch (...) {
            conexion->abandonar();
        }
    });
}

}  // namespace sorvenia::detalle
