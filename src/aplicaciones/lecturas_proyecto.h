#pragma once
// Readings of the files an app project holds that others write: the state
// file (the application, the user) and the agents' plan documents. Pure, for
// the fuzz build: no file access, no GLib.

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace sorvenia::LecturasProyecto {

// The state file's contents as a JSON object: {} when the bytes are not
// JSON, not an object, or not UTF-8.
nlohmann::json estado(std::string_view bytes);

// The state as the file is written: pretty-printed JSON, invalid UTF-8 in
// its texts replaced, ending with a line feed.
std::string textoEstado(const nlohmann::json& estado);

// Done and all tasks of a plan: after trimming horizontal blanks, a line
// beginning "- [x]" or "- [X]" is a done task, one beginning "- [ ]" a task
// still to do; every other line counts for nothing.
struct Tareas {
    int hechas = 0;
    int total = 0;
};
Tareas contarTareas(std::string_view plan);

// Whether the bytes are well-formed UTF-8.
bool esUtf8(std::string_view bytes);

// The first `maximo` characters of a UTF-8 text; a combining mark or joiner
// that follows the cut stays with the character it belongs to, so the cut
// never splits what the user sees as one letter.
std::string cortar(std::string_view texto, std::size_t maximo);

}  // namespace sorvenia::LecturasProyecto
