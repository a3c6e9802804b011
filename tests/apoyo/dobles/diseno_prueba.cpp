#include "diseno_prueba.h"

namespace sorvenia::prueba {

nlohmann::json disenoGuardado() {
    using nlohmann::json;
    return {
        {"formato", 1},
        {"pagina", 0},
        {"siguiente", 100},
        {"nombreAMano", false},
        {"variables", json::array({{{"nombre", "marca"}, {"valor", "#e4572e"}, {"oscuro", "#ff8a65"}}})},
        {"recursos", json::array()},
        {"deOtraVersion", {{"se", "conserva"}}},
        {"paginas",
         json::array({{{"id", "p1"},
                       {"nombre", "Web"},
                       {"portada", "m1"},
                       {"mesas",
                        json::array(
                            {{{"id", "m1"},
                              {"nombre", "Inicio"},
                              {"x", 0},
                              {"y", 0},
                              {"ancho", 1440},
                              {"alto", 900},
                              {"auto", true},
                              {"css",
                               ".hero{padding:120px 96px;background:linear-gradient(135deg,#1b1f3b,#3a2a5d);color:#fff}"
                               ".hero h1{font-size:72px;line-height:1.05;letter-spacing:-0.02em;max-width:900px}"
                               ".hero p{font-size:22px;opacity:.8;margin-top:24px;max-width:640px}"
                               ".boton{display:inline-block;margin-top:40px;padding:18px 34px;border-radius:999px;"
                               "background:var(--marca);color:#fff;font-weight:600;text-decoration:none}"
                               ".servicios{padding:96px;display:grid;grid-template-columns:repeat(3,1fr);gap:32px;"
                               "background:#faf7f2}.tarjeta{padding:32px;border-radius:20px;background:#fff;"
                               "box-shadow:0 10px 30px rgba(0,0,0,.06)}.tarjeta h3{font-size:24px;margin-bottom:12px}"
                               ".tarjeta p{color:#555;line-height:1.6}"},
                              {"html",
                               "<section class=\"hero\" data-lid=\"hero\"><h1 data-lid=\"titulo\">Cortes con oficio en "
                               "el centro de Bilbao</h1><p data-lid=\"entradilla\">Barbería de barrio desde 1987. "
                               "Reserva en un minuto y sal como nuevo.</p><a class=\"boton\" href=\"#reserva\" "
                               "data-lid=\"reservar\">Reservar cita</a></section><section class=\"servicios\" "
                               "data-lid=\"servicios\"><div class=\"tarjeta\" data-lid=\"t1\"><h3>Corte clásico</h3>"
                               "<p>Tijera y navaja, acabado a mano.</p></div><div class=\"tarjeta\" data-lid=\"t2\">"
                               "<h3>Barba</h3><p>Toalla caliente y aceites.</p></div><div class=\"tarjeta\" "
                               "data-lid=\"t3\"><h3>Color</h3><p>Cobertura de canas natural.</p></div></section>"},
                              {"animaciones", json::array()}},
                             {{"id", "m2"},
                              {"nombre", "Contacto"},
                              {"x", 1560},
                              {"y", 0},
                              {"ancho", 390},
                              {"alto", 844},
                              {"auto", false},
                              {"css",
                               "body{background:#faf7f2}.c{padding:48px 28px}.c h2{font-size:34px;color:#1b1f3b}"
                               ".c p{margin-top:12px;color:#555}.dato{margin-top:28px;padding:18px;border-radius:14px;"
                               "background:#fff;font-weight:600}"},
                              // "titulo" is already used by the first mesa: this one must get another.
                              {"html",
                               "<div class=\"c\" data-lid=\"c\"><h2 data-lid=\"titulo\">Ven a vernos</h2><p>Calle "
                               "Ercilla 12, Bilbao</p><div class=\"dato\">944 123 456</div><div class=\"dato\">Lunes "
                               "a sábado · 10–20 h</div></div>"},
                              {"animaciones", json::array()}}})}}})}};
}

}  // namespace sorvenia::prueba
