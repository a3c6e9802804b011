#pragma once
// A request as the service's handlers see it, and what they answer: plain
// values, so the handlers do not depend on the HTTP library.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace sorvenia::cuenta_local {

struct Peticion {
    std::string metodo;
    std::string ruta;
    std::map<std::string, std::string> consulta;  // decoded query items
    std::map<std::string, std::string> formulario;  // decoded form fields (sign-in page)
    std::string cuerpo;
    std::string tipo;                   // Content-Type
    std::optional<std::string> clave;  // the bearer key, when sent
    std::string base;                  // "http://" + Host: where the client reached us
    std::map<std::string, std::string> cookies;  // from the Cookie header
};

struct Respuesta {
    int status = 200;
    std::string cuerpo;
    std::string tipo = "application/json";
    std::vector<std::pair<std::string, std::string>> cabeceras;
};

inline Respuesta respuestaJSON(const nlohmann::json& cuerpo, int status = 200) {
    return {status, cuerpo.dump(), "application/json", {}};
}

// The error answer: {"error": {"code": …, "message": …}}.
inline Respuesta respuestaError(int status, const std::string& codigo, const std::string& mensaje) {
    return respuestaJSON({{"error", {{"code", codigo}, {"message", mensaje}}}}, status);
}

inline Respuesta respuestaHTML(std::string html, int status = 200) {
    return {status, std::move(html), "text/html; charset=utf-8", {}};
}

inline Respuesta redireccion(const std::string& destino) {
    return {302, "", "text/plain", {{"Location", destino}}};
}

}  // namespace sorvenia::cuenta_local
