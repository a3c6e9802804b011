#include "comun/anidacion_json.h"

namespace sorvenia {

bool anidacionExcede(std::string_view texto, std::size_t maximo) {
    std::size_t nivel = 0;
    bool enCadena = false, escapada = false;
    for (char c : texto) {
        if (enCadena) {
            if (escapada)
                escapada = false;
            else if (c == '\\')
                escapada = true;
            else if (c == '"')
                enCadena = false;
        } else if (c == '"') {
            enCadena = true;
        } else if (c == '[' || c == '{') {
            if (++nivel > maximo) return true;
        } else if ((c == ']' || c == '}') && nivel > 0) {
            --nivel;
        }
    }
    return false;
}

}  // namespace sorvenia
