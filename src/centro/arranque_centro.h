#pragma once
// The files the hub leaves for the bridge: the connection file it reads
// before every message, and the installed copy of the bridge program that
// the AI clients' configurations name.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace sorvenia {

// Writes {"puerto","token"} compactly to `fichero`, replacing it whole, with
// mode 0600 from the first byte (the token lets any local process drive the
// canvas). The folder is created with its parents. False when it could not
// be written; an old file is then left as it was.
bool escribirConexion(const std::filesystem::path& fichero, std::uint16_t puerto, std::string_view token);

// Copies `origen` to `destino` with mode 0755 unless both hold the same bytes
// (or neither can be read). A missing `origen` leaves `destino` alone.
// Failures are silent: the AI clients then keep whatever copy they had.
void copiarPuente(const std::filesystem::path& origen, const std::filesystem::path& destino);

// The display name of an outside MCP client from the name it reports.
std::string nombreBonito(const std::string& nombre);

}  // namespace sorvenia
