#pragma once
// PublicacionEditor: the open design's publishing. The page's "publicar"
// saves first when the design is new or changed, then publishes the pages
// the message carries to one of the customer's hostings ("destino"
// "hosting") or as a temporary preview on the account, with the scene
// videos they use uploaded first, and answers the page ("publicadoHosting"
// or "publicado"). It also keeps what the account said about this design's
// preview and destinations, for the page.
//
// Part of one EditorAbierto, which owns it and outlives its calls (each
// call holds the editor).

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "cuenta/registros.h"
#include "plataforma/tarea.h"

namespace sorvenia {

class Cuenta;
class EditorAbierto;

class PublicacionEditor {
public:
    explicit PublicacionEditor(EditorAbierto& editor) : editor_(editor) {}
    PublicacionEditor(const PublicacionEditor&) = delete;
    PublicacionEditor& operator=(const PublicacionEditor&) = delete;

    // The page's "publicar" (publicar_editor.cpp).
    Tarea<void> publicar(nlohmann::json mensaje);
    // The page's "comprarPack" (pack_editor.cpp): a preview of the pages,
    // then the store window at the pack's checkout; once bought, the pages
    // are published on the new hosting of that domain.
    Tarea<void> comprarPack(nlohmann::json mensaje);
    // The page's "publicarVPS" (publicar_vps_editor.cpp): ssh access to the
    // customer's VPS (asking the page for the root password when the
    // application's key is not accepted yet), the pages uploaded to the
    // server's upload folder, then a claude agent with the VPS as its target
    // that puts them in place; progress and outcome through "vps". Only a
    // run that ended well with the site answering is recorded in
    // "vpsPublicado" and announced as done.
    Tarea<void> publicarVPS(nlohmann::json mensaje);

    // The design's preview and publishing destinations, as the account gave
    // them when the design opened and as publishing since has changed them.
    std::optional<RegistrosCuenta::Previa> previa;
    std::optional<RegistrosCuenta::Destinos> destinos;

private:
    Tarea<void> publicarEnHosting(nlohmann::json mensaje, std::shared_ptr<Cuenta> cuenta, std::string id,
                                  std::map<std::string, std::string> archivos);
    Tarea<void> publicarPrevia(std::shared_ptr<Cuenta> cuenta, std::string id,
                               std::map<std::string, std::string> archivos);
    // The site files with the scene videos their pages use uploaded first
    // (escenas_editor.cpp); never throws. subirEscenas gives the scenes
    // whose video is not in the account.
    Tarea<std::map<std::string, std::string>> conEscenasSubidas(
        std::vector<std::pair<std::string, std::string>> archivos, std::shared_ptr<Cuenta> cuenta, std::string id);
    Tarea<std::set<std::string>> subirEscenas(std::set<std::string> usadas, std::shared_ptr<Cuenta> cuenta,
                                              std::string id);

    // After a purchase: waits for the domain's hosting to show up on the
    // account (3 s, then a minute), publishes the pages there and sends
    // the page its new destinations.
    static Tarea<void> publicarTrasCompra(std::shared_ptr<EditorAbierto> editor, std::shared_ptr<Cuenta> cuenta,
                                          std::string id, std::string dominio,
                                          std::map<std::string, std::string> archivos);

    EditorAbierto& editor_;
};

}  // namespace sorvenia
