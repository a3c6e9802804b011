#include "servidores/estado_servidor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

#include "comun/shell.h"

namespace sorvenia::EstadoServidor {
namespace {

using nlohmann::json;

// Kernel interface names are right-aligned in six columns, so a name of six
// or more characters has no leading blank and splitting by blanks shifts
// every field: the counters are read after the colon instead.
const std::string programaRed =
    "awk 'NR>2{sub(/^ +/,\"\"); i=index($0,\":\"); n=substr($0,1,i-1); split(substr($0,i+1),f,\" \"); "
    "if(n!=\"lo\"){rx+=f[1]; tx+=f[9]}} END{print rx+0, tx+0}'";

std::string recortar(std::string_view t) {
    const auto blanco = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
    while (!t.empty() && blanco(t.front())) t.remove_prefix(1);
    while (!t.empty() && blanco(t.back())) t.remove_suffix(1);
    return std::string(t);
}

std::vector<std::string> secciones(std::string_view salida) {
    std::vector<std::string> piezas;
    constexpr std::string_view corte = "---\n";
    for (;;) {
        const auto pos = salida.find(corte);
        if (pos == std::string_view::npos) {
            piezas.push_back(recortar(salida));
            return piezas;
        }
        piezas.push_back(recortar(salida.substr(0, pos)));
        salida.remove_prefix(pos + corte.size());
    }
}

std::optional<double> numero(std::string_view pieza) {
    if (pieza.empty()) return std::nullopt;
    if (pieza.front() == '+') pieza.remove_prefix(1);
    double v = 0;
    const auto [fin, ec] = std::from_chars(pieza.data(), pieza.data() + pieza.size(), v);
    if (ec != std::errc() || fin != pieza.data() + pieza.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::vector<std::string> lineas(std::string_view texto) {
    std::vector<std::string> r;
    std::size_t inicio = 0;
    while (inicio <= texto.size()) {
        const auto fin = std::min(texto.find('\n', inicio), texto.size());
        if (fin > inicio) r.emplace_back(texto.substr(inicio, fin - inicio));
        inicio = fin + 1;
    }
    return r;
}

// "%CPU %MEM command", the command being the rest of the line.
json proceso(std::string_view linea) {
    std::string campos[3];
    for (int i = 0; i < 3; ++i) {
        while (!linea.empty() && linea.front() == ' ') linea.remove_prefix(1);
        if (i == 2) {
            campos[2] = std::string(linea);
            break;
        }
        const auto espacio = std::min(linea.find(' '), linea.size());
        campos[i] = std::string(linea.substr(0, espacio));
        linea.remove_prefix(espacio);
    }
    return {{"cpu", numero(campos[0]).value_or(0)}, {"mem", numero(campos[1]).value_or(0)}, {"nombre", campos[2]}};
}

std::optional<double> usoCpu(const std::vector<double>& ahora, const std::vector<double>& antes) {
    const double total = std::accumulate(ahora.begin(), ahora.end(), 0.0);
    const double totalAntes = std::accumulate(antes.begin(), antes.end(), 0.0);
    const auto ocioso = [](const std::vector<double>& v) { return v[3] + (v.size() > 4 ? v[4] : 0.0); };
    const double d = total - totalAntes;
    if (d <= 0) return std::nullopt;
    const double uso = 100.0 * (1.0 - (ocioso(ahora) - ocioso(antes)) / d);
    return std::max(std::min(uso, 100.0), 0.0);
}

}  // namespace

const std::string ordenRemota =
    "cat /proc/loadavg; echo ---; nproc; echo ---; head -1 /proc/stat; echo ---; free -b | awk 'NR==2{print $2,$3,$7} "
    "NR==3{print $2,$3}'; echo ---; df -B1 -P / | awk 'NR==2{print $2,$3,$4}'; echo ---; " +
    programaRed +
    " /proc/net/dev; echo ---; cut -d' ' -f1 /proc/uptime; echo ---; ps -eo pcpu,pmem,comm --sort=-pcpu --no-headers | "
    "awk '$3!=\"ps\" && $3!=\"awk\" && $3!=\"head\"' | head -5; echo ---; . /etc/os-release; echo \"$PRETTY_NAME\"; "
    "echo ---; systemctl --failed --no-legend --plain 2>/dev/null | awk '{print $1}' | head -5";

std::string ordenRed(const std::string& fichero) { return programaRed + " " + comillasShell(fichero); }

std::vector<double> numeros(std::string_view texto) {
    std::vector<double> r;
    std::size_t i = 0;
    while (i < texto.size()) {
        const auto fin = std::min(texto.find_first_of(" \n", i), texto.size());
        if (const auto v = numero(texto.substr(i, fin - i))) r.push_back(*v);
        i = fin + 1;
    }
    return r;
}

Lectura leer(std::int64_t servidor, std::string_view salida, const Muestra* anterior, double ahora) {
    const auto s = secciones(salida);
    if (s.size() < 10) return {{{"servidor", servidor}, {"error", "Respuesta rara del servidor."}}, std::nullopt};

    json r = {{"servidor", servidor}};
    auto carga = numeros(s[0]);
    carga.resize(std::min<std::size_t>(carga.size(), 3));
    r["carga"] = carga;
    const auto nucleos = numero(s[1]);
    r["nucleos"] = nucleos && *nucleos == std::floor(*nucleos) && *nucleos >= 1 && *nucleos < 1e9
                       ? static_cast<std::int64_t>(*nucleos)
                       : 1;
    r["arriba"] = numero(s[6]).value_or(0);
    r["so"] = s[8];
    json caidos = json::array();
    for (const auto& l : lineas(s[9])) caidos.push_back(l);
    r["caidos"] = caidos;
    json procesos = json::array();
    for (const auto& l : lineas(s[7])) procesos.push_back(proceso(l));
    r["procesos"] = procesos;

    const auto memoria = lineas(s[3]);
    if (!memoria.empty())
        if (const auto n = numeros(memoria[0]); n.size() >= 3)
            r["mem"] = {{"total", n[0]}, {"usada", n[1]}, {"libre", n[2]}};
    if (memoria.size() >= 2)
        if (const auto n = numeros(memoria[1]); n.size() >= 2) r["swap"] = {{"total", n[0]}, {"usada", n[1]}};
    if (const auto n = numeros(s[4]); n.size() >= 3) r["disco"] = {{"total", n[0]}, {"usado", n[1]}, {"libre", n[2]}};

    std::string_view stat = s[2];
    stat.remove_prefix(std::min<std::size_t>(4, stat.size()));
    const auto cpu = numeros(stat);
    const auto red = numeros(s[5]);
    if (anterior != nullptr && anterior->cpu.size() == cpu.size() && cpu.size() >= 4) {
        if (const auto uso = usoCpu(cpu, anterior->cpu)) r["cpu"] = *uso;
        const double segundos = ahora - anterior->t;
        if (segundos > 0 && red.size() == 2)
            r["red"] = {{"rx", std::max(0.0, (red[0] - anterior->rx) / segundos)},
                        {"tx", std::max(0.0, (red[1] - anterior->tx) / segundos)}};
    }
    std::optional<Muestra> nueva;
    if (red.size() == 2) nueva = Muestra{cpu, red[0], red[1], ahora};
    return {std::move(r), std::move(nueva)};
}

}  // namespace sorvenia::EstadoServidor
